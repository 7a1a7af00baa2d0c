#include <gtest/gtest.h>

#include <numeric>

#include "edit/transforms/transforms.h"
#include "model/limits.h"
#include "optimize/pictures.h"
#include "optimize_samples.h"
#include "support/composed.h"
#include "support/hooks_fixture.h"

namespace lw {
namespace {

using test::ComposedFrames;
using test::FrameDelays;

using Picture = std::vector<RgbaPixel>;

// Sample animations with delays 1..9 so that timing mistakes show.
AnimationPtr Sample(uint32_t seed, bool localPalettes = false) {
  test::SampleKinds kinds;
  kinds.localPalettes = localPalettes;
  kinds.offscreen = seed % 4 == 0;
  AnimationPtr a = test::SampleAnimation(seed, kinds);
  uint32_t d = seed;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->delay = 1 + (d++ * 7) % 9;
  return a;
}

class Transforms : public test::RecordingTest {};

TEST_F(Transforms, ReverseShowsThePicturesAndDelaysBackwards) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    AnimationPtr a = Sample(seed, seed % 3 == 0);
    auto pictures = ComposedFrames(*a);
    auto delays = FrameDelays(*a);
    ASSERT_TRUE(ReverseAnimation(*a)) << seed;
    std::reverse(pictures.begin(), pictures.end());
    std::reverse(delays.begin(), delays.end());
    ASSERT_EQ(ComposedFrames(*a), pictures) << "seed " << seed;
    EXPECT_EQ(FrameDelays(*a), delays);
    EXPECT_EQ(a->frameCount, static_cast<int>(delays.size()));
  }
}

TEST_F(Transforms, SpeedScalesDelaysAndCountsTheOnesBrowsersSlowDown) {
  AnimationPtr a = test::MakeAnimation(4, 2, 2);
  std::vector<uint32_t> before = {10, 3, 0, 65535};
  int k = 0;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->delay = before[static_cast<size_t>(k++)];
  SpeedResult r = ChangeSpeed(*a, 2);
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(FrameDelays(*a), (std::vector<uint32_t>{5, 2, 0, 32768}));
  EXPECT_EQ(r.fastFrames, 1);  // the 0
  r = ChangeSpeed(*a, 4);
  EXPECT_EQ(FrameDelays(*a), (std::vector<uint32_t>{1, 1, 0, 8192}));  // never down to 0 from a real delay
  EXPECT_EQ(r.fastFrames, 3);
  r = ChangeSpeed(*a, 0.01);
  EXPECT_EQ(FrameDelays(*a), (std::vector<uint32_t>{100, 100, 0, 65535}));  // capped at the field's largest
  EXPECT_TRUE(hooks.entries.empty());
  EXPECT_FALSE(ChangeSpeed(*a, 0).changed);
  EXPECT_EQ(hooks.entries.size(), 1u);
}

TEST_F(Transforms, DroppingFramesKeepsTheRunningTimeAndTheKeptPictures) {
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    AnimationPtr a = Sample(seed, seed % 2 == 0);
    if (a->frameCount < 3) continue;
    const auto pictures = ComposedFrames(*a);
    const auto delays = FrameDelays(*a);
    ASSERT_TRUE(DropEveryNthFrame(*a, 3)) << seed;
    std::vector<Picture> expected;
    std::vector<uint32_t> expectedDelays;
    for (size_t i = 0; i < pictures.size(); ++i) {
      if ((i + 1) % 3 == 0) {
        expectedDelays.back() += delays[i];
        continue;
      }
      expected.push_back(pictures[i]);
      expectedDelays.push_back(delays[i]);
    }
    ASSERT_EQ(ComposedFrames(*a), expected) << "seed " << seed;
    EXPECT_EQ(FrameDelays(*a), expectedDelays);
  }
  AnimationPtr two = test::MakeAnimation(2, 3, 3);
  EXPECT_FALSE(DropEveryNthFrame(*two, 3));  // nothing to drop
  EXPECT_FALSE(DropEveryNthFrame(*two, 1));
  EXPECT_EQ(two->frameCount, 2);
}

