#include <gtest/gtest.h>

#include "edit/comments.h"
#include "edit/move_crop.h"
#include "edit/properties.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"
#include "platform/settings_store.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::MakeAnimation;
using test::MakeComment;
using test::MakeFrame;

AnimationPtr Gradient(int screenW, int screenH, int w, int h) {
  AnimationPtr a = MakeAnimation(0, screenW, screenH, 256);
  AppendBlock(*a, MakeFrame(w, h, a->globalPalette.get(), [](int x, int y) { return uint8_t(x + 16 * y); }));
  AddFrameCount(*a, 1);
  return a;
}

TEST(MoveCrop, KeepsTheTopLeftPartAndMoves) {
  AnimationPtr a = Gradient(50, 50, 10, 8);
  Frame* f = FirstFrame(*a);
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  EXPECT_EQ(ApplyMoveCrop(*f, 0, 0, 10, 8), 0);   // nothing changed
  EXPECT_EQ(ApplyMoveCrop(*f, 7, -3, 10, 8), 1);  // only the offset
  EXPECT_EQ(f->left, 7);
  EXPECT_EQ(f->top, -3);
  EXPECT_EQ(ApplyMoveCrop(*f, 7, -3, 4, 2), 1);
  EXPECT_EQ(f->width, 4);
  EXPECT_EQ(f->height, 2);
  EXPECT_EQ(f->left, 7);  // the position stays
  EXPECT_EQ(f->Row(1)[3], 16 + 3);
  EXPECT_TRUE(hooks.entries.empty());
}

TEST(MoveCrop, OversizeIsClampedAndEmptyOrFarOffsetsAreRefused) {
  AnimationPtr a = Gradient(50, 50, 10, 8);
  Frame* f = FirstFrame(*a);
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  // Larger than the frame: no pixel is invented, only the larger side is ignored.
  EXPECT_EQ(ApplyMoveCrop(*f, 0, 0, 500, 5), 1);
  EXPECT_EQ(f->width, 10);
  EXPECT_EQ(f->height, 5);
  EXPECT_EQ(f->bitmap->Width(), 10);
  EXPECT_EQ(ApplyMoveCrop(*f, 3, 3, 0, 5), 0);
  EXPECT_EQ(ApplyMoveCrop(*f, 3, 3, 4, -1), 0);
  EXPECT_EQ(ApplyMoveCrop(*f, -65536, 0, 4, 4), 0);
  ASSERT_EQ(hooks.entries.size(), 3u);
  EXPECT_EQ(hooks.entries[0].text, "The width must be in the range from 1 to 10");
  EXPECT_EQ(hooks.entries[2].caption, "Bad X Offset Value");
  EXPECT_EQ(f->left, 0);  // refused values change nothing, not even the offset
  EXPECT_EQ(f->width, 10);
}

TEST(FrameProperties, RangeChecksRefuseWithTheirMessagesInOrder) {
  AnimationPtr a = Gradient(200, 100, 10, 10);
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  FrameValues v;
  v.delay = 65535;
  v.left = -65535;
  hooks.boxAnswers = {MsgResult::Yes};  // -65535 clips the frame completely: asked
  EXPECT_EQ(CheckFrameValues(*a, v, FirstFrame(*a)), PropertyField::kNone);
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_EQ(hooks.entries[0].caption, "Complete Clipping");

  hooks.entries.clear();
  v.delay = 65536;
  v.left = 300;  // 300 on a 200-wide screen asks, the answer No stops at the X field
  hooks.boxAnswers = {MsgResult::No};
  EXPECT_EQ(CheckFrameValues(*a, v, FirstFrame(*a)), PropertyField::kOffsetX);
  v.left = 10;
  v.top = -65536;
  EXPECT_EQ(CheckFrameValues(*a, v, FirstFrame(*a)), PropertyField::kOffsetY);
  v.top = 0;
  EXPECT_EQ(CheckFrameValues(*a, v, FirstFrame(*a)), PropertyField::kDelay);
  std::vector<std::string> texts = hooks.Texts("box");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[1], "The Y offset must be in the range from -65535 to 65535");
  EXPECT_EQ(texts[2], "The delay must be in the range from 0 to 65535.");
  EXPECT_EQ(hooks.entries[2].caption, "Invalid Delay Value");
}

