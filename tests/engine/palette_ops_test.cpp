#include <gtest/gtest.h>

#include <set>

#include "color/palette_ops.h"
#include "edit/frame_insert.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"
#include "support/hooks_fixture.h"

namespace lw {
namespace {

using test::MakeFrame;
using test::MakePalette;

PaletteEntry Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return {r, g, b, 0};
}

PaletteEntry ColorAt(const Frame& f, int x, int y) {
  return (*f.palette)[f.Row(y)[x]];
}

// Every pixel's colour of every frame, in order: what an operation that keeps
// the look must keep.
std::vector<PaletteEntry> Look(const Animation& a) {
  std::vector<PaletteEntry> out;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f))
    for (int y = 0; y < f->height; ++y)
      for (int x = 0; x < f->width; ++x)
        out.push_back(IsTransparent(*f) && f->Row(y)[x] == f->transparentIndex ? Rgb(1, 2, 3)
                                                                               : ColorAt(*f, x, y));
  return out;
}

// An animation of one w × h frame on a global palette of the given colours,
// pixel (x, y) = pixel(x, y).
AnimationPtr OneFrame(int w, int h, std::vector<PaletteEntry> colors,
                      const std::function<uint8_t(int, int)>& pixel) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = w;
  a->screenHeight = h;
  a->loopCount = 1;
  SetGlobalPalette(*a, MakePalette(0, std::move(colors)));
  AppendBlock(*a, MakeFrame(w, h, a->globalPalette.get(), pixel));
  a->frameCount = 1;
  CountGlobalColorUse(*a, a->colorUse, true);
  return a;
}

using PaletteOps = test::RecordingTest;

TEST_F(PaletteOps, NearestEntryPrefersLowerIndexAndReportsExactness) {
  std::vector<PaletteEntry> e = {Rgb(10, 10, 10), Rgb(0, 0, 0), Rgb(20, 20, 20), Rgb(0, 0, 0)};
  bool exact = true;
  EXPECT_EQ(FindNearestEntry(e.data(), 4, Rgb(15, 15, 15), &exact),
            0);  // tie between 0 and 2
  EXPECT_FALSE(exact);
  EXPECT_EQ(FindNearestEntry(e.data(), 4, Rgb(0, 0, 0), &exact), 1);
  EXPECT_TRUE(exact);
  EXPECT_EQ(FindNearestEntry(e.data(), 0, Rgb(0, 0, 0), &exact), 0);
  EXPECT_FALSE(exact);
}

TEST_F(PaletteOps, MergeUsesExactHitsThenZeroSlotsThenAppends) {
  PaletteEntries dest = {Rgb(0, 0, 0), Rgb(9, 9, 9), Rgb(255, 255, 255), Rgb(8, 8, 8)};
  ColorCounts destCounts{};
  destCounts[0] = 5;
  destCounts[2] = 5;  // slots 1 and 3 are free
  PaletteEntries incoming = {Rgb(255, 255, 255), Rgb(1, 1, 1), Rgb(2, 2, 2), Rgb(3, 3, 3), Rgb(7, 7, 7)};
  ColorCounts inCounts{};
  for (size_t i = 0; i < 4; ++i) inCounts[i] = 1;  // entry 4 is unused
  IndexMap map = EmptyIndexMap();
  uint32_t r = MergePalettes(dest, incoming, map, destCounts, inCounts);
  EXPECT_EQ(r, kMergeClean | kMergeChanged | kMergeTookZeroSlot);
  EXPECT_EQ(map[0], 2);  // exact
  EXPECT_EQ(map[1], 1);  // first free slot
  EXPECT_EQ(map[2], 3);  // next free slot
  EXPECT_EQ(map[3], 4);  // appended
  EXPECT_EQ(map[4], kNoTarget);
  ASSERT_EQ(dest.size(), 5u);
  EXPECT_EQ(dest[1], Rgb(1, 1, 1));
  EXPECT_EQ(dest[4], Rgb(3, 3, 3));
  EXPECT_EQ(destCounts[2], 6u);
}

