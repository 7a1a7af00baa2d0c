// Run-length encoding of 8-bit bitmaps (the DIB RLE8 compression).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lw {

// Encodes a bottom-up 8-bit bitmap (rows stride bytes apart, row 0 the bottom one, width pixels used) as
// RLE8: runs of equal bytes, literal stretches of 3 or more bytes padded to even length, an end-of-line
// code after each row and the end-of-bitmap code at the end. Appends to out.
void EncodeRle8(const uint8_t* rows, size_t stride, int width, int height, std::vector<uint8_t>* out);

}  // namespace lw
