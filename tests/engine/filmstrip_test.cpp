#include <gtest/gtest.h>

#include "io/filmstrip.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::MakeAnimation;

// Eight frames of 40 × 30, frame k filled with index k + 1; background 0.
AnimationPtr Eight() {
  AnimationPtr a = MakeAnimation(0, 40, 30, 16);
  for (int k = 0; k < 8; ++k) {
    AppendBlock(*a,
                test::MakeFrame(40, 30, a->globalPalette.get(), [k](int, int) { return uint8_t(k + 1); }));
    AddFrameCount(*a, 1);
  }
  a->loopCount = 0;
  return a;
}

uint8_t PixelAt(const Animation& a, int x, int y) {
  return FirstFrame(a)->Row(y)[x];
}

TEST(Filmstrip, HorizontalStripsFillLeftToRightThenDown) {
  AnimationPtr a = Eight();
  AnimationPtr s = BuildFilmstrip(*a, 3, FilmstripOrientation::kHorizontal);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->screenWidth, 120);
  EXPECT_EQ(s->screenHeight, 90);
  EXPECT_EQ(s->frameCount, 1);
  EXPECT_EQ(s->loopCount, 0u);
  const Frame* f = FirstFrame(*s);
  EXPECT_EQ(f->width, 120);
  EXPECT_EQ(f->delay, 0u);
  EXPECT_EQ(NextFrame(f), nullptr);
  EXPECT_EQ(f->palette, s->globalPalette.get());
  EXPECT_EQ(*s->globalPalette, *a->globalPalette);
  EXPECT_EQ(PixelAt(*s, 0, 0), 1);
  EXPECT_EQ(PixelAt(*s, 119, 0), 3);
  EXPECT_EQ(PixelAt(*s, 0, 30), 4);
  EXPECT_EQ(PixelAt(*s, 40, 89), 8);
  EXPECT_EQ(PixelAt(*s, 80, 60), 0);  // the ninth cell: background
}

TEST(Filmstrip, VerticalStripsFillDownThenRight) {
  AnimationPtr a = Eight();
  FilmstripLayout l = ComputeFilmstripLayout(*a, 3, FilmstripOrientation::kVertical);
  EXPECT_EQ(l.strips, 3);
  EXPECT_EQ(l.width, 120);
  EXPECT_EQ(l.height, 90);
  a->screenWidth = 30;
  a->screenHeight = 40;  // frames keep 40 × 30 and are cut to their 30 × 40 cells
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->left = -5;
  AnimationPtr s = BuildFilmstrip(*a, 3, FilmstripOrientation::kVertical);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->screenWidth, 90);
  EXPECT_EQ(s->screenHeight, 120);
  EXPECT_EQ(PixelAt(*s, 29, 0), 1);
  EXPECT_EQ(PixelAt(*s, 0, 109), 3);
  EXPECT_EQ(PixelAt(*s, 0, 119), 0);
  EXPECT_EQ(PixelAt(*s, 30, 0), 4);
  EXPECT_EQ(PixelAt(*s, 0, 29), 1);
  EXPECT_EQ(PixelAt(*s, 0, 30), 0);  // below the 30-row frame: the background
  EXPECT_EQ(PixelAt(*s, 0, 40), 2);
  EXPECT_EQ(PixelAt(*s, 60, 80), 0);  // the empty last cell
  EXPECT_EQ(DefaultFilmstripOrientation(*a), FilmstripOrientation::kHorizontal);
}

TEST(Filmstrip, SmallFrameSitsAtItsOffsetInItsCell) {
  AnimationPtr a = MakeAnimation(0, 10, 10, 4);
  a->backgroundIndex = 3;
  FramePtr f = test::MakeFrame(2, 2, a->globalPalette.get(), [](int, int) { return uint8_t(1); });
  f->left = 4;
  f->top = 5;
  SetTransparentIndex(*f, 2);
  SetTransparent(*f, true);
  AppendBlock(*a, std::move(f));
  AddFrameCount(*a, 1);
  AnimationPtr s = BuildFilmstrip(*a, 1, FilmstripOrientation::kHorizontal);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(PixelAt(*s, 4, 5), 1);
  EXPECT_EQ(PixelAt(*s, 3, 5), 3);
  EXPECT_TRUE(IsTransparent(*FirstFrame(*s)));
  EXPECT_EQ(FirstFrame(*s)->transparentIndex, 2);
}

TEST(Filmstrip, RefusalsShowTheirMessages) {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = Eight();
  SetTransparent(*NthFrame(*a, 1), true);
  EXPECT_FALSE(CheckFilmstripFrames(*a));  // first opaque, second transparent
  SetTransparent(*NthFrame(*a, 1), false);
  SetTransparent(*NthFrame(*a, 0), true);
  EXPECT_FALSE(CheckFilmstripFrames(*a));  // and the other way round
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) SetTransparent(*f, true);
  EXPECT_TRUE(CheckFilmstripFrames(*a));
  SetTransparentIndex(*NthFrame(*a, 5), 9);
  EXPECT_FALSE(CheckFilmstripFrames(*a));
  SetTransparentIndex(*NthFrame(*a, 5), 0);
  SetLocalPalette(*NthFrame(*a, 7), test::MakePalette(4));
  EXPECT_FALSE(CheckFilmstripFrames(*a));
  EXPECT_EQ(BuildFilmstrip(*a, 0, FilmstripOrientation::kVertical), nullptr);
  a->screenWidth = 30000;
  EXPECT_EQ(BuildFilmstrip(*a, 8, FilmstripOrientation::kHorizontal), nullptr);  // 240000 wide
  std::vector<std::string> texts = hooks.Texts();
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(
      texts[0],
      "Unable to write a single filmstrip when all the frames don't share the same transparency state.");
  EXPECT_EQ(texts[3], "Unable to write a single filmstrip when local palettes are present in the animation.");
}

}  // namespace
}  // namespace lw
