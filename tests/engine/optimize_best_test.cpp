#include <gtest/gtest.h>

#include "gif/gif_reader.h"
#include "gif/gif_sink.h"
#include "gif/gif_writer.h"
#include "io/files.h"
#include "optimize/best.h"
#include "optimize/optimizer.h"
#include "optimize_samples.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"
#include "support/decoders.h"
#include "support/stop_after.h"

namespace lw {
namespace {

using test::Timeline;

// The animation as a file would hold it: written and read back.
AnimationPtr ThroughFile(Animation& a, uint64_t* bytes = nullptr) {
  MemorySink sink;
  EXPECT_EQ(WriteGif(sink, a, nullptr), 1);
  if (bytes) *bytes = sink.bytes.size();
  AnimationPtr back;
  EXPECT_EQ(ReadGif(sink.bytes.data(), sink.bytes.size(), &back, nullptr), 1);
  return back;
}

// The invariant: every picture is shown as before, for as long, also once written and read back; the
// result is never larger than the animation as it was.
TEST(BestOptimizer, KeepsEveryPictureAndNeverGrows) {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  int rebuilt = 0;
  for (uint32_t seed = 1; seed <= 120; ++seed) {
    test::SampleKinds kinds;
    kinds.localPalettes = seed % 2 == 0;
    kinds.offscreen = seed % 5 == 0;
    kinds.disposals = seed % 3 != 0;
    AnimationPtr a = test::SampleAnimation(seed, kinds);
    if (seed % 4 == 1)
      for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) SetInterlaced(*f, true);
    const auto expected = Timeline(*a);
    const uint32_t before = ComputeFileSize(*a, true, nullptr);
    BestOptimizeStats stats;
    const bool changed = OptimizeAnimationBest(*a, nullptr, &stats);
    ASSERT_EQ(Timeline(*a), expected) << "seed " << seed;
    uint64_t written = 0;
    AnimationPtr back = ThroughFile(*a, &written);
    ASSERT_EQ(Timeline(*back), expected) << "seed " << seed << " read back";
    EXPECT_EQ(stats.inputBytes, before);
    if (changed) {
      // The size it promised is what the writer makes of it, or more (codes sized a little wide).
      EXPECT_LE(written, stats.resultBytes) << "seed " << seed;
      EXPECT_LT(written, before) << "seed " << seed;
      rebuilt += stats.resultBytes == stats.rebuiltBytes;
    } else {
      EXPECT_EQ(stats.resultBytes, before);
    }
  }
  EXPECT_GT(rebuilt, 60);  // the rebuild, not the plain passes, does the work
}

// Frames whose patterns repeat all through them keep the full string table: the file is smaller than
// with the table started afresh, and other decoders show the same pictures.
TEST(BestOptimizer, KeepsAFullTableWhereThatIsSmaller) {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  // Every row a turn of one row of noise: the strings learnt early on serve to the end.
  AnimationPtr a = test::MakeAnimation(3, 480, 120, 64);
  std::vector<uint8_t> noise(480);
  uint32_t state = 5;
  for (uint8_t& v : noise) v = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 16 & 63);
  int k = 0;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f), ++k) {
    uint8_t* bits = f->MutableBits();
    for (int y = 0; y < f->height; ++y)
      for (int x = 0; x < f->width; ++x) bits[y * f->Stride() + x] = noise[(x + 7 * y + 11 * k) % 480];
  }
  const auto expected = Timeline(*a);
  BestOptimizeStats stats;
  OptimizeAnimationBest(*a, nullptr, &stats);
  ASSERT_EQ(stats.resultBytes, stats.rebuiltBytes) << stats.inputBytes << " " << stats.standardBytes;
  int kept = 0;
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) kept += f->keepFullTable;
  EXPECT_GT(kept, 0);
  uint64_t withKept = 0, afresh = 0;
  AnimationPtr back = ThroughFile(*a, &withKept);
  ASSERT_EQ(Timeline(*back), expected);
  test::TempDir dir;
  ASSERT_EQ(WriteGifFile(dir / "kept.gif", *a), 1);
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->keepFullTable = false;
  ThroughFile(*a, &afresh);
  EXPECT_LT(withKept, afresh);
