// Cutting the whole animation down to a rectangle of its screen.
#include <algorithm>

#include "edit/transforms/compose_frames.h"
#include "edit/transforms/transforms.h"
#include "platform/ui_hooks.h"

namespace lw {

namespace {

// A frame that lies wholly outside the rectangle keeps its place and delay as one transparent pixel that
// shows nothing and is left alone.
bool MakeInvisible(Frame& f) {
  FrameBitmapPtr dot = FrameBitmap::Make(1, 1, f.palette);
  uint8_t* bits = dot ? dot->MutableBits() : nullptr;
  if (!bits) return false;
  bits[0] = f.transparentIndex;
  SetFrameSize(f, 1, 1);
  SetFramePosition(f, 0, 0);
  SetFrameBitmap(f, std::move(dot));
  SetTransparent(f, true);
  SetDisposal(f, 1);
  return true;
}

bool Crop(Animation& a, int32_t x, int32_t y, int32_t width, int32_t height) {
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    // The part of the frame inside the rectangle, in screen coordinates.
    const int64_t fw = f->bitmap ? std::min(f->width, f->bitmap->Width()) : 0;
    const int64_t fh = f->bitmap ? std::min(f->height, f->bitmap->Height()) : 0;
    const int64_t x0 = std::max<int64_t>(x, f->left), y0 = std::max<int64_t>(y, f->top);
    const int64_t x1 = std::min<int64_t>(int64_t{x} + width, f->left + fw);
    const int64_t y1 = std::min<int64_t>(int64_t{y} + height, f->top + fh);
    bool ok;
    if (x1 <= x0 || y1 <= y0) {
      ok = MakeInvisible(*f);
    } else {
      ok = CropFrame(*f, static_cast<int32_t>(x0 - f->left), static_cast<int32_t>(y0 - f->top),
                     static_cast<int32_t>(x1 - x0), static_cast<int32_t>(y1 - y0));
      if (ok) SetFramePosition(*f, static_cast<int32_t>(x0 - x), static_cast<int32_t>(y0 - y));
    }
    if (!ok) {
      ShowError("Not enough memory to crop the animation.");
      return false;
    }
  }
  SetScreenSize(a, width, height);
  a.fileSize = kUnknownFileSize;
  return true;
}

}  // namespace

bool CropScreen(Animation& a, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (x < 0 || y < 0 || width < 1 || height < 1 || int64_t{x} + width > a.screenWidth ||
      int64_t{y} + height > a.screenHeight) {
    ShowError("The rectangle %d,%d %dx%d is not inside the %dx%d screen.", x, y, width, height, a.screenWidth,
              a.screenHeight);
    return false;
  }
  if (x == 0 && y == 0 && width == a.screenWidth && height == a.screenHeight) return false;
  return EditOnCopy(a, [&](Animation& c) { return Crop(c, x, y, width, height); });
}

}  // namespace lw
