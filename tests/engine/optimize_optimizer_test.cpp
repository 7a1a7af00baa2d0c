#include <gtest/gtest.h>

#include "model/preferences.h"
#include "optimize/optimizer.h"
#include "optimize/pictures.h"
#include "optimize_samples.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"
#include "support/hooks_fixture.h"
#include "support/stop_after.h"

namespace lw {
namespace {

using test::MakeAnimation;
using test::MakeFrame;
using test::MakePalette;
using test::Timeline;

constexpr OptimizeOptions kFrames = kShrinkFrames;
constexpr OptimizeOptions kAllFrameOptions =
    kShrinkFrames | kDuplicatesToTransparency | kRemoveUnneededFrames;

Frame* AddFrame(Animation& a, int w, int h, int left, int top, const std::function<uint8_t(int, int)>& px,
                int disposal = 1) {
  FramePtr f = MakeFrame(w, h, a.globalPalette.get(), px);
  f->left = left;
  f->top = top;
  SetDisposal(*f, disposal);
  Frame* raw = f.get();
  AppendBlock(a, std::move(f));
  AddFrameCount(a, 1);
  return raw;
}

struct Box {
  int left, top, width, height;
  bool operator==(const Box&) const = default;
};
Box BoxOf(const Frame& f) {
  return {f.left, f.top, f.width, f.height};
}
std::ostream& operator<<(std::ostream& os, const Box& b) {
  return os << b.left << "," << b.top << " " << b.width << "x" << b.height;
}

// 10 × 6 screen; the checker pattern used as the first picture.
uint8_t Checker(int x, int y) {
  return static_cast<uint8_t>(1 + (x + y) % 2);
}

TEST(CompactPalette, KeepsOrderAndRoundsUpToAPowerOfTwo) {
  Palette p(std::vector<PaletteEntry>(256));
  for (int i = 0; i < 256; ++i) p[i] = {uint8_t(i), 1, 2, 0};
  std::array<uint32_t, 256> counts{};
  PalettePtr out;
  IndexMap table;
  counts.fill(1);
  EXPECT_FALSE(CompactPalette(p, counts, out, table));  // every entry used

  counts.fill(0);
  for (int i = 0; i < 200; ++i) counts[size_t(i + 56)] = uint32_t(i + 1);
  ASSERT_TRUE(CompactPalette(p, counts, out, table));
  EXPECT_EQ(out->Count(), 256);  // 200 > 128
  EXPECT_EQ((*out)[0].red, 56);
  EXPECT_EQ(table[56], 0);
  EXPECT_EQ(table[0], kNoTarget);
  EXPECT_EQ(counts[0], 1u);  // moved with the entry
  EXPECT_EQ(counts[199], 200u);
  EXPECT_EQ(counts[200], 0u);

  counts.fill(0);
  for (int i = 0; i < 100; ++i) counts[size_t(2 * i + 1)] = 5;
  ASSERT_TRUE(CompactPalette(p, counts, out, table));
  EXPECT_EQ(out->Count(), 128);
  EXPECT_EQ((*out)[99].red, 199);
  EXPECT_EQ((*out)[100], PaletteEntry{});  // 28 black entries at the end
  EXPECT_EQ((*out)[127], PaletteEntry{});

  for (auto [used, size] :
       {std::pair{0, 2}, std::pair{1, 2}, std::pair{2, 2}, std::pair{3, 4}, std::pair{5, 8}}) {
    counts.fill(0);
    for (int i = 0; i < used; ++i) counts[size_t(10 + i)] = 1;
    ASSERT_TRUE(CompactPalette(p, counts, out, table));
    EXPECT_EQ(out->Count(), size) << used;
  }
}

TEST(ShrinkPalettes, GlobalAndLocalPalettesKeepEveryColour) {
  AnimationPtr a = MakeAnimation(0, 4, 4, 64);
  AddFrame(*a, 4, 4, 0, 0, [](int x, int) { return uint8_t(10 + x); });
  Frame* t = AddFrame(*a, 4, 4, 0, 0, [](int x, int) { return uint8_t(x == 0 ? 40 : 12); });
  SetTransparentIndex(*t, 40);
  SetTransparent(*t, true);
  Frame* unusedTi = AddFrame(*a, 2, 2, 0, 0, [](int, int) { return uint8_t(11); });
  SetTransparentIndex(*unusedTi, 63);  // no pixel uses it anywhere
  SetTransparent(*unusedTi, true);
  Frame* local = AddFrame(*a, 2, 2, 1, 1, [](int x, int) { return uint8_t(x ? 30 : 3); });
  SetLocalPalette(*local, MakePalette(40));
  const auto before = Timeline(*a);
  ASSERT_TRUE(OptimizePalettes(*a, kShrinkPalettes, nullptr));
  EXPECT_EQ(a->globalPalette->Count(), 8);  // 10, 11, 12, 13, 40
  EXPECT_EQ(a->screenFlags & 7, 2);
  EXPECT_EQ(t->transparentIndex, 4);
  EXPECT_EQ(t->palette, a->globalPalette.get());
  EXPECT_FALSE(IsTransparent(*unusedTi));
  EXPECT_EQ(local->localPalette->Count(), 2);
  EXPECT_EQ(local->palette, local->localPalette.get());
  EXPECT_EQ(a->colorUse[0], 4u);   // 10
  EXPECT_EQ(a->colorUse[2], 16u);  // 12
  EXPECT_EQ(a->colorUse[4], 4u);   // 40
  EXPECT_EQ(Timeline(*a), before);
  EXPECT_FALSE(OptimizePalettes(*a, kShrinkPalettes, nullptr));  // nothing more to shrink
}

// A full global palette of 256 colours, all used by frame 0; frame 1 has a local palette of colours the
// global palette holds (a clean merge), frame 2 one of colours it lacks and has no room for.
AnimationPtr WithLocalPalettes() {
  std::vector<PaletteEntry> g(256);
  for (int i = 0; i < 256; ++i) g[size_t(i)] = {uint8_t(i), uint8_t(i / 2), 0, 0};
  AnimationPtr a = MakeAnimation(0, 16, 16, 8);
  SetGlobalPalette(*a, std::make_unique<Palette>(g));
  AddFrame(*a, 16, 16, 0, 0, [](int x, int y) { return uint8_t(x + 16 * y); });
  Frame* clean = AddFrame(*a, 4, 4, 0, 0, [](int x, int) { return uint8_t(x % 3); });
  SetLocalPalette(*clean, std::make_unique<Palette>(std::vector<PaletteEntry>{g[7], g[200], g[31]}));
  Frame* unclean = AddFrame(*a, 8, 8, 0, 0, [](int x, int) { return uint8_t(x % 2); });
  SetLocalPalette(*unclean,
                  std::make_unique<Palette>(std::vector<PaletteEntry>{{1, 250, 3, 0}, {9, 9, 250, 0}}));
  return a;
}

class LocalPalettes : public test::RecordingTest {};

TEST_F(LocalPalettes, OnlyCleanMergesGoUnlessMappingToGlobal) {
  SetPreference(kPrefPaletteConflict, 0x181);  // adaptive, dither, always ask
  AnimationPtr a = WithLocalPalettes();
  const auto before = Timeline(*a);
  ASSERT_TRUE(OptimizePalettes(*a, kRemoveLocalPalettes, nullptr));
  EXPECT_EQ(NthFrame(*a, 1)->localPalette, nullptr);
  EXPECT_EQ(NthFrame(*a, 1)->palette, a->globalPalette.get());
  EXPECT_NE(NthFrame(*a, 2)->localPalette, nullptr);  // its colours have no place in the full palette
  EXPECT_EQ(Timeline(*a), before);                    // a clean merge changes no colour
  EXPECT_EQ(GetPreference(kPrefPaletteConflict), 0x181u);
  EXPECT_TRUE(hooks.Texts("palette-conflict").empty());  // never asked

  a = WithLocalPalettes();
  ASSERT_TRUE(OptimizePalettes(*a, kRemoveLocalPalettes | kMapToGlobal, nullptr));
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) EXPECT_EQ(f->localPalette, nullptr);
  EXPECT_EQ(a->frameCount, 3);
  EXPECT_EQ(GetPreference(kPrefPaletteConflict), 0x181u);
}

TEST_F(LocalPalettes, RemovalKeepsTimingAndLooping) {
  // A still-like file: no looping block, no delays, two frames of which one has a local palette.
  AnimationPtr a = WithLocalPalettes();
  UnlinkAndFreeBlock(NthFrame(*a, 2));
  AddFrameCount(*a, -1);
  a->loopCount = 1;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->delay = 0;
  const auto before = Timeline(*a);
  ASSERT_TRUE(OptimizePalettes(*a, kRemoveLocalPalettes, nullptr));
  EXPECT_EQ(NthFrame(*a, 1)->localPalette, nullptr);
  EXPECT_EQ(a->loopCount, 1u);
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) EXPECT_EQ(f->delay, 0u);
  EXPECT_EQ(Timeline(*a), before);
}

