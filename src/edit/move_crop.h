// Moving a frame on the logical screen and cutting it down to its top-left part.
#pragma once

#include <cstdint>

#include "model/animation.h"

namespace lw {

// What the Move/Crop dialog's OK does with the edited values: the frame moves to (newLeft, newTop) and,
// when the size differs, keeps only its top-left newWidth × newHeight pixels. A size larger than the
// frame's is taken as the frame's own (nothing can be added by cropping); a side below 1 or an offset
// outside -65535 to 65535 is refused with a message and nothing changes. Gives 1 when the frame changed,
// else 0.
int ApplyMoveCrop(Frame& f, int64_t newLeft, int64_t newTop, int64_t newWidth, int64_t newHeight);

}  // namespace lw
