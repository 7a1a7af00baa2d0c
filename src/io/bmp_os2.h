// OS/2 bitmaps: the 12-byte core header (16-bit sizes, 3-byte colour entries) and the 64-byte 2.x header
// (the Windows fields, then 24 more bytes), rewritten as the Windows DIB the colour code reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "color/dib.h"

namespace lw {

enum class Os2Dib { kNotOs2, kConverted, kRefused };

// When the DIB of size bytes has an OS/2 header, writes into out the same picture behind a 40-byte
// header with 4-byte colour entries, and the new offset of its rows into pixelOffset (which comes in as
// the file's offset, 0 when it has none). kRefused with the reason in error for a damaged header or a
// compression of OS/2's own (Huffman, 24-bit run lengths); the sizes are checked before anything is
// allocated.
Os2Dib ConvertOs2Dib(const uint8_t* dib, size_t size, size_t* pixelOffset, std::vector<uint8_t>* out,
                     DibError* error);

}  // namespace lw
