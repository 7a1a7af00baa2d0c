// Edits of the whole animation: its size, its order, its timing and its screen. Each works on the
// pictures a viewer sees, so an optimized animation (frames that only paint what changes) comes out
// showing the same pictures, then optimized again.
#pragma once

#include <cstdint>

#include "model/animation.h"

namespace lw {

struct ProgressRecord;

enum class ResizeFilter { kNearest, kLanczos };

struct ResizeOptions {
  int32_t width = 0, height = 0;  // the new screen size
  ResizeFilter filter = ResizeFilter::kLanczos;
  bool dither = false;  // the filtered colours onto each frame's palette with error diffusion
};

// The new screen size for a percentage (1 to 10000) of the screen, each side at least 1.
Extent ScaledSize(const Animation& a, double percent);
// The height that keeps the screen's proportions at the given width (at least 1), or the width for the
// given height.
int32_t HeightForWidth(const Animation& a, int32_t width);
int32_t WidthForHeight(const Animation& a, int32_t height);

// Every picture resampled to the new screen size (nearest neighbour, or Lanczos in linear light with
// the colours mapped back onto the frame's palette), then optimized. Refused with a message, before
// anything is allocated, when the sizes are out of range or the pictures would not fit the engine's
// limits. Gives whether the animation changed.
bool ResizeAnimation(Animation& a, const ResizeOptions& options, ProgressRecord* progress);

// The frames in the opposite order (what each shows, its delay and its other values go with it).
bool ReverseAnimation(Animation& a);

struct SpeedResult {
  bool changed = false;
  int fastFrames = 0;  // frames left with a delay under 2 hundredths, which browsers slow down
};
// Every delay divided by the factor (0.01 to 100; 2 = twice as fast), rounded; a delay that was not 0
// stays at least 1.
SpeedResult ChangeSpeed(Animation& a, double factor);
// Frames whose delay browsers do not honour (under 2 hundredths), in an animation of more than one frame.
int CountFastFrames(const Animation& a);

// Removes every Nth frame (N >= 2: the Nth, 2Nth...), giving each dropped delay to the frame shown before
// it, so that the running time stays.
bool DropEveryNthFrame(Animation& a, int n);
// Keeps the first frame of each 1/fps interval of the running time (fps 0.1 to 100), the same way.
bool DropToFrameRate(Animation& a, double fps);
// Removes frames that show the same picture as the frame before them, adding their delays to it.
bool RemoveDuplicateFrames(Animation& a);

// Cuts the screen down to the rectangle (inside the screen, not empty) and every frame with it.
bool CropScreen(Animation& a, int32_t x, int32_t y, int32_t width, int32_t height);

}  // namespace lw
