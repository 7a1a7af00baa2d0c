// import (pictures and movies) and export-avi, run as a user runs them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/cli_run.h"
#include "io/files.h"
#include "platform/recording_ui_hooks.h"

namespace lw {
namespace {

using test::Cli;
using test::GifData;
using test::Load;
using test::TempDir;

bool HaveFfmpeg() {
  return std::system("ffmpeg -version >/dev/null 2>&1") == 0;
}

TEST(AviCli, ImportsPicturesAndMoviesAndExportsBack) {
  TempDir dir;
  std::string bmp = std::string(LW_TEST_DATA) + "/bmp/rgb24.bmp";
  std::string one = dir / "one.gif";
  test::CliRun r = Cli("import '" + bmp + "' -o '" + one + "' --palette webcube --no-dither", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  AnimationPtr a = Load(one);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->frameCount, 1);

  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  std::string movie = dir / "m.webm";
  std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=48x32:rate=25 -t 4 -c:v libvpx '" + movie +
               "' || ffmpeg -v error -y -f lavfi -i testsrc=size=48x32:rate=25 -t 4 -c:v mjpeg '" + movie +
               "'")
                  .c_str());
  std::string gif = dir / "m.gif";
  r = Cli("import '" + movie + "' -o '" + gif + "' --start 1 --duration 2 --fps 4 --palette adaptive:6", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  a = Load(gif);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->frameCount, 8);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    EXPECT_EQ(f->delay, 25u);
    ASSERT_TRUE(f->localPalette);
    EXPECT_LE(f->localPalette->Count(), 64);
  }
  // Local palettes are refused by the export; a GIF on one palette goes through.
  std::string avi = dir / "m.avi";
  r = Cli("export-avi '" + gif + "' -o '" + avi + "'", dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Unable to write an AVI file with transparency or local palettes in the animation."),
            std::string::npos)
      << r.err;
  r = Cli("export-avi '" + GifData("fire.gif") + "' -o '" + avi + "' --uncompressed", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  {
    std::string probe = dir / "probe.txt";
    std::system(
        ("ffprobe -v error -show_entries stream=codec_name -of default=nw=1 '" + avi + "' >'" + probe + "'")
            .c_str());
    std::ifstream in(probe);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "codec_name=rawvideo");
  }
  r = Cli("import '" + movie + "' -o '" + gif + "' --fps 0", dir);
  EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace lw
