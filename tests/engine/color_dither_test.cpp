#include <gtest/gtest.h>

#include <random>

#include "color/dither.h"
#include "color_dib_support.h"
#include "platform/progress.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::DibLayout;

int BruteNearest(const std::vector<PaletteEntry>& p, int r, int g, int b) {
  int best = -1, bestD = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    int dr = p[i].red - r, dg = p[i].green - g, db = p[i].blue - b;
    int d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < bestD) best = static_cast<int>(i), bestD = d;
  }
  return best;
}

void ExpectMapIsNearest(const std::vector<PaletteEntry>& p) {
  std::vector<uint8_t> map(kInverseMapCells, 0xEE);
  BuildInverseColorMap(p.data(), static_cast<int>(p.size()), map.data());
  int wrong = 0;
  for (int cell = 0; cell < kInverseMapCells; ++cell) {
    int r = 8 * (cell >> 10) + 4, g = 8 * ((cell >> 5) & 31) + 4, b = 8 * (cell & 31) + 4;
    if (map[static_cast<size_t>(cell)] != BruteNearest(p, r, g, b) && ++wrong < 5)
      ADD_FAILURE() << "cell " << cell << " gives " << int{map[static_cast<size_t>(cell)]} << " instead of "
                    << BruteNearest(p, r, g, b) << " (palette of " << p.size() << ")";
  }
  EXPECT_EQ(wrong, 0);
}

TEST(InverseColorMap, MatchesBruteForceOnRandomPalettesWithTiesAndDuplicates) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int count : {1, 2, 3, 16, 100, 255, 256}) {
    std::vector<PaletteEntry> p;
    for (int i = 0; i < count; ++i)
      p.push_back({static_cast<uint8_t>(byte(rng)), static_cast<uint8_t>(byte(rng)),
                   static_cast<uint8_t>(byte(rng)), 0});
    // Duplicates of earlier entries: the earlier index must keep every cell.
    for (int i = 0; i + 1 < count && i < 8; i += 2)
      p[static_cast<size_t>(i + 1)] = p[static_cast<size_t>(i / 2)];
    ExpectMapIsNearest(p);
  }
  // Entries on the cell grid: many cells are exactly halfway between two of them.
  std::vector<PaletteEntry> grid;
  for (int i = 0; i < 64; ++i)
    grid.push_back({static_cast<uint8_t>(8 * (i % 4)), static_cast<uint8_t>(16 * (i / 4 % 4)),
                    static_cast<uint8_t>(8 * (i / 16)), 0});
  ExpectMapIsNearest(grid);
  // Coarse levels in a small corner and colours at the extremes.
  std::vector<PaletteEntry> ends = {{255, 255, 255, 0}, {0, 0, 0, 0}, {0, 0, 8, 0}, {255, 255, 255, 0}};
  ExpectMapIsNearest(ends);
}

TEST(InverseColorMap, LowerIndexWinsATieAndOneEntryTakesEverything) {
  // Cell (0,0,0) has centre (4,4,4): entries (0,4,4) and (8,4,4) are equally near.
  std::vector<PaletteEntry> tie = {{8, 4, 4, 0}, {0, 4, 4, 0}};
  std::vector<uint8_t> map(kInverseMapCells);
  BuildInverseColorMap(tie.data(), 2, map.data());
  EXPECT_EQ(map[0], 0);
  std::swap(tie[0], tie[1]);
  BuildInverseColorMap(tie.data(), 2, map.data());
  EXPECT_EQ(map[0], 0);

  std::vector<PaletteEntry> one = {{200, 10, 30, 0}};
  map.assign(kInverseMapCells, 7);
  BuildInverseColorMap(one.data(), 1, map.data());
  for (uint8_t m : map) ASSERT_EQ(m, 0);
}