TEST_F(LocalPalettes, StoppingPutsThePreferenceBack) {
  class StopAtOnce : public ProgressSink {
   public:
    void SetText(const std::string&) override {}
    void SetRange(uint32_t) override {}
    void SetPosition(uint32_t) override {}
    bool Pump() override { return false; }
  } sink;
  SetPreference(kPrefPaletteConflict, 0x104);
  AnimationPtr a = WithLocalPalettes();
  ProgressPtr progress = BeginProgress(kProgressOwnerBar, 0, &sink);
  OptimizeAnimation(*a, kRemoveLocalPalettes | kMapToGlobal | kShrinkPalettes | kShrinkFrames,
                    progress.get());
  EXPECT_EQ(GetPreference(kPrefPaletteConflict), 0x104u);
  EXPECT_NE(NthFrame(*a, 2)->localPalette, nullptr);  // stopped before reaching it
}

TEST(FramePass, FirstFrameOpaqueStaysWholeTransparentIsCut) {
  AnimationPtr a = MakeAnimation(0, 10, 6, 8);
  Frame* first = AddFrame(*a, 10, 6, 0, 0, [](int, int) { return uint8_t(1); });
  OptimizeFrameImages(*a, kAllFrameOptions, nullptr);
  EXPECT_EQ(BoxOf(*first), (Box{0, 0, 10, 6}));

  a = MakeAnimation(0, 10, 6, 8);
  first = AddFrame(*a, 10, 6, 0, 0, [](int x, int y) { return uint8_t(x >= 3 && x < 5 && y == 2 ? 4 : 0); });
  SetTransparent(*first, true);  // index 0
  OptimizeFrameImages(*a, kFrames, nullptr);
  EXPECT_EQ(BoxOf(*first), (Box{3, 2, 2, 1}));
}

