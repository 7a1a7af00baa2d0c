// Reverse, speed, dropping frames and removing repeated pictures.
#include <algorithm>
#include <cmath>
#include <vector>

#include "edit/transforms/compose_frames.h"
#include "edit/transforms/transforms.h"
#include "optimize/pictures.h"
#include "platform/ui_hooks.h"

namespace lw {

namespace {

constexpr uint32_t kMaxDelay = 65535;

// Takes every block after the head out of the list, in order.
std::vector<BlockPtr> TakeBlocks(Animation& a) {
  std::vector<BlockPtr> blocks;
  while (GifBlock* b = NextBlock(a.head)) blocks.push_back(UnlinkBlock(b));
  return blocks;
}

// Keeps the frames marked in keep (one flag per frame), each dropped frame's delay going to the kept frame
// before it (or, before the first kept one, to the first kept one). Other blocks stay where they were.
void KeepFrames(Animation& a, const std::vector<bool>& keep) {
  std::vector<uint64_t> extra(keep.size(), 0);
  uint64_t leading = 0;
  int lastKept = -1;
  {
    int k = 0;
    for (const Frame* f = FirstFrame(a); f; f = NextFrame(f), ++k) {
      if (keep[static_cast<size_t>(k)])
        lastKept = k;
      else if (lastKept >= 0)
        extra[static_cast<size_t>(lastKept)] += f->delay;
      else
        leading += f->delay;
    }
  }
  std::vector<BlockPtr> blocks = TakeBlocks(a);
  int k = 0, kept = 0;
  bool first = true;
  for (BlockPtr& b : blocks) {
    Frame* f = AsFrame(b.get());
    if (f) {
      const size_t i = static_cast<size_t>(k++);
      if (!keep[i]) continue;  // freed with the vector
      uint64_t delay = f->delay + extra[i] + (first ? leading : 0);
      first = false;
      SetDelay(*f, static_cast<uint32_t>(std::min<uint64_t>(delay, kMaxDelay)));
      ++kept;
    }
    AppendBlock(a, std::move(b));
  }
  SetFrameCount(a, kept);
}

bool ComposeAndKeep(Animation& a, const std::vector<bool>& keep) {
  return EditOnCopy(a, [&keep](Animation& c) {
    if (!ComposeAllFrames(c)) return false;
    KeepFrames(c, keep);
    ReoptimizeComposed(c, nullptr);
    return true;
  });
}

}  // namespace

bool ReverseAnimation(Animation& a) {
  if (a.frameCount < 2) return false;
  return EditOnCopy(a, [](Animation& c) {
    if (!ComposeAllFrames(c)) return false;
    std::vector<BlockPtr> blocks = TakeBlocks(c);
    std::vector<size_t> slots;
    for (size_t i = 0; i < blocks.size(); ++i)
      if (AsFrame(blocks[i].get())) slots.push_back(i);
    for (size_t i = 0, j = slots.size() - 1; i < j; ++i, --j) std::swap(blocks[slots[i]], blocks[slots[j]]);
    for (BlockPtr& b : blocks) AppendBlock(c, std::move(b));
    ReoptimizeComposed(c, nullptr);
    return true;
  });
}

int CountFastFrames(const Animation& a) {
  if (a.frameCount < 2) return 0;
  int n = 0;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) n += f->delay < 2;
  return n;
}

SpeedResult ChangeSpeed(Animation& a, double factor) {
  SpeedResult r;
  if (!(factor >= 0.01 && factor <= 100)) {
    ShowError("The speed factor must be between 0.01 and 100.");
    return r;
  }
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (!f->delay) continue;
    const double scaled = std::round(f->delay / factor);
    const auto delay = static_cast<uint32_t>(std::clamp(scaled, 1.0, double{kMaxDelay}));
    if (SetDelay(*f, delay) != delay) r.changed = true;
  }
  r.fastFrames = CountFastFrames(a);
  if (r.changed) a.fileSize = kUnknownFileSize;
  return r;
}

bool DropEveryNthFrame(Animation& a, int n) {
  if (n < 2) {
    ShowError("Frames can be dropped every 2nd frame or more.");
    return false;
  }
  if (a.frameCount < n) return false;
  std::vector<bool> keep(static_cast<size_t>(a.frameCount));
  for (size_t i = 0; i < keep.size(); ++i) keep[i] = (i + 1) % static_cast<size_t>(n) != 0;
  return ComposeAndKeep(a, keep);
}

bool DropToFrameRate(Animation& a, double fps) {
  if (!(fps >= 0.1 && fps <= 100)) {
    ShowError("The frame rate must be between 0.1 and 100 frames per second.");
    return false;
  }
  // Time in hundredths: a frame is kept when it starts in a later interval than the last kept frame.
  const double interval = 100.0 / fps;
  std::vector<bool> keep;
  bool dropsAny = false;
  uint64_t start = 0;
  int64_t lastSlot = -1;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    const auto slot = static_cast<int64_t>(std::floor(static_cast<double>(start) / interval + 1e-9));
    const bool k = slot > lastSlot;
    if (k) lastSlot = slot;
    keep.push_back(k);
    dropsAny |= !k;
    start += f->delay;
  }
  return dropsAny && ComposeAndKeep(a, keep);
}

bool RemoveDuplicateFrames(Animation& a) {
  if (a.frameCount < 2 || !ComposedFramesFit(a, a.screenWidth, a.screenHeight)) return false;
  std::vector<bool> keep;
  bool dropsAny = false;
  {
    PictureComposer composer(a.screenWidth, a.screenHeight);
    std::vector<RgbaPixel> last;
    for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
      const std::vector<RgbaPixel>& shown = composer.Show(*f);
      const bool same = !keep.empty() && shown == last;
      keep.push_back(!same);
      dropsAny |= same;
      if (!same) last = shown;
    }
  }
  return dropsAny && ComposeAndKeep(a, keep);
}

}  // namespace lw
