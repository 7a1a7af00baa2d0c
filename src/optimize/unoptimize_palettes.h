// Unoptimizing an animation whose frames bring their own palettes.
#pragma once

#include "model/animation.h"

namespace lw {

// Every frame becomes the screen-sized picture a viewer sees while it is shown, on a palette that holds
// every colour of that picture: one global palette when the colours of all pictures fit in it, else the
// frame's palette in effect when it holds them, else a local palette of the picture's own colours. Only a
// picture of more than 256 colours (colours of several palettes on the screen at once) is quantized, with
// a notice. Where nothing is drawn the frame is transparent, as UnoptimizeAnimation does. The screen size
// has been checked by the caller. Gives whether at least one frame was converted.
bool UnoptimizeWithPalettes(Animation& a);

}  // namespace lw