TEST(FrameProperties, CompleteClippingIsAskedOnlyForAFrameWhollyOffTheScreen) {
  // A 10 x 10 frame on a 200 x 100 screen.
  AnimationPtr a = Gradient(200, 100, 10, 10);
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  auto asked = [&](std::optional<int64_t> x, std::optional<int64_t> y, const Frame* only) {
    hooks.entries.clear();
    hooks.boxAnswers = {MsgResult::No};
    FrameValues v;
    v.left = x;
    v.top = y;
    PropertyField field = CheckFrameValues(*a, v, only);
    return hooks.entries.empty() ? PropertyField::kNone : field;
  };
  const Frame* f = FirstFrame(*a);
  // Partly on the screen: not asked, however far the offset goes past the old |X| > W rule's bounds.
  EXPECT_EQ(asked(-9, std::nullopt, f), PropertyField::kNone);
  EXPECT_EQ(asked(199, 99, f), PropertyField::kNone);
  // At the screen's edge or one frame width before it: nothing of the frame shows.
  EXPECT_EQ(asked(200, std::nullopt, f), PropertyField::kOffsetX);
  EXPECT_EQ(asked(-10, std::nullopt, f), PropertyField::kOffsetX);
  EXPECT_EQ(asked(std::nullopt, 100, f), PropertyField::kOffsetY);
  EXPECT_EQ(asked(0, -10, f), PropertyField::kOffsetY);
  // For all frames it is asked when any of them would go: a 40-wide second frame stays partly visible
  // at -20, the 10-wide first one does not.
  AppendBlock(*a, MakeFrame(40, 10, a->globalPalette.get(), [](int, int) { return uint8_t{1}; }));
  AddFrameCount(*a, 1);
  EXPECT_EQ(asked(-20, std::nullopt, NthFrame(*a, 1)), PropertyField::kNone);
  EXPECT_EQ(asked(-20, std::nullopt, nullptr), PropertyField::kOffsetX);
  EXPECT_EQ(asked(-5, std::nullopt, nullptr), PropertyField::kNone);
}

TEST(FrameProperties, ApplyReportsRealChangesOnly) {
  AnimationPtr a = MakeAnimation(3, 8, 8, 4);
  Frame* f = NthFrame(*a, 1);
  FrameValues same;
  same.delay = f->delay;
  same.disposal = GetDisposal(*f);
  same.interlaced = false;
  same.transparent = false;
  same.left = 0;
  EXPECT_FALSE(ApplyFrameValues(*f, same));

  FrameValues v;
  v.name = "walk";
  v.delay = 7;
  v.disposal = 2;
  v.transparent = true;
  v.transparentIndex = 3;
  v.interlaced = true;
  v.top = 4;
  v.userInput = true;
  EXPECT_TRUE(ApplyFrameValues(*f, v));
  EXPECT_EQ(GetFrameName(*f), "walk");
  EXPECT_EQ(f->delay, 7u);
  EXPECT_EQ(GetDisposal(*f), 2);
  EXPECT_TRUE(IsTransparent(*f));
  EXPECT_EQ(f->transparentIndex, 3);
  EXPECT_TRUE(IsInterlaced(*f));
  EXPECT_EQ(f->top, 4);
  EXPECT_EQ(f->left, 0);
  EXPECT_TRUE(GetUserInput(*f));
  EXPECT_FALSE(ApplyFrameValues(*f, v));  // the same again: no change

  // "Transparent" ticked without a new index keeps the frame's own.
  FrameValues keep;
  keep.transparent = true;
  EXPECT_FALSE(ApplyFrameValues(*f, keep));
  // All frames: name and user input stay.
  EXPECT_TRUE(ApplyFrameValuesToAll(*a, v));
  EXPECT_EQ(GetFrameName(*NthFrame(*a, 0)), "");
  EXPECT_FALSE(GetUserInput(*NthFrame(*a, 2)));
  EXPECT_EQ(NthFrame(*a, 2)->delay, 7u);
  FrameValues onlyX;
  onlyX.left = 2;
  EXPECT_TRUE(ApplyFrameValuesToAll(*a, onlyX));
  EXPECT_EQ(NthFrame(*a, 0)->left, 2);
  EXPECT_EQ(NthFrame(*a, 0)->top, 4);
}

