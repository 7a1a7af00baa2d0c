#include "edit/rotate_flip.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace lw {

namespace {

bool IsQuarterTurn(int command) {
  return command == kRotateClockwise || command == kRotateCounterClockwise;
}

// Exchanges the rows top to bottom, in place. Gives false when the row buffer cannot be had (the frame is
// then left as it was).
bool FlipRowsInPlace(Frame& f) {
  const int h = f.bitmap->Height();
  const size_t stride = static_cast<size_t>(f.bitmap->Stride());
  std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[stride]);
  if (!row) return false;
  uint8_t* bits = f.MutableBits();
  if (!bits) return false;
  for (int i = 0; i < h / 2; ++i) {
    uint8_t* a = bits + static_cast<size_t>(i) * stride;
    uint8_t* b = bits + static_cast<size_t>(h - 1 - i) * stride;
    std::memcpy(row.get(), a, stride);
    std::memcpy(a, b, stride);
    std::memcpy(b, row.get(), stride);
  }
  // The pixels moved under the mask: build it again.
  SetFrameBitmap(f, std::move(f.bitmap));
  return true;
}

}  // namespace

int RotateFlipFrame(Animation& a, Frame& f, int command) {
  if (command < kRotateClockwise || command > kFlipVertically || !f.bitmap) return 0;
  const int w = f.bitmap->Width(), h = f.bitmap->Height();
  const bool quarter = IsQuarterTurn(command);
  const int newWidth = quarter ? h : w, newHeight = quarter ? w : h;

  bool grow = false;
  if (newWidth != w)
    grow = int64_t{f.left} + newWidth > a.screenWidth || int64_t{f.top} + newHeight > a.screenHeight;

  if (command == kFlipVertically) {
    FlipRowsInPlace(f);  // a missing row buffer leaves the frame as it is; the command still counts
  } else {
    FrameBitmapPtr bitmap = FrameBitmap::Make(newWidth, newHeight, f.palette);
    if (!bitmap) return 0;
    uint8_t* dst = bitmap->MutableBits();
    const int ds = bitmap->Stride();
    for (int y = 0; y < newHeight; ++y) {
      uint8_t* out = dst + static_cast<size_t>(y) * static_cast<size_t>(ds);
      switch (command) {
        case kRotateClockwise:  // new (x, y) = old (y, h - 1 - x)
          for (int x = 0; x < newWidth; ++x) out[x] = f.bitmap->Row(h - 1 - x)[y];
          break;
        case kRotate180: {  // new (x, y) = old (w - 1 - x, h - 1 - y)
          const uint8_t* in = f.bitmap->Row(h - 1 - y);
          for (int x = 0; x < newWidth; ++x) out[x] = in[w - 1 - x];
          break;
        }
        case kRotateCounterClockwise:  // new (x, y) = old (w - 1 - y, x)
          for (int x = 0; x < newWidth; ++x) out[x] = f.bitmap->Row(x)[w - 1 - y];
          break;
        case kFlipHorizontally: {  // new (x, y) = old (w - 1 - x, y)
          const uint8_t* in = f.bitmap->Row(y);
          for (int x = 0; x < newWidth; ++x) out[x] = in[w - 1 - x];
          break;
        }
      }
    }
    SetFrameSize(f, newWidth, newHeight);
    SetFrameBitmap(f, std::move(bitmap));
  }

  if (!grow) return 1;
  SetScreenSize(a, static_cast<int32_t>(std::max<int64_t>(int64_t{f.left} + newWidth, a.screenWidth)),
                static_cast<int32_t>(std::max<int64_t>(int64_t{f.top} + newHeight, a.screenHeight)));
  return 2;
}

}  // namespace lw
