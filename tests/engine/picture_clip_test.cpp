// Animations of full-colour pictures through the clip encoder: one palette across the frames, still areas
// kept still, and a way back to per-frame palettes where the encoder cannot carry the pictures.
#include <gtest/gtest.h>

#include <cstdlib>

#include "color/palette_choice.h"
#include "io/picture_import.h"
#include "model/preferences.h"
#include "platform/picture_source.h"
#include "support/builders.h"
#include "support/composed.h"
#include "support/hooks_fixture.h"
#include "support/png_files.h"

namespace lw {
namespace {

using test::RgbaPicture;

// A smooth gradient of a few thousand colours with a block that moves; opaque unless `hole` is set.
RgbaPicture Gradient(int w, int h, int k, bool hole = false) {
  RgbaPicture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 4)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* px = p.At(x, y);
      const bool block = x >= 5 * k && x < 5 * k + 10 && y >= 10 && y < 20;
      px[0] = block ? 240 : static_cast<uint8_t>(x * 255 / (w - 1));
      px[1] = block ? 240 : static_cast<uint8_t>(y * 255 / (h - 1));
      px[2] = block ? 40 : static_cast<uint8_t>((x + y) * 2);
      px[3] = hole && x == 0 && y == 0 ? 0 : 255;
    }
  return p;
}

class PictureClip : public test::RecordingTest {
 protected:
  void SetUp() override {
    test::RecordingTest::SetUp();
    if (!PictureSupportBuiltIn()) GTEST_SKIP() << "built without the picture module";
  }
  // Writes frames made by make(k) and gives their paths.
  template <typename Make>
  std::vector<std::string> Write(int count, Make make) {
    std::vector<std::string> paths;
    for (int k = 0; k < count; ++k) {
      paths.push_back(dir / ("f" + std::to_string(count) + "_" + std::to_string(k) + ".png"));
      EXPECT_TRUE(test::WriteRgbaPng(paths.back(), make(k)));
    }
    return paths;
  }
  test::TempDir dir;
};

TEST_F(PictureClip, AnAnimationOfManyColoursSharesOnePaletteAndKeepsStillAreasStill) {
  const int w = 64, h = 48, n = 6;
  const std::vector<std::string> paths = Write(n, [&](int k) { return Gradient(w, h, k); });
  AnimationPtr a;
  ASSERT_EQ(ImportPictures(paths, &a, nullptr, PictureImportOptions{0, 90}), 1);
  EXPECT_TRUE(hooks.Texts("palette-conflict").empty());  // the default for an animation: nothing asked
  ASSERT_EQ(a->frameCount, n);
  ASSERT_TRUE(a->globalPalette);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) EXPECT_FALSE(f->localPalette);
  const uint32_t defaultDelay = GetPreference(kPrefDefaultDelay);
  EXPECT_EQ(test::FrameDelays(*a), std::vector<uint32_t>(n, defaultDelay));  // PNG files carry no time
  const auto shown = test::ComposedFrames(*a);
  for (int k = 0; k < n; ++k) {
    const RgbaPicture source = Gradient(w, h, k);
    double error = 0;
    for (int i = 0; i < w * h; ++i) {
      const uint32_t px = shown[static_cast<size_t>(k)][static_cast<size_t>(i)];
      ASSERT_EQ(px >> 24, 0xFFu) << "frame " << k << " pixel " << i;
      for (int c = 0; c < 3; ++c)
        error +=
            std::abs(static_cast<int>(px >> (8 * c) & 0xFF) - source.rgba[4 * static_cast<size_t>(i) + c]);
    }
    EXPECT_LT(error / (3.0 * w * h), 4.0) << "frame " << k;
  }
  // Away from the block, frame after frame shows the same pixels: no shimmer.
  for (int k = 1; k < n; ++k)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool near = y >= 10 && y < 20 && x >= 5 * (k - 1) && x < 5 * k + 10;
        if (near) continue;
        ASSERT_EQ(shown[static_cast<size_t>(k)][static_cast<size_t>(y * w + x)],
                  shown[static_cast<size_t>(k - 1)][static_cast<size_t>(y * w + x)])
            << "frame " << k << " at " << x << "," << y;
      }
}

