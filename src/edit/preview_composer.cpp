#include "edit/preview_composer.h"

#include <algorithm>
#include <new>

#include "model/limits.h"

namespace lw {

bool PreviewPicture::Make(int32_t width, int32_t height, ScreenPixel background) {
  Discard();
  background_ = background;
  if (width <= 0 || height <= 0) return false;
  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (count > Limits().maxFramePixels) return false;
  try {
    pixels_.assign(static_cast<size_t>(count), background);
  } catch (const std::bad_alloc&) {
    Discard();
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

void PreviewPicture::Discard() {
  std::vector<ScreenPixel>().swap(pixels_);
  std::vector<ScreenPixel>().swap(saved_);
  width_ = height_ = 0;
  pendingDisposal_ = 0;
  pendingRect_ = {};
}

void PreviewPicture::Clear() {
  std::fill(pixels_.begin(), pixels_.end(), background_);
  pendingDisposal_ = 0;
  pendingRect_ = {};
}

PreviewPicture::Rect PreviewPicture::Clip(const Frame& f) const {
  // Only the pixels the frame really has are drawn, however its recorded size reads.
  int64_t w = std::max(0, f.width), h = std::max(0, f.height);
  if (f.bitmap) {
    w = std::min<int64_t>(w, f.bitmap->Width());
    h = std::min<int64_t>(h, f.bitmap->Height());
  } else {
    w = h = 0;
  }
  auto clamp = [](int64_t v, int32_t max) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, max)); };
  return {clamp(f.left, width_), clamp(f.top, height_), clamp(int64_t{f.left} + w, width_),
          clamp(int64_t{f.top} + h, height_)};
}

void PreviewPicture::Fill(const Rect& r, ScreenPixel color) {
  for (int32_t y = r.y0; y < r.y1; ++y)
    std::fill_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + r.x0, r.x1 - r.x0, color);
  touched_ += static_cast<uint64_t>(r.x1 - r.x0) * static_cast<uint64_t>(r.y1 - r.y0);
}

void PreviewPicture::Settle() {
  if (!Exists()) return;
  // The frame before goes as its disposal method says.
  if (!pendingRect_.Empty()) {
    if (pendingDisposal_ == 2) {
      Fill(pendingRect_, background_);
    } else if (pendingDisposal_ == 3) {
      const Rect& r = pendingRect_;
      const size_t rowWidth = static_cast<size_t>(r.x1 - r.x0);
      for (int32_t y = r.y0; y < r.y1; ++y)
        std::copy_n(saved_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(y - r.y0) * rowWidth),
                    rowWidth, pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + r.x0);
      touched_ += rowWidth * static_cast<size_t>(r.y1 - r.y0);
    }
  }
  pendingRect_ = Rect{};
}

void PreviewPicture::Draw(const Frame& f) {
  if (!Exists()) return;
  Settle();
  const Rect r = Clip(f);
  pendingDisposal_ = GetDisposal(f);
  pendingRect_ = r;
  if (r.Empty()) return;
  if (pendingDisposal_ == 3) {
    const size_t rowWidth = static_cast<size_t>(r.x1 - r.x0);
    try {
      saved_.resize(rowWidth * static_cast<size_t>(r.y1 - r.y0));
      for (int32_t y = r.y0; y < r.y1; ++y)
        std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + r.x0, rowWidth,
                    saved_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(y - r.y0) * rowWidth));
      touched_ += rowWidth * static_cast<size_t>(r.y1 - r.y0);
    } catch (const std::bad_alloc&) {
      pendingDisposal_ = 1;  // no room to keep what lies beneath: the frame stays when it goes
    }
  }
  // Colours from the palette in effect; indices past its end are black, as in the frame's colour table.
  ScreenPixel colors[256];
  const Palette& palette = f.palette ? *f.palette : DefaultPalette();
  const int count = palette.Count();
  for (int i = 0; i < 256; ++i) {
    PaletteEntry e = i < count ? palette[i] : PaletteEntry{};
    colors[i] = MakeScreenPixel(e.red, e.green, e.blue);
  }
  const bool transparent = IsTransparent(f);
  const uint8_t skip = f.transparentIndex;
  for (int32_t y = r.y0; y < r.y1; ++y) {
    const uint8_t* src = f.bitmap->Row(y - f.top) + (r.x0 - f.left);
    ScreenPixel* dst = pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
    if (transparent) {
      for (int32_t x = r.x0; x < r.x1; ++x, ++src)
        if (*src != skip) dst[x] = colors[*src];
    } else {
      for (int32_t x = r.x0; x < r.x1; ++x, ++src) dst[x] = colors[*src];
    }
  }
  touched_ += static_cast<uint64_t>(r.x1 - r.x0) * static_cast<uint64_t>(r.y1 - r.y0);
}

// ---- PreviewComposer ----

PreviewComposer::PreviewComposer(const Animation* a, ScreenPixel background) : background_(background) {
  SetPreviewAnimation(a);
}

void PreviewComposer::SetPreviewAnimation(const Animation* a) {
  animation_ = a;
  number_ = 0;
  userInput_ = false;
  MakePicture();
}

void PreviewComposer::SetBackground(ScreenPixel background) {
  background_ = background;
  picture_.SetBackground(background);
}

void PreviewComposer::MakePicture() {
  if (animation_)
    picture_.Make(animation_->screenWidth, animation_->screenHeight, background_);
  else
    picture_.Discard();
}

const Frame* PreviewComposer::Current() const {
  return animation_ && number_ > 0 ? NthFrame(*animation_, number_ - 1) : nullptr;
}

int PreviewComposer::CurrentDelayMs() const {
  const Frame* f = Current();
  if (!f || f->delay == 0) return 1;
  return static_cast<int>(std::min<uint64_t>(uint64_t{f->delay} * 10, 0x7FFFFFFF));
}

const Frame* PreviewComposer::AdvanceFrom(const Frame* current) {
  if (!animation_) return nullptr;
  const Frame* next = current ? NextFrame(current) : nullptr;
  if (next) {
    ++number_;
  } else {
    // The first frame, or after the last one the first again.
    next = FirstFrame(*animation_);
    number_ = next ? 1 : 0;
  }
  userInput_ = next && GetUserInput(*next);
  if (next) {
    picture_.Draw(*next);
    ++composed_;
  }
  return next;
}

void PreviewComposer::PreviewAdvance() {
  AdvanceFrom(Current());
}

void PreviewComposer::PreviewGoTo(int n) {
  if (!animation_ || n == number_) return;
  if (n <= 0) {
    number_ = 0;
    userInput_ = false;
    return;
  }
  int count = 0;
  for (const Frame* f = FirstFrame(*animation_); f; f = NextFrame(f)) ++count;
  if (count == 0) return;
  n = std::min(n, count);
  const Frame* current = Current();
  // Backwards, or the frame shown is gone: compose again from the first frame.
  if (n < number_ || (number_ > 0 && !current)) {
    Restart();
    current = nullptr;
  }
  while (number_ != n) {
    current = AdvanceFrom(current);
    if (!current) break;
  }
}

void PreviewComposer::Restart() {
  picture_.Clear();
  number_ = 0;
  userInput_ = false;
}

void PreviewComposer::AnimationChanged(bool restart) {
  if (!animation_) return;
  if (picture_.Width() != animation_->screenWidth || picture_.Height() != animation_->screenHeight ||
      !picture_.Exists())
    MakePicture();
  const int shown = number_;
  Restart();
  if (!restart && shown > 0) PreviewGoTo(shown);
}

}  // namespace lw
