#include "io/bmp_os2.h"
#include "model/byte_order.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace lw {

namespace {

constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kOs2V2HeaderSize = 64;

}  // namespace

Os2Dib ConvertOs2Dib(const uint8_t* dib, size_t size, size_t* pixelOffset, std::vector<uint8_t>* out,
                     DibError* error) {
  if (!dib || size < 4) return Os2Dib::kNotOs2;
  const uint32_t headerSize = Le32(dib);
  if (headerSize != kCoreHeaderSize && headerSize != kOs2V2HeaderSize) return Os2Dib::kNotOs2;
  *error = DibError::kDamaged;
  if (size < headerSize) return Os2Dib::kRefused;
  const bool core = headerSize == kCoreHeaderSize;
  int32_t width, height;
  uint32_t planes, bitCount, compression = 0, colorsUsed = 0;
  if (core) {
    width = static_cast<int32_t>(Le16(dib + 4));
    height = static_cast<int32_t>(Le16(dib + 6));  // unsigned: always bottom-up
    planes = Le16(dib + 8);
    bitCount = Le16(dib + 10);
  } else {
    width = static_cast<int32_t>(Le32(dib + 4));
    height = static_cast<int32_t>(Le32(dib + 8));
    planes = Le16(dib + 12);
    bitCount = Le16(dib + 14);
    compression = Le32(dib + 16);
    colorsUsed = Le32(dib + 32);
    // 3 is OS/2's one-dimensional Huffman code and 4 its 24-bit run lengths, not bit fields.
    if (compression > kDibRle4) {
      *error = DibError::kCompressed;
      return Os2Dib::kRefused;
    }
  }
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) {
    *error = DibError::kHeaderType;
    return Os2Dib::kRefused;
  }
  // The colour table: 3-byte entries after the core header, 4-byte ones after the 2.x header.
  const size_t entrySize = core ? 3 : 4;
  uint64_t tableCount = 0;
  if (bitCount <= 8) {
    tableCount = uint64_t{1} << bitCount;
    if (!core && colorsUsed) tableCount = std::min<uint64_t>(colorsUsed, tableCount);
  }
  // A table cut short by rows that start earlier (the file's offset says so) has what fits before them.
  if (*pixelOffset >= headerSize && *pixelOffset < headerSize + tableCount * entrySize)
    tableCount = (*pixelOffset - headerSize) / entrySize;
  const uint64_t tableEnd = headerSize + tableCount * entrySize;
  if (tableEnd > size) return Os2Dib::kRefused;
  const uint64_t rows = *pixelOffset >= tableEnd && *pixelOffset <= size ? *pixelOffset : tableEnd;
  if (rows > size) return Os2Dib::kRefused;
  const uint64_t rowBytes = size - rows;
  const uint64_t newSize = kDibInfoHeaderSize + tableCount * 4 + rowBytes;
  try {
    out->assign(static_cast<size_t>(newSize), 0);
  } catch (const std::bad_alloc&) {
    *error = DibError::kTooLarge;
    return Os2Dib::kRefused;
  }
  uint8_t* h = out->data();
  PutLe32(h, kDibInfoHeaderSize);
  PutLe32(h + 4, static_cast<uint32_t>(width));
  PutLe32(h + 8, static_cast<uint32_t>(height));
  PutLe16(h + 12, planes);
  PutLe16(h + 14, bitCount);
  PutLe32(h + 16, compression);
  PutLe32(h + 32, static_cast<uint32_t>(tableCount));
  for (uint64_t i = 0; i < tableCount; ++i) {
    const uint8_t* e = dib + headerSize + i * entrySize;
    std::memcpy(h + kDibInfoHeaderSize + i * 4, e, 3);  // blue, green, red
  }
  if (rowBytes)
    std::memcpy(h + kDibInfoHeaderSize + tableCount * 4, dib + rows, static_cast<size_t>(rowBytes));
  *pixelOffset = static_cast<size_t>(kDibInfoHeaderSize + tableCount * 4);
  return Os2Dib::kConverted;
}

}  // namespace lw
