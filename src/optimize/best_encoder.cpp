#include "optimize/best_encoder.h"

#include <algorithm>
#include <utility>

namespace lw::best_detail {

// The LZW minimum code size for pixels whose values, or-ed together, give all.
int CodeSizeForValues(uint8_t all) {
  int bits = 2;
  while (bits < 8 && (all >> bits) != 0) ++bits;
  return bits;
}

// The rows of a frame in the order the file stores them.
std::vector<int> FileRowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(static_cast<size_t>(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  for (auto [startRow, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}})
    for (int y = startRow; y < height; y += step) rows.push_back(y);
  return rows;
}

uint64_t Encoder::Pick(const std::vector<uint8_t>& opaque, const std::vector<uint8_t>& colour,
                       const std::vector<uint8_t>& clear, bool freedom, int opaqueCodeSize, int codeSize,
                       uint64_t best) {
  const bool opaquePossible = !opaque.empty();
  const size_t n = colour.size();
  picked_.resize(n);
  fewestReady_ = false;
  best_ = best;
  won_ = false;
  if (!freedom) {
    // Every value is fixed (transparent ones included where nothing may be drawn).
    if (opaquePossible) {
      const uint64_t size = chooser_.Size(opaque.data(), n, opaqueCodeSize, best_);
      if (size < best_) Accept(size, opaque, false);
    }
    if (!opaquePossible || colour != opaque) {
      const uint64_t size = chooser_.Size(colour.data(), n, codeSize, best_);
      if (size < best_) Accept(size, colour, true);
    }
    return best_;
  }
  // Every way on tiny frames, and on every fourth larger one; on the ones between, only the two ways
  // that did best before (neighbouring frames tend to agree, and the ways cost as much as
  // compressing). The better ways go first, so that the others stop as soon as they pass the best size.
  const bool all = n < kAllWaysBelow || sinceAll_ >= 3;
  sinceAll_ = all ? 0 : sinceAll_ + 1;
  const int count = all ? kWays : 2;
  uint64_t sizes[kWays];
  for (int i = 0; i < count; ++i) {
    const int way = rank_[i];
    const uint64_t size = Run(way, opaque, colour, clear, n, opaqueCodeSize, codeSize, best_);
    sizes[i] = size;
    if (size < best_) Accept(size, way == kOpaque ? opaque : picked_, way != kOpaque);
  }
  // Those tried, by the size they gave (one stopped early counts as larger than any that finished).
  std::vector<std::pair<uint64_t, int>> tried;
  for (int i = 0; i < count; ++i) tried.emplace_back(sizes[i], rank_[i]);
  std::stable_sort(tried.begin(), tried.end(), [](auto& x, auto& y) { return x.first < y.first; });
  for (int i = 0; i < count; ++i) rank_[i] = tried[static_cast<size_t>(i)].second;
  return best_;
}

uint64_t Encoder::Run(int way, const std::vector<uint8_t>& opaque, const std::vector<uint8_t>& colour,
                      const std::vector<uint8_t>& clear, size_t len, int opaqueCodeSize, int codeSize,
                      uint64_t limit) {
  switch (way) {
    case kOpaque:
      if (opaque.empty()) return UINT64_MAX;
      return chooser_.Size(opaque.data(), len, opaqueCodeSize, limit);
    case kFewestRuns:
    case kFewestRunsColour:
    case kFewestRunsChosen:
    case kFewestRunsColourChosen: {
      // Fewest runs of equal values over the whole frame, ties going to transparency or to the colour;
      // as it is, or left by the compressor where its table knows the other value better.
      if (!fewestReady_) {
        fewest_.resize(colour.size());
        fewestColour_.resize(colour.size());
        PickFewestRunsBoth(colour.data(), clear.data(), len, fewestColour_.data(), fewest_.data(),
                           runsScratch_);
        fewestReady_ = true;
      }
      const std::vector<uint8_t>& pick =
          way == kFewestRuns || way == kFewestRunsChosen ? fewest_ : fewestColour_;
      if (way == kFewestRuns || way == kFewestRunsColour) {
        std::copy(pick.begin(), pick.begin() + static_cast<std::ptrdiff_t>(len), picked_.begin());
        return chooser_.Size(picked_.data(), len, codeSize, limit);
      }
      return chooser_.Choose(pick.data(), clear.data(), len, codeSize, false, picked_.data(), limit,
                             colour.data());
    }
    default:  // the compressor's own picks, preferring either value
      return chooser_.Choose(colour.data(), clear.data(), len, codeSize, way == kPreferClear, picked_.data(),
                             limit);
  }
}

}  // namespace lw::best_detail
