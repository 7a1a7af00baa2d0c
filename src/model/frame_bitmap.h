// The pixels of one frame: 8 bits per pixel, top-down rows padded to a multiple of 4 bytes, with a
// 256-entry colour table for drawing. Pixel buffers are shared between copies until one of them writes
// (MutableBits makes the buffer its own first), so copying a document costs nothing per pixel.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "model/palette.h"

namespace lw {

using ColorTable = std::array<PaletteEntry, 256>;

constexpr int StrideFor8Bit(int width) {
  return (width + 3) & ~3;
}
constexpr int StrideFor1Bit(int width) {
  return ((width + 31) / 32) * 4;
}

class FrameBitmap {
 public:
  // A bitmap of width × height on the palette (its colour table takes the palette's entries, the rest
  // black). Pixels start at 0. Null when a side is not positive, the size is over the limits, or memory
  // runs out.
  static std::unique_ptr<FrameBitmap> Make(int width, int height, const Palette* palette);
  // The same with the pixels left uninitialised, for a caller that writes every byte (the GIF reader).
  static std::unique_ptr<FrameBitmap> MakeUninitialized(int width, int height, const Palette* palette);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  size_t ByteSize() const { return static_cast<size_t>(stride_) * static_cast<size_t>(height_); }

  const uint8_t* Bits() const { return pixels_.get(); }
  const uint8_t* Row(int y) const {
    return pixels_.get() + static_cast<size_t>(y) * static_cast<size_t>(stride_);
  }
  // The pixels for writing; a buffer shared with a copy is duplicated first. Null when that copy cannot
  // be made (out of memory).
  uint8_t* MutableBits();
  bool SharesPixelsWith(const FrameBitmap& other) const { return pixels_ == other.pixels_; }

  const ColorTable& Colors() const { return colors_; }
  void SetColor(int index, PaletteEntry color) { colors_[static_cast<size_t>(index & 255)] = color; }
  // Entry i takes palette entry i; entries past the palette's count become black.
  void SetColorTable(const Palette* palette);

  // A copy that shares the pixels.
  std::unique_ptr<FrameBitmap> Clone() const { return std::make_unique<FrameBitmap>(*this); }

  FrameBitmap(const FrameBitmap&) = default;
  FrameBitmap& operator=(const FrameBitmap&) = default;

 private:
  FrameBitmap() = default;
  static std::unique_ptr<FrameBitmap> MakeImpl(int width, int height, const Palette* palette, bool zeroed);
  int width_ = 0, height_ = 0, stride_ = 0;
  std::shared_ptr<uint8_t[]> pixels_;
  ColorTable colors_{};
};

using FrameBitmapPtr = std::unique_ptr<FrameBitmap>;

// The 1-bit transparency mask: top-down, rows padded to 4 bytes, most significant bit first; a bit is 1
// where the frame's pixel equals the transparent index.
class MaskBitmap {
 public:
  static std::shared_ptr<const MaskBitmap> Build(const FrameBitmap& bitmap, uint8_t transparentIndex);
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  bool IsSet(int x, int y) const {
    return (bits_[static_cast<size_t>(y) * static_cast<size_t>(stride_) + static_cast<size_t>(x >> 3)] >>
            (7 - (x & 7))) &
           1;
  }
  const uint8_t* Bits() const { return bits_.get(); }

 private:
  int width_ = 0, height_ = 0, stride_ = 0;
  std::unique_ptr<uint8_t[]> bits_;
};

using MaskPtr = std::shared_ptr<const MaskBitmap>;

}  // namespace lw
