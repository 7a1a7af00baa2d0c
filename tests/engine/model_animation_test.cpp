#include <gtest/gtest.h>

#include "model/animation.h"
#include "model/preferences.h"
#include "platform/atoms.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::MakeAnimation;
using test::MakeComment;
using test::MakeFrame;
using test::MakePalette;

int CountImageBlocks(const Animation& a) {
  int n = 0;
  for (GifBlock* b = a.head->next; b; b = b->next) n += b->kind == kImageBlock;
  return n;
}

TEST(BlockList, WalkingSkipsExtensionsAndStopsAtTheEnds) {
  AnimationPtr a = MakeAnimation(3, 4, 4);
  // comment before the first frame and between frames 1 and 2
  InsertBlockAfter(a->head, MakeComment("first"));
  InsertBlockAfter(NthFrame(*a, 1), MakeComment("middle"));
  ASSERT_EQ(CountImageBlocks(*a), a->frameCount);
  EXPECT_EQ(NthFrame(*a, -1), nullptr);
  EXPECT_EQ(NthFrame(*a, 3), nullptr);
  Frame* first = FirstFrame(*a);
  EXPECT_EQ(first, NthFrame(*a, 0));
  EXPECT_EQ(PrevFrame(first), nullptr);  // the comment and head before it are no frames
  EXPECT_EQ(NextFrame(NthFrame(*a, 1)), NthFrame(*a, 2));
  EXPECT_EQ(PrevFrame(NthFrame(*a, 2)), NthFrame(*a, 1));
  EXPECT_EQ(FrameIndex(*a, NthFrame(*a, 2)), 2);
  EXPECT_EQ(NextFrame(nullptr), nullptr);
  // Unlinking hands the block over and keeps the list whole in both directions.
  BlockPtr middle = UnlinkBlock(NthFrame(*a, 1));
  AddFrameCount(*a, -1);
  EXPECT_EQ(CountImageBlocks(*a), 2);
  for (GifBlock* b = a->head; b->next; b = b->next) EXPECT_EQ(b->next->prev, b);
  EXPECT_EQ(middle->next, nullptr);
  EXPECT_EQ(middle->prev, nullptr);
}

TEST(BlockList, LongListsAreFreedWithoutRecursion) {
  AnimationPtr a = NewAnimation();
  GifBlock* tail = a->head;
  for (int i = 0; i < 200000; ++i) tail = InsertBlockAfter(tail, NewExtensionBlock(kCommentBlock));
  a.reset();  // must not overflow the stack
  SUCCEED();
}

TEST(FrameValues, LocalPaletteSetsAndClearsTableBitsOnly) {
  AnimationPtr a = MakeAnimation(1, 4, 4);
  Frame* f = FirstFrame(*a);
  f->imageFlags = kImageInterlaced | kImageSorted;
  PalettePtr old = SetLocalPalette(*f, MakePalette(5));
  EXPECT_EQ(old, nullptr);
  EXPECT_EQ(f->imageFlags, kImageLocalTable | kImageInterlaced | kImageSorted | 2);  // 8-entry table field
  EXPECT_EQ(f->palette, f->localPalette.get());
  old = SetLocalPalette(*f, nullptr);
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(old->Count(), 5);
  EXPECT_EQ(f->imageFlags, kImageInterlaced | kImageSorted);
}

TEST(FrameValues, ControlFlagSettersKeepOtherBits) {
  AnimationPtr a = MakeAnimation(1, 2, 2);
  Frame* f = FirstFrame(*a);
  f->controlFlags = 0xE0;  // reserved bits are kept
  EXPECT_EQ(SetDisposal(*f, 2), 0);
  EXPECT_EQ(GetDisposal(*f), 2);
  EXPECT_FALSE(SetUserInput(*f, true));
  EXPECT_TRUE(GetUserInput(*f));
  EXPECT_EQ(f->controlFlags, 0xE0 | (2 << 2) | kControlUserInput);
  SetDisposal(*f, 9);  // only the low three bits count
  EXPECT_EQ(GetDisposal(*f), 1);
  EXPECT_EQ(f->controlFlags & 0xE0, 0xE0);
}

