// Resizing the whole animation: every picture resampled, mapped back onto its frame's palette.
#include <algorithm>
#include <cmath>
#include <vector>

#include "color/best_quantize.h"
#include "edit/transforms/compose_frames.h"
#include "edit/transforms/resample.h"
#include "edit/transforms/transforms.h"
#include "optimize/pictures.h"
#include "optimize/unoptimize.h"
#include "platform/progress.h"
#include "platform/ui_hooks.h"

namespace lw {

namespace {

constexpr int32_t kMaxSide = 65535;
// The filtered rows kept while resampling; a shrink so steep that they would take more is refused.
constexpr uint64_t kMaxCacheBytes = uint64_t{1} << 30;
// How much farther than its nearest colour a filtered pixel may stay with the previous frame's.
constexpr double kStayLevels = 6.0;

int32_t Side(double v) {
  return static_cast<int32_t>(std::clamp(std::lround(v), 1L, static_cast<long>(kMaxSide)));
}

// Nearest palette colours for opaque pixels, with a cache of the colours met so far.
class ColourMapper {
 public:
  explicit ColourMapper(const Palette& p) : nearest_(p), keys_(kCacheSize, 0xFFFFFFFF), values_(kCacheSize) {}
  uint8_t Find(int r, int g, int b) {
    const auto key = static_cast<uint32_t>(r | g << 8 | b << 16);
    const size_t slot = (key * 2654435761u) >> (32 - kCacheBits);
    if (keys_[slot] != key) {
      keys_[slot] = key;
      values_[slot] = static_cast<uint8_t>(nearest_.Find(r, g, b));
    }
    return values_[slot];
  }

