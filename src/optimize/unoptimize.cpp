#include "optimize/unoptimize.h"

#include <algorithm>
#include <cstring>

#include "model/limits.h"
#include "platform/progress.h"
#include "platform/ui_hooks.h"

namespace lw {

namespace {

struct Rect {
  int32_t x0, y0, x1, y1;
};

// The part of the rectangle (left, top, w, h) inside a buffer of bw × bh.
Rect ClipRect(int64_t left, int64_t top, int64_t w, int64_t h, int32_t bw, int32_t bh) {
  auto c = [](int64_t v, int32_t max) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, max)); };
  return {c(left, bw), c(top, bh), c(left + w, bw), c(top + h, bh)};
}

void Fill(FrameBitmap& b, uint8_t* bits, const Rect& r, uint8_t index) {
  for (int32_t y = r.y0; y < r.y1; ++y)
    std::memset(bits + static_cast<size_t>(y) * static_cast<size_t>(b.Stride()) + r.x0, index,
                static_cast<size_t>(r.x1 - r.x0));
}

}  // namespace

void ComposeFrame(FrameBitmap& target, const Frame& f) {
  if (!f.bitmap) return;
  uint8_t* dst = target.MutableBits();
  if (!dst) return;
  const int32_t w = std::min(f.width, f.bitmap->Width()), h = std::min(f.height, f.bitmap->Height());
  const Rect r = ClipRect(f.left, f.top, w, h, target.Width(), target.Height());
  const size_t stride = static_cast<size_t>(target.Stride());
  const bool transparent = IsTransparent(f);
  const uint8_t ti = f.transparentIndex;
  for (int32_t y = r.y0; y < r.y1; ++y) {
    const uint8_t* src = f.bitmap->Row(y - f.top) + (r.x0 - f.left);
    uint8_t* out = dst + static_cast<size_t>(y) * stride + r.x0;
    const int32_t n = r.x1 - r.x0;
    if (!transparent) {
      std::memcpy(out, src, static_cast<size_t>(n));
    } else {
      for (int32_t x = 0; x < n; ++x)
        if (src[x] != ti) out[x] = src[x];
    }
  }
}

bool UnoptimizeAnimation(Animation& a) {
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (f->localPalette) {
      Hooks().MessageBox("Unable to Unoptimize",
                         "Because of the existence of local palettes in this animation, it cannot be "
                         "unoptimized.",
                         MsgButtons::Ok, MsgIcon::Exclamation);
      return false;
    }
  }
  // One screen-sized buffer per frame: refuse a document that would not fit the engine's limits rather
  // than let the allocations exhaust the machine.
  const uint64_t screenPixels =
      static_cast<uint64_t>(std::max(a.screenWidth, 0)) * static_cast<uint64_t>(std::max(a.screenHeight, 0));
  if (screenPixels * static_cast<uint64_t>(std::max(a.frameCount, 1)) > Limits().maxTotalPixels) {
    ShowError("Not enough memory for unoptimization");
    return false;
  }
  Palette* palette = a.globalPalette.get();
  FrameBitmapPtr canvas = FrameBitmap::Make(a.screenWidth, a.screenHeight, palette);
  uint8_t* canvasBits = canvas ? canvas->MutableBits() : nullptr;
  if (!canvasBits) {
    ShowError("Not enough resources to unoptimize animation");
    return false;
  }
  const Rect screen{0, 0, a.screenWidth, a.screenHeight};
  Fill(*canvas, canvasBits, screen, a.backgroundIndex);

  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  SetProgressText(progress.get(), "Unoptimizing animation...");
  SetProgressRange(progress.get(), static_cast<uint32_t>(std::max(a.frameCount, 0)));
  bool converted = false;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    const int32_t L = f->left, T = f->top, w = f->width, h = f->height;
    const int d = GetDisposal(*f);
    if (d != 3) ComposeFrame(*canvas, *f);
    // The canvas is copied pixel for pixel, so the new frame owns its buffer from the start.
    FrameBitmapPtr picture = FrameBitmap::Make(a.screenWidth, a.screenHeight, palette);
    uint8_t* bits = picture ? picture->MutableBits() : nullptr;
    if (!bits) {
      ShowError("Not enough memory to complete the unoptimizing.");
      break;
    }
    std::memcpy(bits, canvas->Bits(), canvas->ByteSize());
    // Restore previous: the frame is seen, but the canvas keeps the picture from before it.
    if (d == 3) ComposeFrame(*picture, *f);
    SetTransparent(*f, false);
    SetFrameSize(*f, a.screenWidth, a.screenHeight);
    SetFramePosition(*f, 0, 0);
    f->palette = palette;
    SetFrameBitmap(*f, std::move(picture));
    converted = true;
    if (d == 2)
      Fill(*canvas, canvasBits, ClipRect(L, T, w, h, a.screenWidth, a.screenHeight), a.backgroundIndex);
    StepProgress(progress.get());  // not stopped by Esc: every frame is converted
  }
  EndProgress(progress);
  if (converted) a.fileSize = kUnknownFileSize;
  return converted;
}

}  // namespace lw
