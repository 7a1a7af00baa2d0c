// Movie files are outside data: whatever the demuxer and decoder make of any bytes, our side of the video
// source (the stream values it reads, the frame conversion into DIBs) and the import built on it must give
// an Animation or a refusal, never a crash or a write past a buffer. The file is handed over in memory.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "color/palette_choice.h"
#include "io/avi_import.h"
#include "model/limits.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"

namespace {

class QuietHooks : public lw::UiHooks {
 public:
  void Error(const std::string&) override {}
  lw::MsgResult MessageBox(const std::string&, const std::string&, lw::MsgButtons, lw::MsgIcon) override {
    return lw::MsgResult::Ok;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QuietHooks hooks;
  static bool once = [] {
    lw::SetUiHooks(&hooks);
    lw::Limits().maxFramePixels = uint64_t{1} << 16;  // keeps each run small
    lw::Limits().maxTotalPixels = uint64_t{1} << 20;
    return true;
  }();
  (void)once;
  const int fd = memfd_create("lw-fuzz-video", 0);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  // The size picks how full-colour frames are mapped, so that both the exact and the quantized paths run.
  lw::AviImportOptions options;
  options.highColorChoice = size & 1 ? lw::kChoiceWebCube : lw::ChoiceWithBits(lw::kChoiceAdaptive, 8);
  if (size & 2) options.highColorChoice |= lw::kChoiceDither;
  if (size & 4) options.limit.fps = 7;
  lw::AnimationPtr animation;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (lw::ImportAvi(path, &animation, nullptr, options) != 0 && animation) {
    for (const lw::Frame* f = lw::FirstFrame(*animation); f; f = lw::NextFrame(f)) {
      if (!f->bitmap || !f->palette || f->bitmap->Width() != animation->screenWidth ||
          f->bitmap->Height() != animation->screenHeight)
        __builtin_trap();
      uint32_t sum = 0;
      for (int y = 0; y < f->height; ++y)
        for (int x = 0; x < f->width; ++x) sum += f->Row(y)[x];
      if (sum == 0xFFFFFFFF) __builtin_trap();  // keeps the reads from being optimised away
    }
  }
  close(fd);
  return 0;
}
