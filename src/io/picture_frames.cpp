#include "io/picture_frames.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "color/dib.h"
#include "color/quantize.h"
#include "color/true_color.h"
#include "model/frame_bitmap.h"
#include "model/limits.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

constexpr uint32_t kEmptySlot = 0xFFFFFFFFu;

uint32_t PixelColor(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}
PaletteEntry EntryOf(uint32_t color) {
  return {static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8), static_cast<uint8_t>(color),
          0};
}
uint32_t ColorOf(const PaletteEntry& e) {
  return static_cast<uint32_t>(e.red) << 16 | static_cast<uint32_t>(e.green) << 8 | e.blue;
}

// An open-addressed table from colour to palette index, for up to 256 colours.
class ColorIndexTable {
 public:
  ColorIndexTable() { keys_.fill(kEmptySlot); }
  // The colour's index, adding it as the next one; -1 when the table already holds 256.
  int Find(uint32_t color) {
    size_t slot = (color * 2654435761u) >> 22;
    for (;;) {
      if (keys_[slot] == color) return values_[slot];
      if (keys_[slot] == kEmptySlot) {
        if (count_ == 256) return -1;
        keys_[slot] = color;
        values_[slot] = static_cast<uint8_t>(count_);
        colors_.push_back(color);
        return count_++;
      }
      slot = (slot + 1) & 1023;
    }
  }
  int Count() const { return count_; }
  const std::vector<uint32_t>& Colors() const { return colors_; }

 private:
  std::array<uint32_t, 1024> keys_;
  std::array<uint8_t, 1024> values_{};
  std::vector<uint32_t> colors_;
  int count_ = 0;
};

}  // namespace

namespace {

// "Best for video" where there is no clip to encode: the high-quality adaptive palette.
PaletteChoice StillChoice(PaletteChoice choice) {
  if (!(choice & kChoiceVideo)) return choice;
  return ChoiceWithBits((choice & kChoiceDither) | kChoiceAdaptive | kChoiceBest, 8);
}

}  // namespace

uint32_t DelayClock::Next(uint32_t durationMs) {
  if (durationMs == 0) return 0;
  elapsedMs_ += durationMs;
  const uint64_t end = (elapsedMs_ + 5) / 10;
  const auto delay = static_cast<uint32_t>(std::min<uint64_t>(end - elapsedHundredths_, 65535));
  elapsedHundredths_ = static_cast<uint32_t>(std::min<uint64_t>(end, 0xFFFFFFFFu));
  return delay;
}

PictureFrameBuilder::PictureFrameBuilder(const Palette* currentGlobal, PaletteChoice highColorChoice,
                                         bool animation)
    : currentGlobal_(currentGlobal),
      choice_(animation ? highColorChoice : StillChoice(highColorChoice)),
      animation_pictures_(animation) {}

// The frame's own colours when they fit, indices in rows of the frame's width.
PalettePtr PictureFrameBuilder::FramePalette(const uint8_t* rgba, size_t pixels,
                                             std::vector<uint8_t>* indices, int* transparent) {
  ColorIndexTable table;
  bool hasTransparent = false;
  uint32_t lastColor = kEmptySlot;
  int lastIndex = 0;
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* p = rgba + 4 * i;
    if (p[3] < kOpaqueAlpha) {
      hasTransparent = true;
      (*indices)[i] = 0;  // set below, once the transparent entry's place is known
      continue;
    }
    const uint32_t color = PixelColor(p);
    if (color != lastColor) {
      lastIndex = table.Find(color);
      if (lastIndex < 0) return nullptr;
      lastColor = color;
    }
    (*indices)[i] = static_cast<uint8_t>(lastIndex);
  }
  const int count = table.Count();
  if (count + (hasTransparent ? 1 : 0) > 256) return nullptr;
  std::vector<PaletteEntry> entries;
  for (uint32_t color : table.Colors()) entries.push_back(EntryOf(color));
  *transparent = -1;
  if (hasTransparent) {
    *transparent = count;
    entries.push_back({0, 0, 0, 0});
    for (size_t i = 0; i < pixels; ++i)
      if (rgba[4 * i + 3] < kOpaqueAlpha) (*indices)[i] = static_cast<uint8_t>(count);
  }
  if (entries.empty()) entries.push_back({0, 0, 0, 0});
  return std::make_unique<Palette>(std::move(entries));
}

