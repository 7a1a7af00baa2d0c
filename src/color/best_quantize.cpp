#include "color/best_quantize.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <numeric>
#include <system_error>
#include <thread>
#include <vector>

#include "color/dib_rows.h"
#include "model/frame_bitmap.h"

namespace lw {
namespace {

struct Weighted {
  uint32_t rgb;
  uint32_t count;
};

int Channel(uint32_t rgb, int c) {
  return static_cast<int>(rgb >> (16 - 8 * c) & 0xFF);
}

// The distinct colours of a histogram with their counts; colours counted past 2^32 - 1 saturate.
std::vector<Weighted> Colours(const ColourHistogram& histogram) {
  std::vector<Weighted> out;
  out.reserve(histogram.Size());
  histogram.ForEach([&](uint32_t rgb, uint32_t count) { out.push_back({rgb, count}); });
  return out;
}

// Sums over a run of weighted colours, from which the squared error around their mean follows.
struct Moments {
  double w = 0, s[3] = {0, 0, 0}, q = 0;
  void Add(const Weighted& c) {
    const double n = c.count;
    w += n;
    for (int k = 0; k < 3; ++k) {
      const double v = Channel(c.rgb, k);
      s[k] += n * v;
      q += n * v * v;
    }
  }
  void Merge(const Moments& m) {
    w += m.w, q += m.q;
    for (int k = 0; k < 3; ++k) s[k] += m.s[k];
  }
  double Error() const { return w > 0 ? q - (s[0] * s[0] + s[1] * s[1] + s[2] * s[2]) / w : 0; }
};

struct Box {
  size_t begin, end;
  double error;
};

Moments Measure(const std::vector<Weighted>& colours, size_t begin, size_t end) {
  Moments m;
  for (size_t i = begin; i < end; ++i) m.Add(colours[i]);
  return m;
}

// Splits the box of largest squared error again and again, each time along its widest channel where the
// two halves' errors add up least, until there are maxColors boxes or none can be split.
// With trace, (*trace)[k] is the squared error of the palette of the first k + 1 boxes' means.
std::vector<Box> VarianceSplit(std::vector<Weighted>& colours, int maxColors,
                               std::vector<double>* trace = nullptr) {
  std::vector<Box> boxes{{0, colours.size(), Measure(colours, 0, colours.size()).Error()}};
  double total = boxes[0].error;
  if (trace) trace->assign(1, total);
  std::vector<double> leftError;
  while (static_cast<int>(boxes.size()) < maxColors) {
    auto it = std::max_element(boxes.begin(), boxes.end(),
                               [](const Box& a, const Box& b) { return a.error < b.error; });
    if (it->error <= 0 || it->end - it->begin < 2) break;
    Box box = *it;
    // The channel of widest spread, weighted.
    const Moments m = Measure(colours, box.begin, box.end);
    int axis = 0;
    double best = -1;
    for (int k = 0; k < 3; ++k) {
      double spread = 0;
      for (size_t i = box.begin; i < box.end; ++i) {
        const double d = Channel(colours[i].rgb, k) - m.s[k] / m.w;
        spread += colours[i].count * d * d;
      }
      if (spread > best) best = spread, axis = k;
    }
    std::sort(
        colours.begin() + static_cast<std::ptrdiff_t>(box.begin),
        colours.begin() + static_cast<std::ptrdiff_t>(box.end),
        [axis](const Weighted& a, const Weighted& b) { return Channel(a.rgb, axis) < Channel(b.rgb, axis); });
    // Errors of every prefix and suffix; the cut goes between two different values of the channel.
    const size_t n = box.end - box.begin;
    leftError.assign(n, 0);
    Moments left;
    for (size_t i = 0; i < n; ++i) {
      left.Add(colours[box.begin + i]);
      leftError[i] = left.Error();
    }
    Moments right;
    size_t cut = 0;
    double cutError = -1, cutLeft = 0, cutRight = 0;
    for (size_t i = n - 1; i > 0; --i) {
      right.Add(colours[box.begin + i]);
      if (Channel(colours[box.begin + i].rgb, axis) == Channel(colours[box.begin + i - 1].rgb, axis))
        continue;
      const double e = leftError[i - 1] + right.Error();
      if (cutError < 0 || e < cutError)
        cutError = e, cut = i, cutLeft = leftError[i - 1], cutRight = right.Error();
    }
    if (cut == 0) {
      it->error = 0;  // one value along the widest channel: the box is one colour's spread only
      continue;
    }
    *it = {box.begin, box.begin + cut, cutLeft};
    boxes.push_back({box.begin + cut, box.end, cutRight});
    total += cutLeft + cutRight - box.error;
    if (trace) trace->push_back(std::max(total, 0.0));
  }
  return boxes;
}

PaletteEntry Rounded(const double* mean) {
  auto c = [](double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
  return {c(mean[0]), c(mean[1]), c(mean[2]), 0};
}

}  // namespace

NearestColour::NearestColour(const Palette& palette) {
  for (int i = 0; i < palette.Count(); ++i)
    sorted_.push_back({palette[i].red, palette[i].green, palette[i].blue, i});
  std::stable_sort(sorted_.begin(), sorted_.end(), [](const Entry& a, const Entry& b) { return a.g < b.g; });
}

int NearestColour::Find(int r, int g, int b) const {
  if (sorted_.empty()) return 0;
  const size_t start = static_cast<size_t>(
      std::lower_bound(sorted_.begin(), sorted_.end(), g, [](const Entry& e, int v) { return e.g < v; }) -
      sorted_.begin());
  int best = INT32_MAX, bestIndex = 0;
  auto consider = [&](const Entry& e) {
    const int d = (e.r - r) * (e.r - r) + (e.g - g) * (e.g - g) + (e.b - b) * (e.b - b);
    if (d < best || (d == best && e.index < bestIndex)) best = d, bestIndex = e.index;
  };
  // Out from the green value in both directions, until green alone is farther than the best so far.
  for (size_t i = start; i < sorted_.size() && (sorted_[i].g - g) * (sorted_[i].g - g) <= best; ++i)
    consider(sorted_[i]);
  for (size_t i = start; i > 0 && (sorted_[i - 1].g - g) * (sorted_[i - 1].g - g) <= best; --i)
    consider(sorted_[i - 1]);
  return bestIndex;
}

ColourHistogram::ColourHistogram() : keys_(1 << 16, kEmpty), counts_(1 << 16, 0) {}

void ColourHistogram::Grow() {
  std::vector<uint32_t> oldKeys(keys_.size() * 2, kEmpty), oldCounts(counts_.size() * 2, 0);
  oldKeys.swap(keys_);
  oldCounts.swap(counts_);
  const size_t mask = keys_.size() - 1;
  for (size_t i = 0; i < oldKeys.size(); ++i) {
    if (oldKeys[i] == kEmpty) continue;
    size_t slot = (oldKeys[i] * 0x9E3779B1u) & mask;
    while (keys_[slot] != kEmpty) slot = (slot + 1) & mask;
    keys_[slot] = oldKeys[i];
    counts_[slot] = oldCounts[i];
  }
  lastKey_ = kEmpty;
}

void ColourHistogram::Add(uint32_t rgb, uint32_t count) {
  total_ += count;
  if (rgb != lastKey_) {
    const size_t mask = keys_.size() - 1;
    size_t slot = (rgb * 0x9E3779B1u) & mask;
    while (keys_[slot] != kEmpty && keys_[slot] != rgb) slot = (slot + 1) & mask;
    if (keys_[slot] == kEmpty) {
      if ((used_ + 1) * 2 > keys_.size()) {
        Grow();
        Add(rgb, 0);
        counts_[lastSlot_] = std::min<uint64_t>(0xFFFFFFFFu, uint64_t{counts_[lastSlot_]} + count);
        return;
      }
      keys_[slot] = rgb;
      ++used_;
    }
    lastKey_ = rgb;
    lastSlot_ = slot;
  }
  counts_[lastSlot_] = std::min<uint64_t>(0xFFFFFFFFu, uint64_t{counts_[lastSlot_]} + count);
}

bool ColourHistogram::AddDib(const DibHeader& header, const uint8_t* bits, int rowStep, int columnStep) {
  DibRowReader reader(header);
  if (!reader.Valid()) return false;
  rowStep = std::max(1, rowStep);
  columnStep = std::max(1, columnStep);
  for (int y = 0; y < header.AbsHeight(); y += rowStep) {
    const uint32_t* row = reader.Row(bits, y);
    for (int x = (y / rowStep) % columnStep; x < header.width; x += columnStep) Add(row[x] & 0xFFFFFF);
  }
  return true;
}

namespace {

// Where each of colours[begin, end) falls among the entries, and the squared error of that.
struct Assignment {
  std::vector<Moments> clusters;
  double error = 0;
};
void Assign(const std::vector<Weighted>& colours, size_t begin, size_t end,
            const std::vector<PaletteEntry>& entries, const NearestColour& nearest, Assignment& into) {
  into.clusters.assign(entries.size(), Moments());
  into.error = 0;
  for (size_t k = begin; k < end; ++k) {
    const Weighted& c = colours[k];
    const int r = Channel(c.rgb, 0), g = Channel(c.rgb, 1), b = Channel(c.rgb, 2);
    const int i = nearest.Find(r, g, b);
    into.clusters[static_cast<size_t>(i)].Add(c);
    const PaletteEntry& e = entries[static_cast<size_t>(i)];
    into.error += c.count * double((e.red - r) * (e.red - r) + (e.green - g) * (e.green - g) +
                                   (e.blue - b) * (e.blue - b));
  }
}

// Lloyd's iterations: every colour to its nearest entry, every entry but the pinned ones to the mean of its
// colours, until the error hardly falls. The colours are taken in two halves, the second on a thread of its
// own when there are many, and the halves' sums added in the same order either way (the same palette
// however it ran).
void Refine(const std::vector<Weighted>& colours, std::vector<PaletteEntry>& entries,
            const std::vector<bool>& pinned, int iterations) {
  double lastError = -1;
  Assignment first, second;
  for (int iteration = 0; iteration < iterations; ++iteration) {
    const Palette palette(entries);
    const NearestColour nearest(palette);
    const size_t middle = colours.size() / 2;
    std::thread worker;
    if (colours.size() >= 65536) {
      try {
        worker = std::thread([&] { Assign(colours, middle, colours.size(), entries, nearest, second); });
      } catch (const std::system_error&) {
      }
    }
    Assign(colours, 0, middle, entries, nearest, first);
    if (worker.joinable())
      worker.join();
    else
      Assign(colours, middle, colours.size(), entries, nearest, second);
    for (size_t i = 0; i < entries.size(); ++i) {
      Moments& m = first.clusters[i];
      m.Merge(second.clusters[i]);
      if (m.w <= 0 || pinned[i]) continue;
      const double mean[3] = {m.s[0] / m.w, m.s[1] / m.w, m.s[2] / m.w};
      entries[i] = Rounded(mean);
    }
    const double error = first.error + second.error;
    if (lastError >= 0 && lastError - error <= lastError * 1e-3) break;
    lastError = error;
  }
}

// The palette for weighted colours: the colours themselves when few enough, else a variance split refined
// by Lloyd's iterations, with the popular colours (count >= keepCount) pinned exactly.
int PaletteFromColours(std::vector<Weighted>& colours, PaletteEntry* out, int maxColors, double keepCount,
                       double minPsnr = 0, int minColors = 0) {
  maxColors = std::clamp(maxColors, 1, 256);
  if (colours.empty()) return 0;
  std::vector<Box> boxes;  // the variance split for maxColors, when made already
  if (minPsnr > 0 && static_cast<int>(colours.size()) > std::max(minColors, 1)) {
    // The variance split's error for every count on the way (an upper bound: refining only lowers it),
    // and the fewest colours whose error is within the PSNR asked for.
    std::vector<double> trace;
    boxes = VarianceSplit(colours, maxColors, &trace);
    double weight = 0;
    for (const Weighted& c : colours) weight += c.count;
    const double bound = 3 * weight * 255.0 * 255.0 / std::pow(10.0, minPsnr / 10);
    // Where even every colour misses that (a render through many colours), a few less cost little: fewer
    // also while they add at most a quarter of it to what the full count leaves.
    const double allowed = std::max(bound, trace.back() + bound / 4);
    for (int n = std::max(minColors, 1); n <= static_cast<int>(trace.size()); ++n)
      if (trace[static_cast<size_t>(n) - 1] <= allowed) {
        if (n < static_cast<int>(boxes.size())) {
          maxColors = n;
          boxes.clear();
        }
        break;
      }
  }
  {
    std::vector<PaletteEntry> entries;
    if (static_cast<int>(colours.size()) <= maxColors) {
      for (const Weighted& c : colours)
        entries.push_back(Rounded(std::array<double, 3>{double(Channel(c.rgb, 0)), double(Channel(c.rgb, 1)),
                                                        double(Channel(c.rgb, 2))}
                                      .data()));
    } else {
      if (boxes.empty()) boxes = VarianceSplit(colours, maxColors);
      for (const Box& b : boxes) {
        const Moments m = Measure(colours, b.begin, b.end);
        const double mean[3] = {m.s[0] / m.w, m.s[1] / m.w, m.s[2] / m.w};
        entries.push_back(Rounded(mean));
      }
      std::vector<bool> pinned(entries.size(), false);
      Refine(colours, entries, pinned, 8);
      // A popular colour then becomes its own cluster's entry exactly, most used first, where no more
      // popular one took that entry already: taking an entry from elsewhere would leave a region of the
      // picture without one (the bands of a render are each popular and lie close together).
      if (keepCount > 0) {
        std::vector<Weighted> popular;
        for (const Weighted& c : colours)
          if (c.count >= keepCount) popular.push_back(c);
        std::stable_sort(popular.begin(), popular.end(),
                         [](const Weighted& a, const Weighted& b) { return a.count > b.count; });
        popular.resize(std::min(popular.size(), entries.size() / 2));
        Palette palette(entries);
        NearestColour nearest(palette);
        bool any = false;
        for (const Weighted& c : popular) {
          const int r = Channel(c.rgb, 0), g = Channel(c.rgb, 1), b = Channel(c.rgb, 2);
          const size_t i = static_cast<size_t>(nearest.Find(r, g, b));
          if (pinned[i]) continue;
          entries[i] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b), 0};
          pinned[i] = any = true;
        }
        if (any) Refine(colours, entries, pinned, 4);  // from where the first left off, it settles in a few
      }
    }
    // Weights of the final entries: duplicates merged, unused ones dropped, most used first.
    std::sort(entries.begin(), entries.end(), [](const PaletteEntry& a, const PaletteEntry& b) {
      return std::tie(a.red, a.green, a.blue) < std::tie(b.red, b.green, b.blue);
    });
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    Palette palette(entries);
    NearestColour nearest(palette);
    std::vector<uint64_t> use(entries.size(), 0);
    for (const Weighted& c : colours)
      use[static_cast<size_t>(nearest.Find(Channel(c.rgb, 0), Channel(c.rgb, 1), Channel(c.rgb, 2)))] +=
          c.count;
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return use[a] > use[b]; });
    int count = 0;
    for (size_t i : order)
      if (use[i] > 0) out[count++] = entries[i];
    return count;
  }
}

}  // namespace

