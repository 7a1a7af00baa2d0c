// Colour mapping speed and the adaptive palette's output, for bench_color.sh.
//
//   bench_color speed            Mpixel/s of ConvertDibTo8Bit (dithered and plain) on a 1920×1080 24-bit
//                                picture, of the median cut, and of RemapGlobalFrames on a few animations
//   bench_color map IN.bmp OUT.ppm CHOICE
//                                imports the BMP with the high-colour choice (e.g. 0x80082 = adaptive 256,
//                                dithered), writes the frame as a PPM and its palette as OUT.pal.ppm, and
//                                prints the milliseconds the import took
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "color/dib.h"
#include "color/dither.h"
#include "color/quantize.h"
#include "io/bmp_import.h"
#include "model/preferences.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& run, int repeats) {
  std::vector<double> times;
  for (int i = 0; i < repeats; ++i) {
    auto t0 = Clock::now();
    run();
    times.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];  // the median
}

// A photo-like 24-bit picture: smooth gradients, soft circles and a little noise.
std::vector<uint8_t> MakePicture(int w, int h) {
  std::vector<uint8_t> bits(lw::DibStride(w, 24) * static_cast<size_t>(h));
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bits.data() + lw::DibStride(w, 24) * static_cast<size_t>(y);
    for (int x = 0; x < w; ++x) {
      double dx = x - w * 0.6, dy = y - h * 0.4;
      double ring = 0.5 + 0.5 * std::sin(std::sqrt(dx * dx + dy * dy) / 40.0);
      int r = static_cast<int>(255.0 * x / w * ring) + noise(rng);
      int g = static_cast<int>(255.0 * y / h) + noise(rng);
      int b = static_cast<int>(255.0 * (1.0 - ring) * (0.3 + 0.7 * x / w)) + noise(rng);
      row[3 * x] = static_cast<uint8_t>(std::clamp(b, 0, 255));
      row[3 * x + 1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
      row[3 * x + 2] = static_cast<uint8_t>(std::clamp(r, 0, 255));
    }
  }
  return bits;
}

lw::AnimationPtr MakeAnimation(int frames, int w, int h) {
  auto a = lw::NewAnimation();
  a->screenWidth = w;
  a->screenHeight = h;
  std::vector<lw::PaletteEntry> pal;
  for (int i = 0; i < 256; ++i)
    pal.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>((i * 3) & 255), static_cast<uint8_t>(255 - i), 0});
  lw::SetGlobalPalette(*a, std::make_unique<lw::Palette>(pal));
  for (int k = 0; k < frames; ++k) {
    auto f = lw::NewFrameBlock(nullptr);
    f->width = w;
    f->height = h;
    f->palette = a->globalPalette.get();
    if (k % 3 == 2) {
      f->controlFlags |= lw::kControlTransparent;
      f->transparentIndex = 0;
    }
    auto bitmap = lw::FrameBitmap::Make(w, h, f->palette);
    uint8_t* bits = bitmap->MutableBits();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) bits[y * bitmap->Stride() + x] = static_cast<uint8_t>((x + y + 7 * k) & 255);
    lw::SetFrameBitmap(*f, std::move(bitmap));
    lw::AppendBlock(*a, std::move(f));
    lw::AddFrameCount(*a, 1);
  }
  return a;
}

