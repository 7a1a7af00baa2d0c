// The high-quality quantizer: exact pictures stay exact, richer ones get a palette of distinct, used
// colours that is much closer than median cut's, and the nearest-colour search agrees with a full scan.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <tuple>

#include "color/best_quantize.h"
#include "color/palette_choice.h"
#include "color/true_color.h"
#include "color_dib_support.h"
#include "support/hooks_fixture.h"

namespace lw {
namespace {

using test::Concat;
using test::DibHead;
using test::DibLayout;
using test::DibRows;

// A smooth, photo-like 24-bit top-down picture: blended gradients with thousands of colours.
std::vector<uint8_t> Smooth(int w, int h) {
  DibLayout s{.width = w, .height = -h, .bitCount = 24};
  return Concat(DibHead(s), DibRows(s, [w, h](int y, std::vector<uint8_t>& r) {
                  for (int x = 0; x < w; ++x) {
                    const double u = double(x) / w, v = double(y) / h;
                    r.push_back(static_cast<uint8_t>(128 + 120 * std::sin(6 * u + 2 * v)));      // blue
                    r.push_back(static_cast<uint8_t>(255 * u * v));                              // green
                    r.push_back(static_cast<uint8_t>(128 + 120 * std::cos(4 * v - 3 * u * u)));  // red
                  }
                }));
}

double Psnr(const Animation& a, const std::vector<uint8_t>& dib) {
  DibView view;
  EXPECT_EQ(ReadDib(dib.data(), dib.size(), 0, &view), DibError::kNone);
  const Frame* f = FirstFrame(a);
  const size_t stride = DibStride(view.header.width, 24);
  double sum = 0;
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x) {
      const PaletteEntry& e = (*f->palette)[f->Row(y)[x]];
      const uint8_t* p = view.bits + static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x);
      const double d[3] = {double(e.blue) - p[0], double(e.green) - p[1], double(e.red) - p[2]};
      sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    }
  const double mse = sum / (3.0 * f->width * f->height);
  return 10 * std::log10(255.0 * 255.0 / mse);
}

class BestQuantize : public test::RecordingTest {};

TEST_F(BestQuantize, DistinctUsedColoursMuchCloserThanMedianCut) {
  auto dib = Smooth(160, 120);
  DibView view;
  ASSERT_EQ(ReadDib(dib.data(), dib.size(), 0, &view), DibError::kNone);
  for (int colours : {2, 16, 256}) {
    PaletteEntry out[256];
    const int n = BestDibPalette(view.header, view.bits, out, colours);
    ASSERT_EQ(n, colours);  // thousands of colours: every entry is needed
    std::set<std::tuple<int, int, int>> seen;
    for (int i = 0; i < n; ++i) seen.insert({out[i].red, out[i].green, out[i].blue});
    EXPECT_EQ(static_cast<int>(seen.size()), n) << "duplicate entries at " << colours;
  }
  for (uint32_t dither : {0u, kChoiceDither}) {
    AnimationPtr classic = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr, 0,
                                                 ChoiceWithBits(kChoiceAdaptive | dither, 8));
    AnimationPtr best = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr, 0,
                                              ChoiceWithBits(kChoiceAdaptive | kChoiceBest | dither, 8));
    ASSERT_TRUE(classic && best);
    // Every entry of the best palette is used by some pixel when not dithering.
    if (!dither) {
      std::set<int> used;
      const Frame* f = FirstFrame(*best);
      for (int y = 0; y < f->height; ++y)
        for (int x = 0; x < f->width; ++x) used.insert(f->Row(y)[x]);
      EXPECT_EQ(static_cast<int>(used.size()), best->globalPalette->Count());
    }
    EXPECT_GT(Psnr(*best, dib), Psnr(*classic, dib) + 1.5) << "dither " << dither;
  }
  EXPECT_TRUE(hooks.Texts().empty());
}

