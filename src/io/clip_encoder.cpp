#include "io/clip_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <thread>

#include "model/frame_bitmap.h"
#include "optimize/lossy.h"

namespace lw {
namespace {

constexpr int kClipColours = 255;  // one slot is kept for transparency
// Colours held by at least this share of the sampled pixels are kept exactly: the flat areas, white, black
// and text colours of screen recordings and renders.
constexpr double kKeepShare = 0.002;
// A palette made smaller for a lower quality keeps at least this many colours.
constexpr int kFewestColours = 16;
// At most this many pixels of a picture go into the colour histogram.
constexpr uint64_t kSamplePixels = 1 << 18;

int Distance(uint32_t rgb, const PaletteEntry& e) {
  const int r = static_cast<int>(rgb >> 16 & 0xFF) - e.red, g = static_cast<int>(rgb >> 8 & 0xFF) - e.green,
            b = static_cast<int>(rgb & 0xFF) - e.blue;
  return r * r + g * g + b * b;
}

}  // namespace

// Answers of the nearest-colour search for recently seen colours, one table per mapping thread.
struct ClipEncoder::Cache {
  static constexpr int kBits = 14;
  std::vector<uint32_t> key = std::vector<uint32_t>(size_t{1} << kBits, 0xFFFFFFFF);
  std::vector<uint8_t> index = std::vector<uint8_t>(size_t{1} << kBits, 0);
};

ClipTolerances ClipTolerancesFor(int quality, double flatShare) {
  quality = std::clamp(quality, 1, 100);
  // The loss grows more slowly as the quality falls: 6.6 colour steps at 90, 16 at 70, 43 at 1 (what puts
  // 90 and 70 beside gifski's 90 and 70; the figures are in bench/README.md).
  // Pictures where a quarter of the pixels or more hold 8 colours (screens, drawings) lose less, down to
  // six tenths when those colours fill the whole picture.
  const double flat = std::clamp((flatShare - 0.25) / 0.75, 0.0, 1.0);
  const double loss = std::pow(100 - quality, 0.82) * (1 - 0.4 * flat);
  ClipTolerances t;
  t.keep = loss * 0.25;  // enough that the noise of a still camera does not shimmer
  t.free = loss;
  t.lossy = static_cast<int>(std::lround(loss));
  // Fewer colours while their error stays well under what the loss allows anyway (an error of an eighth
  // of the loss in every channel).
  if (loss > 0) t.palettePsnr = 20 * std::log10(255 / (0.12 * loss));
  return t;
}

ClipEncoder::ClipEncoder(int width, int height, const ClipSettings& settings)
    : width_(width), height_(height), settings_(settings), tolerances_(ClipTolerancesFor(settings.quality)) {}

ClipEncoder::~ClipEncoder() = default;

void ClipEncoder::SampleFrame(const uint32_t* rgb) {
  const uint64_t pixels = static_cast<uint64_t>(width_) * static_cast<uint64_t>(height_);
  const int step =
      std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(pixels) / kSamplePixels))));
  for (int y = 0; y < height_; y += step) {
    const uint32_t* row = rgb + static_cast<size_t>(y) * static_cast<size_t>(width_);
    for (int x = (y / step) % step; x < width_; x += step) histogram_.Add(row[x] & 0xFFFFFF);
  }
}

