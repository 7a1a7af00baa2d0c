// The stronger optimizer: the animation is encoded afresh from the pictures it shows. Each picture is
// compared with what the previous frame leaves on the screen by colour (not by palette index), frames are
// cut to what changes, the frames share one global palette whenever their colours allow it and get small
// local palettes otherwise, a frame that must make pixels transparent again is preceded by one that
// clears its rectangle, frames are written with the narrowest codes their indices allow, and for every
// frame the smallest of several ways of using transparency (none, fewest runs of equal values, the
// compressor's own picks) is chosen by its compressed size. The result is kept only when its file is
// smaller than the animation's (when a frame draws more colours than one palette holds, the animation
// cannot be rebuilt and OptimizeAnimation with every technique is tried instead). Every picture, and how
// long it is shown, stays the same.
#pragma once

#include "model/animation.h"
#include "platform/progress.h"

namespace lw {

struct BestOptimizeStats {
  uint64_t inputBytes = 0;     // the file as it was
  uint64_t standardBytes = 0;  // after OptimizeAnimation with every technique (0 when not tried)
  uint64_t rebuiltBytes = 0;   // encoded afresh, at most (0 when that was not possible)
  uint64_t resultBytes = 0;    // what the animation holds now
};

// Gives whether the animation changed. Stops, leaving the animation as it was, when the progress record
// is stopped.
bool OptimizeAnimationBest(Animation& a, ProgressRecord* progress, BestOptimizeStats* stats = nullptr);

}  // namespace lw