TEST(FramePass, IdenticalFramesShrinkToOnePixelOrGo) {
  for (bool remove : {false, true}) {
    AnimationPtr a = MakeAnimation(0, 10, 6, 8);
    Frame* first = AddFrame(*a, 10, 6, 0, 0, Checker);
    first->delay = 10;
    Frame* same = AddFrame(*a, 4, 3, 2, 1, [](int x, int y) { return Checker(x + 2, y + 1); });
    same->delay = 7;
    OptimizeFrameImages(*a, kFrames | (remove ? OptimizeOptions{kRemoveUnneededFrames} : 0u), nullptr);
    if (remove) {
      EXPECT_EQ(a->frameCount, 1);
      EXPECT_EQ(first->delay, 17u);
    } else {
      ASSERT_EQ(a->frameCount, 2);
      EXPECT_EQ(BoxOf(*same), (Box{2, 1, 1, 1}));
      EXPECT_EQ(same->Row(0)[0], Checker(2, 1));
    }
  }
}

TEST(FramePass, AFrameIsNotRemovedAfterAFrameThatClearsOrRestores) {
  for (int disposal : {2, 3}) {
    AnimationPtr a = MakeAnimation(0, 10, 6, 8);
    AddFrame(*a, 10, 6, 0, 0, Checker);
    Frame* mid = AddFrame(
        *a, 2, 2, 0, 0, [](int, int) { return uint8_t(5); }, disposal);
    mid->delay = 3;
    // Repeats the screen as it is after mid's disposal (the checker), not mid's picture.
    Frame* same = AddFrame(*a, 10, 6, 0, 0, Checker);
    same->delay = 4;
    const auto before = Timeline(*a);
    OptimizeFrameImages(*a, kAllFrameOptions, nullptr);
    EXPECT_EQ(a->frameCount, 3) << disposal;
    EXPECT_EQ(mid->delay, 3u);
    EXPECT_EQ(Timeline(*a), before) << disposal;
  }
}

TEST(FramePass, DelaysTooLongToAddKeepTheFrame) {
  AnimationPtr a = MakeAnimation(0, 4, 4, 8);
  AddFrame(*a, 4, 4, 0, 0, Checker)->delay = 65000;
  AddFrame(*a, 4, 4, 0, 0, Checker)->delay = 600;
  OptimizeFrameImages(*a, kAllFrameOptions, nullptr);
  EXPECT_EQ(a->frameCount, 2);
  EXPECT_EQ(FirstFrame(*a)->delay, 65000u);
}

