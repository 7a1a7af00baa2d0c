#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "color/quantize.h"
#include "color_dib_support.h"
#include "platform/recording_ui_hooks.h"

namespace lw {
namespace {

// A 24-bit DIB of the given pixels (red, green, blue), one row per vector, in memory order.
struct Picture {
  DibHeader header;
  std::vector<uint8_t> bits;
};

Picture Make24(const std::vector<std::vector<std::array<int, 3>>>& rows, bool topDown = false) {
  Picture p;
  p.header.width = static_cast<int32_t>(rows[0].size());
  p.header.height = static_cast<int32_t>(rows.size()) * (topDown ? -1 : 1);
  p.header.bitCount = 24;
  size_t stride = DibStride(p.header.width, 24);
  for (const auto& row : rows) {
    std::vector<uint8_t> r;
    for (const auto& c : row)
      r.insert(r.end(), {static_cast<uint8_t>(c[2]), static_cast<uint8_t>(c[1]), static_cast<uint8_t>(c[0])});
    r.resize(stride);
    p.bits.insert(p.bits.end(), r.begin(), r.end());
  }
  return p;
}

constexpr uint8_t Scale6(int c8) {
  return static_cast<uint8_t>((c8 >> 2) * 255 / 63);
}

TEST(MedianCut, OneColourIsOneBoxAndTheMaximumOneGivesTheMean) {
  Picture p = Make24({{{40, 80, 255}, {40, 80, 255}}, {{40, 80, 255}, {40, 80, 255}}});
  PaletteEntry out[256];
  ASSERT_EQ(MedianCutPalette(p.header, p.bits.data(), out, 256), 1);
  EXPECT_EQ(out[0], (PaletteEntry{Scale6(40), Scale6(80), 255, 0}));

  // Four pixels: red levels (6-bit) 0, 0, 10, 63 -> mean 73 / 4 = 18 -> 18 * 255 / 63 = 72.
  Picture q = Make24({{{0, 0, 0}, {0, 0, 0}}, {{40, 0, 0}, {255, 0, 0}}});
  ASSERT_EQ(MedianCutPalette(q.header, q.bits.data(), out, 1), 1);
  EXPECT_EQ(out[0], (PaletteEntry{72, 0, 0, 0}));
}

TEST(MedianCut, FewColoursComeOutExactlyMostUsedFirst) {
  // 6-bit cells 5, 20, 40 on one channel each, used 1, 3 and 2 times.
  std::array<int, 3> a{20, 0, 0}, b{0, 80, 0}, c{0, 0, 160};
  Picture p = Make24({{a, b, b}, {b, c, c}});
  PaletteEntry out[256];
  ASSERT_EQ(MedianCutPalette(p.header, p.bits.data(), out, 256), 3);
  EXPECT_EQ(out[0], (PaletteEntry{0, Scale6(80), 0, 0}));
  EXPECT_EQ(out[1], (PaletteEntry{0, 0, Scale6(160), 0}));
  EXPECT_EQ(out[2], (PaletteEntry{Scale6(20), 0, 0, 0}));
  // Scaling: 6-bit 63 becomes 255 and 1 becomes 4.
  Picture s = Make24({{{255, 4, 0}}});
  ASSERT_EQ(MedianCutPalette(s.header, s.bits.data(), out, 256), 1);
  EXPECT_EQ(out[0], (PaletteEntry{255, 4, 0, 0}));
}

TEST(MedianCut, ABoxHeavyAtItsLastPlaneIsSplitJustBelowIt) {
  // One dark pixel and three at the far end: the sweep passes half only at the last plane, so the split
  // falls below it and neither box is empty. The heavy box comes first.
  Picture p = Make24({{{0, 0, 0}, {255, 0, 0}, {255, 0, 0}, {255, 0, 0}}});
  PaletteEntry out[256];
  ASSERT_EQ(MedianCutPalette(p.header, p.bits.data(), out, 2), 2);
  EXPECT_EQ(out[0], (PaletteEntry{255, 0, 0, 0}));
  EXPECT_EQ(out[1], (PaletteEntry{0, 0, 0, 0}));
}

TEST(MedianCut, SplitsTheWidestAxisAndCountsTopDownRowsToo) {
  // Green spans more than red: two colours must differ in green, and the means follow the halves.
  std::vector<std::array<int, 3>> row;
  for (int i = 0; i < 8; ++i) row.push_back({100 + 4 * (i % 2), 32 * i, 0});
  Picture up = Make24({row, row});
  Picture down = Make24({row, row}, true);
  PaletteEntry a[256], b[256];
  ASSERT_EQ(MedianCutPalette(up.header, up.bits.data(), a, 2), 2);
  ASSERT_EQ(MedianCutPalette(down.header, down.bits.data(), b, 2), 2);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(a[i], b[i]);
  EXPECT_NE(a[0].green, a[1].green);
  EXPECT_EQ(std::abs(a[0].red - a[1].red) <= 4, true);
  // 8 distinct greens in 16 pixels: asked for 256, every cell gets its own colour.
  ASSERT_EQ(MedianCutPalette(down.header, down.bits.data(), b, 256), 8);
  std::set<int> greens;
  for (int i = 0; i < 8; ++i) greens.insert(b[i].green);
  EXPECT_EQ(greens.size(), 8u);
}

TEST(MedianCut, ReadsSixteenAndThirtyTwoBitsThroughMasksAndRefusesOthers) {
  DibHeader h;
  h.width = 2;
  h.height = 1;
  h.bitCount = 16;
  h.compression = kDibBitFields;
  h.masks = {0xF800, 0x07E0, 0x001F};
  std::vector<uint8_t> px = {0x00, 0xF8, 0xE0, 0x07};  // pure red, pure green (5-6-5)
  PaletteEntry out[256];
  ASSERT_EQ(MedianCutPalette(h, px.data(), out, 256), 2);
  std::set<std::tuple<int, int, int>> got = {{out[0].red, out[0].green, out[0].blue},
                                             {out[1].red, out[1].green, out[1].blue}};
  EXPECT_EQ(got, (std::set<std::tuple<int, int, int>>{{Scale6(248), 0, 0}, {0, Scale6(252), 0}}));

  h.bitCount = 32;
  h.compression = kDibRgb;
  std::vector<uint8_t> px32 = {0, 0, 255, 0, 255, 0, 0, 0};  // red, blue
  ASSERT_EQ(MedianCutPalette(h, px32.data(), out, 256), 2);

  h.bitCount = 8;
  EXPECT_EQ(MedianCutPalette(h, px32.data(), out, 256), 0);
}

TEST(Octree, DepthEightKeepsDistinctColoursInTreeOrder) {
  PaletteEntry e[256] = {};
  uint32_t w[256] = {};
  e[3] = {255, 0, 0, 0};     // child 4 at the root
  e[10] = {0, 0, 255, 0};    // child 1
  e[11] = {0, 0, 254, 0};    // child 1 too, differs only in the last bit
  e[40] = {128, 128, 0, 0};  // child 6
  e[41] = {9, 9, 9, 0};      // unused: weight 0
  w[3] = 5;
  w[10] = 1;
  w[11] = 7;
  w[40] = 2;
  ASSERT_EQ(OctreeReducePalette(e, w, 8, 256), 4);
  EXPECT_EQ(e[0], (PaletteEntry{0, 0, 254, 0}));
  EXPECT_EQ(e[1], (PaletteEntry{0, 0, 255, 0}));
  EXPECT_EQ(e[2], (PaletteEntry{255, 0, 0, 0}));
  EXPECT_EQ(e[3], (PaletteEntry{128, 128, 0, 0}));
}

TEST(Octree, ShallowTreesShareLeavesAndDepthOverEightIsRefused) {
  PaletteEntry e[256] = {};
  uint32_t w[256] = {};
  e[0] = {0, 0, 0, 0};
  e[1] = {60, 60, 60, 0};  // the same top two bits as black
  e[2] = {64, 0, 0, 0};    // not: red's second bit is set
  w[0] = 1;
  w[1] = 3;
  w[2] = 1;
  PaletteEntry copy[256];
  std::copy(std::begin(e), std::end(e), copy);
  EXPECT_EQ(OctreeReducePalette(copy, w, 9, 256), 0);
  ASSERT_EQ(OctreeReducePalette(e, w, 2, 256), 2);
  EXPECT_EQ(e[0], (PaletteEntry{45, 45, 45, 0}));  // (0 * 1 + 60 * 3) / 4
  EXPECT_EQ(e[1], (PaletteEntry{64, 0, 0, 0}));
}

TEST(Octree, ReductionTakesTheDeepestLevelAndTheFewestPassesNewestFirst) {
  PaletteEntry e[256] = {};
  uint32_t w[256] = {};
  // Two pairs that part only in the last bit: each pair's level-7 node has two passes. On the tie the
  // pair made later (nearer the front of its list) is merged.
  e[0] = {0, 0, 0, 0};
  e[1] = {1, 0, 0, 0};
  e[2] = {254, 254, 254, 0};
  e[3] = {255, 254, 254, 0};
  for (int i = 0; i < 4; ++i) w[i] = 1;
  ASSERT_EQ(OctreeReducePalette(e, w, 8, 3), 3);
  EXPECT_EQ(e[0], (PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(e[1], (PaletteEntry{1, 0, 0, 0}));
  EXPECT_EQ(e[2], (PaletteEntry{254, 254, 254, 0}));  // (254 + 255) / 2

  // A node with one pass goes before one with two, even when made earlier.
  PaletteEntry f[256] = {};
  uint32_t v[256] = {};
  f[0] = {0, 0, 0, 0};
  f[1] = {200, 200, 200, 0};
  f[2] = {201, 200, 200, 0};
  v[0] = v[1] = v[2] = 1;
  ASSERT_EQ(OctreeReducePalette(f, v, 8, 2), 3 - 1);
  EXPECT_EQ(f[0], (PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(f[1], (PaletteEntry{200, 200, 200, 0}));

  // One colour left: the weighted mean of all, the root itself reduced.
  PaletteEntry g[256] = {};
  uint32_t u[256] = {};
  g[0] = {0, 0, 0, 0};
  g[1] = {255, 255, 255, 0};
  u[0] = 3;
  u[1] = 1;
  ASSERT_EQ(OctreeReducePalette(g, u, 8, 1), 1);
  EXPECT_EQ(g[0], (PaletteEntry{63, 63, 63, 0}));
  uint32_t none[256] = {};
  EXPECT_EQ(OctreeReducePalette(g, none, 8, 16), 0);
}

TEST(WebCube, SixLevelsThenBlack) {
  PaletteEntry e[256];
  WebCubeEntries(e);
  EXPECT_EQ(e[0], (PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(e[5], (PaletteEntry{0, 0, 255, 0}));
  EXPECT_EQ(e[6], (PaletteEntry{0, 51, 0, 0}));
  EXPECT_EQ(e[36], (PaletteEntry{51, 0, 0, 0}));
  EXPECT_EQ(e[215], (PaletteEntry{255, 255, 255, 0}));
  std::set<std::tuple<int, int, int>> distinct;
  for (int i = 0; i < 216; ++i) distinct.insert({e[i].red, e[i].green, e[i].blue});
  EXPECT_EQ(distinct.size(), 216u);
  for (int i = 216; i < 256; ++i) EXPECT_EQ(e[i], (PaletteEntry{0, 0, 0, 0}));
}

TEST(BuildDibPalette, ChoiceSelectsWebCubeOrAdaptiveWithFallback) {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  std::vector<std::array<int, 3>> row;
  for (int i = 0; i < 64; ++i) row.push_back({4 * i, 255 - 4 * i, (i * 37) % 256});
  Picture p = Make24({row, row});
  auto web = BuildDibPalette(p.header, p.bits.data(), 0x88);
  ASSERT_TRUE(web);
  EXPECT_EQ(web->Count(), 256);
  auto adaptive = BuildDibPalette(p.header, p.bits.data(), 0x2 | 3u << 16);
  ASSERT_TRUE(adaptive);
  EXPECT_EQ(adaptive->Count(), 8);
  EXPECT_EQ(BuildDibPalette(p.header, p.bits.data(), 0x1), nullptr);
  EXPECT_TRUE(hooks.entries.empty());

  DibHeader eight = p.header;
  eight.bitCount = 8;
  auto fallback = BuildDibPalette(eight, p.bits.data(), 0x2 | 8u << 16);
  ASSERT_TRUE(fallback);
  EXPECT_EQ(fallback->Count(), 256);
  EXPECT_EQ((*fallback)[215], (PaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(hooks.Texts(),
            (std::vector<std::string>{"Error during adaptive palette creation. Using Web cube instead."}));
}

}  // namespace
}  // namespace lw
