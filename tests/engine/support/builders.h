// Small builders for test documents.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "model/animation.h"

namespace lw::test {

// A palette of count entries: entry i = (i, 255 - i, i * 7 mod 256) unless colours are given.
inline PalettePtr MakePalette(int count, std::vector<PaletteEntry> colors = {}) {
  if (colors.empty())
    for (int i = 0; i < count; ++i)
      colors.push_back(
          {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7), 0});
  return std::make_unique<Palette>(std::move(colors));
}

// A frame of w × h on the palette, pixel (x, y) = pixel(x, y).
inline FramePtr MakeFrame(int w, int h, Palette* palette, const std::function<uint8_t(int, int)>& pixel) {
  FramePtr f = NewFrameBlock(nullptr);
  f->width = w;
  f->height = h;
  f->palette = palette;
  FrameBitmapPtr bitmap = FrameBitmap::Make(w, h, palette);
  uint8_t* bits = bitmap->MutableBits();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bits[y * bitmap->Stride() + x] = pixel(x, y);
  SetFrameBitmap(*f, std::move(bitmap));
  return f;
}

// An animation with a global palette of paletteSize entries and the given number of frames of w × h,
// frame k filled with index k % paletteSize.
inline AnimationPtr MakeAnimation(int frames, int w, int h, int paletteSize = 4) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = w;
  a->screenHeight = h;
  a->loopCount = 0;
  SetGlobalPalette(*a, MakePalette(paletteSize));
  for (int k = 0; k < frames; ++k) {
    AppendBlock(*a, MakeFrame(w, h, a->globalPalette.get(),
                              [&](int, int) { return static_cast<uint8_t>(k % paletteSize); }));
    AddFrameCount(*a, 1);
  }
  return a;
}

inline std::unique_ptr<ExtensionBlock> MakeComment(const std::string& text) {
  auto c = NewExtensionBlock(kCommentBlock);
  SetCommentText(*c, text);
  return c;
}

// A fresh empty folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lwtestXXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    path_ = mkdtemp(buf.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace lw::test