// Frames with more colours: mapped as the high-colour choice says; transparent pixels then take an entry
// of their own (a free one, else the least used, whose pixels move to their nearest other entry).
PalettePtr PictureFrameBuilder::ConvertByChoice(const uint8_t* rgba, int32_t width, int32_t height,
                                                std::vector<uint8_t>* indices, bool hasTransparent,
                                                int* transparent) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  DibHeader header;
  header.width = width;
  header.height = -height;
  header.bitCount = 32;
  std::vector<uint8_t> bgrx(pixels * 4);
  // Transparent pixels take the first opaque colour, so that they do not add colours to the palette.
  uint32_t fill = 0;
  for (size_t i = 0; i < pixels; ++i)
    if (rgba[4 * i + 3] >= kOpaqueAlpha) {
      fill = PixelColor(rgba + 4 * i);
      break;
    }
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* s = rgba + 4 * i;
    uint8_t* d = bgrx.data() + 4 * i;
    const uint32_t c = s[3] >= kOpaqueAlpha ? PixelColor(s) : fill;
    d[0] = static_cast<uint8_t>(c);
    d[1] = static_cast<uint8_t>(c >> 8);
    d[2] = static_cast<uint8_t>(c >> 16);
    d[3] = 0;
  }
  PalettePtr palette;
  if ((choice_ & kChoiceGlobalOnly) && currentGlobal_ && currentGlobal_->Count() > 0)
    palette = CopyPalette(currentGlobal_);
  else
    palette = BuildDibPalette(header, bgrx.data(), choice_ | kChoiceAdaptive);
  if (!palette) return nullptr;
  const size_t stride = static_cast<size_t>(StrideFor8Bit(width));
  std::vector<uint8_t> mapped(stride * static_cast<size_t>(height));
  if (!ConvertDibByChoice(header, mapped.data(), bgrx.data(), *palette, choice_)) return nullptr;
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(indices->data() + static_cast<size_t>(y) * static_cast<size_t>(width),
                mapped.data() + stride * static_cast<size_t>(y), static_cast<size_t>(width));
  *transparent = -1;
  if (!hasTransparent) return palette;
  if (palette->Count() < 256) {
    *transparent = palette->Count();
    palette->Entries().push_back({0, 0, 0, 0});
  } else {
    std::array<uint64_t, 256> use{};
    for (size_t i = 0; i < pixels; ++i)
      if (rgba[4 * i + 3] >= kOpaqueAlpha) ++use[(*indices)[i]];
    const int t = static_cast<int>(std::min_element(use.begin(), use.end()) - use.begin());
    if (use[static_cast<size_t>(t)] > 0) {
      const PaletteEntry moved = (*palette)[t];
      int best = t == 0 ? 1 : 0;
      auto distance = [&](const PaletteEntry& e) {
        const int dr = e.red - moved.red, dg = e.green - moved.green, db = e.blue - moved.blue;
        return dr * dr + dg * dg + db * db;
      };
      for (int i = 0; i < 256; ++i)
        if (i != t && distance((*palette)[i]) < distance((*palette)[best])) best = i;
      for (size_t i = 0; i < pixels; ++i)
        if ((*indices)[i] == t) (*indices)[i] = static_cast<uint8_t>(best);
    }
    *transparent = t;
  }
  for (size_t i = 0; i < pixels; ++i)
    if (rgba[4 * i + 3] < kOpaqueAlpha) (*indices)[i] = static_cast<uint8_t>(*transparent);
  return palette;
}

void PictureFrameBuilder::MergeIntoUnion(const Palette& palette, int transparent) {
  for (int i = 0; i < palette.Count() && unionPossible_; ++i) {
    if (i == transparent) continue;
    const uint32_t color = ColorOf(palette[i]);
    if (unionColors_.count(color)) continue;
    // One entry stays free for transparency when any frame needs it.
    if (unionEntries_.size() + (anyTransparent_ ? 1 : 0) >= 256) {
      unionPossible_ = false;
      break;
    }
    unionColors_.emplace(color, static_cast<uint8_t>(unionEntries_.size()));
    unionEntries_.push_back(EntryOf(color));
  }
}

