// What a viewer shows while each frame of an animation is on the screen, composed as web browsers do it:
// the screen starts transparent, transparent pixels show what lies beneath, disposal 2 clears the frame's
// rectangle to transparent, disposal 3 puts back what was there before the frame, everything else stays.
// Used to check that edits which only re-encode an animation (optimizing, unoptimizing) keep every picture,
// and by the command-line tool to render frames.
#pragma once

#include <cstdint>
#include <vector>

#include "model/animation.h"

namespace lw {

// 0xAABBGGRR; transparent pixels are 0.
using RgbaPixel = uint32_t;

class PictureComposer {
 public:
  PictureComposer(int32_t screenWidth, int32_t screenHeight);

  // Draws the frame over what the earlier frames left and gives the picture shown while it is on the
  // screen (width × height, rows top-down). Then applies its disposal for the next call. Indices beyond
  // the frame's palette show black.
  const std::vector<RgbaPixel>& Show(const Frame& f);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

 private:
  int32_t width_, height_;
  std::vector<RgbaPixel> canvas_, saved_, shown_;
};

// One 64-bit digest per frame of its composed picture (cheap to keep for long animations).
std::vector<uint64_t> PictureDigests(const Animation& a);

}  // namespace lw
