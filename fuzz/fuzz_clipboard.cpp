// The clipboard's own frame block and the picture beside it are outside data (another program may put
// anything under our type): any bytes must give a one-frame Animation or a refusal, never a crash, and an
// Animation that came back must be whole. The first two bytes give the block's length; the rest after the
// block is the picture.
#include <cstddef>
#include <cstdint>
#include <string>

#include "edit/clipboard.h"
#include "model/limits.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"
#include "quiet_hooks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static lw::fuzz::QuietHooks hooks;
  static bool once = [] {
    lw::SetUiHooks(&hooks);
    lw::Limits().maxFramePixels = uint64_t{1} << 18;  // keeps each run small
    lw::SetPreference(lw::kPrefHighColor, 0x80002);   // adaptive, 256 colours, no question
    return true;
  }();
  (void)once;
  if (size < 2) return 0;
  size_t blockSize = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8;
  data += 2;
  size -= 2;
  if (blockSize > size) blockSize = size;
  lw::FrameBlock fields;
  if (lw::ParseFrameBlock(data, blockSize, &fields)) {
    const lw::Frame& f = *fields.frame;
    if (f.width < 1 || f.height < 1 || f.width > 65535 || f.height > 65535) __builtin_trap();
  }
  lw::AnimationPtr animation;
  lw::PasteResult r = lw::PasteFrameData(blockSize ? data : nullptr, blockSize, data + blockSize,
                                         size - blockSize, nullptr, &animation);
  if (r == lw::PasteResult::kPasted) {
    lw::Frame* frame = animation ? lw::FirstFrame(*animation) : nullptr;
    if (!frame || !frame->bitmap || !frame->palette || animation->frameCount != 1) __builtin_trap();
    if (frame->bitmap->Width() != frame->width || frame->bitmap->Height() != frame->height) __builtin_trap();
    // The table fields follow the palettes really held.
    if (frame->localPalette && !(frame->imageFlags & lw::kImageLocalTable)) __builtin_trap();
    if (!frame->localPalette && (frame->imageFlags & (lw::kImageLocalTable | 7))) __builtin_trap();
    uint32_t sum = 0;
    for (int y = 0; y < frame->height; ++y)
      for (int x = 0; x < frame->width; ++x) sum += frame->Row(y)[x];
    if (sum == 0xFFFFFFFF) __builtin_trap();
    // What was pasted copies out again.
    if (lw::BuildFrameDib(*frame).empty() || lw::BuildFrameBlock(*animation, *frame).empty())
      __builtin_trap();
  }
  return 0;
}
