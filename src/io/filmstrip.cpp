#include "io/filmstrip.h"

#include <algorithm>
#include <cstring>

#include "io/files.h"
#include "model/limits.h"
#include "platform/ui_hooks.h"

namespace lw {

FilmstripLayout ComputeFilmstripLayout(const Animation& a, int32_t perStrip, FilmstripOrientation o) {
  FilmstripLayout l;
  if (perStrip < 1) return l;
  int64_t frames = 0;  // counted, not taken from frameCount: every frame must find a cell
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) ++frames;
  l.strips = static_cast<int32_t>((frames + perStrip - 1) / perStrip);
  const int64_t along = int64_t{perStrip}, across = l.strips;
  if (o == FilmstripOrientation::kHorizontal) {
    l.width = along * a.screenWidth;
    l.height = across * a.screenHeight;
  } else {
    l.width = across * a.screenWidth;
    l.height = along * a.screenHeight;
  }
  return l;
}

FilmstripOrientation DefaultFilmstripOrientation(const Animation& a) {
  return a.screenHeight > a.screenWidth ? FilmstripOrientation::kHorizontal : FilmstripOrientation::kVertical;
}

bool CheckFilmstripFrames(const Animation& a) {
  const Frame* first = FirstFrame(a);
  for (const Frame* f = first; f; f = NextFrame(f)) {
    const bool same = IsTransparent(*f) == IsTransparent(*first) &&
                      (!IsTransparent(*f) || f->transparentIndex == first->transparentIndex);
    if (!same) {
      ShowError(
          "Unable to write a single filmstrip when all the frames don't share the same transparency state.");
      return false;
    }
  }
  for (const Frame* f = first; f; f = NextFrame(f)) {
    if (f->localPalette) {
      ShowError("Unable to write a single filmstrip when local palettes are present in the animation.");
      return false;
    }
  }
  return true;
}

AnimationPtr BuildFilmstrip(const Animation& a, int32_t perStrip, FilmstripOrientation o) {
  if (perStrip < 1) {
    ShowError("The number of frames per strip must be at least 1.");
    return nullptr;
  }
  const Frame* first = FirstFrame(a);
  if (!first || a.screenWidth <= 0 || a.screenHeight <= 0) {
    ShowError("There is no picture to export as a filmstrip.");
    return nullptr;
  }
  const FilmstripLayout l = ComputeFilmstripLayout(a, perStrip, o);
  if (l.width > 65535 || l.height > 65535) {
    ShowError(
        "The filmstrip would be %lldx%lld pixels; a GIF image can be at most 65535 pixels on each side.",
        static_cast<long long>(l.width), static_cast<long long>(l.height));
    return nullptr;
  }
  const auto width = static_cast<int32_t>(l.width), height = static_cast<int32_t>(l.height);
  AnimationPtr strip = CloneAnimationHeader(a);
  FramePtr image = NewFrameBlock(nullptr);
  PalettePtr palette = CopyPalette(a.globalPalette.get());
  FrameBitmapPtr bitmap = FrameBitmap::Make(width, height, palette.get());
  uint8_t* bits = bitmap ? bitmap->MutableBits() : nullptr;
  if (!strip || !image || !bits || (a.globalPalette && !palette)) {
    ShowError("Not enough memory for filmstrip creation");
    return nullptr;
  }
  std::memset(bits, a.backgroundIndex, bitmap->ByteSize());

  const int32_t W = a.screenWidth, H = a.screenHeight;
  const size_t stride = static_cast<size_t>(bitmap->Stride());
  int32_t cx = 0, cy = 0;  // the cell's origin
  for (const Frame* f = first; f; f = NextFrame(f)) {
    if (f->bitmap) {
      // Only the part of the frame inside its cell (the logical screen) is copied.
      const int64_t x0 = std::max<int64_t>(0, -int64_t{f->left});
      const int64_t y0 = std::max<int64_t>(0, -int64_t{f->top});
      const int64_t x1 = std::min<int64_t>(f->bitmap->Width(), int64_t{W} - f->left);
      const int64_t y1 = std::min<int64_t>(f->bitmap->Height(), int64_t{H} - f->top);
      for (int64_t y = y0; y < y1 && x0 < x1; ++y)
        std::memcpy(
            bits + static_cast<size_t>(cy + f->top + y) * stride + static_cast<size_t>(cx + f->left + x0),
            f->bitmap->Row(static_cast<int>(y)) + x0, static_cast<size_t>(x1 - x0));
    }
    if (o == FilmstripOrientation::kHorizontal) {
      cx += W;
      if (cx >= width) {
        cx = 0;
        cy += H;
      }
    } else {
      cy += H;
      if (cy >= height) {
        cy = 0;
        cx += W;
      }
    }
  }

  image->left = image->top = 0;
  image->width = width;
  image->height = height;
  image->delay = 0;
  image->controlFlags = 0;
  image->palette = palette.get();
  SetFrameBitmap(*image, std::move(bitmap));
  SetTransparentIndex(*image, first->transparentIndex);
  SetTransparent(*image, IsTransparent(*first));
  SetGlobalPalette(*strip, std::move(palette));
  SetScreenSize(*strip, width, height);
  SetFrameCount(*strip, 1);
  AppendBlock(*strip, std::move(image));
  CountGlobalColorUse(*strip, strip->colorUse, true);
  strip->fileSize = kUnknownFileSize;
  return strip;
}

int ExportFilmstrip(const std::string& path, const Animation& a, int32_t perStrip, FilmstripOrientation o) {
  if (!CheckFilmstripFrames(a)) return 0;
  AnimationPtr strip = BuildFilmstrip(a, perStrip, o);
  if (!strip) return 0;
  return WriteGifFile(path, *strip) == 1 ? 1 : 0;
}

}  // namespace lw