 private:
  static constexpr int kCacheBits = 16;
  static constexpr size_t kCacheSize = size_t{1} << kCacheBits;
  NearestColour nearest_;
  std::vector<uint32_t> keys_;
  std::vector<uint8_t> values_;
};

int Distance2(const PaletteEntry& e, int r, int g, int b) {
  const int dr = e.red - r, dg = e.green - g, db = e.blue - b;
  return dr * dr + dg * dg + db * db;
}

// Whether a filtered pixel the palette cannot show exactly may keep the previous frame's colour instead
// of its nearest one: the filter spreads a change a few pixels around it, and most of those pixels move
// by less than the palette's own steps. Kept the same, the optimizer leaves them out of the frame.
bool StaysWith(const PaletteEntry& before, const PaletteEntry& nearest, int r, int g, int b) {
  const int best2 = Distance2(nearest, r, g, b);
  if (best2 == 0) return false;
  const double kept = std::sqrt(static_cast<double>(Distance2(before, r, g, b)));
  return kept <= std::sqrt(static_cast<double>(best2)) + kStayLevels;
}

// The opaque pixels onto the palette (transparent ones left at 0, marked in clear), with or without a
// serpentine Floyd–Steinberg diffusion that never crosses a transparent pixel.
void MapPicture(const std::vector<uint32_t>& picture, int32_t w, int32_t h, const Palette& palette,
                bool dither, uint8_t* bits, int stride, std::vector<bool>& clear, const int16_t* previous) {
  ColourMapper mapper(palette);
  std::vector<float> errors(dither ? static_cast<size_t>(w + 2) * 6 : 0, 0.0f);
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* src = picture.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    uint8_t* out = bits + static_cast<size_t>(y) * static_cast<size_t>(stride);
    float* cur =
        dither ? errors.data() + static_cast<size_t>(y & 1) * static_cast<size_t>(w + 2) * 3 : nullptr;
    float* next =
        dither ? errors.data() + static_cast<size_t>(~y & 1) * static_cast<size_t>(w + 2) * 3 : nullptr;
    if (dither) std::fill(next, next + static_cast<size_t>(w + 2) * 3, 0.0f);
    const bool forward = !(y & 1) || !dither;
    for (int32_t i = 0; i < w; ++i) {
      const int32_t x = forward ? i : w - 1 - i;
      const uint32_t p = src[x];
      const size_t at = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
      if (!(p >> 24)) {
        clear[at] = true;
        out[x] = 0;
        continue;
      }
      int r = static_cast<int>(p & 0xFF), g = static_cast<int>((p >> 8) & 0xFF),
          b = static_cast<int>((p >> 16) & 0xFF);
      if (!dither) {
        uint8_t index = mapper.Find(r, g, b);
        if (previous) {
          const int before = previous[at];
          if (before >= 0 && before != index && before < palette.Count() &&
              StaysWith(palette[before], palette[index], r, g, b))
            index = static_cast<uint8_t>(before);
        }
        out[x] = index;
        continue;
      }
      float* e = cur + static_cast<size_t>(x + 1) * 3;
      const float want[3] = {static_cast<float>(r) + e[0], static_cast<float>(g) + e[1],
                             static_cast<float>(b) + e[2]};
      r = std::clamp(static_cast<int>(std::lround(want[0])), 0, 255);
      g = std::clamp(static_cast<int>(std::lround(want[1])), 0, 255);
      b = std::clamp(static_cast<int>(std::lround(want[2])), 0, 255);
      const uint8_t index = mapper.Find(r, g, b);
      out[x] = index;
      const PaletteEntry& got = palette[index];
      const float err[3] = {want[0] - got.red, want[1] - got.green, want[2] - got.blue};
      const int dx = forward ? 1 : -1;
      for (int c = 0; c < 3; ++c) {
        // Clamped so that a colour the palette lacks does not smear far.
        const float v = std::clamp(err[c], -48.0f, 48.0f);
        cur[static_cast<size_t>(x + 1 + dx) * 3 + static_cast<size_t>(c)] += v * 7 / 16;
        next[static_cast<size_t>(x + 1 - dx) * 3 + static_cast<size_t>(c)] += v * 3 / 16;
        next[static_cast<size_t>(x + 1) * 3 + static_cast<size_t>(c)] += v * 5 / 16;
        next[static_cast<size_t>(x + 1 + dx) * 3 + static_cast<size_t>(c)] += v * 1 / 16;
      }
    }
  }
}

// The index for transparent pixels: preferred when the picture leaves it free, else the lowest free one,
// else one more entry; with all 256 in use, the least used entry is given up and its pixels take their
// nearest other colour. -1 when memory fails.
int FreeIndexFor(Palette& palette, int preferred, uint8_t* bits, int stride, int32_t w, int32_t h,
                 const std::vector<bool>& clear) {
  std::array<uint64_t, 256> use{};
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (!clear[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)])
        ++use[bits[static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x)]];
  const int count = palette.Count();
  if (preferred >= 0 && preferred < count && !use[static_cast<size_t>(preferred)]) return preferred;
  for (int i = 0; i < count; ++i)
    if (!use[static_cast<size_t>(i)]) return i;
  if (count < 256) {
    palette.Entries().push_back(PaletteEntry{});
    return count;
  }
  const int victim = static_cast<int>(std::min_element(use.begin(), use.end()) - use.begin());
  std::vector<PaletteEntry> others;
  std::vector<uint8_t> back;
  for (int i = 0; i < count; ++i)
    if (i != victim) {
      others.push_back(palette[i]);
      back.push_back(static_cast<uint8_t>(i));
    }
  NearestColour nearest{Palette(others)};
  const PaletteEntry& v = palette[victim];
  const uint8_t replacement = back[static_cast<size_t>(nearest.Find(v.red, v.green, v.blue))];
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = bits + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int32_t x = 0; x < w; ++x)
      if (row[x] == victim) row[x] = replacement;
  }
  return victim;
}