TEST(FrameValues, NamesAreSharedCaseInsensitiveAtoms) {
  AnimationPtr a = MakeAnimation(2, 2, 2);
  Frame* f0 = NthFrame(*a, 0);
  Frame* f1 = NthFrame(*a, 1);
  EXPECT_TRUE(SetFrameName(*f0, "Walk Cycle"));
  Atom atom = f0->nameAtom;
  EXPECT_EQ(AtomRefCount(atom), 1u);
  EXPECT_FALSE(SetFrameName(*f0, "Walk Cycle"));
  EXPECT_FALSE(SetFrameName(*f0, "WALK cycle"));
  EXPECT_EQ(AtomRefCount(atom), 1u);
  EXPECT_EQ(GetFrameName(*f0), "Walk Cycle");  // first letter case stays
  EXPECT_TRUE(SetFrameName(*f1, "walk cycle"));
  EXPECT_EQ(f1->nameAtom, atom);
  EXPECT_EQ(AtomRefCount(atom), 2u);
  {
    AnimationPtr copy = CopyAnimation(*a);
    EXPECT_EQ(AtomRefCount(atom), 4u);
  }
  EXPECT_EQ(AtomRefCount(atom), 2u);
  a.reset();
  EXPECT_EQ(AtomRefCount(atom), 0u);
  EXPECT_EQ(FindAtom("walk cycle"), 0);
}

TEST(Atoms, LongNamesAreCutTo255Characters) {
  std::string longName(300, 'x');
  Atom atom = AddAtom(longName);
  EXPECT_EQ(GetAtomName(atom).size(), 255u);
  EXPECT_EQ(AddAtom(longName.substr(0, 255)), atom);
  DeleteAtom(atom);
  DeleteAtom(atom);
  EXPECT_EQ(AtomRefCount(atom), 0u);
}

TEST(AnimationValues, ColorResolutionCoversLocalPalettes) {
  AnimationPtr a = MakeAnimation(2, 2, 2, 4);
  EXPECT_EQ(a->screenFlags, 0x80 | (1 << 4) | 1);
  SetLocalPalette(*NthFrame(*a, 1), MakePalette(256));
  UpdateColorResolution(*a);
  EXPECT_EQ((a->screenFlags >> 4) & 7, 7);
  EXPECT_EQ(a->screenFlags & 0x8F, 0x81);  // table bit and size field untouched
}

TEST(AnimationValues, ExtentIsTheFarthestFrameEdge) {
  AnimationPtr a = MakeAnimation(2, 10, 10);
  SetFramePosition(*NthFrame(*a, 0), 5, 1);
  SetFramePosition(*NthFrame(*a, 1), -3, 20);
  Extent e = GetExtent(*a);
  EXPECT_EQ(e.width, 15);
  EXPECT_EQ(e.height, 30);
  EXPECT_EQ(GetExtent(*NewAnimation()).width, 0);
}

TEST(Copies, CopyKeepsCommentsInPlaceAndSharesPixelsUntilWritten) {
  AnimationPtr a = MakeAnimation(2, 6, 3);
  InsertBlockAfter(a->head, MakeComment("before"));
  InsertBlockAfter(NthFrame(*a, 0), MakeComment("between"));
  AppendBlock(*a, MakeComment("after"));
  SetLocalPalette(*NthFrame(*a, 1), MakePalette(16));
  AnimationPtr c = CopyAnimation(*a);
  ASSERT_TRUE(c);
  std::vector<std::string> kinds;
  for (GifBlock* b = c->head->next; b; b = b->next)
    kinds.push_back(b->kind == kImageBlock ? "frame" : GetCommentText(*b));
  EXPECT_EQ(kinds, (std::vector<std::string>{"before", "frame", "between", "frame", "after"}));
  EXPECT_EQ(c->frameCount, 2);
  // Palettes: the copy's frames point into the copy, never into the original.
  EXPECT_EQ(NthFrame(*c, 0)->palette, c->globalPalette.get());
  EXPECT_NE(c->globalPalette.get(), a->globalPalette.get());
  EXPECT_EQ(*c->globalPalette, *a->globalPalette);
  EXPECT_EQ(NthFrame(*c, 1)->palette, NthFrame(*c, 1)->localPalette.get());
  EXPECT_EQ(*NthFrame(*c, 1)->localPalette, *NthFrame(*a, 1)->localPalette);
  // Pixels are shared, then separated by the first write.
  Frame* orig = NthFrame(*a, 0);
  Frame* copy = NthFrame(*c, 0);
  EXPECT_TRUE(orig->bitmap->SharesPixelsWith(*copy->bitmap));
  copy->MutableBits()[0] = 3;
  EXPECT_FALSE(orig->bitmap->SharesPixelsWith(*copy->bitmap));
  EXPECT_EQ(orig->Bits()[0], 0);
  EXPECT_EQ(copy->Bits()[0], 3);
}

