// Compares a converted clip with its source, both as raw RGB24 frames of one size (ffmpeg -f rawvideo):
// mean and worst-frame PSNR, and churn: of the pixels that do not change in the source from one frame to
// the next, the share that changes in the conversion.
//   video_metrics SOURCE.rgb CONVERTED.rgb WIDTH HEIGHT
// Prints: frames mean_psnr worst_psnr churn_percent. Frames past the shorter file are not compared.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: video_metrics SOURCE.rgb CONVERTED.rgb WIDTH HEIGHT\n");
    return 2;
  }
  std::FILE* a = std::fopen(argv[1], "rb");
  std::FILE* b = std::fopen(argv[2], "rb");
  const long w = std::atol(argv[3]), h = std::atol(argv[4]);
  if (!a || !b || w <= 0 || h <= 0) return 2;
  const size_t n = static_cast<size_t>(w * h * 3);
  std::vector<unsigned char> sa(n), sb(n), pa(n), pb(n);
  int frames = 0;
  double sum = 0, worst = 1e9;
  unsigned long long still = 0, churned = 0;
  while (std::fread(sa.data(), 1, n, a) == n && std::fread(sb.data(), 1, n, b) == n) {
    double sse = 0;
    for (size_t i = 0; i < n; ++i) {
      const double d = double(sa[i]) - double(sb[i]);
      sse += d * d;
    }
    const double psnr = sse == 0 ? 99 : std::min(99.0, 10 * std::log10(255.0 * 255.0 * double(n) / sse));
    sum += psnr;
    worst = std::min(worst, psnr);
    if (frames > 0) {
      for (size_t i = 0; i < n; i += 3) {
        if (sa[i] != pa[i] || sa[i + 1] != pa[i + 1] || sa[i + 2] != pa[i + 2]) continue;
        ++still;
        churned += sb[i] != pb[i] || sb[i + 1] != pb[i + 1] || sb[i + 2] != pb[i + 2];
      }
    }
    sa.swap(pa);
    sb.swap(pb);
    ++frames;
  }
  if (frames == 0) return 1;
  std::printf("%d %.2f %.2f %.2f\n", frames, sum / frames, worst,
              still ? 100.0 * double(churned) / double(still) : 0.0);
  return 0;
}
