// Choosing palettes: the median-cut palette of a 16-, 24- or 32-bit picture, the octree reduction of a
// weighted palette, and the fixed 216-colour web cube.
#pragma once

#include <cstdint>

#include "color/dib.h"
#include "model/palette.h"

namespace lw {

// Up to maxColors (at most 256) colours for the DIB's pixels, most used first, into out. The rows are
// DibStride apart and the header's rows of either orientation are all counted. 0 when the bit count is
// not 16, 24 or 32 or memory runs out.
int MedianCutPalette(const DibHeader& header, const uint8_t* bits, PaletteEntry* out, int maxColors);

// Reduces the 256 entries, weighted by their pixel counts (weight 0 = unused), to at most maxColors colours
// with an octree of the given depth (1…8); the colours are written back into entries in tree order. Gives
// the number of colours, 0 for a depth over 8 or when memory runs out.
int OctreeReducePalette(PaletteEntry* entries, const uint32_t* weights, int depth, int maxColors);

// The 216 colours of six levels per channel (index = 36·r + 6·g + b), then 40 black entries.
void WebCubeEntries(PaletteEntry* out);

// The palette for a high-colour DIB by the choice: the web cube (0x08, 256 entries) or the adaptive
// palette (0x02, 2^n colours, n in bits 16 and up, 256 when n is not 1…8): the picture's own colours when
// there are no more than that, else median cut, or the high-quality quantizer with 0x40 (the web cube
// when they fail). Null for other choices.
PalettePtr BuildDibPalette(const DibHeader& header, const uint8_t* bits, uint32_t choice);

}  // namespace lw