TEST_F(Transforms, DroppingToAFrameRateKeepsTheFirstFrameOfEachInterval) {
  AnimationPtr a = test::MakeAnimation(10, 2, 2, 16);                 // each frame its own colour
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->delay = 4;  // 25 fps
  const auto pictures = ComposedFrames(*a);
  ASSERT_TRUE(DropToFrameRate(*a, 10));  // every 10 hundredths: starts 0, 12, 20, 32 ... kept
  // Starts 0 4 8 12 16 20 24 28 32 36: kept 0, 12, 20, 32.
  EXPECT_EQ(FrameDelays(*a), (std::vector<uint32_t>{12, 8, 12, 8}));
  auto now = ComposedFrames(*a);
  ASSERT_EQ(now.size(), 4u);
  EXPECT_EQ(now[1], pictures[3]);
  EXPECT_EQ(now[3], pictures[8]);
  EXPECT_FALSE(DropToFrameRate(*a, 50));  // already slower than that
  EXPECT_FALSE(DropToFrameRate(*a, 1000));
}

TEST_F(Transforms, DuplicatePicturesGoWithTheirDelaysAddedToTheFrameBefore) {
  AnimationPtr a = test::MakeAnimation(0, 4, 2, 8);
  auto add = [&](int colour, uint32_t delay, int w = 4) {
    FramePtr f = test::MakeFrame(w, 2, a->globalPalette.get(), [=](int, int) { return uint8_t(colour); });
    f->delay = delay;
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  };
  add(1, 10);
  add(1, 5);
  add(1, 7, 2);  // paints the same colour over part of the screen: the same picture
  add(2, 3);
  add(1, 4);  // same as two frames back, not as the frame before: kept
  AppendBlock(*a, test::MakeComment("kept"));
  add(1, 6);
  const auto pictures = ComposedFrames(*a);
  ASSERT_TRUE(RemoveDuplicateFrames(*a));
  EXPECT_EQ(FrameDelays(*a), (std::vector<uint32_t>{22, 3, 10}));
  auto now = ComposedFrames(*a);
  ASSERT_EQ(now.size(), 3u);
  EXPECT_EQ(now[0], pictures[0]);
  EXPECT_EQ(now[1], pictures[3]);
  EXPECT_EQ(now[2], pictures[4]);
  int comments = 0;
  for (GifBlock* b = NextBlock(a->head); b; b = NextBlock(b)) comments += b->kind == kCommentBlock;
  EXPECT_EQ(comments, 1);
  EXPECT_FALSE(RemoveDuplicateFrames(*a));
}

TEST_F(Transforms, CropScreenShowsTheRectangleOfEveryPicture) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    AnimationPtr a = Sample(seed, seed % 3 == 0);
    const int32_t W = a->screenWidth, H = a->screenHeight;
    const int32_t x = W / 4, y = H / 3, w = std::max(1, W / 2), h = std::max(1, H / 2);
    const auto pictures = ComposedFrames(*a);
    ASSERT_TRUE(CropScreen(*a, x, y, w, h)) << seed;
    EXPECT_EQ(a->screenWidth, w);
    auto now = ComposedFrames(*a);
    ASSERT_EQ(now.size(), pictures.size());
    for (size_t k = 0; k < now.size(); ++k)
      for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c)
          ASSERT_EQ(now[k][static_cast<size_t>(r * w + c)],
                    pictures[k][static_cast<size_t>((y + r) * W + x + c)])
              << "seed " << seed << " frame " << k;
  }
}

TEST_F(Transforms, RefusalsLeaveTheAnimationAsItWas) {
  AnimationPtr a = test::MakeAnimation(3, 10, 10);
  EXPECT_FALSE(CropScreen(*a, 5, 5, 6, 5));
  EXPECT_FALSE(CropScreen(*a, -1, 0, 5, 5));
  EXPECT_FALSE(CropScreen(*a, 0, 0, 0, 5));
  EXPECT_EQ(hooks.entries.size(), 3u);
  EXPECT_EQ(a->screenWidth, 10);
  // Whole-screen pictures of these frames would pass the limits: refused before anything is allocated.
  Limits().maxTotalPixels = 250;
  hooks.entries.clear();
  const auto before = ComposedFrames(*a);
  EXPECT_FALSE(RemoveDuplicateFrames(*a));
  EXPECT_FALSE(ResizeAnimation(*a, {20, 20, ResizeFilter::kNearest, false}, nullptr));
  Limits() = PixelLimits{};
  EXPECT_EQ(hooks.entries.size(), 2u);
  EXPECT_EQ(ComposedFrames(*a), before);
  EXPECT_EQ(a->screenWidth, 10);
}

}  // namespace
}  // namespace lw
