// Reading the rows of a full-colour DIB as 0xRRGGBB values, whatever its depth and masks.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "color/dib.h"

namespace lw {

// Reads the rows of a 16-, 24- or 32-bit DIB as 0xRRGGBB values, one row at a time.
class DibRowReader {
 public:
  explicit DibRowReader(const DibHeader& header)
      : header_(header),
        stride_(DibStride(header.width, header.bitCount)),
        plain_(header.bitCount == 24 || (header.bitCount == 32 && header.compression != kDibBitFields)),
        row_(static_cast<size_t>(std::max(header.width, 0))) {
    const std::array<uint32_t, 3> masks = DibMasks(header);
    r_ = ChannelMask(masks[0]);
    g_ = ChannelMask(masks[1]);
    b_ = ChannelMask(masks[2]);
  }

  bool Valid() const {
    return (header_.bitCount == 16 || header_.bitCount == 24 || header_.bitCount == 32) && stride_ > 0 &&
           header_.width > 0;
  }

  const uint32_t* Row(const uint8_t* bits, int y) {
    const uint8_t* p = bits + static_cast<size_t>(y) * stride_;
    const size_t bpp = header_.bitCount / 8;
    for (size_t x = 0; x < row_.size(); ++x, p += bpp) {
      if (plain_) {
        row_[x] = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
        continue;
      }
      uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
      if (bpp == 4) v |= static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
      row_[x] = static_cast<uint32_t>(r_.Extract(v)) << 16 | static_cast<uint32_t>(g_.Extract(v)) << 8 |
                b_.Extract(v);
    }
    return row_.data();
  }

 private:
  const DibHeader& header_;
  size_t stride_;
  bool plain_;
  ChannelMask r_, g_, b_;
  std::vector<uint32_t> row_;
};

}  // namespace lw