TEST(Copies, SwapExchangesEverythingAndFramesFollowTheirPalette) {
  AnimationPtr a = MakeAnimation(1, 2, 2, 4);
  AnimationPtr b = MakeAnimation(3, 5, 5, 16);
  a->loopCount = 7;
  Palette* bPalette = b->globalPalette.get();
  SwapAnimations(*a, *b);
  EXPECT_EQ(a->frameCount, 3);
  EXPECT_EQ(a->screenWidth, 5);
  EXPECT_EQ(b->loopCount, 7u);
  EXPECT_EQ(a->globalPalette.get(), bPalette);
  EXPECT_EQ(FirstFrame(*a)->palette, a->globalPalette.get());
}

TEST(Comments, TextRoundTripsAndOtherBlocksAreRefused) {
  auto c = NewExtensionBlock(kCommentBlock);
  EXPECT_EQ(GetCommentText(*c), "");
  EXPECT_TRUE(SetCommentText(*c, "Built with Loopwright 2.0"));
  EXPECT_EQ(GetCommentText(*c), "Built with Loopwright 2.0");
  EXPECT_EQ(c->subBlocks.front(), 25);
  EXPECT_EQ(c->subBlocks.back(), 0);
  // A comment read from a file may hold several sub-blocks: their text is joined.
  c->subBlocks = {2, 'a', 'b', 1, 'c', 0};
  EXPECT_EQ(GetCommentText(*c), "abc");
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  auto app = NewExtensionBlock(kApplicationBlock);
  EXPECT_FALSE(SetCommentText(*app, "x"));
  EXPECT_EQ(hooks.Texts(), std::vector<std::string>{"Setting comment to non-comment block!"});
}

TEST(ColorUse, CountsSkipPaddingLocalFramesAndOptionallyTransparentPixels) {
  AnimationPtr a = MakeAnimation(0, 5, 3, 4);
  AppendBlock(
      *a, MakeFrame(5, 3, a->globalPalette.get(), [](int x, int) { return static_cast<uint8_t>(x % 2); }));
  AppendBlock(*a, MakeFrame(5, 3, a->globalPalette.get(), [](int, int) { return uint8_t{3}; }));
  AddFrameCount(*a, 2);
  Frame* local = MakeFrame(2, 2, nullptr, [](int, int) { return uint8_t{2}; }).release();
  InsertBlockAfter(LastBlock(*a), BlockPtr(local));
  SetLocalPalette(*local, MakePalette(4));
  AddFrameCount(*a, 1);
  ColorCounts counts{};
  counts[0] = 99;
  ASSERT_TRUE(CountGlobalColorUse(*a, counts, true));
  EXPECT_EQ(counts[0], 9u);  // columns 0, 2, 4 of 3 rows; padding ignored
  EXPECT_EQ(counts[1], 6u);
  EXPECT_EQ(counts[2], 0u);  // only in the frame with its own palette
  EXPECT_EQ(counts[3], 15u);
  Frame* f0 = FirstFrame(*a);
  f0->transparentIndex = 1;
  SetTransparent(*f0, true);
  ASSERT_TRUE(CountGlobalOpaqueColorUse(*a, counts, true));
  EXPECT_EQ(counts[1], 0u);
  EXPECT_EQ(counts[0], 9u);
  // Not cleared: adds.
  CountFrameColorUse(*f0, counts, false);
  EXPECT_EQ(counts[1], 6u);
}

TEST(Transparency, DisplayEntryFollowsTheViewPreferenceAndIsRestored) {
  ReadPreferences(nullptr);
  AnimationPtr a = MakeAnimation(1, 4, 4, 4);
  Frame* f = FirstFrame(*a);
  const PaletteEntry own = (*a->globalPalette)[2];
  f->transparentIndex = 2;
  SetTransparent(*f, true);
  ASSERT_NE(f->mask, nullptr);
  // Default view: the window background (button face) colour.
  uint32_t face = Hooks().ButtonFaceColor();
  EXPECT_EQ(f->bitmap->Colors()[2], (PaletteEntry{static_cast<uint8_t>(face), static_cast<uint8_t>(face >> 8),
                                                  static_cast<uint8_t>(face >> 16), 0}));
  SetTransparent(*f, false);
  EXPECT_EQ(f->bitmap->Colors()[2], own);
  EXPECT_EQ(f->mask, nullptr);
  // Custom colour (mode 2, 0x00BBGGRR).
  SetPreference(kPrefTransparencyView, 0x02123456);
  SetTransparent(*f, true);
  EXPECT_EQ(f->bitmap->Colors()[2], (PaletteEntry{0x56, 0x34, 0x12, 0}));
  // The frame's own colour (mode 1).
  SetPreference(kPrefTransparencyView, 0x01000000);
  SetTransparentIndex(*f, 3);
  EXPECT_EQ(f->bitmap->Colors()[3], (*a->globalPalette)[3]);
  EXPECT_EQ(f->bitmap->Colors()[2], own);
  ReadPreferences(nullptr);
}

