// Lossy compression: smaller files, every composed pixel within the level of what it was, transparency
// untouched; and the search for a size that fits.
#include <gtest/gtest.h>

#include <random>

#include "edit/preview_composer.h"
#include "gif/gif_writer.h"
#include "optimize/lossy.h"
#include "support/builders.h"
#include "support/hooks_fixture.h"

namespace lw {
namespace {

// Noisy grey ramps on a palette of 256 greys (neighbouring entries one level apart): costly for exact LZW,
// cheap once near colours may stand in. Frames 1 and 3 have transparent pixels, frame 2 is interlaced
// and smaller, at an offset.
AnimationPtr NoisyRamps() {
  std::mt19937 rng(9);
  std::vector<PaletteEntry> greys;
  for (int i = 0; i < 256; ++i)
    greys.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0});
  AnimationPtr a = test::MakeAnimation(0, 96, 64);
  SetGlobalPalette(*a, test::MakePalette(256, greys));
  for (int k = 0; k < 4; ++k) {
    const int w = k == 2 ? 40 : 96, h = k == 2 ? 30 : 64;
    FramePtr f = test::MakeFrame(w, h, a->globalPalette.get(), [&](int x, int y) {
      if ((k == 1 || k == 3) && rng() % 5 == 0) return uint8_t{0};
      return static_cast<uint8_t>(std::clamp(x * 2 + y + k * 3 + static_cast<int>(rng() % 9) - 4, 1, 255));
    });
    if (k == 1 || k == 3) {
      SetTransparent(*f, true);
      f->transparentIndex = 0;
    }
    if (k == 2) {
      f->left = 30;
      f->top = 20;
      f->imageFlags |= kImageInterlaced;
    }
    f->delay = 10;
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
  return a;
}

// Every composed frame of b against a's: the largest colour distance, squared.
int WorstComposedError(const Animation& a, const Animation& b) {
  PreviewPicture pa, pb;
  EXPECT_TRUE(pa.Make(a.screenWidth, a.screenHeight, 0xFF102030));
  EXPECT_TRUE(pb.Make(b.screenWidth, b.screenHeight, 0xFF102030));
  int worst = 0;
  for (const Frame *fa = FirstFrame(a), *fb = FirstFrame(b); fa && fb;
       fa = NextFrame(fa), fb = NextFrame(fb)) {
    pa.Draw(*fa);
    pb.Draw(*fb);
    for (int i = 0; i < a.screenWidth * a.screenHeight; ++i) {
      int d = 0;
      for (int s = 0; s < 24; s += 8) {
        const int c =
            static_cast<int>(pa.Pixels()[i] >> s & 0xFF) - static_cast<int>(pb.Pixels()[i] >> s & 0xFF);
        d += c * c;
      }
      worst = std::max(worst, d);
    }
  }
  return worst;
}

class Lossy : public test::RecordingTest {};

TEST_F(Lossy, SmallerWithinTheLevelAndTransparencyKept) {
  AnimationPtr original = NoisyRamps();
  const uint32_t lossless = ComputeFileSize(*original, true, nullptr);
  uint32_t last = lossless;
  for (int level : {4, 12, 40}) {
    AnimationPtr a = CopyAnimation(*original);
    EXPECT_GT(LossyAnimation(*a, level), 0u);
    const uint32_t size = ComputeFileSize(*a, true, nullptr);
    EXPECT_LT(size, last) << "level " << level;
    last = size;
    EXPECT_LE(WorstComposedError(*original, *a), level * level) << "level " << level;
    // Transparent pixels stay transparent (others may become so: the bound above covers what they show).
    for (const Frame *f = FirstFrame(*original), *g = FirstFrame(*a); f; f = NextFrame(f), g = NextFrame(g)) {
      if (!IsTransparent(*f)) continue;
      for (int y = 0; y < f->height; ++y)
        for (int x = 0; x < f->width; ++x)
          if (f->Row(y)[x] == 0) {
            ASSERT_EQ(g->Row(y)[x], 0) << x << "," << y;
          }
    }
  }
  EXPECT_LT(last, lossless * 3 / 4);
  // Level 0 changes nothing.
  AnimationPtr same = CopyAnimation(*original);
  EXPECT_EQ(LossyAnimation(*same, 0), 0u);
  EXPECT_EQ(ComposedPsnr(*original, *same), 99);
}

TEST_F(Lossy, APixelNearWhatLiesBeneathMayShowItButNeverAClearedScreen) {
  // A smooth picture, then the same one level lighter over it with a transparent index: within the level
  // every pixel of the second frame can let the first show through - unless the first frame is cleared
  // away (disposal 2), as decoders do not agree on what a cleared screen shows.
  for (int disposal : {1, 2}) {
    AnimationPtr a = test::MakeAnimation(0, 64, 48, 256);
    for (int k = 0; k < 2; ++k) {
      FramePtr f = test::MakeFrame(64, 48, a->globalPalette.get(), [&](int x, int y) {
        return static_cast<uint8_t>(1 + (x * 3 + y * 5) % 200 + k);
      });
      SetDisposal(*f, disposal);
      if (k == 1) {
        SetTransparent(*f, true);
        f->transparentIndex = 255;
      }
      AppendBlock(*a, std::move(f));
      AddFrameCount(*a, 1);
    }
    AnimationPtr lossy = CopyAnimation(*a);
    const uint64_t changed = LossyAnimation(*lossy, 40);
    const Frame* second = NextFrame(FirstFrame(*lossy));
    int holes = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) holes += second->Row(y)[x] == 255;
    if (disposal == 1) {
      EXPECT_GT(holes, 64 * 48 * 9 / 10);
      EXPECT_GE(changed, static_cast<uint64_t>(holes));  // the editor takes 0 for "nothing changed"
      EXPECT_LE(WorstComposedError(*a, *lossy), 40 * 40);
      EXPECT_LT(ComputeFileSize(*lossy, true, nullptr), ComputeFileSize(*a, true, nullptr));
    } else {
      EXPECT_EQ(holes, 0);
    }
  }
}

TEST_F(Lossy, FitToSizeMeetsTheLimitOrSaysItCannot) {
  AnimationPtr original = NoisyRamps();
  const uint32_t lossless = ComputeFileSize(*original, true, nullptr);
  AnimationPtr a = CopyAnimation(*original);
  FitResult fit = FitToSize(a, lossless);  // fits as it is
  EXPECT_TRUE(fit.fits);
  EXPECT_EQ(fit.level, 0);
  EXPECT_EQ(fit.bits, 8);

  a = CopyAnimation(*original);
  fit = FitToSize(a, lossless * 2 / 3);
  ASSERT_TRUE(fit.fits);
  EXPECT_LE(fit.size, lossless * 2 / 3);
  EXPECT_EQ(ComputeFileSize(*a, true, nullptr), fit.size);
  EXPECT_GT(fit.level, 0);
  EXPECT_GT(fit.psnr, 25);
  EXPECT_LT(fit.psnr, 99);
  // The level found is the lowest that fits: one less does not.
  AnimationPtr less = CopyAnimation(*original);
  LossyAnimation(*less, fit.level - 1);
  EXPECT_GT(ComputeFileSize(*less, true, nullptr), lossless * 2 / 3);

  a = CopyAnimation(*original);
  fit = FitToSize(a, 200);  // no GIF of four frames of these sizes is that small
  EXPECT_FALSE(fit.fits);
  EXPECT_GT(fit.size, 200u);
}

}  // namespace
}  // namespace lw