TEST_F(BestQuantize, FewColoursStayExact) {
  DibLayout s{.width = 9, .height = 4, .bitCount = 24};
  auto dib =
      Concat(DibHead(s), DibRows(s, [](int y, std::vector<uint8_t>& r) {
               for (int x = 0; x < 9; ++x)
                 r.insert(r.end(), {static_cast<uint8_t>(x * 30 + 1), static_cast<uint8_t>(y * 70 + 3), 7});
             }));
  DibView view;
  ASSERT_EQ(ReadDib(dib.data(), dib.size(), 0, &view), DibError::kNone);
  PaletteEntry out[256];
  ASSERT_EQ(BestDibPalette(view.header, view.bits, out, 256), 36);
  ASSERT_EQ(BestDibPalette(view.header, view.bits, out, 16), 16);
}

TEST_F(BestQuantize, NearestColourAgreesWithAFullScan) {
  std::mt19937 rng(5);
  for (int size : {1, 2, 7, 64, 256}) {
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < size; ++i)
      entries.push_back({static_cast<uint8_t>(rng()),
                         static_cast<uint8_t>(rng() % 8 * 32),  // many equal greens
                         static_cast<uint8_t>(rng()), 0});
    if (size > 2) entries[static_cast<size_t>(size - 1)] = entries[1];  // a duplicate: the lower index wins
    Palette palette(entries);
    NearestColour nearest(palette);
    for (int k = 0; k < 3000; ++k) {
      const int r = static_cast<int>(rng() % 256), g = static_cast<int>(rng() % 256),
                b = static_cast<int>(rng() % 256);
      ASSERT_EQ(nearest.Find(r, g, b), palette.NearestIndex(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                                            static_cast<uint8_t>(b)))
          << size << ": " << r << "," << g << "," << b;
    }
  }
}

// Squared error of the histogram's pixels on the palette (each to its nearest entry).
double PaletteError(const ColourHistogram& h, const PaletteEntry* entries, int count) {
  const Palette palette(std::vector<PaletteEntry>(entries, entries + count));
  const NearestColour nearest(palette);
  double sum = 0;
  h.ForEach([&](uint32_t rgb, uint32_t n) {
    const int r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
    const PaletteEntry& e = palette[nearest.Find(r, g, b)];
    sum +=
        n * double((e.red - r) * (e.red - r) + (e.green - g) * (e.green - g) + (e.blue - b) * (e.blue - b));
  });
  return sum;
}

// A render's bands are each popular and lie close together: keeping popular colours exactly may not pull
// the palette into them and away from the rest, while white and a UI blue still come out exact.
TEST_F(BestQuantize, PopularColoursStayExactWithoutStarvingTheRestOfThePalette) {
  ColourHistogram h;
  h.Add(0xFFFFFF, 50000);
  h.Add(0x007ACC, 20000);
  for (int i = 0; i < 2000; ++i) {  // a long smooth path through the colour cube, 100 pixels a colour
    const double t = i / 2000.0;
    const uint32_t r = static_cast<uint32_t>(20 + 200 * t),
                   g = static_cast<uint32_t>(128 + 100 * std::sin(9 * t)),
                   b = static_cast<uint32_t>(128 + 100 * std::cos(7 * t));
    h.Add(r << 16 | g << 8 | b, 100);
  }
  PaletteEntry plain[256], kept[256];
  const int plainCount = BestHistogramPalette(h, plain, 64);
  const int keptCount = BestHistogramPalette(h, kept, 64, 0.0002);  // every band colour is popular
  ASSERT_GT(plainCount, 0);
  ASSERT_GT(keptCount, 0);
  auto has = [&](uint8_t r, uint8_t g, uint8_t b) {
    for (int i = 0; i < keptCount; ++i)
      if (kept[i].red == r && kept[i].green == g && kept[i].blue == b) return true;
    return false;
  };
  EXPECT_TRUE(has(255, 255, 255));
  EXPECT_TRUE(has(0, 0x7A, 0xCC));
  EXPECT_LT(PaletteError(h, kept, keptCount), 1.25 * PaletteError(h, plain, plainCount));
}

