#include <gtest/gtest.h>

#include <map>
#include <string>

#include "edit/preview_composer.h"
#include "model/limits.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::MakeFrame;
using test::MakePalette;

constexpr ScreenPixel kWindow = MakeScreenPixel(0xD4, 0xD0, 0xC8);

// Palette letters: index 0 'k' black, 1 'r' red, 2 'g' green, 3 'b' blue, 4 'y' yellow.
PalettePtr Letters() {
  return MakePalette(5, {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 255, 0, 0}});
}

// The picture as one string per row: palette colours by letter, the window colour '.', others '?'.
std::vector<std::string> Rows(const PreviewPicture& p) {
  const std::map<ScreenPixel, char> names = {
      {kWindow, '.'},
      {MakeScreenPixel(0, 0, 0), 'k'},
      {MakeScreenPixel(255, 0, 0), 'r'},
      {MakeScreenPixel(0, 255, 0), 'g'},
      {MakeScreenPixel(0, 0, 255), 'b'},
      {MakeScreenPixel(255, 255, 0), 'y'},
      {MakeScreenPixel(0, 255, 255), 'c'},  // only in the local palette below
  };
  std::vector<std::string> rows;
  for (int32_t y = 0; y < p.Height(); ++y) {
    std::string row;
    for (int32_t x = 0; x < p.Width(); ++x) {
      auto it = names.find(p.At(x, y));
      row += it == names.end() ? '?' : it->second;
    }
    rows.push_back(row);
  }
  return rows;
}

// A frame from rows of palette indices written as digits.
FramePtr Frame(Palette* palette, int left, int top, const std::vector<std::string>& rows, int disposal,
               int transparent = -1, uint32_t delay = 0) {
  const int h = static_cast<int>(rows.size()), w = static_cast<int>(rows[0].size());
  FramePtr f = MakeFrame(
      w, h, palette, [&](int x, int y) { return static_cast<uint8_t>(rows[size_t(y)][size_t(x)] - '0'); });
  f->left = left;
  f->top = top;
  SetDisposal(*f, disposal);
  SetDelay(*f, delay);
  if (transparent >= 0) {
    SetTransparentIndex(*f, static_cast<uint8_t>(transparent));
    SetTransparent(*f, true);
  }
  return f;
}

struct Doc {
  AnimationPtr a;
  explicit Doc(int w, int h) : a(NewAnimation()) {
    a->screenWidth = w;
    a->screenHeight = h;
    SetGlobalPalette(*a, Letters());
  }
  Palette* Global() { return a->globalPalette.get(); }
  void Add(FramePtr f) {
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
};

TEST(PreviewPicture, StartsInWindowColourAndDrawsEachFrameInItsPaletteLeavingTransparencyOut) {
  Doc d(4, 2);
  d.Add(Frame(d.Global(), 0, 0, {"1111", "1111"}, 1));
  // Transparent index 0: the red beneath shows through.
  d.Add(Frame(d.Global(), 1, 0, {"02", "30"}, 1, 0));
  // A local palette of its own: index 1 is cyan there, and transparency on index 2 of that palette.
  FramePtr local = Frame(nullptr, 2, 1, {"12"}, 1, 2);
  PalettePtr cyan = MakePalette(3, {{0, 0, 0, 0}, {0, 255, 255, 0}, {255, 255, 0, 0}});
  SetLocalPalette(*local, std::move(cyan));
  d.Add(std::move(local));

  PreviewComposer c(d.a.get(), kWindow);
  ASSERT_TRUE(c.Picture().Exists());
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"....", "...."}));
  c.PreviewAdvance();
  EXPECT_EQ(c.Number(), 1);
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"rrrr", "rrrr"}));
  c.PreviewAdvance();
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"rrgr", "rbrr"}));
  c.PreviewAdvance();
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"rrgr", "rbcr"}));
}

TEST(PreviewPicture, DisposalTwoFillsTheRectangleWithTheWindowColourNotTheBackgroundIndex) {
  Doc d(4, 3);
  d.a->backgroundIndex = 3;  // blue would show if the background index were used
  d.Add(Frame(d.Global(), 0, 0, {"1111", "1111", "1111"}, 1));
  // Transparent pixels inside the rectangle are cleared too: the whole rectangle goes.
  d.Add(Frame(d.Global(), 1, 1, {"20", "22"}, 2, 0));
  d.Add(Frame(d.Global(), 0, 0, {"4"}, 0));
  PreviewComposer c(d.a.get(), kWindow);
  c.PreviewGoTo(2);
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"rrrr", "rgrr", "rggr"}));
  c.PreviewAdvance();
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"yrrr", "r..r", "r..r"}));
}

