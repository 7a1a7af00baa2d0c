// optimize and unoptimize, run as a user runs them: the pictures of the written file are the input's.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_run.h"
#include "engine/support/composed.h"
#include "io/files.h"
#include "optimize/pictures.h"
#include "platform/recording_ui_hooks.h"

namespace lw {
namespace {

using test::Cli;
using test::GifData;
using test::TempDir;

// The pictures in order with how long each is shown, runs of equal pictures joined.
std::vector<std::pair<uint64_t, uint64_t>> TimelineOf(const std::string& path) {
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  AnimationPtr a;
  EXPECT_EQ(ReadAnyFile(path, &a, nullptr), 1) << path;
  std::vector<std::pair<uint64_t, uint64_t>> out;
  if (!a) return out;
  std::vector<uint64_t> digests = PictureDigests(*a);
  size_t i = 0;
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f), ++i) {
    if (!out.empty() && out.back().first == digests[i])
      out.back().second += f->delay;
    else
      out.emplace_back(digests[i], f->delay);
  }
  return out;
}

TEST(OptimizeCli, EveryWayKeepsThePicturesAndBestIsSmallest) {
  TempDir dir;
  for (const char* name : {"fire.gif", "welcome2.gif", "moon_impact.gif"}) {
    const std::string in = GifData(name);
    const auto expected = TimelineOf(in);
    uint64_t sizes[3] = {};
    int k = 0;
    for (const char* flags : {"", "--shrink-frames --transparency", "--best"}) {
      const std::string out = dir / (std::string("o") + std::to_string(k) + ".gif");
      test::CliRun r = Cli("optimize " + in + " -o " + out + " " + flags, dir);
      ASSERT_EQ(r.exitCode, 0) << name << " " << flags << r.err;
      EXPECT_NE(r.out.find(" bytes -> "), std::string::npos) << r.out;
      EXPECT_EQ(TimelineOf(out), expected) << name << " " << flags;
      sizes[k++] = std::filesystem::file_size(out);
    }
    EXPECT_LE(sizes[2], sizes[0]) << name;
    EXPECT_LE(sizes[2], std::filesystem::file_size(in)) << name;
  }
}

TEST(OptimizeCli, BestKeepsAFileItCannotImproveAsItIs) {
  TempDir dir;
  // One small opaque frame: nothing to take away, and a re-encoding would not be smaller.
  const std::string in = GifData("sample_1.gif");
  ASSERT_EQ(Cli("optimize --best " + in + " -o " + (dir / "o.gif"), dir).exitCode, 0);
  EXPECT_LE(std::filesystem::file_size(dir / "o.gif"), std::filesystem::file_size(in));
  EXPECT_EQ(TimelineOf(dir / "o.gif"), TimelineOf(in));
}

TEST(OptimizeCli, RefusesWhatItCannotDo) {
  TempDir dir;
  const std::string in = GifData("fire.gif");
  EXPECT_EQ(Cli("optimize " + in + " -o " + (dir / "o.gif") + " --best --shrink-frames", dir).exitCode, 2);
  EXPECT_EQ(
      Cli("optimize " + in + " -o " + (dir / "o.gif") + " --remove-local-palettes=sometimes", dir).exitCode,
      2);
  EXPECT_EQ(Cli("optimize " + in, dir).exitCode, 2);  // no -o
  EXPECT_FALSE(std::filesystem::exists(dir / "o.gif"));
}

TEST(OptimizeCli, LossyIsSmallerAndMaxSizeFitsOrSaysSo) {
  TempDir dir;
  const std::string in = GifData("moon_impact.gif");  // a photo-like animation of 256 colours
  ASSERT_EQ(Cli("optimize " + in + " -o " + (dir / "plain.gif") + " --quiet", dir).exitCode, 0);
  test::CliRun r = Cli("optimize " + in + " -o " + (dir / "lossy.gif") + " --lossy=30 --quiet", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto plain = std::filesystem::file_size(dir / "plain.gif");
  EXPECT_LT(std::filesystem::file_size(dir / "lossy.gif"), plain);

  const std::string limit = std::to_string(plain * 9 / 10);
  r = Cli("optimize " + in + " -o " + (dir / "fit.gif") + " --max-size " + limit, dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_LE(std::filesystem::file_size(dir / "fit.gif"), plain * 9 / 10);
  EXPECT_NE(r.out.find("fits under"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("PSNR"), std::string::npos) << r.out;

  r = Cli("optimize " + in + " -o " + (dir / "tiny.gif") + " --max-size 300", dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot fit under 300 bytes"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "tiny.gif"));
  EXPECT_EQ(Cli("optimize " + in + " -o " + (dir / "x.gif") + " --lossy=256", dir).exitCode, 2);
  EXPECT_EQ(Cli("optimize " + in + " -o " + (dir / "x.gif") + " --lossy --max-size 9000", dir).exitCode, 2);
}

TEST(OptimizeCli, RemovingLocalPalettesCleanlyKeepsThePictures) {
  TempDir dir;
  const std::string in = GifData("welcome2.gif");  // frames 2, 4 and 6 carry local palettes
  test::CliRun r = Cli("optimize " + in + " -o " + (dir / "o.gif") + " --remove-local-palettes=clean", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(TimelineOf(dir / "o.gif"), TimelineOf(in));
}

TEST(UnoptimizeCli, FullPicturesAlsoFromFramesWithLocalPalettes) {
  TempDir dir;
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  for (const char* name : {"fire.gif", "welcome2.gif"}) {  // the second has local palettes
    const std::string out = dir / (std::string("u_") + name);
    test::CliRun r = Cli("unoptimize " + GifData(name) + " -o " + out, dir);
    ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
    AnimationPtr in, u;
    ASSERT_EQ(ReadAnyFile(GifData(name), &in, nullptr), 1);
    ASSERT_EQ(ReadAnyFile(out, &u, nullptr), 1);
    EXPECT_EQ(test::ComposedFrames(*u), test::ComposedFrames(*in)) << name;
    for (const Frame* f = FirstFrame(*u); f; f = NextFrame(f)) {
      EXPECT_EQ(f->width, u->screenWidth) << name;
      EXPECT_EQ(f->height, u->screenHeight) << name;
    }
  }
}

}  // namespace
}  // namespace lw
