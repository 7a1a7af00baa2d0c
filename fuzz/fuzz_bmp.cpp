// BMP and DIB files are outside data: any bytes must give an Animation or a refusal, never a crash, and an
// Animation that came back must be whole (a frame of the picture's size whose pixels can be read).
#include <cstddef>
#include <cstdint>
#include <string>

#include "color/palette_choice.h"
#include "io/bmp_import.h"
#include "model/limits.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"
#include "quiet_hooks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static lw::fuzz::QuietHooks hooks;
  static bool once = [] {
    lw::SetUiHooks(&hooks);
    lw::Limits().maxFramePixels = uint64_t{1} << 18;  // keeps each run small
    return true;
  }();
  (void)once;
  // The reserved bytes of the file header pick how full-colour pictures are handled, so every path is
  // reached: adaptive with 2 to 256 colours, web cube, the current palette, each with and without dither.
  uint32_t choice = lw::kChoiceAdaptive | 8u << 16;
  const lw::Palette* current = nullptr;
  if (size >= 10) {
    uint8_t pick = data[6];
    choice = (pick & 3) == 0   ? lw::kChoiceWebCube
             : (pick & 3) == 1 ? lw::kChoiceGlobalOnly
                               : lw::kChoiceAdaptive | (1u + (pick >> 5)) << 16;
    if (pick & 4) choice |= lw::kChoiceDither;
    if (pick & 8) current = &lw::DefaultPalette();
  }
  lw::SetPreference(lw::kPrefHighColor, choice);
  lw::AnimationPtr animation;
  if (lw::ReadBmpMemory(data, size, &animation, current) == 1) {
    const lw::Frame* frame = lw::FirstFrame(*animation);
    if (!frame || !frame->bitmap || !frame->palette || animation->frameCount != 1) __builtin_trap();
    if (frame->bitmap->Width() != frame->width || frame->bitmap->Height() != frame->height) __builtin_trap();
    uint32_t sum = 0;
    for (int y = 0; y < frame->height; ++y)
      for (int x = 0; x < frame->width; ++x) sum += frame->Row(y)[x];
    if (sum == 0xFFFFFFFF) __builtin_trap();  // keeps the reads from being optimised away
  }
  return 0;
}
