// Lossy compression: pixels are moved to palette entries of nearly the same colour wherever that lets the
// LZW string under way go on, so that the encoder writes fewer, longer codes; and the search for the least
// loss that makes a file fit a size.
#pragma once

#include <cstdint>
#include <vector>

#include "model/animation.h"
#include "platform/progress.h"

namespace lw {

// The largest colour error a lossy level allows is the level itself: the distance in red-green-blue
// between a pixel's colour and the colour it is given (levels 0…255; 0 changes nothing).
constexpr int kMaxLossyLevel = 255;

// Gives every frame's pixels the lossy treatment in place, walking them in the order the encoder does and
// following its string table: where the string under way has no continuation by the pixel's own index but
// one by an index whose colour is within the level, the pixel takes that index. In a frame with a
// transparent index, a pixel may also become transparent where the screen the frames before leave shows a
// colour within the level of its own (never where the screen is empty or cleared); each frame keeps this
// only when it codes smaller. Transparent pixels stay so, and every composed pixel stays within the level
// of what it was. Gives the number of pixels changed; stops between frames when the progress record says
// so.
uint64_t LossyAnimation(Animation& a, int level, ProgressRecord* progress = nullptr);

// The same for one frame on its own, its pixels only (levels above kMaxLossyLevel are not clamped here);
// the number of pixels changed. Throws std::bad_alloc when memory runs out.
uint64_t LossyFrame(Frame& f, int level);

// The walk itself over pixels in the encoder's order (seq, changed in place), for an encoder that codes
// with minCodeSize. With wanted (one colour index per pixel, never the transparent one), a pixel that is
// transparent in seq is free: it may stay transparent or take its wanted colour, whichever lets the string
// go on (either keeps what the screen shows), and with freeMayMove also a colour within the level of the
// wanted one; others may take a colour within the level of their wanted one. Gives the number of pixels
// whose colour changed.
uint64_t LossyPixels(std::vector<uint8_t>& seq, const std::vector<uint8_t>* wanted, const Palette& palette,
                     int level, int transparent, int minCodeSize, bool freeMayMove = false);

// The mean PSNR (dB) of b's composed frames against a's, frame by frame as the preview composes them (the
// two have the same frames, b a changed copy of a). 99 when they are the same; 0 when they cannot be
// composed (no frames, different counts, a screen too large).
double ComposedPsnr(const Animation& a, const Animation& b);

// What FitToSize settled on.
struct FitResult {
  bool fits = false;  // false: even the most loss tried is larger (a is then left at that most)
  uint32_t size = 0;  // bytes of the file a now makes
  int level = 0;      // lossy level used
  int bits = 8;       // colours: 2^bits per palette (8: unreduced)
  double psnr = 99;   // of the result's composed frames against the input's
};

// The least loss that makes a's file at most maxBytes: the lowest lossy level that fits (a binary search);
// when even the highest does not, fewer colours (palettes reduced to 128, 64 … 8) with the lowest level
// that fits. a is replaced by the result. Stops (fits false, a unchanged) when the progress record says so.
FitResult FitToSize(AnimationPtr& a, uint32_t maxBytes, ProgressRecord* progress = nullptr);

}  // namespace lw
