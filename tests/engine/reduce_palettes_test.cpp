#include <gtest/gtest.h>

#include "color/reduce_palettes.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::MakeFrame;
using test::MakePalette;

PaletteEntry Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return {r, g, b, 0};
}

// A 256-entry palette in which only the entries step * k (k < used) are used, by a 16 × 16 frame.
AnimationPtr ManyEntriesFewUsed(int used, int step) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = a->screenHeight = 16;
  std::vector<PaletteEntry> colors;
  for (int i = 0; i < 256; ++i)
    colors.push_back(
        Rgb(static_cast<uint8_t>(i), static_cast<uint8_t>(i * 3), static_cast<uint8_t>(255 - i)));
  SetGlobalPalette(*a, MakePalette(0, colors));
  AppendBlock(*a, MakeFrame(16, 16, a->globalPalette.get(), [used, step](int x, int y) {
    return static_cast<uint8_t>(step * ((x + 16 * y) % used));
  }));
  a->frameCount = 1;
  CountGlobalColorUse(*a, a->colorUse, true);
  return a;
}

TEST(ReducePalettes, PadAddsBlackThenWhiteAtMost) {
  PaletteEntries e = {Rgb(5, 5, 5)};
  PadPalette(e, 8);
  EXPECT_EQ(e, (PaletteEntries{Rgb(5, 5, 5), Rgb(0, 0, 0), Rgb(255, 255, 255)}));
  PadPalette(e, 4);
  EXPECT_EQ(e.size(), 4u);
  PadPalette(e, 4);
  EXPECT_EQ(e.size(), 4u);
}

TEST(ReducePalettes, FewColoursSurviveExactlyWithoutDithering) {
  ReadPreferences(nullptr);
  AnimationPtr a = ManyEntriesFewUsed(6, 40);  // six colours far apart on every axis
  std::vector<PaletteEntry> before;
  Frame* f = FirstFrame(*a);
  for (int i = 0; i < 256; ++i) before.push_back((*f->palette)[f->Row(i / 16)[i % 16]]);
  ASSERT_TRUE(ReducePalettes(*a, 3, false, nullptr));
  EXPECT_EQ(a->globalPalette->Count(), 8);  // 6 colours, then black and white
  EXPECT_EQ(a->screenFlags & 7, 2);
  f = FirstFrame(*a);
  EXPECT_EQ(f->palette, a->globalPalette.get());
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ((*f->palette)[f->Row(i / 16)[i % 16]], before[static_cast<size_t>(i)]) << i;
}

TEST(ReducePalettes, TransparentFramesGetTheReservedBlackSlot) {
  ReadPreferences(nullptr);
  for (bool dither : {false, true}) {
    AnimationPtr a = ManyEntriesFewUsed(100, 2);
    Frame* f = FirstFrame(*a);
    f->transparentIndex = 0;  // the pixels of entry 0 are transparent
    SetTransparent(*f, true);
    std::vector<bool> wasTransparent;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) wasTransparent.push_back(f->Row(y)[x] == 0);
    ASSERT_TRUE(ReducePalettes(*a, 4, dither, nullptr));
    ASSERT_LE(a->globalPalette->Count(), 16);
    int slot = a->globalPalette->Count() - 1;
    EXPECT_EQ((*a->globalPalette)[slot], Rgb(0, 0, 0));
    EXPECT_EQ(f->transparentIndex, slot);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        EXPECT_EQ(f->Row(y)[x] == slot, wasTransparent[static_cast<size_t>(16 * y + x)])
            << dither << " " << x << "," << y;
  }
}

TEST(ReducePalettes, PalettesThatFitAndPalettesWithNothingCountedStay) {
  ReadPreferences(nullptr);
  AnimationPtr a = ManyEntriesFewUsed(3, 40);
  // A local palette of 8 entries already fits in 3 bits.
  AppendBlock(*a, MakeFrame(2, 2, nullptr, [](int x, int) { return static_cast<uint8_t>(x); }));
  a->frameCount = 2;
  Frame* local = NthFrame(*a, 1);
  SetLocalPalette(*local, MakePalette(8));
  Palette* localBefore = local->localPalette.get();
  // Every pixel on the global palette transparent: nothing to weigh, the old
  // palette stays.
  Frame* f = FirstFrame(*a);
  AnimationPtr blank = NewAnimation();
  blank->screenWidth = blank->screenHeight = 4;
  SetGlobalPalette(*blank, MakePalette(256));
  AppendBlock(*blank, MakeFrame(4, 4, blank->globalPalette.get(), [](int, int) { return uint8_t{9}; }));
  blank->frameCount = 1;
  Frame* g = FirstFrame(*blank);
  g->transparentIndex = 9;
  SetTransparent(*g, true);
  Palette* blankBefore = blank->globalPalette.get();
  ASSERT_TRUE(ReducePalettes(*blank, 4, true, nullptr));
  EXPECT_EQ(blank->globalPalette.get(), blankBefore);
  EXPECT_EQ(g->palette, blankBefore);
  ASSERT_TRUE(ReducePalettes(*a, 3, true, nullptr));
  EXPECT_EQ(local->localPalette.get(), localBefore);
  EXPECT_EQ(a->globalPalette->Count(), 5);  // three colours, black, white
  EXPECT_EQ(f->palette, a->globalPalette.get());
}

}  // namespace
}  // namespace lw