bool ClipEncoder::MakePalette() {
  try {
    // How flat the pictures are: the share of the 8 commonest colours.
    std::vector<uint32_t> counts;
    counts.reserve(histogram_.Size());
    histogram_.ForEach([&](uint32_t, uint32_t n) { counts.push_back(n); });
    const size_t top = std::min<size_t>(8, counts.size());
    std::partial_sort(counts.begin(), counts.begin() + static_cast<std::ptrdiff_t>(top), counts.end(),
                      std::greater<>());
    double flat = 0;
    for (size_t i = 0; i < top; ++i) flat += counts[i];
    if (histogram_.Total() > 0) flat /= static_cast<double>(histogram_.Total());
    counts = {};
    tolerances_ = ClipTolerancesFor(settings_.quality, flat);
    std::vector<PaletteEntry> entries(256);
    colours_ = BestHistogramPalette(histogram_, entries.data(), kClipColours, kKeepShare,
                                    tolerances_.palettePsnr, kFewestColours);
    if (colours_ <= 0) return false;
    histogram_ = ColourHistogram();
    // The transparent slot repeats the first colour; no pixel is mapped onto it.
    entries.resize(static_cast<size_t>(colours_) + 1);
    entries.back() = entries[0];
    codeSize_ = 2;
    while ((1 << codeSize_) < colours_ + 1) ++codeSize_;
    std::vector<PaletteEntry> used(entries.begin(), entries.begin() + colours_);
    nearest_ = std::make_unique<NearestColour>(Palette(std::move(used)));
    animation_ = NewAnimation();
    if (!animation_) return false;
    PalettePtr palette = std::make_unique<Palette>(std::move(entries));
    palette_ = palette.get();
    SetGlobalPalette(*animation_, std::move(palette));
    const size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
    previous_.assign(pixels, 0);
    target_.assign(pixels, 0);
    canvas_.assign(pixels, 0);
    caches_.resize(static_cast<size_t>(std::clamp(settings_.threads, 1, 8)));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void ClipEncoder::MapRows(const uint32_t* rgb, int y0, int y1, Cache& cache) {
  const size_t width = static_cast<size_t>(width_);
  const double keep = tolerances_.keep;
  for (int y = y0; y < y1; ++y) {
    for (size_t i = static_cast<size_t>(y) * width, end = i + width; i < end; ++i) {
      const uint32_t c = rgb[i] & 0xFFFFFF;
      if (started_ && c == previous_[i]) {
        target_[i] = canvas_[i];  // still: the pixel keeps what it shows
        continue;
      }
      const size_t slot = (c * 0x9E3779B1u) >> (32 - Cache::kBits);
      if (cache.key[slot] != c) {
        cache.key[slot] = c;
        cache.index[slot] = static_cast<uint8_t>(nearest_->Find(
            static_cast<int>(c >> 16 & 0xFF), static_cast<int>(c >> 8 & 0xFF), static_cast<int>(c & 0xFF)));
      }
      uint8_t index = cache.index[slot];
      if (started_ && keep > 0 && canvas_[i] != index) {
        // A small change keeps the colour shown, so that noise in the source does not become churn.
        const double shown = std::sqrt(Distance(c, (*palette_)[canvas_[i]]));
        const double nearest = std::sqrt(Distance(c, (*palette_)[index]));
        if (shown <= nearest + keep) index = canvas_[i];
      }
      target_[i] = index;
    }
  }
}

bool ClipEncoder::AddFrame(const uint32_t* rgb, uint32_t delay) {
  if (!animation_) return false;
  try {
    // The rows are mapped in bands, one per thread; each pixel depends only on its own history.
    const int bands = std::min(static_cast<int>(caches_.size()), std::max(1, height_ / 16));
    std::vector<std::thread> workers;
    for (int b = 1; b < bands; ++b) {
      const int y0 = height_ * b / bands, y1 = height_ * (b + 1) / bands;
      try {
        workers.emplace_back(
            [this, rgb, y0, y1, b] { MapRows(rgb, y0, y1, caches_[static_cast<size_t>(b)]); });
      } catch (const std::system_error&) {
        MapRows(rgb, y0, y1, caches_[static_cast<size_t>(b)]);  // no thread to be had: this one does it
      }
    }
    MapRows(rgb, 0, height_ / bands, caches_[0]);
    for (std::thread& t : workers) t.join();
    std::memcpy(previous_.data(), rgb, previous_.size() * sizeof(uint32_t));
    for (uint32_t& c : previous_) c &= 0xFFFFFF;
    return WriteFrame(delay);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool ClipEncoder::WriteFrame(uint32_t delay) {
  const size_t width = static_cast<size_t>(width_);
  // The rectangle where this picture differs from what the screen shows.
  int left = 0, top = 0, right = width_, bottom = height_;
  if (started_) {
    left = width_, top = height_, right = 0, bottom = 0;
    for (int y = 0; y < height_; ++y) {
      const uint8_t* t = target_.data() + static_cast<size_t>(y) * width;
      const uint8_t* c = canvas_.data() + static_cast<size_t>(y) * width;
      if (std::memcmp(t, c, width) == 0) continue;
      int x0 = 0, x1 = width_;
      while (t[x0] == c[x0]) ++x0;
      while (t[x1 - 1] == c[x1 - 1]) --x1;
      left = std::min(left, x0), right = std::max(right, x1);
      top = std::min(top, y), bottom = y + 1;
    }
  }
  const uint8_t transparent = static_cast<uint8_t>(colours_);
  const bool still = right <= left;
  if (still) left = 0, top = 0, right = 1, bottom = 1;
  const int w = right - left, h = bottom - top;
  std::vector<uint8_t> opaque(static_cast<size_t>(w) * static_cast<size_t>(h));
  std::vector<uint8_t> holes(opaque.size());
  bool anyHole = still;
  const int freeBound = static_cast<int>(tolerances_.free * tolerances_.free);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(top + y) * width + static_cast<size_t>(left + x);
      const size_t o = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
      opaque[o] = target_[i];
      // A pixel that changed only a little may go on showing what it shows, where the LZW walk finds that
      // lets a string go on (previous_ holds this picture now).
      const bool same = started_ && (target_[i] == canvas_[i] ||
                                     Distance(previous_[i], (*palette_)[canvas_[i]]) <= freeBound);
      holes[o] = same || still ? transparent : target_[i];
      anyHole |= same;
    }
  // Unchanged pixels may be transparent or written as they are, pixel by pixel whichever lets the LZW
  // string under way go on; changed ones may move within the lossy level.
  bool useHoles = still;
  if (anyHole && !still) {
    LossyPixels(holes, &opaque, *palette_, tolerances_.lossy, transparent, codeSize_);
    useHoles = std::find(holes.begin(), holes.end(), transparent) != holes.end();
  } else if (tolerances_.lossy > 0 && !still) {
    LossyPixels(opaque, nullptr, *palette_, tolerances_.lossy, -1, codeSize_);
  }
  const std::vector<uint8_t>& chosen = anyHole ? holes : opaque;

  FrameBitmapPtr bitmap = FrameBitmap::MakeUninitialized(w, h, palette_);
  FramePtr frame = bitmap ? NewFrameBlock(nullptr) : nullptr;
  if (!frame) return false;
  uint8_t* bits = bitmap->MutableBits();
  const size_t stride = static_cast<size_t>(bitmap->Stride());
  for (int y = 0; y < h; ++y)
    std::memcpy(bits + static_cast<size_t>(y) * stride, chosen.data() + static_cast<size_t>(y) * w,
                static_cast<size_t>(w));
  frame->left = left;
  frame->top = top;
  frame->width = w;
  frame->height = h;
  frame->delay = delay;
  frame->palette = palette_;
  SetDisposal(*frame, 1);
  if (useHoles) {
    SetTransparent(*frame, true);
    SetTransparentIndex(*frame, transparent);
  }
  SetFrameBitmap(*frame, std::move(bitmap));
  if (output_) {
    if (!started_) {
      SetScreen(loopCount_);
      outputFailed_ = !output_->Begin(*animation_);
    }
    if (outputFailed_ || !output_->Take(*animation_, *frame)) {
      outputFailed_ = true;
      return false;
    }
  }
  // The screen as this frame leaves it: what comes next is compared with that, so nothing drifts.
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = frame->Row(y);
    uint8_t* c = canvas_.data() + static_cast<size_t>(top + y) * width + static_cast<size_t>(left);
    for (int x = 0; x < w; ++x)
      if (!(useHoles && row[x] == transparent)) c[x] = row[x];
  }
  if (!output_) AppendBlock(*animation_, std::move(frame));
  AddFrameCount(*animation_, 1);
  started_ = true;
  return true;
}

void ClipEncoder::SendFramesTo(ClipFrameOutput* output, uint32_t loopCount) {
  output_ = output;
  loopCount_ = loopCount;
}

void ClipEncoder::SetScreen(uint32_t loopCount) {
  animation_->screenWidth = width_;
  animation_->screenHeight = height_;
  animation_->loopCount = loopCount;
  UpdateColorResolution(*animation_);
}

AnimationPtr ClipEncoder::Finish(uint32_t loopCount) {
  if (!animation_) return nullptr;
  SetScreen(output_ ? loopCount_ : loopCount);
  palette_ = nullptr;
  return std::move(animation_);
}

}  // namespace lw