int PictureFrameBuilder::Add(const uint8_t* rgba, int32_t width, int32_t height, uint32_t durationMs) {
  if (!animation_) {
    animation_ = NewAnimation();
    if (!animation_) {
      ShowError("Not enough memory to read the picture.");
      return 0;
    }
  }
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  totalPixels_ += pixels;
  if (width <= 0 || height <= 0 || pixels > Limits().maxFramePixels ||
      totalPixels_ > Limits().maxTotalPixels) {
    ShowError("The picture has more pixels than the program can hold.");
    return 0;
  }
  std::vector<uint8_t> indices;
  PalettePtr palette;
  int transparent = -1;
  bool exact = false;
  try {
    indices.resize(pixels);
    palette = FramePalette(rgba, pixels, &indices, &transparent);
    exact = palette != nullptr;
    if (!palette) {
      bool hasTransparent = false;
      for (size_t i = 0; i < pixels && !hasTransparent; ++i) hasTransparent = rgba[4 * i + 3] < kOpaqueAlpha;
      if (!choice_) choice_ = GetHighColorChoice(currentGlobal_, animation_pictures_);
      if (!choice_) return -1;
      if (choice_ & kChoiceVideo) {
        if (animation_pictures_) return kWantsClipEncoder;
        choice_ = StillChoice(choice_);
      }
      palette = ConvertByChoice(rgba, width, height, &indices, hasTransparent, &transparent);
      if (!palette) return 0;  // the message has been shown
    }
  } catch (const std::bad_alloc&) {
    ShowError("Not enough memory to read the picture.");
    return 0;
  }
  FrameBitmapPtr bitmap = FrameBitmap::Make(width, height, palette.get());
  uint8_t* bits = bitmap ? bitmap->MutableBits() : nullptr;
  FramePtr frame = bits ? NewFrameBlock(nullptr) : nullptr;
  if (!frame) {
    ShowError("Not enough memory to read the picture.");
    return 0;
  }
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(bits + static_cast<size_t>(y) * static_cast<size_t>(bitmap->Stride()),
                indices.data() + static_cast<size_t>(y) * static_cast<size_t>(width),
                static_cast<size_t>(width));
  if (transparent >= 0) anyTransparent_ = true;
  if (!exact) unionPossible_ = false;
  if (unionPossible_) MergeIntoUnion(*palette, transparent);

  frame->width = width;
  frame->height = height;
  if (durationMs > 0) frame->delay = clock_.Next(durationMs);
  SetLocalPalette(*frame, std::move(palette));
  SetFrameBitmap(*frame, std::move(bitmap));
  if (transparent >= 0) {
    SetTransparentIndex(*frame, static_cast<uint8_t>(transparent));
    SetTransparent(*frame, true);
  }
  AppendBlock(*animation_, std::move(frame));
  AddFrameCount(*animation_, 1);
  animation_->screenWidth = std::max(animation_->screenWidth, width);
  animation_->screenHeight = std::max(animation_->screenHeight, height);
  return 1;
}

void PictureFrameBuilder::ShareGlobalPalette() {
  std::vector<PaletteEntry> entries = unionEntries_;
  const int sharedTransparent = anyTransparent_ ? static_cast<int>(entries.size()) : -1;
  if (anyTransparent_) entries.push_back({0, 0, 0, 0});
  if (entries.empty()) entries.push_back({0, 0, 0, 0});
  SetGlobalPalette(*animation_, std::make_unique<Palette>(std::move(entries)));
  Palette* global = animation_->globalPalette.get();
  for (Frame* f = FirstFrame(*animation_); f; f = NextFrame(f)) {
    const Palette& own = *f->localPalette;
    const bool wasTransparent = IsTransparent(*f);
    std::array<uint8_t, 256> remap{};
    for (int i = 0; i < own.Count(); ++i)
      remap[static_cast<size_t>(i)] = wasTransparent && i == f->transparentIndex
                                          ? static_cast<uint8_t>(sharedTransparent)
                                          : unionColors_[ColorOf(own[i])];
    uint8_t* bits = f->MutableBits();
    if (!bits) return;  // out of memory: the frames keep their own palettes, which are just as exact
    if (wasTransparent) SetTransparent(*f, false);
    for (int32_t y = 0; y < f->height; ++y) {
      uint8_t* row = bits + static_cast<size_t>(y) * static_cast<size_t>(f->Stride());
      for (int32_t x = 0; x < f->width; ++x) row[x] = remap[row[x]];
    }
    SetLocalPalette(*f, nullptr);
    f->palette = global;
    f->bitmap->SetColorTable(global);
    if (wasTransparent) {
      SetTransparentIndex(*f, static_cast<uint8_t>(sharedTransparent));
      SetTransparent(*f, true);
    }
  }
}

AnimationPtr PictureFrameBuilder::Finish(uint32_t loopCount) {
  if (!animation_ || animation_->frameCount == 0) return nullptr;
  if (unionPossible_) ShareGlobalPalette();
  // Each frame is a whole composed picture: where one has transparent pixels, the frame before must be
  // cleared away rather than show through.
  const bool clear = anyTransparent_ && animation_->frameCount > 1;
  for (Frame* f = FirstFrame(*animation_); f; f = NextFrame(f)) SetDisposal(*f, clear ? 2 : 1);
  animation_->loopCount = loopCount;
  UpdateColorResolution(*animation_);
  return std::move(animation_);
}

}  // namespace lw
