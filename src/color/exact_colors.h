// Pictures that a palette can hold as they are: the distinct colours of a full-colour DIB when there are
// few enough of them, and the mapping of each pixel onto the palette entry of its very colour.
#pragma once

#include <cstdint>

#include "color/dib.h"
#include "model/palette.h"

namespace lw {

// The distinct colours of a 16-, 24- or 32-bit DIB (rows DibStride apart), most used first (ties in the
// order they first appear), into out. 0 when there are more than maxColors of them, or for another depth.
int ExactDibColors(const DibHeader& header, const uint8_t* bits, PaletteEntry* out, int maxColors);

// Maps every pixel of the DIB onto the lowest palette index of exactly its colour, into 8-bit rows of
// StrideFor8Bit(width) in the DIB's row order. False, with dst partly written, when some colour is not in
// the palette (or for another depth).
bool MapDibExactly(const DibHeader& header, const uint8_t* src, uint8_t* dst, const Palette& palette);

}  // namespace lw
