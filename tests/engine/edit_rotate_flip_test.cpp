#include <gtest/gtest.h>

#include "edit/rotate_flip.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::MakeAnimation;
using test::MakeFrame;

// The frame's pixels row by row (no padding).
std::vector<uint8_t> Pixels(const Frame& f) {
  std::vector<uint8_t> out;
  for (int y = 0; y < f.height; ++y) out.insert(out.end(), f.Row(y), f.Row(y) + f.width);
  return out;
}

AnimationPtr OneFrame(int screenW, int screenH, int w, int h, int left, int top) {
  AnimationPtr a = MakeAnimation(0, screenW, screenH, 256);
  FramePtr f = MakeFrame(w, h, a->globalPalette.get(), [](int x, int y) { return uint8_t(x + 10 * y); });
  f->left = left;
  f->top = top;
  AppendBlock(*a, std::move(f));
  AddFrameCount(*a, 1);
  return a;
}

TEST(RotateFlip, EachCommandMapsPixelsAsTheTableSays) {
  // 3 × 2 frame: rows {0 1 2} {10 11 12}
  struct Case {
    int command, w, h;
    std::vector<uint8_t> pixels;
  };
  const Case cases[] = {
      {kRotateClockwise, 2, 3, {10, 0, 11, 1, 12, 2}},
      {kRotate180, 3, 2, {12, 11, 10, 2, 1, 0}},
      {kRotateCounterClockwise, 2, 3, {2, 12, 1, 11, 0, 10}},
      {kFlipHorizontally, 3, 2, {2, 1, 0, 12, 11, 10}},
      {kFlipVertically, 3, 2, {10, 11, 12, 0, 1, 2}},
  };
  for (const Case& c : cases) {
    AnimationPtr a = OneFrame(10, 10, 3, 2, 0, 0);
    Frame* f = FirstFrame(*a);
    EXPECT_EQ(RotateFlipFrame(*a, *f, c.command), 1) << c.command;
    EXPECT_EQ(f->width, c.w);
    EXPECT_EQ(f->height, c.h);
    EXPECT_EQ(f->bitmap->Width(), c.w);
    EXPECT_EQ(Pixels(*f), c.pixels) << c.command;
    EXPECT_EQ(a->screenWidth, 10);
    EXPECT_EQ(a->screenHeight, 10);
  }
  AnimationPtr a = OneFrame(10, 10, 3, 2, 0, 0);
  EXPECT_EQ(RotateFlipFrame(*a, *FirstFrame(*a), 40072), 0);  // not a rotate command
}

TEST(RotateFlip, QuarterTurnGrowsTheScreenOnlyWhenTheFrameSticksOut) {
  AnimationPtr a = OneFrame(30, 20, 30, 10, 0, 5);
  EXPECT_EQ(RotateFlipFrame(*a, *FirstFrame(*a), kRotateCounterClockwise), 2);
  EXPECT_EQ(a->screenWidth, 30);
  EXPECT_EQ(a->screenHeight, 35);
  EXPECT_EQ(FirstFrame(*a)->left, 0);
  EXPECT_EQ(FirstFrame(*a)->top, 5);

  // A half turn of the same frame never grows it, nor does a square frame's quarter turn.
  a = OneFrame(30, 20, 30, 10, 0, 5);
  EXPECT_EQ(RotateFlipFrame(*a, *FirstFrame(*a), kRotate180), 1);
  a = OneFrame(8, 8, 10, 10, 2, 2);  // already sticking out, square
  EXPECT_EQ(RotateFlipFrame(*a, *FirstFrame(*a), kRotateClockwise), 1);
  EXPECT_EQ(a->screenWidth, 8);
}

TEST(RotateFlip, RoundTripsGiveThePixelsBack) {
  for (auto [w, h] : {std::pair{5, 3}, std::pair{4, 7}, std::pair{1, 1}, std::pair{9, 1}}) {
    AnimationPtr a = OneFrame(100, 100, w, h, 0, 0);
    Frame* f = FirstFrame(*a);
    const std::vector<uint8_t> original = Pixels(*f);
    for (int i = 0; i < 4; ++i) RotateFlipFrame(*a, *f, kRotateClockwise);
    EXPECT_EQ(Pixels(*f), original);
    RotateFlipFrame(*a, *f, kRotateClockwise);
    RotateFlipFrame(*a, *f, kRotateCounterClockwise);
    EXPECT_EQ(Pixels(*f), original);
    for (int command : {kRotate180, kFlipHorizontally, kFlipVertically}) {
      RotateFlipFrame(*a, *f, command);
      if ((command == kFlipVertically ? h : w) > 1) {
        EXPECT_NE(Pixels(*f), original) << command << " " << w << "x" << h;
      }
      RotateFlipFrame(*a, *f, command);
      EXPECT_EQ(Pixels(*f), original) << command;
    }
  }
}

TEST(RotateFlip, OddHeightFlipKeepsTheMiddleRowAndTransparencyFollowsThePixels) {
  AnimationPtr a = OneFrame(10, 10, 4, 3, 1, 1);
  Frame* f = FirstFrame(*a);
  SetTransparentIndex(*f, 2);  // pixel (2, 0)
  SetTransparent(*f, true);
  RotateFlipFrame(*a, *f, kFlipVertically);
  EXPECT_EQ(f->Row(1)[0], 10);
  EXPECT_EQ(f->Row(2)[2], 2);
  EXPECT_TRUE(IsTransparent(*f));
  EXPECT_EQ(f->transparentIndex, 2);
  const MaskBitmap* mask = GetMask(*f);
  ASSERT_NE(mask, nullptr);
  EXPECT_TRUE(mask->IsSet(2, 2));
  EXPECT_FALSE(mask->IsSet(2, 0));
  RotateFlipFrame(*a, *f, kRotateClockwise);  // (2, 2) of 4 × 3 goes to (0, 2) of 3 × 4
  mask = GetMask(*f);
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(mask->Width(), 3);
  EXPECT_TRUE(mask->IsSet(0, 2));
  EXPECT_EQ(f->left, 1);
}

TEST(RotateFlip, SharedPixelsOfACopyAreNotTouched) {
  AnimationPtr a = OneFrame(10, 10, 3, 2, 0, 0);
  AnimationPtr copy = CopyAnimation(*a);
  const std::vector<uint8_t> before = Pixels(*FirstFrame(*copy));
  RotateFlipFrame(*a, *FirstFrame(*a), kFlipVertically);
  RotateFlipFrame(*a, *FirstFrame(*a), kFlipHorizontally);
  EXPECT_EQ(Pixels(*FirstFrame(*copy)), before);
}

}  // namespace
}  // namespace lw