TEST(Dither, ReductionUsesTheOrderedOffsetAndTheWideFirstLevel) {
  EXPECT_EQ(OrderedOffset(0, 0), 7);
  EXPECT_EQ(OrderedOffset(0, 3), 0);
  EXPECT_EQ(OrderedOffset(1, 1), 5);
  EXPECT_EQ(OrderedOffset(3, 2), 3);
  EXPECT_EQ(OrderedOffset(6, 4), 6);  // phase and column wrap at 4
  EXPECT_EQ(ReduceTo5Bits(0, 7), 0);
  EXPECT_EQ(ReduceTo5Bits(1, 7), 1);   // s = 8
  EXPECT_EQ(ReduceTo5Bits(16, 7), 1);  // s = 23: level 1 is twice as wide
  EXPECT_EQ(ReduceTo5Bits(17, 7), 2);  // s = 24
  EXPECT_EQ(ReduceTo5Bits(100, 0), 11);
  EXPECT_EQ(ReduceTo5Bits(254, 0), 30);
  EXPECT_EQ(ReduceTo5Bits(255, 0), 31);
  EXPECT_EQ(ReduceTo5Bits(249, 7), 31);
  EXPECT_EQ(ReduceTo5Bits(248, 7), 30);
}

std::vector<PaletteEntry> Pad256(std::vector<PaletteEntry> p) {
  p.resize(256);
  return p;
}

// Runs DitherTrueColorRows over rows of grey levels (each pixel given as one level for all channels).
std::vector<uint8_t> DitherGreys(const std::vector<std::vector<int>>& rows,
                                 std::vector<PaletteEntry> palette) {
  DitherLock lock;
  Palette target(palette);
  int w = static_cast<int>(rows[0].size());
  EXPECT_TRUE(PrepareDither(target, w));
  std::vector<uint8_t> src, dst(static_cast<size_t>(w) * rows.size());
  size_t srcStride = DibStride(w, 24);
  for (const auto& row : rows) {
    std::vector<uint8_t> r;
    for (int v : row) r.insert(r.end(), 3, static_cast<uint8_t>(v));
    r.resize(srcStride);
    src.insert(src.end(), r.begin(), r.end());
  }
  auto entries = Pad256(palette);
  DitherTrueColorRows(dst.data(), src.data(), static_cast<size_t>(w), srcStride, 3, entries.data(),
                      InverseColorMap(), DitherCurrentRow(), DitherNextRow(), 0, w, 0,
                      static_cast<int>(rows.size()));
  return dst;
}

TEST(Dither, SmallGreyPictureOntoBlackAndWhiteMatchesTheHandWorkedResult) {
  // Worked by hand: row 0 offsets 7,1,6 give 100 -> black (e 100), 143 -> white (e -112), 51 -> black;
  // row 1 offsets 3,5,2 give 110 -> black, 128 -> black, 164 -> white.
  auto out = DitherGreys({{100, 100, 100}, {100, 100, 100}}, {{0, 0, 0, 0}, {255, 255, 255, 0}});
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 1, 0, 0, 0, 1}));
  // The same again: nothing of the first picture's error is left in the rows.
  EXPECT_EQ(DitherGreys({{100, 100, 100}, {100, 100, 100}}, {{0, 0, 0, 0}, {255, 255, 255, 0}}), out);
}

TEST(Dither, ErrorIsTakenFromTheClampedValue) {
  // 255 -> 200 leaves 55; the next 255 plus 24 is clamped, so it again leaves 55 (not 79), and 75 + 24
  // stays below the midpoint (75 + 34 would not).
  EXPECT_EQ(DitherGreys({{255, 255, 75}}, {{0, 0, 0, 0}, {200, 200, 200, 0}}),
            (std::vector<uint8_t>{1, 1, 0}));
  // And below 0: 0 -> 60 leaves -60 twice, so 195 - 26 reaches the light entry (195 - 37 would not).
  EXPECT_EQ(DitherGreys({{0, 0, 195}}, {{60, 60, 60, 0}, {255, 255, 255, 0}}),
            (std::vector<uint8_t>{0, 0, 1}));
}

