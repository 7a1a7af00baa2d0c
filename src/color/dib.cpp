#include "color/dib.h"

#include <bit>
#include <cstring>

#include "model/byte_order.h"
#include "model/limits.h"

namespace lw {

size_t DibStride(int32_t width, int bitCount) {
  if (width <= 0 || bitCount <= 0) return 0;
  uint64_t bits = static_cast<uint64_t>(width) * static_cast<uint64_t>(bitCount);
  uint64_t stride = (bits + 31) / 32 * 4;
  return stride > (uint64_t{1} << 31) ? 0 : static_cast<size_t>(stride);
}

std::array<uint32_t, 3> DibMasks(const DibHeader& header) {
  if (header.compression == kDibBitFields) return header.masks;
  if (header.bitCount == 16) return {0x7C00, 0x03E0, 0x001F};
  return {0x00FF0000, 0x0000FF00, 0x000000FF};
}

ChannelMask::ChannelMask(uint32_t m) : mask(m) {
  if (m == 0) {
    up = 8;
    return;
  }
  shift = std::countr_zero(m);
  int bits = std::popcount(m);
  if (bits < 8) up = 8 - bits;
  if (bits > 8) down = bits - 8;
}

DibError ReadDib(const uint8_t* data, size_t size, size_t pixelOffset, DibView* view) {
  *view = DibView{};
  if (!data || size < 4) return DibError::kDamaged;
  DibHeader& h = view->header;
  h.size = Le32(data);
  if (h.size != kDibInfoHeaderSize && h.size != kDibV4HeaderSize && h.size != kDibV5HeaderSize)
    return DibError::kHeaderType;
  if (size < h.size) return DibError::kDamaged;
  h.width = static_cast<int32_t>(Le32(data + 4));
  h.height = static_cast<int32_t>(Le32(data + 8));
  h.planes = Le16(data + 12);
  h.bitCount = Le16(data + 14);
  h.compression = Le32(data + 16);
  h.imageSize = Le32(data + 20);
  h.colorsUsed = Le32(data + 32);

  switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return DibError::kHeaderType;
  }
  switch (h.compression) {
    case kDibRgb:
      break;
    case kDibRle8:
      if (h.bitCount != 8) return DibError::kDamaged;
      break;
    case kDibRle4:
      if (h.bitCount != 4) return DibError::kDamaged;
      break;
    case kDibBitFields:
      if (h.bitCount != 16 && h.bitCount != 32) return DibError::kHeaderType;
      break;
    default:
      return DibError::kCompressed;
  }
  bool rle = h.compression == kDibRle8 || h.compression == kDibRle4;
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return DibError::kDamaged;
  if (rle && h.TopDown()) return DibError::kDamaged;  // run-length bitmaps are bottom-up only
  uint64_t pixels = static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.AbsHeight());
  if (pixels > Limits().maxFramePixels) return DibError::kTooLarge;

  // Masks: after a 40-byte header, inside the V4 and V5 headers.
  uint64_t tableOffset = h.size;
  if (h.compression == kDibBitFields) {
    if (h.size == kDibInfoHeaderSize) {
      if (size < tableOffset + 12) return DibError::kDamaged;
      for (int i = 0; i < 3; ++i) h.masks[static_cast<size_t>(i)] = Le32(data + h.size + 4 * i);
      tableOffset += 12;
    } else {
      for (int i = 0; i < 3; ++i) h.masks[static_cast<size_t>(i)] = Le32(data + 40 + 4 * i);
    }
  }

  uint64_t tableCount = h.colorsUsed;
  if (h.bitCount <= 8 && tableCount == 0) tableCount = uint64_t{1} << h.bitCount;
  if (tableCount > (size - tableOffset) / 4) return DibError::kDamaged;
  uint64_t tableEnd = tableOffset + tableCount * 4;
  view->colorTable = data + tableOffset;
  view->tableCount = static_cast<uint32_t>(tableCount);

  uint64_t rows = tableEnd;
  if (pixelOffset != 0 && pixelOffset >= tableEnd && pixelOffset <= size) rows = pixelOffset;
  view->bits = data + rows;
  view->bitsSize = size - rows;
  if (!rle) {
    size_t stride = DibStride(h.width, h.bitCount);
    if (stride == 0) return DibError::kTooLarge;
    if (static_cast<uint64_t>(stride) * static_cast<uint64_t>(h.AbsHeight()) > view->bitsSize)
      return DibError::kDamaged;
  }
  return DibError::kNone;
}

std::string DibErrorMessage(DibError error) {
  switch (error) {
    case DibError::kNone:
      return {};
    case DibError::kHeaderType:
      return "Loopwright does not handle this type of image data.";
    case DibError::kCompressed:
      return "Loopwright does not handle compressed BMP/DIB images.";
    case DibError::kDamaged:
      return "The BMP/DIB image data is damaged or incomplete.";
    case DibError::kTooLarge:
      return "The BMP/DIB image is too large to be loaded.";
  }
  return {};
}

void DecodeDibRle(const DibView& view, uint8_t* dst, size_t stride8) {
  const DibHeader& h = view.header;
  const bool four = h.compression == kDibRle4;
  const int width = h.width, height = h.AbsHeight();
  const uint8_t* p = view.bits;
  const uint8_t* end = view.bits + view.bitsSize;
  int x = 0, y = 0;
  auto put = [&](uint8_t index) {
    if (x < width && y < height) dst[static_cast<size_t>(y) * stride8 + static_cast<size_t>(x)] = index;
    ++x;
  };
  while (end - p >= 2 && y < height) {
    uint8_t count = p[0], value = p[1];
    p += 2;
    if (count > 0) {  // a run of count pixels
      for (int i = 0; i < count; ++i) {
        if (four)
          put(i & 1 ? value & 0x0F : value >> 4);
        else
          put(value);
      }
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // move right and up
      if (end - p < 2) break;
      x += p[0];
      y += p[1];
      p += 2;
    } else {  // value literal pixels, padded to a 16-bit boundary
      int n = value;
      size_t bytes = four ? (static_cast<size_t>(n) + 1) / 2 : static_cast<size_t>(n);
      if (static_cast<size_t>(end - p) < bytes) break;
      for (int i = 0; i < n; ++i) {
        if (four)
          put(i & 1 ? p[i / 2] & 0x0F : p[i / 2] >> 4);
        else
          put(p[i]);
      }
      bytes += bytes & 1;
      p += bytes < static_cast<size_t>(end - p) ? bytes : static_cast<size_t>(end - p);
    }
    if (x > width + 255) x = width + 255;  // keeps x bounded on hostile streams
  }
}

PalettePtr DibTablePalette(const DibView& view, int count) {
  if (count < 1 || count > 256 || static_cast<uint32_t>(count) > view.tableCount) return nullptr;
  std::vector<PaletteEntry> entries(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const uint8_t* q = view.colorTable + 4 * i;
    entries[static_cast<size_t>(i)] = {q[2], q[1], q[0], 0};
  }
  return std::make_unique<Palette>(std::move(entries));
}

}  // namespace lw
