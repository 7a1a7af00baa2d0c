#include "optimize/unoptimize.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "model/limits.h"
#include "optimize/unoptimize_palettes.h"
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

// Draws the frame at its position onto rows of the given stride: opaque pixels only for a transparent
// frame, clipped to bw × bh.
template <typename Pixel>
void DrawOnto(Pixel* dst, size_t stride, int32_t bw, int32_t bh, const Frame& f) {
  if (!f.bitmap || !dst) return;
  const int32_t w = std::min(f.width, f.bitmap->Width()), h = std::min(f.height, f.bitmap->Height());
  const Rect r = ClipRect(f.left, f.top, w, h, bw, bh);
  const bool transparent = IsTransparent(f);
  const uint8_t ti = f.transparentIndex;
  for (int32_t y = r.y0; y < r.y1; ++y) {
    const uint8_t* src = f.bitmap->Row(y - f.top) + (r.x0 - f.left);
    Pixel* out = dst + static_cast<size_t>(y) * stride + r.x0;
    for (int32_t x = 0; x < r.x1 - r.x0; ++x)
      if (!transparent || src[x] != ti) out[x] = src[x];
  }
}

// A screen position where nothing has been drawn (or a disposal cleared it): a viewer shows it transparent.
constexpr uint16_t kNothing = 256;

// The index that stands for "nothing shown" in a picture whose drawn indices are marked in used: the frame's
// own transparent index when the picture leaves it free, else the lowest free entry of the palette, else a
// new entry added to the palette. -1 when all 256 are drawn. Without a palette any free index will do.
int ChooseTransparentIndex(const std::array<bool, 256>& used, const Frame& f, Palette* palette) {
  const int count = palette ? palette->Count() : 256;
  if (f.transparentIndex < count && !used[f.transparentIndex]) return f.transparentIndex;
  for (int i = 0; i < count; ++i)
    if (!used[static_cast<size_t>(i)]) return i;
  if (count >= 256) return -1;
  palette->Entries().push_back(PaletteEntry{});
  return count;
}

}  // namespace

void SetScreenPicture(Frame& f, FrameBitmapPtr picture, int transparentIndex, Frame* previous) {
  SetTransparent(f, false);
  SetFrameSize(f, picture->Width(), picture->Height());
  SetFramePosition(f, 0, 0);
  picture->SetColorTable(f.palette);
  SetFrameBitmap(f, std::move(picture));
  if (transparentIndex < 0) return;
  SetTransparentIndex(f, static_cast<uint8_t>(transparentIndex));
  SetTransparent(f, true);
  if (previous) SetDisposal(*previous, 2);
}

void ComposeFrame(FrameBitmap& target, const Frame& f) {
  DrawOnto(target.MutableBits(), static_cast<size_t>(target.Stride()), target.Width(), target.Height(), f);
}

bool UnoptimizeAnimation(Animation& a) {
  // One screen-sized buffer per frame: refuse a document that would not fit the engine's limits (every
  // frame becomes as large as the screen) rather than let the allocations exhaust the machine.
  const int32_t W = std::max(a.screenWidth, 0), H = std::max(a.screenHeight, 0);
  const uint64_t screenPixels = static_cast<uint64_t>(W) * static_cast<uint64_t>(H);
  if (screenPixels > Limits().maxFramePixels ||
      screenPixels * static_cast<uint64_t>(std::max(a.frameCount, 1)) > Limits().maxTotalPixels) {
    ShowError("Not enough memory for unoptimization");
    return false;
  }
  bool anyLocal = false;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) anyLocal |= f->localPalette != nullptr;
  if (anyLocal) return UnoptimizeWithPalettes(a);
  // The screen as a viewer has it between frames, and the picture shown while one frame is on it: palette
  // indices, or kNothing where the screen shows through (a web page, a chat window).
  const size_t n = static_cast<size_t>(screenPixels);
  std::unique_ptr<uint16_t[]> canvas(n ? new (std::nothrow) uint16_t[n] : nullptr);
  std::unique_ptr<uint16_t[]> shown(n ? new (std::nothrow) uint16_t[n] : nullptr);
  Palette* palette = a.globalPalette.get();
  if (!canvas || !shown) {
    ShowError("Not enough resources to unoptimize animation");
    return false;
  }
  std::fill_n(canvas.get(), n, kNothing);

  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  SetProgressText(progress.get(), "Unoptimizing animation...");
  SetProgressRange(progress.get(), static_cast<uint32_t>(std::max(a.frameCount, 0)));
  bool converted = false;
  Frame* previous = nullptr;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    const int32_t L = f->left, T = f->top, w = f->width, h = f->height;
    const int d = GetDisposal(*f);
    if (d != 3) DrawOnto(canvas.get(), static_cast<size_t>(W), W, H, *f);
    std::memcpy(shown.get(), canvas.get(), n * sizeof(uint16_t));
    // Restore previous: the frame is seen, but the canvas keeps the picture from before it.
    if (d == 3) DrawOnto(shown.get(), static_cast<size_t>(W), W, H, *f);

    std::array<bool, 256> used{};
    bool anyNothing = false;
    for (size_t i = 0; i < n; ++i) {
      if (shown[i] == kNothing)
        anyNothing = true;
      else
        used[shown[i]] = true;
    }
    // Where the picture shows nothing, the frame is transparent; with every entry drawn there is no index
    // left for that, and the background colour stands in, as before.
    const int t = anyNothing ? ChooseTransparentIndex(used, *f, palette) : -1;
    const uint8_t nothing = static_cast<uint8_t>(t >= 0 ? t : a.backgroundIndex);

    FrameBitmapPtr picture = FrameBitmap::MakeUninitialized(W, H, palette);
    uint8_t* bits = picture ? picture->MutableBits() : nullptr;
    if (!bits) {
      ShowError("Not enough memory to complete the unoptimizing.");
      break;
    }
    for (int32_t y = 0; y < H; ++y) {
      const uint16_t* src = shown.get() + static_cast<size_t>(y) * static_cast<size_t>(W);
      uint8_t* out = bits + static_cast<size_t>(y) * static_cast<size_t>(picture->Stride());
      for (int32_t x = 0; x < W; ++x) out[x] = src[x] == kNothing ? nothing : static_cast<uint8_t>(src[x]);
    }
    f->palette = palette;
    SetScreenPicture(*f, std::move(picture), t, previous);
    converted = true;
    previous = f;
    if (d == 2) {
      const Rect r = ClipRect(L, T, w, h, W, H);
      for (int32_t y = r.y0; y < r.y1; ++y)
        std::fill_n(canvas.get() + static_cast<size_t>(y) * static_cast<size_t>(W) + r.x0, r.x1 - r.x0,
                    kNothing);
    }
    StepProgress(progress.get());  // not stopped by Esc: every frame is converted
  }
  EndProgress(progress);
  if (converted) a.fileSize = kUnknownFileSize;
  return converted;
}

}  // namespace lw
