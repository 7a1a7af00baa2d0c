#include <gtest/gtest.h>

#include "edit/transforms/resample.h"
#include "edit/transforms/transforms.h"
#include "optimize/pictures.h"
#include "optimize_samples.h"
#include "support/composed.h"
#include "support/hooks_fixture.h"

namespace lw {
namespace {

using test::ComposedFrames;

using Picture = std::vector<RgbaPixel>;

class Resize : public test::RecordingTest {};

TEST_F(Resize, NearestDoublingRepeatsEveryPixelAndHalvingPicksOneOfEachBlock) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    test::SampleKinds kinds;
    kinds.localPalettes = seed % 2 == 0;
    AnimationPtr a = test::SampleAnimation(seed, kinds);
    const int32_t W = a->screenWidth, H = a->screenHeight;
    const auto before = ComposedFrames(*a);
    ASSERT_TRUE(ResizeAnimation(*a, {2 * W, 2 * H, ResizeFilter::kNearest, false}, nullptr)) << seed;
    const auto big = ComposedFrames(*a);
    ASSERT_EQ(big.size(), before.size());
    for (size_t k = 0; k < big.size(); ++k)
      for (int32_t y = 0; y < 2 * H; ++y)
        for (int32_t x = 0; x < 2 * W; ++x)
          ASSERT_EQ(big[k][static_cast<size_t>(y * 2 * W + x)],
                    before[k][static_cast<size_t>(y / 2 * W + x / 2)])
              << "seed " << seed << " frame " << k;
    // And back: each 2 x 2 block becomes one of its pixels, which are all the same.
    ASSERT_TRUE(ResizeAnimation(*a, {W, H, ResizeFilter::kNearest, false}, nullptr));
    EXPECT_EQ(ComposedFrames(*a), before) << "seed " << seed;
  }
}

TEST_F(Resize, LanczosKeepsFlatColoursAndBlendsAnEdgeInLinearLight) {
  PalettePtr palette =
      test::MakePalette(4, {{0, 0, 0, 0}, {255, 255, 255, 0}, {188, 188, 188, 0}, {128, 128, 128, 0}});
  AnimationPtr a = NewAnimation();
  a->screenWidth = 8;
  a->screenHeight = 4;
  SetGlobalPalette(*a, std::move(palette));
  // Black and white columns, one pixel each: at half width every pixel covers one of each.
  FramePtr f = test::MakeFrame(8, 4, a->globalPalette.get(), [](int x, int) { return uint8_t(x % 2); });
  AppendBlock(*a, std::move(f));
  AddFrameCount(*a, 1);
  FramePtr flat = test::MakeFrame(8, 4, a->globalPalette.get(), [](int, int) { return uint8_t(1); });
  AppendBlock(*a, std::move(flat));
  AddFrameCount(*a, 1);
  ASSERT_TRUE(ResizeAnimation(*a, {4, 2, ResizeFilter::kLanczos, false}, nullptr));
  const auto now = ComposedFrames(*a);
  // The linear-light average of black and white is 188 in sRGB (128 would be the gamma-space average).
  for (RgbaPixel p : now[0]) EXPECT_EQ(p, 0xFFBCBCBCu);
  for (RgbaPixel p : now[1]) EXPECT_EQ(p, 0xFFFFFFFFu);
}

// Grey steps of 17 levels; a frame of stripes with a block at each of the given places.
AnimationPtr StripesWithABlock(std::vector<int> blockXs) {
  std::vector<PaletteEntry> greys;
  for (int i = 0; i < 16; ++i) greys.push_back({uint8_t(i * 17), uint8_t(i * 17), uint8_t(i * 17), 0});
  AnimationPtr a = NewAnimation();
  a->screenWidth = 48;
  a->screenHeight = 32;
  SetGlobalPalette(*a, test::MakePalette(16, greys));
  for (int bx : blockXs) {
    FramePtr f = test::MakeFrame(48, 32, a->globalPalette.get(), [bx](int x, int y) {
      if (x >= bx && x < bx + 6 && y >= 12 && y < 18) return uint8_t(15);
      return uint8_t((x / 3 + y / 5) % 2 ? 5 : 9);
    });
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
  return a;
}

TEST_F(Resize, FilteredPixelsNearAChangeKeepTheirColourWithinAFewLevels) {
  // Each frame resized on its own gives the colours nearest to the filter's; in the animation the
  // second frame's pixels around the moved block may keep the first frame's colour when it is hardly
  // farther away, so fewer pixels change and the optimized frame is smaller.
  AnimationPtr a = StripesWithABlock({8, 30});
  ASSERT_TRUE(ResizeAnimation(*a, {24, 16, ResizeFilter::kLanczos, false}, nullptr));
  const auto both = ComposedFrames(*a);
  AnimationPtr alone = StripesWithABlock({30});
  ASSERT_TRUE(ResizeAnimation(*alone, {24, 16, ResizeFilter::kLanczos, false}, nullptr));
  const auto fresh = ComposedFrames(*alone);
  auto level = [](RgbaPixel p) { return int(p & 0xFF); };
  int changed = 0, freshChanged = 0;
  for (size_t i = 0; i < both[1].size(); ++i) {
    changed += both[1][i] != both[0][i];
    freshChanged += fresh[0][i] != both[0][i];
    if (both[1][i] != fresh[0][i]) {
      // Kept from the first frame, and near the colour chosen on its own: at most one palette step
      // (17 levels; 6 more than half a step, as greys are equal on all three channels) away.
      EXPECT_EQ(both[1][i], both[0][i]) << i;
      EXPECT_LE(std::abs(level(both[1][i]) - level(fresh[0][i])), 17) << i;
    }
  }
  EXPECT_LT(changed, freshChanged);
  EXPECT_GT(changed, 0);
  // Nearest neighbour stays exact.
  AnimationPtr pixels = StripesWithABlock({8, 30});
  const auto before = ComposedFrames(*pixels);
  ASSERT_TRUE(ResizeAnimation(*pixels, {96, 64, ResizeFilter::kNearest, false}, nullptr));
  const auto big = ComposedFrames(*pixels);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 96; ++x)
      ASSERT_EQ(big[1][static_cast<size_t>(y * 96 + x)], before[1][static_cast<size_t>(y / 2 * 48 + x / 2)]);
}

