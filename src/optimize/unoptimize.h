// Turning every frame back into a full picture of the logical screen.
#pragma once

#include "model/animation.h"

namespace lw {

// Every frame becomes screen-sized at (0, 0), opaque, holding what a viewer sees while it is shown
// (disposal honoured; the background is the animation's background index). Refused, with a message, when
// a frame has a local palette. Gives whether at least one frame was converted.
bool UnoptimizeAnimation(Animation& a);

// Draws a frame at its position onto a buffer of the screen's size: an opaque frame index for index,
// a transparent one only where its pixels differ from its transparent index; clipped to the buffer.
void ComposeFrame(FrameBitmap& target, const Frame& f);

}  // namespace lw