TEST(AnimationProperties, ScreenSizeAndIterations) {
  AnimationPtr a = Gradient(20, 20, 10, 6);
  FirstFrame(*a)->left = 5;
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationValues v;
  v.iterations = 0;
  EXPECT_EQ(CheckAnimationValues(*a, v), PropertyField::kNone);
  EXPECT_EQ(ApplyAnimationValues(*a, v), 0);  // already 0
  v.iterations = 65536;
  EXPECT_EQ(CheckAnimationValues(*a, v), PropertyField::kIterations);
  v.iterations = 3;
  v.screenWidth = 14;  // clips the frame (extent 15): asked
  v.screenHeight = 6;
  hooks.boxAnswers = {MsgResult::No};
  EXPECT_EQ(CheckAnimationValues(*a, v), PropertyField::kScreenWidth);
  EXPECT_EQ(hooks.entries.back().caption, "Image Clipping");
  Extent auto_ = AutoScreenSize(*a);
  v.screenWidth = auto_.width;
  v.screenHeight = auto_.height;
  EXPECT_EQ(CheckAnimationValues(*a, v), PropertyField::kNone);
  EXPECT_EQ(ApplyAnimationValues(*a, v), 2);
  EXPECT_EQ(a->screenWidth, 15);
  EXPECT_EQ(a->screenHeight, 6);
  EXPECT_EQ(a->loopCount, 3u);
  v.screenWidth = 70000;
  EXPECT_EQ(CheckAnimationValues(*a, v), PropertyField::kScreenWidth);
  EXPECT_EQ(hooks.entries.back().text, "The width must be in the range from 0 to 65535");
}

class SignatureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = std::make_unique<SettingsStore>(dir_ / "settings.conf");
    store_->Load();
    ReadPreferences(store_.get());
  }
  void TearDown() override { ReadPreferences(nullptr); }
  test::TempDir dir_;
  std::unique_ptr<SettingsStore> store_;
};

int CountComments(const Animation& a) {
  return static_cast<int>(CommentBlocks(a).size());
}

TEST_F(SignatureTest, SavingTwiceLeavesOneSignatureAtTheFront) {
  EXPECT_EQ(GetSignatureText(), "Built with Loopwright 2.0");
  AnimationPtr a = MakeAnimation(2, 4, 4);
  InsertBlockAfter(FirstFrame(*a), MakeComment("keep me"));
  InsertBlockAfter(FirstFrame(*a), MakeComment("Built with Loopwright 1.0"));
  RenewSignatureComment(*a);
  RenewSignatureComment(*a);
  ASSERT_EQ(CountComments(*a), 2);
  EXPECT_EQ(GetCommentText(*a->head->next), "Built with Loopwright 2.0");
  EXPECT_EQ(GetCommentText(*CommentBlocks(*a)[1]), "keep me");

  // A signature of the user's own replaces the old one; turning signatures off removes it.
  ASSERT_TRUE(SetSignatureText("(c) Someone"));
  RenewSignatureComment(*a);
  EXPECT_EQ(GetCommentText(*a->head->next), "(c) Someone");
  EXPECT_EQ(CountComments(*a), 2);
  SetPreference(kPrefFlags, kPrefNoSignature);
  EXPECT_EQ(GetSignatureText(), "");
  EXPECT_EQ(GetSignatureText(true), "(c) Someone");
  RenewSignatureComment(*a);
  ASSERT_EQ(CountComments(*a), 1);
  EXPECT_EQ(GetCommentText(*CommentBlocks(*a)[0]), "keep me");
}

TEST(Comments, SummaryLengthCheckAndPlaceOfNewComments) {
  EXPECT_EQ(CommentSummary("one line"), "one line");
  EXPECT_EQ(CommentSummary("first\r\nsecond"), "first ...");
  EXPECT_EQ(CommentSummary("\nsecond"), " ...");
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  EXPECT_TRUE(CheckCommentLength(std::string(254, 'x')));
  EXPECT_FALSE(CheckCommentLength(std::string(255, 'x')));
  EXPECT_TRUE(CheckCommentLength(std::string(255, 'x'), kMaxSignatureLength));
  EXPECT_EQ(hooks.entries.at(0).caption, "Comment Too Long");

  AnimationPtr a = MakeAnimation(2, 4, 4);
  ExtensionBlock* c1 = AddComment(*a, "c1", nullptr);  // none yet: after the header
  EXPECT_EQ(a->head->next, c1);
  ExtensionBlock* c2 = AddComment(*a, "c2", nullptr);  // after the last comment
  EXPECT_EQ(c1->next, c2);
  InsertBlockAfter(NthFrame(*a, 1), MakeComment("c3"));
  ExtensionBlock* c3 = CommentBlocks(*a)[2];
  ExtensionBlock* before3 = AddComment(*a, "x", c3);  // before the selected: after the comment above it
  EXPECT_EQ(c2->next, before3);
  ExtensionBlock* first = AddComment(*a, "y", c1);
  EXPECT_EQ(a->head->next, first);
  EXPECT_EQ(CountComments(*a), 5);
}

}  // namespace
}  // namespace lw
