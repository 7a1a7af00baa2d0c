#include "edit/frame_insert.h"

#include <algorithm>

#include "color/palette_ops.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

// Frames without a delay get the default one when the animation has no looping
// block.
void GiveDefaultDelays(Animation& a) {
  if (a.loopCount != 1) return;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f))
    if (f->delay == 0) f->delay = GetPreference(kPrefDefaultDelay);
}

}  // namespace

bool InsertAnimation(Animation& target, AnimationPtr& source, int position, uint32_t conflictFlags) {
  if (!source) return false;
  int32_t oldWidth = target.screenWidth, oldHeight = target.screenHeight;
  if (source->screenWidth > target.screenWidth || source->screenHeight > target.screenHeight) {
    int answer = static_cast<int>(GetPreference(kPrefSizeConflict));
    if (answer != 2 && answer != 3) {
      UiHooks::FrameSizeAnswer asked = Hooks().AskFrameSizeConflict();
      if (asked.choice != 2 && asked.choice != 3) return false;
      if (asked.makeDefault) SetPreference(kPrefSizeConflict, static_cast<uint32_t>(asked.choice));
      answer = asked.choice;
    }
    if (answer == 3) {
      SetScreenSize(target, std::max(target.screenWidth, source->screenWidth),
                    std::max(target.screenHeight, source->screenHeight));
    }
  }
  if (!ResolvePaletteConflict(target, *source, conflictFlags)) {
    SetScreenSize(target, oldWidth, oldHeight);
    return false;
  }
  bool wasSingle = target.frameCount == 1;
  if (position < 0) position = target.frameCount;
  Frame* at = NthFrame(target, position);
  GifBlock* after = at ? at->prev : LastBlock(target);
  // Taking a frame off its local palette re-inserts it where it stood: that is no insertion of new
  // frames, so the timing and the looping stay as they were.
  const bool removal = conflictFlags & kConflictRemoveLocal;
  if (!removal) {
    GiveDefaultDelays(target);
    GiveDefaultDelays(*source);
  }
  AddFrameCount(target, source->frameCount);
  // Move the source's whole chain across, then let the emptied source go.
  GifBlock* first = source->head->next;
  if (first) {
    GifBlock* last = LastBlock(*source);
    LinkBlocks(source->head, nullptr);
    GifBlock* rest = after->next;
    LinkBlocks(after, first);
    LinkBlocks(last, rest);
  }
  source.reset();
  if (!removal && wasSingle && target.frameCount >= 2)
    target.loopCount = GetPreference(kPrefDefaultIterations);
  return true;
}

bool DeleteFrame(Animation& a, int index) {
  Frame* f = NthFrame(a, index);
  if (!f) return false;
  UnlinkAndFreeBlock(f);
  AddFrameCount(a, -1);
  return true;
}

int MoveFrame(Animation& a, int target, int from) {
  int newIndex = target < from ? target : target - 1;
  if (target == from || target == from + 1) return from;
  Frame* moving = NthFrame(a, from);
  if (!moving || target < 0 || target > a.frameCount) return from;
  GifBlock* destination;
  if (target == a.frameCount) {
    destination = NthFrame(a, a.frameCount - 1);
  } else {
    destination = NthFrame(a, target)->prev;
  }
  BlockPtr block = UnlinkBlock(moving);
  InsertBlockAfter(destination, std::move(block));
  return newIndex;
}

}  // namespace lw
