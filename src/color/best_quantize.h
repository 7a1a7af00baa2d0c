// The high-quality quantizer: a palette that keeps the squared colour error of the picture small (the
// picture's own colours when they fit; else a variance split refined by k-means over the full 24-bit
// colours), and the mapping onto any palette by the nearest colour itself, optionally with a serpentine,
// clamped error diffusion. Slower than median cut on the 15-bit histogram, and much closer to the picture.
#pragma once

#include <cstdint>
#include <vector>

#include "color/dib.h"
#include "model/palette.h"

namespace lw {

// Up to maxColors (1…256) colours for the 16-, 24- or 32-bit DIB's pixels, most used first, without
// duplicates or unused entries. 0 for another depth or when memory runs out.
int BestDibPalette(const DibHeader& header, const uint8_t* bits, PaletteEntry* out, int maxColors);

// Maps the DIB's pixels onto the nearest palette colours (squared RGB distance, lowest index on ties)
// into 8-bit rows of StrideFor8Bit(width), in the DIB's row order; with dither, the error is carried to
// the neighbours in a serpentine scan, clamped so that it never smears into flat areas. False when memory
// runs out or the depth is not 16, 24 or 32.
bool MapDibBest(const DibHeader& header, const uint8_t* src, uint8_t* dst, const Palette& palette,
                bool dither);

// The index of the palette colour nearest to (r, g, b): what MapDibBest gives a pixel without dither.
class NearestColour {
 public:
  explicit NearestColour(const Palette& palette);
  int Find(int r, int g, int b) const;

 private:
  struct Entry {
    int r, g, b, index;
  };
  std::vector<Entry> sorted_;  // by green, the channel the search walks out along
};

}  // namespace lw