bool Resize(Animation& a, const ResizeOptions& o, ProgressRecord* progress) {
  const int32_t W = a.screenWidth, H = a.screenHeight;
  Resampler resampler(W, H, o.width, o.height, o.filter == ResizeFilter::kLanczos);
  if (resampler.CacheBytes() > kMaxCacheBytes) {
    ShowError("Not enough memory to resize %dx%d to %dx%d in one step.", W, H, o.width, o.height);
    return false;
  }
  SetProgressText(progress, "Resizing animation...");
  SetProgressRange(progress, static_cast<uint32_t>(std::max(a.frameCount, 0)));
  PictureComposer composer(W, H);
  std::vector<uint32_t> resized(static_cast<size_t>(o.width) * static_cast<size_t>(o.height));
  std::vector<bool> clear(resized.size());
  // The previous frame's indices (-1 where it was transparent) and the palette they index.
  const bool steady = !o.dither && o.filter == ResizeFilter::kLanczos;
  std::vector<int16_t> previous(steady ? resized.size() : 0, -1);
  std::vector<PaletteEntry> previousPalette;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    resampler.Run(composer.Show(*f).data(), resized.data());
    Palette* palette = f->palette;
    PalettePtr fallback;
    if (!palette) {
      fallback = CopyPalette(&DefaultPalette());
      palette = fallback.get();
    }
    FrameBitmapPtr bitmap = FrameBitmap::MakeUninitialized(o.width, o.height, nullptr);
    uint8_t* bits = bitmap ? bitmap->MutableBits() : nullptr;
    if (!bits) {
      ShowError("Not enough memory to resize the animation.");
      return false;
    }
    std::fill(clear.begin(), clear.end(), false);
    const bool samePalette = steady && f != FirstFrame(a) && palette->Entries() == previousPalette;
    MapPicture(resized, o.width, o.height, *palette, o.dither, bits, bitmap->Stride(), clear,
               samePalette ? previous.data() : nullptr);
    const bool anyClear = std::find(clear.begin(), clear.end(), true) != clear.end();
    int t = -1;
    if (anyClear) {
      t = FreeIndexFor(*palette, IsTransparent(*f) ? f->transparentIndex : -1, bits, bitmap->Stride(),
                       o.width, o.height, clear);
      for (size_t i = 0; i < clear.size(); ++i)
        if (clear[i])
          bits[(i / static_cast<size_t>(o.width)) * static_cast<size_t>(bitmap->Stride()) +
               i % static_cast<size_t>(o.width)] = static_cast<uint8_t>(t);
    }
    if (steady) {
      previousPalette = palette->Entries();
      for (int32_t y = 0, i = 0; y < o.height; ++y) {
        const uint8_t* row = bits + static_cast<size_t>(y) * static_cast<size_t>(bitmap->Stride());
        for (int32_t x = 0; x < o.width; ++x, ++i)
          previous[static_cast<size_t>(i)] = clear[static_cast<size_t>(i)] ? int16_t{-1} : int16_t{row[x]};
      }
    }
    if (fallback) SetLocalPalette(*f, std::move(fallback));
    SetScreenPicture(*f, std::move(bitmap), t, nullptr);
    if (!StepProgress(progress)) return false;
  }
  SetScreenSize(a, o.width, o.height);
  UpdateColorResolution(a);
  ReoptimizeComposed(a, progress);
  return true;
}

}  // namespace

Extent ScaledSize(const Animation& a, double percent) {
  percent = std::clamp(percent, 1.0, 10000.0);
  return {Side(a.screenWidth * percent / 100), Side(a.screenHeight * percent / 100)};
}

int32_t HeightForWidth(const Animation& a, int32_t width) {
  return a.screenWidth > 0 ? Side(static_cast<double>(width) * a.screenHeight / a.screenWidth) : 1;
}

int32_t WidthForHeight(const Animation& a, int32_t height) {
  return a.screenHeight > 0 ? Side(static_cast<double>(height) * a.screenWidth / a.screenHeight) : 1;
}

bool ResizeAnimation(Animation& a, const ResizeOptions& o, ProgressRecord* progress) {
  if (o.width < 1 || o.height < 1 || o.width > kMaxSide || o.height > kMaxSide) {
    ShowError("The new size must be from 1 to %d pixels each way.", kMaxSide);
    return false;
  }
  if (!FirstFrame(a) || (o.width == a.screenWidth && o.height == a.screenHeight)) return false;
  if (!ComposedFramesFit(a, a.screenWidth, a.screenHeight) || !ComposedFramesFit(a, o.width, o.height))
    return false;
  return EditOnCopy(a, [&](Animation& copy) { return Resize(copy, o, progress); });
}

}  // namespace lw