int Speed() {
  const int w = 1920, h = 1080;
  const double mpix = w * h / 1e6;
  std::vector<uint8_t> src = MakePicture(w, h);
  lw::DibHeader header;
  header.width = w;
  header.height = h;
  header.bitCount = 24;
  std::vector<lw::PaletteEntry> entries(256);
  int colors = 0;
  double tCut = Seconds([&] { colors = lw::MedianCutPalette(header, src.data(), entries.data(), 256); }, 5);
  entries.resize(static_cast<size_t>(colors));
  lw::Palette palette(entries);
  std::vector<uint8_t> dst(static_cast<size_t>(lw::StrideFor8Bit(w)) * h);
  lw::ConvertDibTo8Bit(header, dst.data(), src.data(), palette, true);  // builds the map once
  double tDither = Seconds([&] { lw::ConvertDibTo8Bit(header, dst.data(), src.data(), palette, true); }, 15);
  double tPlain = Seconds([&] { lw::ConvertDibTo8Bit(header, dst.data(), src.data(), palette, false); }, 15);
  std::vector<lw::PaletteEntry> web(256);
  lw::WebCubeEntries(web.data());
  double tMap = Seconds(
      [&] {
        std::vector<uint8_t> map(lw::kInverseMapCells);
        lw::BuildInverseColorMap(entries.data(), colors, map.data());
      },
      15);
  std::printf("picture 1920x1080 24-bit, adaptive palette of %d colours\n", colors);
  std::printf("%-44s %9.2f ms %9.1f Mpixel/s\n", "ConvertDibTo8Bit, dithered", tDither * 1e3, mpix / tDither);
  std::printf("%-44s %9.2f ms %9.1f Mpixel/s\n", "ConvertDibTo8Bit, plain map", tPlain * 1e3, mpix / tPlain);
  std::printf("%-44s %9.2f ms %9.1f Mpixel/s\n", "MedianCutPalette (256)", tCut * 1e3, mpix / tCut);
  std::printf("%-44s %9.2f ms\n", "inverse map build (256 entries)", tMap * 1e3);

  struct Case {
    int frames, w, h;
  } cases[] = {{10, 1920, 1080}, {60, 640, 480}, {200, 320, 240}};
  lw::Palette cube(web);
  for (const Case& c : cases) {
    auto a = MakeAnimation(c.frames, c.w, c.h);
    double t = Seconds([&] { lw::RemapGlobalFrames(*a, cube, -1, nullptr); }, 5);
    char label[96];
    std::snprintf(label, sizeof label, "RemapGlobalFrames %d x %dx%d onto web cube", c.frames, c.w, c.h);
    std::printf("%-44s %9.2f ms %9.1f Mpixel/s\n", label, t * 1e3, c.frames * c.w * c.h / 1e6 / t);
  }
  return 0;
}

int Map(const char* in, const char* out, const char* choiceText) {
  lw::SetPreference(lw::kPrefHighColor, static_cast<uint32_t>(std::strtoul(choiceText, nullptr, 0)));
  lw::AnimationPtr a;
  auto t0 = Clock::now();
  if (lw::ReadBmpFile(in, &a, nullptr) != 1) return 1;
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  const lw::Frame* f = lw::FirstFrame(*a);
  const lw::Palette& p = *f->palette;
  FILE* o = std::fopen(out, "wb");
  if (!o) return 1;
  std::fprintf(o, "P6\n%d %d\n255\n", f->width, f->height);
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x) {
      const lw::PaletteEntry& e = p[f->Row(y)[x]];
      const uint8_t rgb[3] = {e.red, e.green, e.blue};
      std::fwrite(rgb, 1, 3, o);
    }
  std::fclose(o);
  std::string palPath = std::string(out) + ".pal.ppm";
  if (FILE* q = std::fopen(palPath.c_str(), "wb")) {
    std::fprintf(q, "P6\n%d 1\n255\n", p.Count());
    for (int i = 0; i < p.Count(); ++i) {
      const uint8_t rgb[3] = {p[i].red, p[i].green, p[i].blue};
      std::fwrite(rgb, 1, 3, q);
    }
    std::fclose(q);
  }
  std::printf("%.1f\n", ms);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "speed";
  if (mode == "speed") return Speed();
  if (mode == "map" && argc == 5) return Map(argv[2], argv[3], argv[4]);
  std::fprintf(stderr, "usage: bench_color [speed | map IN.bmp OUT.ppm CHOICE]\n");
  return 2;
}