// Asked for a PSNR, the palette has as few colours as reach it (a grey photo needs far fewer than its
// 200 greys for 40 dB), never fewer than the least asked for, and all of them where nothing less does.
TEST_F(BestQuantize, AsFewColoursAsKeepThePsnrAskedFor) {
  ColourHistogram greys;
  for (uint32_t v = 20; v < 220; ++v) greys.Add(v * 0x010101u, 50 + (v * 37) % 200);
  PaletteEntry out[256];
  const int few = BestHistogramPalette(greys, out, 255, 0, 40, 16);
  EXPECT_GE(few, 16);
  EXPECT_LT(few, 64);
  const double weight = static_cast<double>(greys.Total());
  EXPECT_GE(10 * std::log10(3 * weight * 255 * 255 / PaletteError(greys, out, few)), 40);
  EXPECT_EQ(BestHistogramPalette(greys, out, 255, 0, 40, 100), 100);
  EXPECT_EQ(BestHistogramPalette(greys, out, 255, 0, 90, 16), 200);  // every grey, exactly
  EXPECT_EQ(PaletteError(greys, out, 200), 0);
  // Where even the most colours miss the PSNR, a few less than the most, at nearly their PSNR.
  ColourHistogram path;
  for (int i = 0; i < 2000; ++i) {
    const double t = i / 2000.0;
    path.Add(static_cast<uint32_t>(20 + 200 * t) << 16 |
                 static_cast<uint32_t>(128 + 100 * std::sin(9 * t)) << 8 |
                 static_cast<uint32_t>(128 + 100 * std::cos(7 * t)),
             100);
  }
  auto psnr = [&](int n) { return 10 * std::log10(3 * 200000.0 * 255 * 255 / PaletteError(path, out, n)); };
  const double most = psnr(BestHistogramPalette(path, out, 64));
  const int fewer = BestHistogramPalette(path, out, 64, 0, most + 3, 16);
  EXPECT_LT(fewer, 64);
  EXPECT_GT(fewer, 40);
  EXPECT_GT(psnr(fewer), most - 1);
  ColourHistogram flat;
  for (uint32_t c : {0xFFFFFFu, 0x000000u, 0x007ACCu}) flat.Add(c, 1000);
  EXPECT_EQ(BestHistogramPalette(flat, out, 255, 0, 20, 16), 3);
}

// Enough colours that the refinement shares its work with a second thread: the palette is the same every
// time, and close.
TEST_F(BestQuantize, ManyColoursGiveTheSamePaletteEveryTime) {
  ColourHistogram h;
  for (uint32_t i = 0; i < 90000; ++i) {
    const double u = (i % 300) / 300.0, v = (i / 300) / 300.0;
    const uint32_t r = static_cast<uint32_t>(255 * u),
                   g = static_cast<uint32_t>(128 + 120 * std::sin(7 * u * v)),
                   b = static_cast<uint32_t>(255 * v);
    h.Add(r << 16 | g << 8 | b, 1 + i % 5);
    h.Add((i * 2654435761u) & 0xFFFFFF, 1);  // and a spread of single colours
  }
  ASSERT_GT(h.Size(), 65536u);
  PaletteEntry a[256], b[256];
  const int n = BestHistogramPalette(h, a, 255, 0.001);
  ASSERT_EQ(BestHistogramPalette(h, b, 255, 0.001), n);
  ASSERT_GT(n, 200);
  for (int i = 0; i < n; ++i)
    EXPECT_TRUE(a[i].red == b[i].red && a[i].green == b[i].green && a[i].blue == b[i].blue) << i;
  EXPECT_GT(10 * std::log10(3 * static_cast<double>(h.Total()) * 255 * 255 / PaletteError(h, a, n)), 25);
}

}  // namespace
}  // namespace lw
