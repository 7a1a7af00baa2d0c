// Builds packed DIBs and BMP files byte by byte for the colour and BMP tests.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "color/dib.h"

namespace lw::test {

struct DibLayout {
  uint32_t headerSize = 40;
  int32_t width = 1;
  int32_t height = 1;  // negative: top-down
  uint16_t bitCount = 24;
  uint32_t compression = kDibRgb;
  uint32_t colorsUsed = 0;
  std::array<uint32_t, 3> masks{};    // written for bit fields
  std::vector<PaletteEntry> table{};  // written as blue, green, red, 0
};

inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
inline void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Set32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + static_cast<size_t>(i)] = static_cast<uint8_t>(x >> (8 * i));
}

// Header, masks (after a 40-byte header, inside a V4/V5 one), colour table; the rows are the caller's.
inline std::vector<uint8_t> DibHead(const DibLayout& s) {
  std::vector<uint8_t> v;
  Put32(v, s.headerSize);
  Put32(v, static_cast<uint32_t>(s.width));
  Put32(v, static_cast<uint32_t>(s.height));
  Put16(v, 1);
  Put16(v, s.bitCount);
  Put32(v, s.compression);
  Put32(v, 0);  // image size
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, s.colorsUsed);
  Put32(v, 0);
  if (s.headerSize > 40) {
    for (uint32_t m : s.masks) Put32(v, m);
    while (v.size() < s.headerSize) v.push_back(0);
  } else if (s.compression == kDibBitFields) {
    for (uint32_t m : s.masks) Put32(v, m);
  }
  for (const PaletteEntry& e : s.table) {
    v.push_back(e.blue);
    v.push_back(e.green);
    v.push_back(e.red);
    v.push_back(0);
  }
  return v;
}

// Rows in memory order, each filled by the row function and padded to 4 bytes.
inline std::vector<uint8_t> DibRows(const DibLayout& s,
                                    const std::function<void(int, std::vector<uint8_t>&)>& row) {
  size_t stride = DibStride(s.width, s.bitCount);
  std::vector<uint8_t> out;
  int h = s.height < 0 ? -s.height : s.height;
  for (int y = 0; y < h; ++y) {
    std::vector<uint8_t> r;
    row(y, r);
    r.resize(stride, 0);
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A BMP file: the 14-byte file header (size field as given, or the real size) before the DIB.
inline std::vector<uint8_t> BmpFile(const std::vector<uint8_t>& dib, uint32_t pixelOffset,
                                    uint32_t sizeField = 0) {
  std::vector<uint8_t> v{'B', 'M'};
  Put32(v, sizeField ? sizeField : static_cast<uint32_t>(dib.size() + 14));
  Put32(v, 0);
  Put32(v, pixelOffset);
  v.insert(v.end(), dib.begin(), dib.end());
  return v;
}

}  // namespace lw::test