#if LW_HAVE_GIFLIB
  const auto ours = test::ComposeWithOurReader(dir / "kept.gif");
  ASSERT_TRUE(ours);
  EXPECT_EQ(test::ComposeWithGiflib(dir / "kept.gif", test::Reading::kBrowser), ours);
#endif
}

// Animations large enough for the encoding to be shared by two threads.
TEST(BestOptimizer, LargeAnimationsKeepTheirPicturesToo) {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  for (uint32_t seed = 300; seed < 306; ++seed) {
    test::SampleKinds kinds;
    kinds.scale = 12;
    kinds.localPalettes = seed % 2 == 0;
    AnimationPtr a = test::SampleAnimation(seed, kinds);
    ASSERT_GE(uint64_t(a->screenWidth) * a->screenHeight * a->frameCount, uint64_t{1} << 17);
    const auto expected = Timeline(*a);
    OptimizeAnimationBest(*a, nullptr);
    ASSERT_EQ(Timeline(*a), expected) << "seed " << seed;
    AnimationPtr back = ThroughFile(*a);
    ASSERT_EQ(Timeline(*back), expected) << "seed " << seed << " read back";
  }
}

TEST(BestOptimizer, BeatsThePlainPassesOnSpritesOverAScene) {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  uint64_t best = 0, plain = 0;
  for (uint32_t seed = 200; seed < 230; ++seed) {
    AnimationPtr a = test::SampleAnimation(seed);
    AnimationPtr b = CopyAnimation(*a);
    OptimizeAnimation(*b, kShrinkFrames | kDuplicatesToTransparency | kShrinkPalettes | kRemoveUnneededFrames,
                      nullptr);
    plain += ComputeFileSize(*b, true, nullptr);
    OptimizeAnimationBest(*a, nullptr);
    best += ComputeFileSize(*a, true, nullptr);
  }
  EXPECT_LT(best, plain);
}

TEST(BestOptimizer, StoppingLeavesTheAnimationAsItWas) {
  for (int n : {0, 3, 9}) {
    AnimationPtr a = test::SampleAnimation(77);
    AnimationPtr copy = CopyAnimation(*a);
    test::StopAfter sink(n);
    ProgressPtr progress = BeginProgress(kProgressOwnerBar, 0, &sink);
    EXPECT_FALSE(OptimizeAnimationBest(*a, progress.get()));
    EXPECT_EQ(a->frameCount, copy->frameCount);
    for (Frame *f = FirstFrame(*a), *g = FirstFrame(*copy); f && g; f = NextFrame(f), g = NextFrame(g))
      EXPECT_TRUE(f->bitmap->SharesPixelsWith(*g->bitmap));
  }
}

TEST(FrameCodeSize, TheWriterUsesTheFramesOwnSizeRaisedToItsPixels) {
  AnimationPtr a = test::MakeAnimation(0, 8, 8, 256);
  FramePtr f = test::MakeFrame(8, 8, a->globalPalette.get(), [](int x, int) { return uint8_t(x % 4); });
  EXPECT_EQ(MinimumCodeSize(*f), 8);  // the palette's
  f->codeSize = 2;
  EXPECT_EQ(MinimumCodeSize(*f), 2);
  f->MutableBits()[3] = 200;
  EXPECT_EQ(MinimumCodeSize(*f), 8);  // never narrower than a pixel needs
  f->MutableBits()[3] = 9;
  EXPECT_EQ(MinimumCodeSize(*f), 4);
  AppendBlock(*a, std::move(f));
  AddFrameCount(*a, 1);
  AnimationPtr copy = CopyAnimation(*a);
  EXPECT_EQ(FirstFrame(*copy)->codeSize, 2);
  AnimationPtr back = ThroughFile(*copy);
  ASSERT_EQ(back->frameCount, 1);
  EXPECT_EQ(FirstFrame(*back)->Row(0)[3], 9);
  EXPECT_EQ(FirstFrame(*back)->Row(7)[6], 2);
}

}  // namespace
}  // namespace lw