int BestDibPalette(const DibHeader& header, const uint8_t* bits, PaletteEntry* out, int maxColors) {
  DibRowReader reader(header);
  if (!reader.Valid()) return 0;
  try {
    // Pictures of more than 4 M pixels are sampled row by row so that the table stays small.
    const uint64_t pixels = static_cast<uint64_t>(header.width) * static_cast<uint64_t>(header.AbsHeight());
    ColourHistogram histogram;
    histogram.AddDib(header, bits, static_cast<int>(std::max<uint64_t>(1, pixels >> 22)));
    std::vector<Weighted> colours = Colours(histogram);
    return PaletteFromColours(colours, out, maxColors, 0);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int BestHistogramPalette(const ColourHistogram& histogram, PaletteEntry* out, int maxColors, double keepShare,
                         double minPsnr, int minColors) {
  try {
    std::vector<Weighted> colours = Colours(histogram);
    const double keepCount =
        keepShare > 0 ? std::max(1.0, keepShare * static_cast<double>(histogram.Total())) : 0;
    return PaletteFromColours(colours, out, maxColors, keepCount, minPsnr, minColors);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

bool MapDibBest(const DibHeader& header, const uint8_t* src, uint8_t* dst, const Palette& palette,
                bool dither) {
  DibRowReader reader(header);
  if (!reader.Valid() || palette.Count() <= 0) return false;
  const int width = header.width, height = header.AbsHeight();
  const size_t dstStride = static_cast<size_t>(StrideFor8Bit(width));
  try {
    const NearestColour nearest(palette);
    if (!dither) {
      // Neighbouring pixels often share a colour: a small direct-mapped cache of answers.
      std::vector<uint32_t> cacheKey(1 << 14, 0xFFFFFFFF);
      std::vector<uint8_t> cacheIndex(1 << 14, 0);
      for (int y = 0; y < height; ++y) {
        const uint32_t* row = reader.Row(src, y);
        uint8_t* out = dst + static_cast<size_t>(y) * dstStride;
        for (int x = 0; x < width; ++x) {
          const uint32_t c = row[x];
          const size_t slot = (c * 0x9E3779B1u) >> 18;
          if (cacheKey[slot] != c) {
            cacheKey[slot] = c;
            cacheIndex[slot] =
                static_cast<uint8_t>(nearest.Find(Channel(c, 0), Channel(c, 1), Channel(c, 2)));
          }
          out[x] = cacheIndex[slot];
        }
      }
      return true;
    }
    // Floyd-Steinberg in sixteenths, left to right and back on alternate rows. The error a pixel hands on
    // is clamped, so that a hard edge does not send a streak of noise into a flat area beside it.
    // Half of the error is carried on: enough to keep gradients from banding, while the noise costs less
    // than it gains (full Floyd-Steinberg gives up 2 to 4 dB on photos).
    constexpr int kMaxError = 16;
    constexpr int kStrength = 8;  // sixteenths of the error
    std::vector<int> thisRow(3 * static_cast<size_t>(width + 2), 0), nextRow(thisRow.size(), 0);
    for (int y = 0; y < height; ++y) {
      const uint32_t* row = reader.Row(src, y);
      uint8_t* out = dst + static_cast<size_t>(y) * dstStride;
      const bool forward = (y & 1) == 0;
      std::fill(nextRow.begin(), nextRow.end(), 0);
      for (int step = 0; step < width; ++step) {
        const int x = forward ? step : width - 1 - step;
        const int dir = forward ? 1 : -1;
        int v[3];
        for (int k = 0; k < 3; ++k)
          v[k] =
              std::clamp(Channel(row[x], k) + (thisRow[3 * static_cast<size_t>(x + 1) + k] + 8) / 16, 0, 255);
        const int index = nearest.Find(v[0], v[1], v[2]);
        out[x] = static_cast<uint8_t>(index);
        const PaletteEntry& e = palette[index];
        const int got[3] = {e.red, e.green, e.blue};
        for (int k = 0; k < 3; ++k) {
          const int err = std::clamp(v[k] - got[k], -kMaxError, kMaxError) * kStrength / 16;
          thisRow[3 * static_cast<size_t>(x + 1 + dir) + k] += err * 7;
          nextRow[3 * static_cast<size_t>(x + 1 - dir) + k] += err * 3;
          nextRow[3 * static_cast<size_t>(x + 1) + k] += err * 5;
          nextRow[3 * static_cast<size_t>(x + 1 + dir) + k] += err;
        }
      }
      thisRow.swap(nextRow);
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace lw
