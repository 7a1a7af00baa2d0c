// Quarter and half turns and mirror images of one frame.
#pragma once

#include <cstdint>

#include "model/animation.h"

namespace lw {

// The commands, by their menu command ids.
enum RotateFlipCommand : int {
  kRotateClockwise = 40073,         // "Rotate &90° CW"
  kRotate180 = 40074,               // "Rotate &180°"
  kRotateCounterClockwise = 40075,  // "Rotate 9&0° CCW"
  kFlipHorizontally = 40076,        // "Flip &Horizontally"
  kFlipVertically = 40077,          // "Flip &Vertically"
};

// Turns or mirrors the frame's pixels; palette, position, transparency and control values stay. A quarter
// turn that makes the frame stick out of the logical screen grows the screen to hold it. Gives 0 when it
// failed (frame unchanged), 1 when done, 2 when done and the screen was enlarged.
int RotateFlipFrame(Animation& a, Frame& f, int command);

}  // namespace lw
