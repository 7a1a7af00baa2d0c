#include "model/frame_bitmap.h"

#include <cstring>
#include <new>

#include "model/limits.h"

namespace lw {

PixelLimits& Limits() {
  static PixelLimits limits;
  return limits;
}

std::unique_ptr<FrameBitmap> FrameBitmap::Make(int width, int height, const Palette* palette) {
  return MakeImpl(width, height, palette, true);
}

std::unique_ptr<FrameBitmap> FrameBitmap::MakeUninitialized(int width, int height, const Palette* palette) {
  return MakeImpl(width, height, palette, false);
}

std::unique_ptr<FrameBitmap> FrameBitmap::MakeImpl(int width, int height, const Palette* palette,
                                                   bool zeroed) {
  if (width <= 0 || height <= 0) return nullptr;
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > Limits().maxFramePixels) return nullptr;
  std::unique_ptr<FrameBitmap> bitmap(new (std::nothrow) FrameBitmap);
  if (!bitmap) return nullptr;
  bitmap->width_ = width;
  bitmap->height_ = height;
  bitmap->stride_ = StrideFor8Bit(width);
  uint8_t* raw = zeroed ? new (std::nothrow) uint8_t[bitmap->ByteSize()]()
                        : new (std::nothrow) uint8_t[bitmap->ByteSize()];
  if (!raw) return nullptr;
  bitmap->pixels_.reset(raw);
  bitmap->SetColorTable(palette);
  return bitmap;
}

uint8_t* FrameBitmap::MutableBits() {
  if (pixels_.use_count() > 1) {
    uint8_t* raw = new (std::nothrow) uint8_t[ByteSize()];
    if (!raw) return nullptr;
    std::memcpy(raw, pixels_.get(), ByteSize());
    pixels_.reset(raw);
  }
  return pixels_.get();
}

void FrameBitmap::SetColorTable(const Palette* palette) {
  int count = palette ? palette->Count() : 0;
  for (int i = 0; i < 256; ++i) colors_[static_cast<size_t>(i)] = i < count ? (*palette)[i] : PaletteEntry{};
}

std::shared_ptr<const MaskBitmap> MaskBitmap::Build(const FrameBitmap& bitmap, uint8_t transparentIndex) {
  auto mask = std::make_shared<MaskBitmap>();
  mask->width_ = bitmap.Width();
  mask->height_ = bitmap.Height();
  mask->stride_ = StrideFor1Bit(mask->width_);
  size_t size = static_cast<size_t>(mask->stride_) * static_cast<size_t>(mask->height_);
  mask->bits_.reset(new (std::nothrow) uint8_t[size]());
  if (!mask->bits_) return nullptr;
  for (int y = 0; y < mask->height_; ++y) {
    const uint8_t* src = bitmap.Row(y);
    uint8_t* dst = mask->bits_.get() + static_cast<size_t>(y) * static_cast<size_t>(mask->stride_);
    for (int x = 0; x < mask->width_; ++x)
      if (src[x] == transparentIndex) dst[x >> 3] = static_cast<uint8_t>(dst[x >> 3] | (0x80 >> (x & 7)));
  }
  return mask;
}

}  // namespace lw
