#include "optimize/pictures.h"

#include <algorithm>

namespace lw {

namespace {

struct Clip {
  int32_t x0, y0, x1, y1;  // screen rectangle covered by the frame, clipped
};

Clip ClipToScreen(const Frame& f, int32_t w, int32_t h) {
  auto lo = [](int64_t v, int32_t max) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, max)); };
  return {lo(f.left, w), lo(f.top, h), lo(int64_t{f.left} + f.width, w), lo(int64_t{f.top} + f.height, h)};
}

}  // namespace

PictureComposer::PictureComposer(int32_t screenWidth, int32_t screenHeight)
    : width_(std::max(screenWidth, 0)),
      height_(std::max(screenHeight, 0)),
      canvas_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0) {}

const std::vector<RgbaPixel>& PictureComposer::Show(const Frame& f) {
  const int disposal = GetDisposal(f);
  if (disposal == 3) saved_ = canvas_;
  if (f.bitmap) {
    RgbaPixel colors[256];
    // A frame without any colour table shows the default palette.
    const Palette& palette = f.palette ? *f.palette : DefaultPalette();
    const int count = palette.Count();
    for (int i = 0; i < 256; ++i) {
      PaletteEntry e = i < count ? palette[i] : PaletteEntry{};
      colors[i] = 0xFF000000u | uint32_t{e.blue} << 16 | uint32_t{e.green} << 8 | e.red;
    }
    const bool transparent = IsTransparent(f);
    const uint8_t ti = f.transparentIndex;
    Clip c = ClipToScreen(f, width_, height_);
    const int32_t bw = std::min(f.width, f.bitmap->Width()), bh = std::min(f.height, f.bitmap->Height());
    c.x1 = std::min<int32_t>(c.x1, static_cast<int32_t>(std::max<int64_t>(0, int64_t{f.left} + bw)));
    c.y1 = std::min<int32_t>(c.y1, static_cast<int32_t>(std::max<int64_t>(0, int64_t{f.top} + bh)));
    for (int32_t y = c.y0; y < c.y1; ++y) {
      const uint8_t* src = f.bitmap->Row(y - f.top);
      RgbaPixel* dst = canvas_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
      for (int32_t x = c.x0; x < c.x1; ++x) {
        uint8_t p = src[x - f.left];
        if (!transparent || p != ti) dst[x] = colors[p];
      }
    }
  }
  shown_ = canvas_;
  if (disposal == 2) {
    Clip c = ClipToScreen(f, width_, height_);
    for (int32_t y = c.y0; y < c.y1; ++y)
      std::fill_n(canvas_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + c.x0, c.x1 - c.x0, 0u);
  } else if (disposal == 3) {
    canvas_.swap(saved_);
  }
  return shown_;
}

std::vector<uint64_t> PictureDigests(const Animation& a) {
  std::vector<uint64_t> out;
  PictureComposer composer(a.screenWidth, a.screenHeight);
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    const std::vector<RgbaPixel>& picture = composer.Show(*f);
    uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a over the pixels
    for (RgbaPixel p : picture) {
      h ^= p;
      h *= 0x100000001b3ull;
    }
    out.push_back(h);
  }
  return out;
}

}  // namespace lw
