#include "edit/transforms/compose_frames.h"

#include <algorithm>

#include "model/limits.h"
#include "optimize/optimizer.h"
#include "optimize/unoptimize.h"
#include "platform/ui_hooks.h"

namespace lw {

bool ComposedFramesFit(const Animation& a, int32_t width, int32_t height) {
  const uint64_t pixels =
      static_cast<uint64_t>(std::max(width, 0)) * static_cast<uint64_t>(std::max(height, 0));
  if (pixels <= Limits().maxFramePixels &&
      pixels * static_cast<uint64_t>(std::max(a.frameCount, 1)) <= Limits().maxTotalPixels)
    return true;
  ShowError("Not enough memory to hold %d frames of %d x %d pixels.", a.frameCount, width, height);
  return false;
}

bool EditOnCopy(Animation& a, const std::function<bool(Animation&)>& edit) {
  AnimationPtr copy = CopyAnimation(a);
  if (!copy) {
    ShowError("Not enough memory to complete the command.");
    return false;
  }
  if (!edit(*copy)) return false;
  SwapAnimations(a, *copy);
  return true;
}

bool ComposeAllFrames(Animation& a) {
  // Said here in terms of the edit asked for, before the unoptimizer would refuse in its own words.
  if (!FirstFrame(a) || !ComposedFramesFit(a, a.screenWidth, a.screenHeight)) return false;
  return UnoptimizeAnimation(a);
}

void ReoptimizeComposed(Animation& a, ProgressRecord* progress) {
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    const Frame* next = NextFrame(f);
    SetDisposal(*f, next && IsTransparent(*next) ? 2 : 1);
  }
  OptimizeFrameImages(a, kShrinkFrames | kDuplicatesToTransparency, progress);
  a.fileSize = kUnknownFileSize;
}

}  // namespace lw