TEST_F(Resize, TransparentAreasStayTransparentAndTheFreeIndexIsFound) {
  AnimationPtr a = test::MakeAnimation(0, 8, 8, 4);
  // Left half drawn, right half never: the page shows through there.
  FramePtr f = test::MakeFrame(4, 8, a->globalPalette.get(), [](int, int) { return uint8_t(2); });
  AppendBlock(*a, std::move(f));
  AddFrameCount(*a, 1);
  ASSERT_TRUE(ResizeAnimation(*a, {16, 16, ResizeFilter::kLanczos, true}, nullptr));
  const auto now = ComposedFrames(*a);
  const Palette& p = *a->globalPalette;
  const RgbaPixel colour = 0xFF000000u | uint32_t{p[2].blue} << 16 | uint32_t{p[2].green} << 8 | p[2].red;
  for (int y = 0; y < 16; ++y) {
    EXPECT_EQ(now[0][static_cast<size_t>(y * 16 + 2)], colour);
    EXPECT_EQ(now[0][static_cast<size_t>(y * 16 + 13)], 0u);
  }
}

TEST_F(Resize, AFullPaletteGivesUpItsLeastUsedColourForTransparency) {
  AnimationPtr a = test::MakeAnimation(0, 16, 17, 256);
  FramePtr f =
      test::MakeFrame(16, 16, a->globalPalette.get(), [](int x, int y) { return uint8_t(x + 16 * y); });
  AppendBlock(*a, std::move(f));  // row 16 is never drawn
  AddFrameCount(*a, 1);
  ASSERT_TRUE(ResizeAnimation(*a, {32, 34, ResizeFilter::kNearest, false}, nullptr));
  const Frame* g = FirstFrame(*a);
  ASSERT_TRUE(IsTransparent(*g));
  EXPECT_EQ(a->globalPalette->Count(), 256);
  const auto now = ComposedFrames(*a);
  for (int x = 0; x < 32; ++x) EXPECT_EQ(now[0][static_cast<size_t>(33 * 32 + x)], 0u);
  int opaque = 0;
  for (int i = 0; i < 32 * 32; ++i) opaque += (now[0][static_cast<size_t>(i)] >> 24) != 0;
  EXPECT_EQ(opaque, 32 * 32);
}

TEST_F(Resize, ScaledSizesKeepTheProportions) {
  AnimationPtr a = test::MakeAnimation(1, 800, 600);
  EXPECT_EQ(ScaledSize(*a, 50).width, 400);
  EXPECT_EQ(ScaledSize(*a, 50).height, 300);
  EXPECT_EQ(ScaledSize(*a, 0.001).width, 8);  // at least 1 %
  EXPECT_EQ(HeightForWidth(*a, 100), 75);
  EXPECT_EQ(WidthForHeight(*a, 1), 1);
  EXPECT_FALSE(ResizeAnimation(*a, {0, 10, ResizeFilter::kNearest, false}, nullptr));
  EXPECT_EQ(hooks.entries.size(), 1u);
}

TEST(Resampler, ASteepShrinkNeedsManyRowsAndSaysSo) {
  Resampler steep(100, 100000, 100, 1, true);
  EXPECT_GT(steep.CacheBytes(), 100000u * 100 * 16 / 2);
  Resampler nearest(100, 100000, 100, 1, false);
  EXPECT_EQ(nearest.CacheBytes(), 0u);
}

}  // namespace
}  // namespace lw
