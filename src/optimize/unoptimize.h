// Turning every frame back into a full picture of the logical screen.
#pragma once

#include "model/animation.h"

namespace lw {

// Every frame becomes screen-sized at (0, 0), holding what a viewer sees while it is shown (disposal
// honoured). Where the viewer sees nothing drawn (the page shows through), the frame is transparent, with
// an index its picture leaves free (its own transparent index when it can, else a free or new palette
// entry), and the frame before it clears itself away; a picture without such pixels is opaque. With local palettes each
// picture gets a palette that holds its colours (see UnoptimizeWithPalettes). Refused, with a message,
// when the screen-sized frames would not fit the engine's limits. Gives whether at least one frame was
// converted.
bool UnoptimizeAnimation(Animation& a);

// Makes f the picture of the whole screen at (0, 0), drawn on its palette in effect: transparent with
// the index when it is not negative (and then the frame before it, when given, clears itself away, so that
// nothing of it shows through), else opaque.
void SetScreenPicture(Frame& f, FrameBitmapPtr picture, int transparentIndex, Frame* previous);

// Draws a frame at its position onto a buffer of the screen's size: an opaque frame index for index,
// a transparent one only where its pixels differ from its transparent index; clipped to the buffer.
void ComposeFrame(FrameBitmap& target, const Frame& f);

}  // namespace lw
