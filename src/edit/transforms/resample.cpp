#include "edit/transforms/resample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace lw {

namespace {

constexpr double kLobes = 3.0;
constexpr int kToSrgbSteps = 16384;

double Sinc(double x) {
  if (std::abs(x) < 1e-9) return 1.0;
  const double px = std::numbers::pi * x;
  return std::sin(px) / px;
}

double Lanczos(double x) {
  return std::abs(x) < kLobes ? Sinc(x) * Sinc(x / kLobes) : 0.0;
}

struct Tables {
  std::array<float, 256> toLinear{};
  std::array<uint8_t, kToSrgbSteps + 1> toSrgb{};
  Tables() {
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      toLinear[static_cast<size_t>(i)] =
          static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    for (int i = 0; i <= kToSrgbSteps; ++i) {
      const double l = static_cast<double>(i) / kToSrgbSteps;
      const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
      toSrgb[static_cast<size_t>(i)] = static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255));
    }
  }
};

const Tables& Light() {
  static const Tables tables;
  return tables;
}

}  // namespace

Resampler::Resampler(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight, bool filtered)
    : sw_(srcWidth), sh_(srcHeight), dw_(dstWidth), dh_(dstHeight), filtered_(filtered) {
  if (!filtered_) return;
  columns_ = Plan(sw_, dw_, columnWeights_);
  rows_ = Plan(sh_, dh_, rowWeights_);
  for (const Taps& t : rows_) ringRows_ = std::max(ringRows_, t.count);
}

std::vector<Resampler::Taps> Resampler::Plan(int32_t src, int32_t dst, std::vector<float>& weights) {
  std::vector<Taps> out(static_cast<size_t>(dst));
  const double scale = static_cast<double>(dst) / src;
  const double shrink = std::min(scale, 1.0);  // the filter widens when the picture shrinks
  const double support = kLobes / shrink;
  std::vector<double> w;
  for (int32_t i = 0; i < dst; ++i) {
    const double center = (i + 0.5) / scale;
    const auto lo = static_cast<int32_t>(std::floor(center - support));
    const auto hi = static_cast<int32_t>(std::ceil(center + support));
    // Taps past an edge fall on the edge pixel.
    const int32_t first = std::clamp(lo, 0, src - 1), last = std::clamp(hi, 0, src - 1);
    w.assign(static_cast<size_t>(last - first + 1), 0.0);
    double sum = 0;
    for (int32_t j = lo; j <= hi; ++j) {
      const double v = Lanczos((j + 0.5 - center) * shrink);
      w[static_cast<size_t>(std::clamp(j, first, last) - first)] += v;
      sum += v;
    }
    Taps& t = out[static_cast<size_t>(i)];
    t.first = first;
    t.count = last - first + 1;
    t.weights = weights.size();
    for (double v : w) weights.push_back(static_cast<float>(sum != 0 ? v / sum : 0));
  }
  return out;
}

uint64_t Resampler::CacheBytes() const {
  return filtered_ ? static_cast<uint64_t>(ringRows_) * static_cast<uint64_t>(dw_) * 4 * sizeof(float) : 0;
}

void Resampler::FilterRow(const uint32_t* srcRow, float* out) const {
  const auto& lin = Light().toLinear;
  for (int32_t x = 0; x < dw_; ++x) {
    const Taps& t = columns_[static_cast<size_t>(x)];
    const float* w = columnWeights_.data() + t.weights;
    float r = 0, g = 0, b = 0, a = 0;
    for (int32_t k = 0; k < t.count; ++k) {
      const uint32_t p = srcRow[t.first + k];
      if (!(p >> 24)) continue;  // transparent: premultiplied, it adds nothing but its weight of alpha 0
      r += w[k] * lin[p & 0xFF];
      g += w[k] * lin[(p >> 8) & 0xFF];
      b += w[k] * lin[(p >> 16) & 0xFF];
      a += w[k];
    }
    float* o = out + static_cast<size_t>(x) * 4;
    o[0] = r;
    o[1] = g;
    o[2] = b;
    o[3] = a;
  }
}

void Resampler::Run(const uint32_t* src, uint32_t* dst) {
  if (!filtered_) {
    std::vector<int32_t> sx(static_cast<size_t>(dw_));
    for (int32_t x = 0; x < dw_; ++x)
      sx[static_cast<size_t>(x)] = static_cast<int32_t>((int64_t{2} * x + 1) * sw_ / (int64_t{2} * dw_));
    for (int32_t y = 0; y < dh_; ++y) {
      const auto sy = static_cast<int32_t>((int64_t{2} * y + 1) * sh_ / (int64_t{2} * dh_));
      const uint32_t* row = src + static_cast<size_t>(sy) * static_cast<size_t>(sw_);
      uint32_t* out = dst + static_cast<size_t>(y) * static_cast<size_t>(dw_);
      for (int32_t x = 0; x < dw_; ++x) out[x] = row[sx[static_cast<size_t>(x)]];
    }
    return;
  }
  const size_t rowFloats = static_cast<size_t>(dw_) * 4;
  std::vector<float> ring(static_cast<size_t>(ringRows_) * rowFloats);
  std::vector<int32_t> held(static_cast<size_t>(ringRows_), -1);
  std::vector<float> acc(rowFloats);
  const auto& srgb = Light().toSrgb;
  for (int32_t y = 0; y < dh_; ++y) {
    const Taps& t = rows_[static_cast<size_t>(y)];
    const float* w = rowWeights_.data() + t.weights;
    std::fill(acc.begin(), acc.end(), 0.0f);
    for (int32_t k = 0; k < t.count; ++k) {
      const int32_t sy = t.first + k;
      const size_t slot = static_cast<size_t>(sy % ringRows_);
      float* row = ring.data() + slot * rowFloats;
      if (held[slot] != sy) {
        FilterRow(src + static_cast<size_t>(sy) * static_cast<size_t>(sw_), row);
        held[slot] = sy;
      }
      const float wk = w[k];
      for (size_t i = 0; i < rowFloats; ++i) acc[i] += wk * row[i];
    }
    uint32_t* out = dst + static_cast<size_t>(y) * static_cast<size_t>(dw_);
    for (int32_t x = 0; x < dw_; ++x) {
      const float* p = acc.data() + static_cast<size_t>(x) * 4;
      if (p[3] < 0.5f) {
        out[x] = 0;
        continue;
      }
      auto channel = [&](float v) -> uint32_t {
        const float c = std::clamp(v / p[3], 0.0f, 1.0f);
        return srgb[static_cast<size_t>(c * kToSrgbSteps + 0.5f)];
      };
      out[x] = 0xFF000000u | channel(p[2]) << 16 | channel(p[1]) << 8 | channel(p[0]);
    }
  }
}

}  // namespace lw
