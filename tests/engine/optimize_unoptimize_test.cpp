#include <gtest/gtest.h>

#include "optimize/pictures.h"
#include "optimize/unoptimize.h"
#include "optimize_samples.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::MakeAnimation;
using test::MakeFrame;
using test::MakePalette;

Frame* AddFrame(Animation& a, int w, int h, int left, int top, const std::function<uint8_t(int, int)>& px) {
  FramePtr f = MakeFrame(w, h, a.globalPalette.get(), px);
  f->left = left;
  f->top = top;
  Frame* raw = f.get();
  AppendBlock(a, std::move(f));
  AddFrameCount(a, 1);
  return raw;
}

uint8_t At(const Frame& f, int x, int y) {
  return f.Row(y)[x];
}

std::vector<std::vector<RgbaPixel>> Pictures(const Animation& a) {
  std::vector<std::vector<RgbaPixel>> out;
  PictureComposer composer(a.screenWidth, a.screenHeight);
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) out.push_back(composer.Show(*f));
  return out;
}

TEST(Unoptimize, SmallFrameBecomesTheWholeScreenTransparentAroundIt) {
  AnimationPtr a = MakeAnimation(0, 6, 4, 8);
  a->backgroundIndex = 7;
  Frame* f = AddFrame(*a, 2, 2, 3, 1, [](int x, int y) { return uint8_t(1 + x + 2 * y); });
  f->delay = 12;
  SetInterlaced(*f, true);
  ASSERT_TRUE(UnoptimizeAnimation(*a));
  EXPECT_EQ(f->width, 6);
  EXPECT_EQ(f->height, 4);
  EXPECT_EQ(f->left, 0);
  EXPECT_EQ(At(*f, 3, 1), 1);
  EXPECT_EQ(At(*f, 4, 2), 4);
  // Around it the page shows through, as in a browser: the frame's own transparent index is free.
  ASSERT_TRUE(IsTransparent(*f));
  EXPECT_EQ(f->transparentIndex, 0);
  EXPECT_EQ(At(*f, 0, 0), 0);
  EXPECT_EQ(At(*f, 5, 3), 0);
  EXPECT_EQ(f->delay, 12u);
  EXPECT_TRUE(IsInterlaced(*f));
}

TEST(Unoptimize, DisposalsAndTransparencyAreHonoured) {
  AnimationPtr a = MakeAnimation(0, 4, 1, 8);
  a->backgroundIndex = 5;
  AddFrame(*a, 4, 1, 0, 0, [](int x, int) { return uint8_t(1 + x); });            // 1 2 3 4
  Frame* clears = AddFrame(*a, 2, 1, 1, 0, [](int, int) { return uint8_t(5); });  // 1 5 5 4, then cleared
  SetDisposal(*clears, 2);
  Frame* restores = AddFrame(*a, 2, 1, 2, 0, [](int, int) { return uint8_t(6); });
  SetDisposal(*restores, 3);
  Frame* see = AddFrame(*a, 4, 1, 0, 0, [](int x, int) { return uint8_t(x == 3 ? 7 : 3); });
  SetTransparentIndex(*see, 3);
  SetTransparent(*see, true);
  ASSERT_TRUE(UnoptimizeAnimation(*a));
  auto row = [&](int n) {
    const Frame* f = NthFrame(*a, n);
    return std::vector<uint8_t>(f->Row(0), f->Row(0) + 4);
  };
  EXPECT_EQ(row(0), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(row(1), (std::vector<uint8_t>{1, 5, 5, 4}));
  EXPECT_EQ(row(2), (std::vector<uint8_t>{1, 0, 6, 6}));  // cleared where frame 1 was: transparent 0
  EXPECT_EQ(row(3), (std::vector<uint8_t>{1, 3, 3, 7}));  // frame 2 restored away: its own index 3
  EXPECT_FALSE(IsTransparent(*NthFrame(*a, 0)));
  EXPECT_FALSE(IsTransparent(*NthFrame(*a, 1)));
  EXPECT_TRUE(IsTransparent(*NthFrame(*a, 2)));
  EXPECT_EQ(NthFrame(*a, 2)->transparentIndex, 0);
  EXPECT_EQ(NthFrame(*a, 3)->transparentIndex, 3);
  // The frames before transparent ones clear themselves away; the others keep their disposal.
  EXPECT_EQ(GetDisposal(*NthFrame(*a, 0)), 0);
  EXPECT_EQ(GetDisposal(*NthFrame(*a, 2)), 2);
}

TEST(Unoptimize, APaletteWhoseEveryEntryIsDrawnGetsOneMoreForTransparency) {
  AnimationPtr a = MakeAnimation(0, 3, 2, 4);
  Frame* f = AddFrame(*a, 2, 2, 0, 0, [](int x, int y) { return uint8_t(x + 2 * y); });
  SetTransparentIndex(*f, 2);
  const auto before = Pictures(*a);
  ASSERT_TRUE(UnoptimizeAnimation(*a));
  EXPECT_EQ(a->globalPalette->Count(), 5);
  EXPECT_TRUE(IsTransparent(*f));
  EXPECT_EQ(f->transparentIndex, 4);
  EXPECT_EQ(At(*f, 2, 1), 4);
  EXPECT_EQ(Pictures(*a), before);
}

TEST(Unoptimize, ComposedPicturesStayTheSameAndSoDoesASecondRun) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    test::SampleKinds kinds;
    kinds.offscreen = seed % 3 == 0;
    AnimationPtr a = test::SampleAnimation(seed, kinds);
    const auto before = Pictures(*a);
    ASSERT_TRUE(UnoptimizeAnimation(*a));
    ASSERT_EQ(Pictures(*a), before) << "seed " << seed;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) ASSERT_EQ(f->width, a->screenWidth);
    std::vector<uint64_t> once = PictureDigests(*a);
    ASSERT_TRUE(UnoptimizeAnimation(*a));
    EXPECT_EQ(PictureDigests(*a), once);
  }
}

}  // namespace
}  // namespace lw