// A plain reference from the description: full error arrays one pixel wider on each side.
std::vector<uint8_t> ReferenceDither(const std::vector<std::array<int, 3>>& px, int w, int h,
                                     const std::vector<PaletteEntry>& pal,
                                     const std::vector<bool>& clear = {}, uint8_t clearIndex = 0) {
  std::vector<uint8_t> map(kInverseMapCells);
  BuildInverseColorMap(pal.data(), static_cast<int>(pal.size()), map.data());
  std::vector<std::array<int, 3>> err(static_cast<size_t>((w + 2) * (h + 1)), {0, 0, 0});
  auto E = [&](int x, int y) -> std::array<int, 3>& { return err[static_cast<size_t>(y * (w + 2) + x + 1)]; };
  std::vector<uint8_t> out;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!clear.empty() && clear[static_cast<size_t>(y * w + x)]) {
        out.push_back(clearIndex);  // neither uses nor passes on any error
        continue;
      }
      int d = OrderedOffset(y, x), q[3], v[3];
      for (int c = 0; c < 3; ++c) {
        v[c] = std::clamp(
            px[static_cast<size_t>(y * w + x)][static_cast<size_t>(c)] + E(x, y)[static_cast<size_t>(c)] / 16,
            0, 255);
        q[c] = ReduceTo5Bits(v[c], d);
      }
      uint8_t idx = map[static_cast<size_t>(q[0] << 10 | q[1] << 5 | q[2])];
      out.push_back(idx);
      const PaletteEntry& t = pal[idx];
      int e[3] = {v[0] - t.red, v[1] - t.green, v[2] - t.blue};
      for (int c = 0; c < 3; ++c) {
        size_t k = static_cast<size_t>(c);
        if (x + 1 < w) E(x + 1, y)[k] += 7 * e[c];  // what falls outside the picture is dropped
        if (x > 0) E(x - 1, y + 1)[k] += 3 * e[c];
        E(x, y + 1)[k] += 5 * e[c];
        if (x + 1 < w) E(x + 1, y + 1)[k] += e[c];
      }
    }
  }
  return out;
}

TEST(Dither, RandomPicturesMatchAPlainReferenceIncludingRowEnds) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int trial = 0; trial < 6; ++trial) {
    int w = 1 + trial * 7, h = 5;
    std::vector<PaletteEntry> pal;
    for (int i = 0; i < 2 + trial * 9; ++i)
      pal.push_back({static_cast<uint8_t>(byte(rng)), static_cast<uint8_t>(byte(rng)),
                     static_cast<uint8_t>(byte(rng)), 0});
    std::vector<std::array<int, 3>> px;
    std::vector<uint8_t> src;
    size_t stride = DibStride(w, 32);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::array<int, 3> c{byte(rng), byte(rng), byte(rng)};
        px.push_back(c);
        src.insert(src.end(), {static_cast<uint8_t>(c[2]), static_cast<uint8_t>(c[1]),
                               static_cast<uint8_t>(c[0]), 0x5A});
      }
    std::vector<uint8_t> dst(static_cast<size_t>(w * h));
    {
      DitherLock lock;
      Palette target(pal);
      ASSERT_TRUE(PrepareDither(target, w));
      auto entries = Pad256(pal);
      DitherTrueColorRows(dst.data(), src.data(), static_cast<size_t>(w), stride, 4, entries.data(),
                          InverseColorMap(), DitherCurrentRow(), DitherNextRow(), 0, w, 0, h);
    }
    EXPECT_EQ(dst, ReferenceDither(px, w, h, pal)) << "width " << w;
  }
}

TEST(Dither, RandomIndexedPicturesWithTransparencyMatchTheReference) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int w : {1, 2, 9, 33}) {
    const int h = 6;
    std::vector<PaletteEntry> source, target;
    for (int i = 0; i < 256; ++i)
      source.push_back({static_cast<uint8_t>(byte(rng)), static_cast<uint8_t>(byte(rng)),
                        static_cast<uint8_t>(byte(rng)), 0});
    for (int i = 0; i < 12; ++i)
      target.push_back({static_cast<uint8_t>(byte(rng)), static_cast<uint8_t>(byte(rng)),
                        static_cast<uint8_t>(byte(rng)), 0});
    const uint8_t t = 17;
    size_t stride = static_cast<size_t>(StrideFor8Bit(w));
    std::vector<uint8_t> pixels(stride * h);
    std::vector<std::array<int, 3>> px;
    std::vector<bool> clear;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t p = byte(rng) < 64 ? t : static_cast<uint8_t>(byte(rng));
        pixels[static_cast<size_t>(y) * stride + static_cast<size_t>(x)] = p;
        const PaletteEntry& e = source[p];
        px.push_back({e.red, e.green, e.blue});
        clear.push_back(p == t);
      }
    std::vector<uint8_t> expected = ReferenceDither(px, w, h, target, clear, 200);
    {
      DitherLock lock;
      Palette tp(target);
      ASSERT_TRUE(PrepareDither(tp, w));
      auto t256 = Pad256(target);
      DitherIndexedRowsTransparent(pixels.data(), pixels.data(), stride, stride, source.data(), t256.data(),
                                   InverseColorMap(), DitherCurrentRow(), DitherNextRow(), 0, w, 0, h, t,
                                   200);
    }
    std::vector<uint8_t> got;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        got.push_back(pixels[static_cast<size_t>(y) * stride + static_cast<size_t>(x)]);
    EXPECT_EQ(got, expected) << "width " << w;
  }
}

