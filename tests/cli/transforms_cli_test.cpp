// resize, reverse, speed, drop-frames, crop-screen and dedupe, run as a user runs them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "cli/cli_run.h"
#include "engine/support/composed.h"
#include "optimize/pictures.h"

namespace lw {
namespace {

using test::ComposedFrames;
using test::FrameDelays;

using test::Cli;
using test::GifData;
using test::Load;
using test::TempDir;

// ImageMagick itself, not a wrapper in front of it.
const char* kMagick = "/usr/bin/convert";

TEST(TransformsCli, ResizeAgreesWithImageMagickInLinearLight) {
  if (!std::filesystem::exists(kMagick)) GTEST_SKIP() << "ImageMagick is not installed";
  TempDir dir;
  const std::string in = GifData("moon_impact.gif");  // 14 frames of 116 x 100, photographic
  ASSERT_EQ(Cli("resize " + in + " -o " + (dir / "r.gif") + " --scale 50", dir).exitCode, 0);
  AnimationPtr r = Load(dir / "r.gif");
  ASSERT_EQ(r->screenWidth, 58);
  ASSERT_EQ(r->screenHeight, 50);
  const std::string magick =
      std::string(kMagick) + " " + in +
      " -coalesce -colorspace RGB -filter Lanczos -resize 50% -colorspace sRGB +adjoin "
      "-depth 8 rgba:" +
      (dir / "im_%d.rgba");
  ASSERT_EQ(std::system(magick.c_str()), 0);
  const auto pictures = ComposedFrames(*r);
  ASSERT_EQ(pictures.size(), 14u);
  double total = 0;
  size_t count = 0;
  for (size_t k = 0; k < pictures.size(); ++k) {
    std::ifstream raw(dir / ("im_" + std::to_string(k) + ".rgba"), std::ios::binary);
    std::vector<uint8_t> im((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
    ASSERT_EQ(im.size(), pictures[k].size() * 4);
    for (size_t i = 0; i < pictures[k].size(); ++i) {
      const RgbaPixel p = pictures[k][i];
      for (int c = 0; c < 3; ++c) total += std::abs(int((p >> (8 * c)) & 0xFF) - int(im[i * 4 + size_t(c)]));
      count += 3;
    }
  }
  // The same filter; the difference is the mapping back onto the 256-colour palettes.
  EXPECT_LT(total / static_cast<double>(count), 6.0);
  EXPECT_EQ(Cli("resize " + in + " -o " + (dir / "x.gif") + " --scale 50 --size 3x3", dir).exitCode, 2);
  EXPECT_EQ(Cli("resize " + in + " -o " + (dir / "x.gif") + " --size 10x10 --filter cubic", dir).exitCode, 2);
  ASSERT_EQ(Cli("resize " + in + " -o " + (dir / "w.gif") + " --size 232x0 --filter nearest", dir).exitCode,
            0);
  EXPECT_EQ(Load(dir / "w.gif")->screenHeight, 200);

  // With --lossy the same resize, smaller, every pixel within the level of the lossless one.
  ASSERT_EQ(Cli("resize " + in + " -o " + (dir / "l.gif") + " --scale 50 --lossy=30", dir).exitCode, 0);
  EXPECT_LT(std::filesystem::file_size(dir / "l.gif"), std::filesystem::file_size(dir / "r.gif"));
  const auto lossy = ComposedFrames(*Load(dir / "l.gif"));
  ASSERT_EQ(lossy.size(), pictures.size());
  for (size_t k = 0; k < lossy.size(); ++k)
    for (size_t i = 0; i < lossy[k].size(); ++i) {
      double d2 = 0;
      for (int c = 0; c < 3; ++c) {
        const double d = double((lossy[k][i] >> (8 * c)) & 0xFF) - double((pictures[k][i] >> (8 * c)) & 0xFF);
        d2 += d * d;
      }
      ASSERT_LE(std::sqrt(d2), 30.0) << "frame " << k << " pixel " << i;
    }
  EXPECT_EQ(Cli("resize " + in + " -o " + (dir / "x.gif") + " --scale 50 --lossy=256", dir).exitCode, 2);
}

TEST(TransformsCli, ReverseSpeedDropAndDedupeKeepPicturesAndTiming) {
  TempDir dir;
  const std::string in = GifData("fire.gif");
  AnimationPtr original = Load(in);
  const auto pictures = ComposedFrames(*original);
  const auto delays = FrameDelays(*original);
  ASSERT_EQ(Cli("reverse " + in + " -o " + (dir / "r.gif"), dir).exitCode, 0);
  auto reversed = ComposedFrames(*Load(dir / "r.gif"));
  std::reverse(reversed.begin(), reversed.end());
  EXPECT_EQ(reversed, pictures);

  test::CliRun s = Cli("speed " + in + " -o " + (dir / "s.gif") + " --factor 4", dir);
  ASSERT_EQ(s.exitCode, 0);
  const auto fast = FrameDelays(*Load(dir / "s.gif"));
  ASSERT_EQ(fast.size(), delays.size());
  for (size_t i = 0; i < fast.size(); ++i)
    EXPECT_EQ(fast[i], delays[i] ? std::max<uint32_t>(1, uint32_t(std::lround(delays[i] / 4.0))) : 0u);
  EXPECT_EQ(Cli("speed " + in + " -o " + (dir / "x.gif") + " --factor 0", dir).exitCode, 2);

  ASSERT_EQ(Cli("drop-frames " + in + " -o " + (dir / "d.gif") + " --every 2", dir).exitCode, 0);
  AnimationPtr d = Load(dir / "d.gif");
  EXPECT_EQ(d->frameCount, (original->frameCount + 1) / 2);
  const auto kept = FrameDelays(*d);
  EXPECT_EQ(std::accumulate(kept.begin(), kept.end(), 0u), std::accumulate(delays.begin(), delays.end(), 0u));
  EXPECT_EQ(ComposedFrames(*d)[1], pictures[2]);
  EXPECT_EQ(Cli("drop-frames " + in + " -o " + (dir / "x.gif") + " --every 2 --fps 5", dir).exitCode, 2);

  ASSERT_EQ(Cli("dedupe " + (dir / "d.gif") + " -o " + (dir / "u.gif"), dir).exitCode, 0);
  EXPECT_EQ(Load(dir / "u.gif")->frameCount, d->frameCount);  // no two neighbours alike in fire.gif
}

TEST(TransformsCli, CropScreenTakesTheRectangleOfEveryPicture) {
  TempDir dir;
  const std::string in = GifData("fire.gif");  // 30 x 60
  ASSERT_EQ(Cli("crop-screen " + in + " -o " + (dir / "c.gif") + " --rect 5,10,20x30", dir).exitCode, 0);
  AnimationPtr c = Load(dir / "c.gif");
  EXPECT_EQ(c->screenWidth, 20);
  EXPECT_EQ(c->screenHeight, 30);
  const auto before = ComposedFrames(*Load(in)), after = ComposedFrames(*c);
  ASSERT_EQ(after.size(), before.size());
  for (size_t k = 0; k < after.size(); ++k) EXPECT_EQ(after[k][0], before[k][10 * 30 + 5]) << k;
  test::CliRun r = Cli("crop-screen " + in + " -o " + (dir / "x.gif") + " --rect 20,10,20x30", dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not inside"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "x.gif"));
  EXPECT_EQ(Cli("crop-screen " + in + " -o " + (dir / "x.gif") + " --rect 1,2,3", dir).exitCode, 2);
}

TEST(TransformsCli, AHugeScreenIsRefusedByEachCommandThatComposesItAndCroppedByCrop) {
  TempDir dir;
  // Screen 65535 x 65535, a two-colour table, three 1 x 1 frames of 10 hundredths.
  std::vector<uint8_t> gif = {'G',  'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF,
                              0x80, 0,   0,   0,   0,   0,   255,  255,  255};
  for (int k = 0; k < 3; ++k)
    gif.insert(gif.end(),
               {0x21, 0xF9, 4, 0, 10, 0, 0, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0});
  gif.push_back(0x3B);
  const std::string in = dir / "huge.gif";
  std::ofstream(in, std::ios::binary)
      .write(reinterpret_cast<const char*>(gif.data()), std::streamsize(gif.size()));
  for (const char* command : {"resize IN --scale 50", "resize IN --size 64x64", "reverse IN",
                              "drop-frames IN --every 2", "drop-frames IN --fps 5", "dedupe IN"}) {
    std::string line = command;
    line.replace(line.find("IN"), 2, in + " -o " + (dir / "x.gif"));
    test::CliRun r = Cli(line, dir);
    EXPECT_EQ(r.exitCode, 1) << command;
    EXPECT_EQ(r.err, "loopwright-cli: Not enough memory to hold 3 frames of 65535 x 65535 pixels.\n")
        << command;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.gif")) << command;
  }
  ASSERT_EQ(Cli("crop-screen " + in + " -o " + (dir / "c.gif") + " --rect 0,0,16x8", dir).exitCode, 0);
  EXPECT_EQ(Load(dir / "c.gif")->screenWidth, 16);
}

}  // namespace
}  // namespace lw