TEST(Transparency, MaskMarksTransparentPixelsAndFollowsPixelChanges) {
  AnimationPtr a = MakeAnimation(0, 9, 2);
  AppendBlock(*a, MakeFrame(9, 2, a->globalPalette.get(),
                            [](int x, int y) { return static_cast<uint8_t>(x == 8 || y == 1); }));
  Frame* f = FirstFrame(*a);
  f->transparentIndex = 1;
  SetTransparent(*f, true);
  const MaskBitmap* mask = GetMask(*f);
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(mask->Stride(), 4);
  EXPECT_FALSE(mask->IsSet(0, 0));
  EXPECT_TRUE(mask->IsSet(8, 0));
  EXPECT_TRUE(mask->IsSet(3, 1));
  f->MutableBits()[0] = 1;
  mask = GetMask(*f);
  EXPECT_TRUE(mask->IsSet(0, 0));
}

TEST(Pixels, StrideRoundsRowsUpToFourBytes) {
  EXPECT_EQ(FrameBitmap::Make(5, 1, nullptr)->Stride(), 8);
  EXPECT_EQ(FrameBitmap::Make(8, 1, nullptr)->Stride(), 8);
  EXPECT_EQ(FrameBitmap::Make(0, 1, nullptr), nullptr);
  EXPECT_EQ(FrameBitmap::Make(70000, 70000, nullptr), nullptr);  // over the per-frame bound
  EXPECT_EQ(BitsForCount(1), 1);
  EXPECT_EQ(BitsForCount(2), 1);
  EXPECT_EQ(BitsForCount(3), 2);
  EXPECT_EQ(BitsForCount(129), 8);
  EXPECT_EQ(BitsForCount(256), 8);
}

TEST(Pixels, CropCopiesTheRectangleAndClampsToTheFrame) {
  AnimationPtr a = MakeAnimation(0, 10, 10);
  AppendBlock(*a, MakeFrame(6, 5, a->globalPalette.get(),
                            [](int x, int y) { return static_cast<uint8_t>(10 * y + x); }));
  Frame* f = FirstFrame(*a);
  SetFramePosition(*f, 1, 2);
  ASSERT_TRUE(CropFrame(*f, 2, 1, 3, 2));
  EXPECT_EQ(f->width, 3);
  EXPECT_EQ(f->height, 2);
  EXPECT_EQ(f->left, 3);
  EXPECT_EQ(f->top, 3);
  EXPECT_EQ(f->Row(0)[0], 12);
  EXPECT_EQ(f->Row(1)[2], 24);
  // Larger than the frame: clamped, never read outside.
  ASSERT_TRUE(CropFrame(*f, 1, 0, 100, 100));
  EXPECT_EQ(f->width, 2);
  EXPECT_EQ(f->height, 2);
  EXPECT_EQ(f->Row(1)[1], 24);
  EXPECT_FALSE(CropFrame(*f, 0, 0, 0, 5));
  EXPECT_EQ(f->width, 2);
}

TEST(Pixels, ClipKeepsThePartInsideTheScreen) {
  AnimationPtr a = MakeAnimation(0, 50, 20);
  AppendBlock(*a,
              MakeFrame(70, 5, a->globalPalette.get(), [](int x, int) { return static_cast<uint8_t>(x); }));
  AppendBlock(*a, MakeFrame(4, 4, a->globalPalette.get(), [](int, int) { return uint8_t{0}; }));
  AddFrameCount(*a, 2);
  Frame* wide = NthFrame(*a, 0);
  SetFramePosition(*wide, -10, 0);
  Frame* outside = NthFrame(*a, 1);
  SetFramePosition(*outside, 60, 0);
  ASSERT_TRUE(ClipFrame(*wide, 50, 20));
  EXPECT_EQ(wide->left, 0);
  EXPECT_EQ(wide->width, 50);
  EXPECT_EQ(wide->Row(0)[0], 10);
  EXPECT_TRUE(ClipFrame(*wide, 50, 20));  // inside now: unchanged
  EXPECT_FALSE(ClipFrame(*outside, 50, 20));
  EXPECT_EQ(outside->width, 4);
}

}  // namespace
}  // namespace lw