TEST_F(PictureClip, FramesOfFewColoursKeepThemAndAreCutToWhatChanges) {
  // Stripes of four colours and a moving block: exact colours, and each frame after the first holds only
  // the rectangle the block swept.
  const int w = 60, h = 40, n = 4;
  auto make = [&](int k) {
    RgbaPicture p = Gradient(w, h, k);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* px = p.At(x, y);
        if (px[0] == 240 && px[1] == 240) continue;  // the block
        px[0] = static_cast<uint8_t>(x / 15 * 80);
        px[1] = px[2] = 30;
      }
    return p;
  };
  const std::vector<std::string> paths = Write(n, make);
  AnimationPtr a;
  ASSERT_EQ(ImportPictures(paths, &a, nullptr, PictureImportOptions{0, 90}), 1);
  ASSERT_EQ(a->frameCount, n);
  const auto shown = test::ComposedFrames(*a);
  for (int k = 0; k < n; ++k) {
    const RgbaPicture source = make(k);
    for (int i = 0; i < w * h; ++i) {
      const uint8_t* s = &source.rgba[4 * static_cast<size_t>(i)];
      ASSERT_EQ(shown[static_cast<size_t>(k)][static_cast<size_t>(i)],
                0xFF000000u | uint32_t{s[2]} << 16 | uint32_t{s[1]} << 8 | s[0])
          << "frame " << k << " pixel " << i;
    }
  }
  for (const Frame* f = NextFrame(FirstFrame(*a)); f; f = NextFrame(f)) {
    EXPECT_LE(f->width, 15) << "the block moves 5 pixels a frame and is 10 wide";
    EXPECT_LE(f->height, 10);
  }
}

TEST_F(PictureClip, TheQuestionOffersBestForVideoForAnAnimationOnly) {
  const std::vector<std::string> paths = Write(3, [](int k) { return Gradient(40, 30, k); });
  hooks.paletteAnswers.push_back({kChoiceVideo, false});
  AnimationPtr a;
  ASSERT_EQ(ImportPictures(paths, &a, nullptr), 1);
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_TRUE(hooks.entries[0].flags & kConflictMovie);
  ASSERT_TRUE(a && a->globalPalette);
  EXPECT_FALSE(FirstFrame(*a)->localPalette);
  // A still asks without it, and the same answer means the high-quality palette of its own.
  hooks.entries.clear();
  hooks.paletteAnswers.push_back({kChoiceVideo, false});
  AnimationPtr still;
  ASSERT_EQ(ImportPictures({paths[0]}, &still, nullptr), 1);
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_FALSE(hooks.entries[0].flags & kConflictMovie);
  EXPECT_EQ(still->frameCount, 1);
}

TEST_F(PictureClip, TransparencyOrMixedSizesFallBackToAPaletteForEachFrame) {
  const std::vector<std::vector<std::string>> cases = {
      Write(4, [](int k) { return Gradient(40, 30, k, k == 2); }),
      Write(3, [](int k) { return Gradient(k == 1 ? 36 : 40, 30, k); }),
  };
  for (const auto& paths : cases) {
    AnimationPtr a;
    ASSERT_EQ(ImportPictures(paths, &a, nullptr, PictureImportOptions{0, 90}), 1);
    EXPECT_TRUE(hooks.Texts("error").empty());
    ASSERT_EQ(a->frameCount, static_cast<int>(paths.size()));
    for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) EXPECT_TRUE(f->localPalette);
  }
  // The transparent pixel stays transparent.
  AnimationPtr a;
  ASSERT_EQ(ImportPictures(cases[0], &a, nullptr, PictureImportOptions{0, 90}), 1);
  EXPECT_EQ(test::ComposedFrames(*a)[2][0], 0u);
}

}  // namespace
}  // namespace lw
