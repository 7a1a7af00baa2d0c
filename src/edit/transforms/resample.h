// Resampling a picture of 0xAABBGGRR pixels (alpha 0 or 255) to another size: nearest neighbour, or a
// Lanczos filter over premultiplied linear-light colour, streaming through a few filtered rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lw {

class Resampler {
 public:
  // filtered false: nearest neighbour.
  Resampler(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight, bool filtered);
  // The bytes the row cache of a filtered resampling takes (to be checked against the limits first).
  uint64_t CacheBytes() const;
  // The picture at the new size; a pixel comes out opaque when at least half of what covers it is.
  void Run(const uint32_t* src, uint32_t* dst);

 private:
  struct Taps {
    int32_t first = 0, count = 0;
    size_t weights = 0;  // offset into weights_
  };
  static std::vector<Taps> Plan(int32_t src, int32_t dst, std::vector<float>& weights);
  void FilterRow(const uint32_t* srcRow, float* out) const;

  int32_t sw_, sh_, dw_, dh_;
  bool filtered_;
  std::vector<Taps> columns_, rows_;
  std::vector<float> columnWeights_, rowWeights_;
  int32_t ringRows_ = 0;
};

}  // namespace lw