TEST(FramePass, OneChangedRowGivesAOneRowFrame) {
  AnimationPtr a = MakeAnimation(0, 10, 6, 8);
  AddFrame(*a, 10, 6, 0, 0, Checker);
  Frame* f = AddFrame(*a, 10, 6, 0, 0,
                      [](int x, int y) { return y == 4 && (x == 2 || x == 7) ? 6 : Checker(x, y); });
  OptimizeFrameImages(*a, kFrames, nullptr);
  EXPECT_EQ(BoxOf(*f), (Box{2, 4, 6, 1}));
  EXPECT_EQ(f->Row(0)[0], 6);
  EXPECT_EQ(f->Row(0)[5], 6);
}

TEST(FramePass, DisposalTwoKeepsWhatItClearsAndForgetsItsArea) {
  AnimationPtr a = MakeAnimation(0, 10, 6, 8);
  AddFrame(*a, 10, 6, 0, 0, Checker);
  // Transparent except one pixel, over known content: the whole rectangle must stay.
  Frame* clear = AddFrame(
      *a, 4, 2, 1, 1, [](int x, int y) { return x == 1 && y == 1 ? 6 : 0; }, 2);
  SetTransparent(*clear, true);
  // The checker again: where frame 1 cleared it is unknown, so those pixels are kept.
  Frame* again = AddFrame(*a, 10, 6, 0, 0, Checker);
  OptimizeFrameImages(*a, kFrames, nullptr);
  EXPECT_EQ(BoxOf(*clear), (Box{1, 1, 4, 2}));
  EXPECT_EQ(BoxOf(*again), (Box{1, 1, 4, 2}));

  // A clearing frame that covers the screen: the next opaque frame is kept whole.
  a = MakeAnimation(0, 10, 6, 8);
  AddFrame(*a, 10, 6, 0, 0, Checker);
  AddFrame(*a, 10, 6, 0, 0, Checker, 2);
  Frame* whole = AddFrame(*a, 10, 6, 0, 0, Checker);
  OptimizeFrameImages(*a, kFrames, nullptr);
  EXPECT_EQ(BoxOf(*whole), (Box{0, 0, 10, 6}));
}

TEST(FramePass, DisposalThreeIsComparedButLeavesTheModel) {
  AnimationPtr a = MakeAnimation(0, 10, 6, 8);
  AddFrame(*a, 10, 6, 0, 0, Checker);
  Frame* over = AddFrame(
      *a, 10, 6, 0, 0, [](int x, int y) { return x == 5 && y == 5 ? 7 : Checker(x, y); }, 3);
  // Shows the checker again with (5, 5) changed differently: compared with the checker, not with frame 1.
  Frame* next = AddFrame(*a, 10, 6, 0, 0, [](int x, int y) { return x == 0 && y == 0 ? 7 : Checker(x, y); });
  OptimizeFrameImages(*a, kFrames, nullptr);
  EXPECT_EQ(BoxOf(*over), (Box{5, 5, 1, 1}));
  EXPECT_EQ(BoxOf(*next), (Box{0, 0, 1, 1}));
}

TEST(FramePass, LocalPaletteFrameKeepsEveryOpaquePixel) {
  AnimationPtr a = MakeAnimation(0, 10, 6, 8);
  AddFrame(*a, 10, 6, 0, 0, Checker);
  // Same indices as the screen beneath, but on its own palette; transparent border of 1 pixel.
  Frame* local = AddFrame(*a, 6, 4, 2, 1, [](int x, int y) {
    return x == 0 || y == 0 || x == 5 || y == 3 ? 0 : Checker(x + 2, y + 1);
  });
  SetTransparent(*local, true);
  SetLocalPalette(*local, MakePalette(8));
  // A transparent frame with disposal 2 over the local frame's picture: it clears that picture, so it
  // must keep its rectangle although nothing beneath it is known.
  Frame* clear = AddFrame(
      *a, 4, 2, 3, 2, [](int, int) { return uint8_t(0); }, 2);
  SetTransparent(*clear, true);
  AddFrame(*a, 1, 1, 0, 0, Checker);  // shows the screen after the clearing
  const auto before = Timeline(*a);
  OptimizeFrameImages(*a, kAllFrameOptions, nullptr);
  // Its transparent border lies over known content and is kept too (the frame may clear it later).
  EXPECT_EQ(BoxOf(*local), (Box{2, 1, 6, 4}));
  EXPECT_EQ(BoxOf(*clear), (Box{3, 2, 4, 2}));
  EXPECT_EQ(Timeline(*a), before);
}