TEST(PreviewPicture, DisposalThreeRestoresExactlyWhatLayBeneathEvenInChains) {
  Doc d(5, 3);
  d.Add(Frame(d.Global(), 0, 0, {"11111", "12221", "11111"}, 1));
  d.Add(Frame(d.Global(), 1, 0, {"330", "303"}, 3, 0));  // partly transparent, restored afterwards
  d.Add(Frame(d.Global(), 2, 1, {"44", "44"}, 3));       // overlaps the first one's rectangle
  d.Add(Frame(d.Global(), 4, 2, {"0"}, 1));
  PreviewComposer c(d.a.get(), kWindow);
  c.PreviewAdvance();
  const std::vector<std::string> base = Rows(c.Picture());
  c.PreviewAdvance();
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"rbbrr", "rbgbr", "rrrrr"}));
  c.PreviewAdvance();
  // The blue frame is gone: the yellow one lies over the first picture.
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"rrrrr", "rgyyr", "rryyr"}));
  c.PreviewAdvance();
  // And the yellow one too: exactly the first picture, but for the black pixel now drawn.
  std::vector<std::string> expected = base;
  expected[2][4] = 'k';
  EXPECT_EQ(Rows(c.Picture()), expected);
}

TEST(PreviewPicture, WrapDrawsTheFirstFrameOverTheDisposedLastFrame) {
  Doc d(3, 1);
  d.Add(Frame(d.Global(), 0, 0, {"10"}, 1, 0));  // red, then a transparent pixel
  d.Add(Frame(d.Global(), 1, 0, {"22"}, 1));
  d.Add(Frame(d.Global(), 2, 0, {"3"}, 2));  // the last frame clears its pixel when it goes
  PreviewComposer c(d.a.get(), kWindow);
  c.PreviewGoTo(3);
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"rgb"}));
  const uint64_t composed = c.FramesComposed();
  c.PreviewAdvance();
  EXPECT_EQ(c.Number(), 1);
  EXPECT_EQ(c.FramesComposed(), composed + 1);  // one frame, not the whole animation again
  // Not cleared at the wrap: green shows through frame 1's transparent pixel, the blue one is disposed.
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"rg."}));
}

TEST(PreviewPicture, FramesOutsideTheScreenAreClippedAndDisposedOnlyWhereVisible) {
  Doc d(4, 2);
  d.Add(Frame(d.Global(), 0, 0, {"1111", "1111"}, 1));
  d.Add(Frame(d.Global(), -1, -1, {"222", "232"}, 2));  // overhangs left and top
  d.Add(Frame(d.Global(), 3, 1, {"44", "44"}, 3));      // overhangs right and bottom
  d.Add(Frame(d.Global(), 10, 10, {"33"}, 2));          // wholly outside
  d.Add(Frame(d.Global(), -70000, 0, {"33"}, 2));       // far outside on the left
  PreviewComposer c(d.a.get(), kWindow);
  c.PreviewGoTo(2);
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"bgrr", "rrrr"}));
  c.PreviewAdvance();
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"..rr", "rrry"}));
  c.PreviewAdvance();
  c.PreviewAdvance();
  EXPECT_EQ(c.Number(), 5);
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"..rr", "rrrr"}));
}

TEST(PreviewPicture, EachStepCostsTheFramesAreaNotTheScreens) {
  Doc d(800, 600);
  for (int k = 0; k < 20; ++k)
    d.Add(Frame(d.Global(), 13 * k, 7 * k, {"1234567890", "1234567890"}, k % 4, k % 2 ? 1 : -1));
  PreviewComposer c(d.a.get(), kWindow);
  uint64_t before = c.Picture().PixelsTouched();
  for (int step = 0; step < 60; ++step) {
    c.PreviewAdvance();
    const uint64_t now = c.Picture().PixelsTouched();
    // Drawing, saving beneath and disposing of the frame before: three times 20 pixels at most.
    EXPECT_LE(now - before, 60u) << step;
    before = now;
  }
}

TEST(PreviewComposer, NumbersWrapGoingBackRecomposesAndDelaysAreHundredths) {
  Doc d(2, 1);
  for (uint32_t delay : {0u, 50u, 65535u, 7u}) d.Add(Frame(d.Global(), 0, 0, {"1"}, 1, -1, delay));
  SetUserInput(*NthFrame(*d.a, 1), true);
  PreviewComposer c(d.a.get(), kWindow);
  EXPECT_EQ(c.Number(), 0);
  EXPECT_EQ(c.CurrentDelayMs(), 1);  // no frame yet: the first tick comes at once
  c.PreviewAdvance();
  EXPECT_EQ(c.CurrentDelayMs(), 1);
  EXPECT_FALSE(c.UserInput());
  c.PreviewAdvance();
  EXPECT_EQ(c.CurrentDelayMs(), 500);
  EXPECT_TRUE(c.UserInput());
  c.PreviewGoTo(3);
  EXPECT_EQ(c.CurrentDelayMs(), 655350);
  EXPECT_FALSE(c.UserInput());
  EXPECT_EQ(c.Current(), NthFrame(*d.a, 2));
  EXPECT_EQ(c.FramesComposed(), 3u);
  c.PreviewGoTo(3);  // the frame shown: nothing happens
  c.PreviewGoTo(2);  // back: frames 1 and 2 again
  EXPECT_EQ(c.FramesComposed(), 5u);
  c.PreviewGoTo(9);  // beyond the count: the last frame
  EXPECT_EQ(c.Number(), 4);
  c.PreviewAdvance();
  EXPECT_EQ(c.Number(), 1);
  c.PreviewGoTo(0);
  EXPECT_EQ(c.Current(), nullptr);
  c.PreviewAdvance();
  EXPECT_EQ(c.Number(), 1);
}

