#include <gtest/gtest.h>

#include <set>

#include "optimize/pictures.h"
#include "optimize/unoptimize.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"
#include "support/composed.h"

namespace lw {
namespace {

using test::ComposedFrames;

using test::MakeAnimation;
using test::MakeFrame;

PalettePtr Grey(int count, int base) {
  std::vector<PaletteEntry> e;
  for (int i = 0; i < count; ++i) {
    const auto v = static_cast<uint8_t>(base + i);
    e.push_back({v, v, static_cast<uint8_t>(255 - v), 0});
  }
  return std::make_unique<Palette>(std::move(e));
}

Frame* AddLocal(Animation& a, int w, int h, int left, int top, PalettePtr palette,
                const std::function<uint8_t(int, int)>& px) {
  FramePtr f = MakeFrame(w, h, palette.get(), px);
  f->left = left;
  f->top = top;
  SetLocalPalette(*f, std::move(palette));
  Frame* raw = f.get();
  AppendBlock(a, std::move(f));
  AddFrameCount(a, 1);
  return raw;
}

TEST(UnoptimizePalettes, FewColoursOverallBecomeOneGlobalPaletteWithPicturesExact) {
  AnimationPtr a = MakeAnimation(1, 8, 6, 4);
  AddLocal(*a, 3, 2, 4, 3, Grey(4, 100), [](int x, int y) { return uint8_t((x + y) % 4); });
  Frame* last = AddLocal(*a, 2, 2, 0, 0, Grey(8, 10), [](int x, int) { return uint8_t(x ? 7 : 2); });
  SetTransparentIndex(*last, 7);
  SetTransparent(*last, true);
  SetDisposal(*last, 2);
  const auto before = ComposedFrames(*a);
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  ASSERT_TRUE(UnoptimizeAnimation(*a));
  EXPECT_TRUE(hooks.entries.empty());
  EXPECT_EQ(ComposedFrames(*a), before);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    EXPECT_EQ(f->localPalette, nullptr);
    EXPECT_EQ(f->width, 8);
    EXPECT_EQ(f->left, 0);
  }
  // 1 colour of the first frame, 4 greys, 1 more from the last frame.
  EXPECT_EQ(a->globalPalette->Count(), 6);
}

TEST(UnoptimizePalettes, ManyColoursKeepAPalettePerFrameAndTransparencyWhereNothingIsDrawn) {
  // Two frames of 200 different colours each: together they cannot share one palette.
  AnimationPtr a = MakeAnimation(0, 20, 10, 4);
  AddLocal(*a, 20, 10, 0, 0, Grey(200, 0), [](int x, int y) { return uint8_t((x + 20 * y) % 200); });
  PalettePtr tinted = Grey(200, 50);
  for (PaletteEntry& e : tinted->Entries()) e.green = 7;  // none of the first frame's colours
  Frame* second = AddLocal(*a, 10, 10, 10, 0, std::move(tinted),
                           [](int x, int y) { return uint8_t((3 * x + 7 * y) % 200); });
  SetDisposal(*second, 2);
  AddLocal(*a, 5, 5, 0, 0, Grey(2, 250), [](int x, int) { return uint8_t(x % 2); });
  const auto before = ComposedFrames(*a);
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  ASSERT_TRUE(UnoptimizeAnimation(*a));
  EXPECT_TRUE(hooks.entries.empty());
  EXPECT_EQ(ComposedFrames(*a), before);
  // The third picture: the first frame's colours beneath a cleared half, so part of it shows nothing.
  const Frame* third = NthFrame(*a, 2);
  EXPECT_TRUE(IsTransparent(*third));
  EXPECT_EQ(GetDisposal(*NthFrame(*a, 1)), 2);
  ASSERT_NE(third->localPalette, nullptr);
  EXPECT_LE(third->localPalette->Count(), 256);
  // And it still reads the same after a second run.
  ASSERT_TRUE(UnoptimizeAnimation(*a));
  EXPECT_EQ(ComposedFrames(*a), before);
}

TEST(UnoptimizePalettes, APictureOfMoreThan256ColoursIsReducedWithANotice) {
  AnimationPtr a = MakeAnimation(0, 32, 16, 4);
  AddLocal(*a, 16, 16, 0, 0, Grey(256, 0), [](int x, int y) { return uint8_t(x + 16 * y); });
  AddLocal(*a, 16, 16, 16, 0, Grey(256, 0), [](int x, int y) { return uint8_t(255 - (x + 16 * y)); });
  // Same greys, but the second frame's palette is shifted: the two halves show 256 + 256 colours.
  NthFrame(*a, 1)->localPalette->Entries()[0].blue = 1;
  for (auto& e : NthFrame(*a, 1)->localPalette->Entries()) e.green = static_cast<uint8_t>(e.green ^ 0x80);
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  ASSERT_TRUE(UnoptimizeAnimation(*a));
  ASSERT_EQ(hooks.entries.size(), 1u);
  const Frame* second = NthFrame(*a, 1);
  ASSERT_NE(second->localPalette, nullptr);
  std::set<uint8_t> used;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) used.insert(second->Row(y)[x]);
  EXPECT_GT(used.size(), 200u);
}

}  // namespace
}  // namespace lw