TEST(ReplaceDuplicates, RunsOfOneAndPlainRunsAreLeftAlone) {
  Palette palette(std::vector<PaletteEntry>(8));
  // Mask: 1 = kept. Row: k . k . . k . . . k . .
  const std::vector<uint8_t> maskRow = {1, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0};
  const std::vector<uint8_t> pixels = {3, 2, 3, 5, 5, 4, 1, 2, 1, 4, 4, 4};
  FramePtr f = MakeFrame(12, 1, &palette, [&](int x, int) { return pixels[size_t(x)]; });
  ASSERT_TRUE(ReplaceDuplicatePixels(*f, maskRow.data(), 0, 0, 12));
  // Lowest index no kept pixel uses: 0. Runs: [1] single, [3,5) plain 5 5 not continuing 3: kept;
  // [6,9) 1 2 1 mixed: replaced; [10,12) continues the 4 at 9 and runs to the end: nothing left to do.
  const std::vector<uint8_t> expect = {3, 2, 3, 5, 5, 4, 0, 0, 0, 4, 4, 4};
  EXPECT_EQ(std::vector<uint8_t>(f->Row(0), f->Row(0) + 12), expect);
  EXPECT_TRUE(IsTransparent(*f));
  EXPECT_EQ(f->transparentIndex, 0);

  // A plain run after a kept pixel of the same colour: the run keeps the colour up to where it changes.
  const std::vector<uint8_t> mask2 = {1, 0, 0, 0, 0};
  FramePtr g = MakeFrame(5, 1, &palette, [](int x, int) { return uint8_t(x < 3 ? 6 : 2); });
  SetTransparentIndex(*g, 7);
  SetTransparent(*g, true);
  ASSERT_TRUE(ReplaceDuplicatePixels(*g, mask2.data(), 0, 0, 5));
  EXPECT_EQ(std::vector<uint8_t>(g->Row(0), g->Row(0) + 5), (std::vector<uint8_t>{6, 6, 6, 7, 7}));

  // Every palette entry used by kept pixels: nothing can be made transparent.
  Palette two(std::vector<PaletteEntry>(2));
  const std::vector<uint8_t> mask3 = {1, 1, 0, 0, 0};
  FramePtr h = MakeFrame(5, 1, &two, [](int x, int) { return uint8_t(x == 1 ? 1 : 0); });
  EXPECT_FALSE(ReplaceDuplicatePixels(*h, mask3.data(), 0, 0, 5));
  EXPECT_FALSE(IsTransparent(*h));
}

TEST(FramePass, AbortStopsAtAFrameBoundaryWithPicturesIntact) {
  for (int n = 0; n < 8; ++n) {
    AnimationPtr a = test::SampleAnimation(99);
    const auto before = Timeline(*a);
    test::StopAfter sink(n);
    ProgressPtr progress = BeginProgress(kProgressOwnerBar, 0, &sink);
    OptimizeAnimation(*a, kShrinkPalettes | kAllFrameOptions, progress.get());
    EXPECT_EQ(Timeline(*a), before) << n;
  }
}

// The invariant that matters: whatever the options, every picture is shown as before, for as long.
TEST(Optimizer, EveryCombinationKeepsThePictures) {
  // Local palettes that merge cleanly keep every colour; mapping the others to the global palette does
  // not, so it is not among them.
  const OptimizeOptions bits[] = {kShrinkFrames, kDuplicatesToTransparency, kShrinkPalettes,
                                  kRemoveUnneededFrames, kRemoveLocalPalettes};
  for (uint32_t seed = 1; seed <= 80; ++seed) {
    test::SampleKinds kinds;
    kinds.localPalettes = seed % 2 == 0;
    kinds.offscreen = seed % 5 == 0;
    kinds.disposals = seed % 3 != 0;
    AnimationPtr original = test::SampleAnimation(seed, kinds);
    const auto expected = Timeline(*original);
    for (int combo = 0; combo < 32; ++combo) {
      OptimizeOptions options = 0;
      for (int b = 0; b < 5; ++b)
        if (combo & (1 << b)) options |= bits[b];
      AnimationPtr a = CopyAnimation(*original);
      OptimizeAnimation(*a, options, nullptr);
      ASSERT_EQ(Timeline(*a), expected) << "seed " << seed << " options " << options;
      // A second run finds the result as good as it gets, and changes no picture either.
      OptimizeAnimation(*a, options, nullptr);
      ASSERT_EQ(Timeline(*a), expected) << "second run, seed " << seed << " options " << options;
    }
    // The copies shared pixels with the original until written: it is untouched.
    EXPECT_EQ(Timeline(*original), expected);
  }
}

}  // namespace
}  // namespace lw