TEST_F(PaletteOps, MergeIntoAFullPaletteFallsBackToNearestAndIsUnclean) {
  PaletteEntries dest;
  ColorCounts destCounts{};
  for (int i = 0; i < 256; ++i) {
    dest.push_back(Rgb(static_cast<uint8_t>(i), 0, 0));
    destCounts[static_cast<size_t>(i)] = 1;
  }
  PaletteEntries incoming = {Rgb(7, 0, 0), Rgb(7, 1, 0)};
  ColorCounts inCounts{};
  inCounts[0] = inCounts[1] = 3;
  IndexMap map = EmptyIndexMap();
  uint32_t r = MergePalettes(dest, incoming, map, destCounts, inCounts);
  EXPECT_EQ(r & kMergeClean, 0u);
  EXPECT_EQ(map[0], 7);
  EXPECT_EQ(map[1], 7);
  EXPECT_EQ(destCounts[7], 7u);
  EXPECT_EQ(dest.size(), 256u);
  // The same test without changing anything.
  Palette full(dest);
  ColorCounts oneColor{};
  oneColor[1] = 1;
  EXPECT_FALSE(CanMergeCleanly(&full, destCounts, Palette(incoming), oneColor));
  EXPECT_TRUE(CanMergeCleanly(&full, destCounts, Palette({Rgb(9, 0, 0)}), oneColor));
  EXPECT_TRUE(CanMergeCleanly(nullptr, destCounts, Palette(incoming), inCounts));
}

TEST_F(PaletteOps, IdenticalPalettesInsertWithoutAskingAndKeepIndices) {
  std::vector<PaletteEntry> colors = {Rgb(0, 0, 0), Rgb(200, 10, 10), Rgb(10, 200, 10), Rgb(10, 10, 200)};
  AnimationPtr dest = OneFrame(4, 4, colors, [](int x, int) { return static_cast<uint8_t>(x); });
  AnimationPtr in = OneFrame(4, 4, colors, [](int, int y) { return static_cast<uint8_t>(y); });
  ASSERT_TRUE(InsertAnimation(*dest, in, -1, kConflictInsert));
  EXPECT_TRUE(hooks.entries.empty());
  Frame* second = NthFrame(*dest, 1);
  EXPECT_EQ(second->palette, dest->globalPalette.get());
  EXPECT_EQ(second->Row(3)[0], 3);
  EXPECT_EQ(dest->colorUse[3], 8u);  // 4 from each frame
}

TEST_F(PaletteOps, CleanMergeKeepsTheLookOfBothSides) {
  SetPreference(kPrefPaletteConflict, 0x81);  // merge with dither, no question
  AnimationPtr dest = OneFrame(4, 2, {Rgb(0, 0, 0), Rgb(50, 50, 50), Rgb(100, 0, 0), Rgb(77, 77, 77)},
                               [](int x, int) { return static_cast<uint8_t>(x == 3 ? 0 : x); });
  AnimationPtr in = OneFrame(4, 2, {Rgb(100, 0, 0), Rgb(1, 2, 3), Rgb(250, 250, 0), Rgb(0, 0, 0)},
                             [](int x, int y) { return static_cast<uint8_t>((x + y) % 4); });
  std::vector<PaletteEntry> before = Look(*dest);
  std::vector<PaletteEntry> inBefore = Look(*in);
  before.insert(before.end(), inBefore.begin(), inBefore.end());
  ASSERT_TRUE(InsertAnimation(*dest, in, -1, kConflictInsert));
  EXPECT_TRUE(hooks.entries.empty());
  EXPECT_EQ(Look(*dest), before);
  // Slot 3 had no pixels: it was reused before anything was appended.
  EXPECT_EQ(dest->globalPalette->Count(), 5);
  EXPECT_EQ((*dest->globalPalette)[3], Rgb(1, 2, 3));
}

TEST_F(PaletteOps, CleanMergeWithExactHitsLeavesThePaletteAlone) {
  SetPreference(kPrefPaletteConflict, 0x01);
  std::vector<PaletteEntry> colors = {Rgb(0, 0, 0), Rgb(50, 50, 50), Rgb(100, 0, 0), Rgb(0, 0, 100)};
  AnimationPtr dest = OneFrame(4, 1, colors, [](int x, int) { return static_cast<uint8_t>(x); });
  Palette* palette = dest->globalPalette.get();
  AnimationPtr in =
      OneFrame(2, 1, {Rgb(0, 0, 100), Rgb(50, 50, 50)}, [](int x, int) { return static_cast<uint8_t>(x); });
  ASSERT_TRUE(InsertAnimation(*dest, in, 0, kConflictInsert));
  EXPECT_EQ(dest->globalPalette.get(), palette);
  Frame* inserted = FirstFrame(*dest);
  EXPECT_EQ(inserted->Row(0)[0], 3);
  EXPECT_EQ(inserted->Row(0)[1], 1);
}

