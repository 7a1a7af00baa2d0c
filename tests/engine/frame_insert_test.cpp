#include <gtest/gtest.h>

#include "color/palette_ops.h"
#include "edit/frame_insert.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"
#include "support/hooks_fixture.h"

namespace lw {
namespace {

using test::MakeAnimation;

using FrameInsert = test::RecordingTest;

std::vector<int> FrameOrder(const Animation& a) {
  std::vector<int> order;  // each test frame k is filled with index k, so the
                           // first pixel names it
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) order.push_back(f->Bits()[0]);
  return order;
}

TEST_F(FrameInsert, SizeConflictFollowsThePreferenceOrTheAnswer) {
  // Grow.
  AnimationPtr a = MakeAnimation(1, 100, 100);
  AnimationPtr big = MakeAnimation(1, 200, 200);
  SetPreference(kPrefSizeConflict, 3);
  ASSERT_TRUE(InsertAnimation(*a, big, -1, 0x1000));
  EXPECT_EQ(a->screenWidth, 200);
  EXPECT_EQ(big, nullptr);
  // Clip: the size stays (the save's clipping check deals with the overhang).
  AnimationPtr b = MakeAnimation(1, 100, 100);
  big = MakeAnimation(1, 200, 200);
  SetPreference(kPrefSizeConflict, 2);
  ASSERT_TRUE(InsertAnimation(*b, big, -1, 0x1000));
  EXPECT_EQ(b->screenWidth, 100);
  EXPECT_TRUE(hooks.entries.empty());
  // Ask; the ticked box makes the answer the new preference.
  SetPreference(kPrefSizeConflict, 1);
  AnimationPtr c = MakeAnimation(1, 100, 100);
  big = MakeAnimation(1, 120, 90);
  hooks.frameSizeAnswers.push_back({3, true});
  ASSERT_TRUE(InsertAnimation(*c, big, -1, 0x1000));
  EXPECT_EQ(c->screenWidth, 120);
  EXPECT_EQ(c->screenHeight, 100);
  EXPECT_EQ(GetPreference(kPrefSizeConflict), 3u);
  // Cancel: nothing changes and the source stays the caller's.
  SetPreference(kPrefSizeConflict, 1);
  big = MakeAnimation(1, 300, 300);
  hooks.frameSizeAnswers.push_back({0, false});
  EXPECT_FALSE(InsertAnimation(*c, big, -1, 0x1000));
  EXPECT_EQ(c->frameCount, 2);
  EXPECT_NE(big, nullptr);
}

TEST_F(FrameInsert, FailedPaletteConflictRestoresTheSize) {
  SetPreference(kPrefSizeConflict, 3);
  SetPreference(kPrefPaletteConflict, 0x181);
  AnimationPtr a = MakeAnimation(1, 10, 10, 4);
  AnimationPtr in = MakeAnimation(1, 20, 20, 8);  // other palette: the question comes
  hooks.paletteAnswers.push_back({0, false});
  EXPECT_FALSE(InsertAnimation(*a, in, -1, kConflictInsert));
  EXPECT_EQ(a->screenWidth, 10);
  EXPECT_EQ(a->frameCount, 1);
}

TEST_F(FrameInsert, StillPictureGetsDefaultDelaysAndIterationsWhenItGrows) {
  SetPreference(kPrefDefaultDelay, 33);
  SetPreference(kPrefDefaultIterations, 5);
  AnimationPtr a = MakeAnimation(1, 4, 4);
  a->loopCount = 1;
  FirstFrame(*a)->delay = 0;
  AnimationPtr in = MakeAnimation(2, 4, 4);
  in->loopCount = 1;
  NthFrame(*in, 0)->delay = 0;
  NthFrame(*in, 1)->delay = 7;
  ASSERT_TRUE(InsertAnimation(*a, in, -1, kConflictInsert));
  EXPECT_EQ(a->frameCount, 3);
  EXPECT_EQ(NthFrame(*a, 0)->delay, 33u);
  EXPECT_EQ(NthFrame(*a, 1)->delay, 33u);
  EXPECT_EQ(NthFrame(*a, 2)->delay, 7u);
  EXPECT_EQ(a->loopCount, 5u);
}

TEST_F(FrameInsert, InsertsBeforeTheFrameAtThePositionKeepingOtherBlocks) {
  AnimationPtr a = MakeAnimation(3, 2, 2, 8);  // frames 0 1 2
  InsertBlockAfter(NthFrame(*a, 0), test::MakeComment("between 0 and 1"));
  AnimationPtr in = MakeAnimation(5, 2, 2, 8);
  DeleteFrame(*in, 0);
  DeleteFrame(*in, 0);
  DeleteFrame(*in, 0);  // frames 3 4
  ASSERT_TRUE(InsertAnimation(*a, in, 1, kConflictInsert));
  EXPECT_EQ(FrameOrder(*a), (std::vector<int>{0, 3, 4, 1, 2}));
  EXPECT_EQ(a->frameCount, 5);
  // The comment stays before the inserted frames (they go right before frame
  // 1's block).
  EXPECT_EQ(NthFrame(*a, 1)->prev->kind, kCommentBlock);
  for (GifBlock* b = a->head; b->next; b = b->next) EXPECT_EQ(b->next->prev, b);
}

TEST_F(FrameInsert, MoveAndDeleteFollowTheIndexRules) {
  AnimationPtr a = MakeAnimation(4, 2, 2, 8);
  EXPECT_EQ(MoveFrame(*a, 3, 2), 2);
  EXPECT_EQ(MoveFrame(*a, 2, 2), 2);
  EXPECT_EQ(FrameOrder(*a), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(MoveFrame(*a, 0, 2), 0);
  EXPECT_EQ(FrameOrder(*a), (std::vector<int>{2, 0, 1, 3}));
  EXPECT_EQ(MoveFrame(*a, 3, 0), 2);
  EXPECT_EQ(FrameOrder(*a), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(MoveFrame(*a, 4, 0), 3);  // to the end
  EXPECT_EQ(FrameOrder(*a), (std::vector<int>{1, 2, 3, 0}));
  EXPECT_FALSE(DeleteFrame(*a, -1));
  EXPECT_FALSE(DeleteFrame(*a, 4));
  EXPECT_TRUE(DeleteFrame(*a, 1));
  EXPECT_EQ(FrameOrder(*a), (std::vector<int>{1, 3, 0}));
  EXPECT_EQ(a->frameCount, 3);
}

}  // namespace
}  // namespace lw
