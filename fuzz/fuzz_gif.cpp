// GIF files are outside data: any bytes must read without a crash, a leak or an absurd allocation, and
// whatever reads must write, read back and write again to the same bytes, and the file read back must show
// the same composed frames as the file that was read. Large files are read with their
// images decoded on several threads: the same bytes read that way must give the same result and file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "edit/preview_composer.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "model/limits.h"
#include "platform/ui_hooks.h"

namespace {

class QuietHooks : public lw::UiHooks {
 public:
  void Error(const std::string& text) override { texts.push_back(text); }
  lw::MsgResult MessageBox(const std::string&, const std::string&, lw::MsgButtons, lw::MsgIcon) override {
    return lw::MsgResult::Ok;
  }
  std::vector<std::string> texts;
};

// Every frame of both composed one after the other must give the same picture.
bool SameComposedFrames(const lw::Animation& a, const lw::Animation& b) {
  if (a.frameCount != b.frameCount) return false;
  lw::PreviewPicture pa, pb;
  if (!pa.Make(a.screenWidth, a.screenHeight, 0xFF102030)) return true;  // too large to compose here
  if (!pb.Make(b.screenWidth, b.screenHeight, 0xFF102030)) return false;
  const size_t pixels = static_cast<size_t>(a.screenWidth) * static_cast<size_t>(a.screenHeight);
  for (const lw::Frame *fa = lw::FirstFrame(a), *fb = lw::FirstFrame(b); fa && fb;
       fa = lw::NextFrame(fa), fb = lw::NextFrame(fb)) {
    pa.Draw(*fa);
    pb.Draw(*fb);
    for (size_t i = 0; i < pixels; ++i)
      if (pa.Pixels()[i] != pb.Pixels()[i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QuietHooks hooks;
  lw::SetUiHooks(&hooks);
  lw::Limits().maxFramePixels = uint64_t{1} << 22;
  lw::Limits().maxTotalPixels = uint64_t{1} << 24;
  lw::AnimationPtr a;
  lw::SetParallelReadThreshold(SIZE_MAX);
  hooks.texts.clear();
  int result = lw::ReadGif(data, size, &a, nullptr);
  if ((result == 0) != (a == nullptr)) __builtin_trap();
  lw::AnimationPtr parallel;
  const std::vector<std::string> messages = hooks.texts;
  hooks.texts.clear();
  lw::SetParallelReadThreshold(1);
  int parallelResult = lw::ReadGif(data, size, &parallel, nullptr);
  lw::SetParallelReadThreshold(lw::kDefaultParallelReadThreshold);
  if (parallelResult != result || (parallel == nullptr) != (a == nullptr) || hooks.texts != messages)
    __builtin_trap();
  if (!a) return 0;
  lw::MemorySink first;
  if (lw::WriteGif(first, *a, nullptr) != 1) __builtin_trap();
  lw::MemorySink parallelWrite;
  if (lw::WriteGif(parallelWrite, *parallel, nullptr) != 1 || parallelWrite.bytes != first.bytes)
    __builtin_trap();
  if (lw::ComputeFileSize(*a, true, nullptr) != first.bytes.size()) __builtin_trap();
  lw::AnimationPtr b;
  if (lw::ReadGif(first.bytes.data(), first.bytes.size(), &b, nullptr) != 1) __builtin_trap();
  if (!SameComposedFrames(*a, *b)) __builtin_trap();
  lw::MemorySink second;
  if (lw::WriteGif(second, *b, nullptr) != 1 || second.bytes != first.bytes) __builtin_trap();
  return 0;
}