TEST_F(PaletteOps, TransparentSlotSharedWithAVisibleColourGetsAFreeSlot) {
  Palette palette({Rgb(0, 0, 0), Rgb(9, 9, 9), Rgb(255, 0, 0), Rgb(1, 1, 1)});
  AnimationPtr a = OneFrame(3, 1, {Rgb(0, 0, 0), Rgb(0, 0, 0), Rgb(255, 0, 0)},
                            [](int x, int) { return static_cast<uint8_t>(x); });
  Frame* f = FirstFrame(*a);
  f->transparentIndex = 1;
  SetTransparent(*f, true);
  IndexMap map = EmptyIndexMap();
  map[0] = 0;
  map[1] = 0;  // transparent and black would fall together
  map[2] = 2;
  RemapFrames(*a, &palette, &map);
  EXPECT_EQ(f->transparentIndex, 1);  // the lowest slot the map does not use
  EXPECT_EQ(f->Row(0)[0], 0);
  EXPECT_EQ(f->Row(0)[1], 1);
  EXPECT_EQ(f->Row(0)[2], 2);
  EXPECT_EQ(f->palette, &palette);
}

TEST_F(PaletteOps, RemovingALocalPaletteKeepsTheFrameAndItsPlace) {
  SetPreference(kPrefPaletteConflict, 0x01);
  AnimationPtr a =
      OneFrame(2, 2, {Rgb(0, 0, 0), Rgb(255, 255, 255)}, [](int x, int) { return static_cast<uint8_t>(x); });
  AppendBlock(*a, MakeFrame(2, 2, nullptr, [](int x, int y) { return static_cast<uint8_t>(x + 2 * y); }));
  AddFrameCount(*a, 1);
  Frame* local = NthFrame(*a, 1);
  SetLocalPalette(*local, MakePalette(0, {Rgb(255, 255, 255), Rgb(0, 255, 0), Rgb(0, 0, 0), Rgb(0, 0, 255)}));
  std::vector<PaletteEntry> before = Look(*a);
  ASSERT_TRUE(RemoveLocalPalette(*a, *local));
  EXPECT_EQ(a->frameCount, 2);
  EXPECT_EQ(NthFrame(*a, 1), local);
  EXPECT_EQ(local->localPalette, nullptr);
  EXPECT_EQ(local->palette, a->globalPalette.get());
  EXPECT_EQ(Look(*a), before);
  EXPECT_EQ(a->globalPalette->Count(), 4);
}

TEST_F(PaletteOps, CancelledRemovalPutsTheFrameBackUntouched) {
  AnimationPtr a =
      OneFrame(2, 1, {Rgb(0, 0, 0), Rgb(255, 255, 255)}, [](int x, int) { return static_cast<uint8_t>(x); });
  InsertBlockAfter(FirstFrame(*a), test::MakeComment("after the first"));
  AppendBlock(*a, MakeFrame(2, 1, nullptr, [](int x, int) { return static_cast<uint8_t>(1 - x); }));
  AddFrameCount(*a, 1);
  Frame* local = NthFrame(*a, 1);
  SetLocalPalette(*local, MakePalette(0, {Rgb(10, 20, 30), Rgb(40, 50, 60)}));
  hooks.paletteAnswers.push_back({0, false});  // Cancel
  std::vector<PaletteEntry> before = Look(*a);
  EXPECT_FALSE(RemoveLocalPalette(*a, *local));
  EXPECT_EQ(a->frameCount, 2);
  EXPECT_EQ(NthFrame(*a, 1), local);
  EXPECT_EQ(local->prev->kind, kCommentBlock);
  ASSERT_NE(local->localPalette, nullptr);
  EXPECT_EQ(local->palette, local->localPalette.get());
  EXPECT_EQ(Look(*a), before);
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_EQ(hooks.entries[0].flags, kConflictRemoveLocal | 0x01 | 0x04 | 0x10);
}

TEST_F(PaletteOps, RemovalWithThePicturesPaletteAsDefaultStillAsksWithoutTheDefaultBox) {
  SetPreference(kPrefPaletteConflict, 0x20);
  AnimationPtr a =
      OneFrame(2, 1, {Rgb(0, 0, 0), Rgb(255, 255, 255)}, [](int x, int) { return static_cast<uint8_t>(x); });
  AppendBlock(*a, MakeFrame(2, 1, nullptr, [](int x, int) { return static_cast<uint8_t>(x); }));
  AddFrameCount(*a, 1);
  Frame* local = NthFrame(*a, 1);
  SetLocalPalette(*local, MakePalette(0, {Rgb(10, 20, 30), Rgb(40, 50, 60)}));
  hooks.paletteAnswers.push_back({0x01, false});
  ASSERT_TRUE(RemoveLocalPalette(*a, *local));
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_EQ(hooks.entries[0].flags & (kConflictHideMakeDefault | 0x20), kConflictHideMakeDefault);
}

}  // namespace
}  // namespace lw
