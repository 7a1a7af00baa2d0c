// import of a movie through the clip encoder, run as a user runs it: one palette, frames trimmed to what
// changed, --quality trading bytes for fidelity, --width/--height scaling first, damaged movies refused with
// the movie import's messages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/cli_run.h"
#include "io/files.h"

namespace lw {
namespace {

using test::Cli;
using test::Load;
using test::TempDir;

bool HaveFfmpeg() {
  return std::system("ffmpeg -version >/dev/null 2>&1") == 0;
}

// A short lossless movie: a noisy moving pattern over a still test card half.
std::string MakeMovie(const TempDir& dir) {
  const std::string movie = dir / "m.mkv";
  std::system(("ffmpeg -v error -y -f lavfi -i testsrc2=size=96x64:rate=10 -f lavfi -i "
               "mandelbrot=size=96x64:rate=10 -filter_complex '[1]noise=alls=12:allf=t[n];"
               "[0][n]blend=all_mode=average' -t 2 -c:v ffv1 '" +
               movie + "'")
                  .c_str());
  return movie;
}

TEST(ClipCli, AMovieComesInOnOnePaletteSmallerAtLowerQualityAndScaled) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  TempDir dir;
  const std::string movie = MakeMovie(dir);
  uintmax_t previous = 0;
  for (const char* quality : {"100", "90", "50"}) {
    const std::string gif = dir / (std::string("q") + quality + ".gif");
    test::CliRun r = Cli("import '" + movie + "' -o '" + gif + "' --quality " + quality, dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    AnimationPtr a = Load(gif);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->frameCount, 20);
    EXPECT_EQ(a->screenWidth, 96);
    ASSERT_TRUE(a->globalPalette);
    for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
      EXPECT_FALSE(f->localPalette);
      EXPECT_EQ(f->delay, 10u);
    }
    const uintmax_t bytes = std::filesystem::file_size(gif);
    if (previous) {
      EXPECT_LT(bytes, previous) << "--quality " << quality;
    }
    previous = bytes;
  }
  const std::string small = dir / "small.gif";
  test::CliRun r = Cli("import '" + movie + "' -o '" + small + "' --width 48 --fps 5", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  AnimationPtr a = Load(small);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->screenWidth, 48);
  EXPECT_EQ(a->screenHeight, 32);
  EXPECT_EQ(a->frameCount, 10);
}

TEST(ClipCli, AFileThatCannotBeWrittenWholeLeavesTheTargetAsItWas) {
  // The frames go to the file while the movie is read; a write failing half way (here a file size limit
  // far under the GIF's) must not leave a half-written target or temporary file behind.
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  TempDir dir;
  const std::string movie = MakeMovie(dir);
  const std::string gif = dir / "keep.gif";
  ASSERT_EQ(Cli("import '" + movie + "' -o '" + gif + "' --quality 50", dir).exitCode, 0);
  const auto before = std::filesystem::file_size(gif);
  ASSERT_GT(before, 20000u);
  test::CliRun r =
      Cli("import '" + movie + "' -o '" + gif + "' --quality 100", dir, "trap '' XFSZ; ulimit -f 16; ");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Error saving to"), std::string::npos) << r.err;
  EXPECT_EQ(std::filesystem::file_size(gif), before);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string().rfind(".GIF", 0), std::string::npos) << entry.path();

  r = Cli("import '" + movie + "' -o '" + (dir / "no/such/folder.gif") + "'", dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Unable to save to"), std::string::npos) << r.err;
}

TEST(ClipCli, DamagedMoviesAndBadSettingsAreRefused) {
  TempDir dir;
  const std::string junk = dir / "junk.mp4";
  std::ofstream(junk) << std::string(4000, 'x');
  test::CliRun r = Cli("import '" + junk + "' -o '" + (dir / "j.gif") + "'", dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Unable to find video stream in"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "j.gif"));

  if (HaveFfmpeg()) {
    // A real movie cut off after its first few hundred bytes: no picture to be had.
    const std::string movie = MakeMovie(dir);
    const std::string cut = dir / "cut.mkv";
    std::filesystem::copy_file(movie, cut);
    std::filesystem::resize_file(cut, 300);
    r = Cli("import '" + cut + "' -o '" + (dir / "c.gif") + "'", dir);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.find("Unable to find video stream in") != std::string::npos ||
                r.err.find("Error encountered while reading video.") != std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "c.gif"));
  }

  for (const char* bad : {"--quality 0", "--quality 101", "--width 0", "--quality 50 --palette adaptive:8"}) {
    r = Cli("import '" + junk + "' -o '" + (dir / "b.gif") + "' " + bad, dir);
    EXPECT_EQ(r.exitCode, 2) << bad;
  }
}

}  // namespace
}  // namespace lw