TEST(Dither, TransparentPixelsPassThroughAndCarryNoError) {
  DitherLock lock;
  std::vector<PaletteEntry> source = Pad256({{255, 255, 255, 0}, {0, 0, 0, 0}, {100, 100, 100, 0}});
  std::vector<PaletteEntry> target = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  Palette tp(target);
  ASSERT_TRUE(PrepareDither(tp, 3));
  auto t256 = Pad256(target);
  // 100 -> black leaves +100; the transparent pixel neither uses it nor passes it on, so the last 100
  // (offset 6) is black again: with the error passed on it would have been white.
  std::vector<uint8_t> px = {2, 1, 2, 0};
  DitherIndexedRowsTransparent(px.data(), px.data(), 4, 4, source.data(), t256.data(), InverseColorMap(),
                               DitherCurrentRow(), DitherNextRow(), 0, 3, 0, 1, 1, 9);
  EXPECT_EQ(px[0], 0);
  EXPECT_EQ(px[1], 9);
  EXPECT_EQ(px[2], 0);
  EXPECT_EQ(px[3], 0);  // padding untouched

  std::vector<uint8_t> plain = {2, 1, 2, 0};
  DitherIndexedRows(plain.data(), plain.data(), 4, 4, source.data(), t256.data(), InverseColorMap(),
                    DitherCurrentRow(), DitherNextRow(), 0, 3, 0, 1);
  EXPECT_EQ(plain, (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(Dither, TheMapIsKeptForAnIdenticalPaletteAndRebuiltForAnyByteChange) {
  DitherLock lock;
  Palette a(std::vector<PaletteEntry>{{1, 2, 3, 0}, {200, 100, 50, 0}});
  ASSERT_TRUE(PrepareDither(a, 10));
  uint32_t builds = InverseMapBuildCount();
  ASSERT_TRUE(PrepareDither(Palette(a.Entries()), 2000));  // a wider picture only grows the rows
  EXPECT_EQ(InverseMapBuildCount(), builds);
  Palette flagged(a.Entries());
  flagged[1].flags = 1;
  ASSERT_TRUE(PrepareDither(flagged, 10));
  EXPECT_EQ(InverseMapBuildCount(), builds + 1);
  Palette longer(std::vector<PaletteEntry>{{1, 2, 3, 0}, {200, 100, 50, 1}, {0, 0, 0, 0}});
  ASSERT_TRUE(PrepareDither(longer, 10));
  EXPECT_EQ(InverseMapBuildCount(), builds + 2);
  ReleaseDitherBuffers();
  EXPECT_EQ(InverseColorMap(), nullptr);
  ASSERT_TRUE(PrepareDither(longer, 10));
  EXPECT_EQ(InverseMapBuildCount(), builds + 3);
}

TEST(Dither, FailureToGetTheRowsIsReportedAndLeavesPixelsAlone) {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  DibHeader h;
  h.width = 2;
  h.height = 1;
  h.bitCount = 24;
  std::vector<uint8_t> src = {10, 20, 30, 40, 50, 60, 0, 0}, dst = {7, 7, 7, 7};
  SimulateDitherAllocationFailure(true);
  EXPECT_FALSE(ConvertDibTo8Bit(h, dst.data(), src.data(), DefaultPalette(), true));
  SimulateDitherAllocationFailure(false);
  EXPECT_EQ(dst, (std::vector<uint8_t>{7, 7, 7, 7}));
  EXPECT_EQ(hooks.Texts(),
            (std::vector<std::string>{"Not enough resources for error diffusion of dithering operations."}));
  EXPECT_TRUE(ConvertDibTo8Bit(h, dst.data(), src.data(), DefaultPalette(), true));
}

// 16- and 32-bit pictures: each pixel a distinct colour, read both dithered and plain.
struct MaskCase {
  uint16_t bits;
  uint32_t compression;
  std::array<uint32_t, 3> masks;
};

TEST(Dither, MaskedPixelsAreReadThroughTheirMasks) {
  // Palette entries exactly at the colours the masks give, so both paths must hit them exactly.
  // 5-6-5: red 31 -> 248, green 63 -> 252 (scaled by 4), blue 16 -> 128.
  std::vector<PaletteEntry> pal = {
      {0, 0, 0, 0}, {248, 0, 0, 0}, {0, 252, 0, 0}, {0, 0, 128, 0}, {248, 252, 128, 0}};
  Palette palette(pal);
  struct Case {
    DibHeader h;
    std::vector<uint8_t> pixels;
  };
  std::vector<Case> cases;
  DibHeader h565;
  h565.width = 5;
  h565.height = 1;
  h565.bitCount = 16;
  h565.compression = kDibBitFields;
  h565.masks = {0xF800, 0x07E0, 0x001F};
  auto p16 = [](uint16_t v) {
    return std::vector<uint8_t>{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  };
  std::vector<uint8_t> row;
  for (uint16_t v : {0x0000, 0xF800, 0x07E0, 0x0010, 0xFFF0}) {
    auto b = p16(v);
    row.insert(row.end(), b.begin(), b.end());
  }
  row.resize(12);
  cases.push_back({h565, row});
  // 5-5-5 without bit fields: green 31 -> 248 is nearest the 252 entry.
  DibHeader h555 = h565;
  h555.compression = kDibRgb;
  row.clear();
  for (uint16_t v : {0x0000, 0x7C00, 0x03E0, 0x0010, 0x7FF0}) {
    auto b = p16(v);
    row.insert(row.end(), b.begin(), b.end());
  }
  row.resize(12);
  cases.push_back({h555, row});
  // 32 bits with odd masks (red in the top byte, green in bits 4-11, blue in bits 16-23).
  DibHeader h32 = h565;
  h32.bitCount = 32;
  h32.masks = {0xFF000000, 0x00000FF0, 0x00FF0000};
  row.clear();
  for (uint32_t v : {0x00000000u, 0xF8000000u, 0x00000FC0u, 0x00800000u, 0xF8800FC0u})
    for (int i = 0; i < 4; ++i) row.push_back(static_cast<uint8_t>(v >> (8 * i)));
  cases.push_back({h32, row});
  // 32 bits without bit fields: bytes blue, green, red, ignored.
  DibHeader h32plain = h32;
  h32plain.compression = kDibRgb;
  row = {0, 0, 0, 9, 0, 0, 248, 9, 0, 252, 0, 9, 128, 0, 0, 9, 128, 252, 248, 9};
  cases.push_back({h32plain, row});
  for (const Case& c : cases) {
    for (bool dither : {false, true}) {
      std::vector<uint8_t> dst(8, 0xEE);
      ASSERT_TRUE(ConvertDibTo8Bit(c.h, dst.data(), c.pixels.data(), palette, dither));
      EXPECT_EQ(std::vector<uint8_t>(dst.begin(), dst.begin() + 5), (std::vector<uint8_t>{0, 1, 2, 3, 4}))
          << "bits " << c.h.bitCount << " compression " << c.h.compression << " dither " << dither;
    }
  }
}

TEST(Dither, MappingWithoutDitherCutsEachChannelToFiveBits) {
  // 24-bit: (7, 8, 255) lies in cell (0, 1, 31) whatever the neighbours.
  std::vector<PaletteEntry> pal;
  for (int i = 0; i < 32; ++i) pal.push_back({static_cast<uint8_t>(8 * i + 4), 0, 0, 0});
  Palette palette(pal);
  DibHeader h;
  h.width = 3;
  h.height = -1;
  h.bitCount = 24;
  std::vector<uint8_t> src = {0, 0, 7, 0, 0, 8, 0, 0, 255, 0, 0, 0};
  std::vector<uint8_t> dst(4, 0xEE);
  ASSERT_TRUE(ConvertDibTo8Bit(h, dst.data(), src.data(), palette, false));
  EXPECT_EQ(dst, (std::vector<uint8_t>{0, 1, 31, 0xEE}));
}

TEST(RemapFrames, GlobalFramesAreDitheredInPlaceAndTransparencyMoves) {
  auto a = test::MakeAnimation(0, 4, 2, 4);
  (*a->globalPalette)[0] = {0, 0, 0, 0};
  (*a->globalPalette)[1] = {255, 255, 255, 0};
  (*a->globalPalette)[2] = {250, 0, 0, 0};
  (*a->globalPalette)[3] = {0, 0, 250, 0};
  auto opaque =
      test::MakeFrame(4, 2, a->globalPalette.get(), [](int x, int) { return static_cast<uint8_t>(x); });
  auto clear =
      test::MakeFrame(4, 2, a->globalPalette.get(), [](int x, int) { return static_cast<uint8_t>(x); });
  clear->controlFlags |= kControlTransparent;
  clear->transparentIndex = 2;  // red
  auto local = test::MakeFrame(2, 1, nullptr, [](int, int) { return 0; });
  SetLocalPalette(*local, test::MakePalette(2));
  Frame* fo = static_cast<Frame*>(AppendBlock(*a, std::move(opaque)));
  Frame* ft = static_cast<Frame*>(AppendBlock(*a, std::move(clear)));
  Frame* fl = static_cast<Frame*>(AppendBlock(*a, std::move(local)));
  auto shared = fo->bitmap->Clone();  // a copy that must keep its pixels

  // New palette: blue, white, black, red, so every old colour has an exact new index.
  Palette next(std::vector<PaletteEntry>{{0, 0, 250, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}, {250, 0, 0, 0}});
  ProgressPtr progress = BeginProgress(0);
  ASSERT_TRUE(RemapGlobalFrames(*a, next, -1, progress.get()));
  EXPECT_EQ(progress->position, 2u);
  EXPECT_EQ(fo->Row(0)[0], 2);
  EXPECT_EQ(fo->Row(0)[1], 1);
  EXPECT_EQ(fo->Row(0)[2], 3);
  EXPECT_EQ(fo->Row(1)[3], 0);
  EXPECT_EQ(shared->Bits()[2], 2);     // the clone still has the old index of red
  EXPECT_EQ(ft->transparentIndex, 3);  // red's new home
  EXPECT_EQ(ft->Row(1)[2], 3);
  EXPECT_EQ(fl->Row(0)[0], 0);                         // local frames are left alone
  EXPECT_EQ(a->globalPalette->Entries()[2].red, 250);  // the palette is the caller's to install

  // A given destination index wins over the nearest one.
  ASSERT_TRUE(RemapGlobalFrames(*a, next, 0, nullptr));
  EXPECT_EQ(ft->transparentIndex, 0);
  EXPECT_EQ(ft->Row(0)[2], 0);
}

TEST(RemapFrames, LocalFrameNeedsALocalPalette) {
  auto pal = test::MakePalette(2, {{0, 0, 0, 0}, {255, 255, 255, 0}});
  auto f = test::MakeFrame(3, 1, pal.get(), [](int x, int) { return static_cast<uint8_t>(x & 1); });
  Palette inverted(std::vector<PaletteEntry>{{255, 255, 255, 0}, {0, 0, 0, 0}});
  EXPECT_FALSE(RemapLocalFrame(*f, inverted, -1));
  EXPECT_EQ(f->Row(0)[1], 1);
  SetLocalPalette(*f, std::move(pal));
  ASSERT_TRUE(RemapLocalFrame(*f, inverted, -1));
  EXPECT_EQ(f->Row(0)[0], 1);
  EXPECT_EQ(f->Row(0)[1], 0);
  EXPECT_EQ(f->Row(0)[2], 1);
}

}  // namespace
}  // namespace lw