TEST(PreviewComposer, ChangesKeepTheShownNumberOrTakeTheNewLastFrame) {
  Doc d(3, 1);
  d.Add(Frame(d.Global(), 0, 0, {"1"}, 1));
  d.Add(Frame(d.Global(), 1, 0, {"2"}, 1));
  d.Add(Frame(d.Global(), 2, 0, {"3"}, 1));
  PreviewComposer c(d.a.get(), kWindow);
  c.PreviewGoTo(3);
  // Frame 2's pixels change in place: composed afresh, the number stays.
  uint8_t* bits = NthFrame(*d.a, 1)->MutableBits();
  bits[0] = 4;
  c.AnimationChanged(false);
  EXPECT_EQ(c.Number(), 3);
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"ryb"}));
  // The last frame goes: the new last frame is shown, the deleted one's pixel is not.
  UnlinkAndFreeBlock(NthFrame(*d.a, 2));
  AddFrameCount(*d.a, -1);
  c.AnimationChanged(false);
  EXPECT_EQ(c.Number(), 2);
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"ry."}));
  // Shown at frame 1 and frame 1 changes: still redrawn (nothing stale is left on the picture).
  c.PreviewGoTo(1);
  NthFrame(*d.a, 0)->MutableBits()[0] = 3;
  c.AnimationChanged(false);
  EXPECT_EQ(c.Number(), 1);
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"b.."}));
  // While playing the preview starts over from the first frame.
  c.PreviewGoTo(2);
  c.AnimationChanged(true);
  EXPECT_EQ(c.Number(), 0);
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"..."}));
  // A new screen size gets a picture of that size.
  SetScreenSize(*d.a, 2, 2);
  c.PreviewGoTo(2);
  c.AnimationChanged(false);
  EXPECT_EQ(c.Picture().Width(), 2);
  EXPECT_EQ(c.Picture().Height(), 2);
  EXPECT_EQ(Rows(c.Picture()), (std::vector<std::string>{"by", ".."}));
}

TEST(PreviewComposer, FramesDeletedBehindItsBackAreNeverTouched) {
  Doc d(2, 1);
  for (int k = 0; k < 3; ++k) d.Add(Frame(d.Global(), 0, 0, {"1"}, 1));
  PreviewComposer c(d.a.get(), kWindow);
  c.PreviewGoTo(3);
  UnlinkAndFreeBlock(NthFrame(*d.a, 2));
  UnlinkAndFreeBlock(NthFrame(*d.a, 1));
  // Not told: the frame shown is gone, so the next step starts again at the first frame.
  EXPECT_EQ(c.Current(), nullptr);
  c.PreviewAdvance();
  EXPECT_EQ(c.Number(), 1);
}

TEST(PreviewComposer, NoPictureForEmptyOrHugeScreensButNumbersStillMove) {
  PixelLimits saved = Limits();
  Limits().maxFramePixels = 100;
  Doc big(20, 20);
  big.Add(Frame(big.Global(), 0, 0, {"1"}, 3));
  big.Add(Frame(big.Global(), 0, 0, {"1"}, 2));
  PreviewComposer c(big.a.get(), kWindow);
  Limits() = saved;
  EXPECT_FALSE(c.Picture().Exists());
  for (int i = 0; i < 3; ++i) c.PreviewAdvance();
  EXPECT_EQ(c.Number(), 1);
  EXPECT_EQ(c.Picture().PixelsTouched(), 0u);
  // No frames, or no document: nothing moves.
  Doc empty(4, 4);
  PreviewComposer none(empty.a.get(), kWindow);
  none.PreviewAdvance();
  none.PreviewGoTo(2);
  EXPECT_EQ(none.Number(), 0);
  PreviewComposer nothing(nullptr, kWindow);
  nothing.PreviewAdvance();
  nothing.AnimationChanged(false);
  EXPECT_EQ(nothing.Number(), 0);
}

}  // namespace
}  // namespace lw
