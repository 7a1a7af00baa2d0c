// Changing the order and number of frames: inserting one animation into
// another, deleting and moving frames.
#pragma once

#include <cstdint>

#include "model/animation.h"

namespace lw {

// Inserts the source's frames (and the blocks between them) before frame
// `position` of the target (-1: at the end). Settles a size conflict
// (preference or question) and the palette conflict (flags passed on to
// ResolvePaletteConflict). On success the source is consumed (reset); on
// failure the target keeps its frames and size and the source stays the
// caller's.
bool InsertAnimation(Animation& target, AnimationPtr& source, int position, uint32_t conflictFlags);
// False when there is no frame of that index (-1 included).
bool DeleteFrame(Animation& a, int index);
// Moves frame `from` to the insertion position `target` (0 .. frame count);
// gives its new index.
int MoveFrame(Animation& a, int target, int from);

}  // namespace lw
