// import of pictures and export to APNG/WebP/MP4/WebM, run as a user runs them: frames rendered to PNG
// files by the tool come back as the same animation, and an exported animation reads back the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "cli/cli_run.h"
#include "engine/support/composed.h"
#include "platform/picture_source.h"

namespace lw {
namespace {

using test::Cli;
using test::TempDir;

std::string Gif(const std::string& name) {
  return std::string(LW_TEST_DATA) + "/gif/" + name;
}

class PictureCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PictureSupportBuiltIn()) GTEST_SKIP() << "built without the picture module";
  }
  TempDir dir;
};

TEST_F(PictureCli, RenderedFramesImportBackAsTheSameAnimation) {
  const std::string in = Gif("x-trans.gif");
  AnimationPtr original = test::Load(in);
  ASSERT_TRUE(original);
  ASSERT_EQ(Cli("render " + in + " --out " + (dir / "frames"), dir).exitCode, 0);
  std::string list;
  // Given in reverse: the frames come in the order given.
  for (int i = original->frameCount; i >= 1; --i) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04d.png", i);
    list += " " + (dir / "frames") + "/" + name;
  }
  test::CliRun r = Cli("import" + list + " -o " + (dir / "back.gif"), dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  AnimationPtr back = test::Load(dir / "back.gif");
  ASSERT_TRUE(back);
  ASSERT_EQ(back->frameCount, original->frameCount);
  auto want = test::ComposedFrames(*original);
  std::reverse(want.begin(), want.end());
  EXPECT_EQ(test::ComposedFrames(*back), want);
}

TEST_F(PictureCli, ExportReadsBackWithTheSameFramesAndDelays) {
  const std::string in = Gif("beacon.gif");
  AnimationPtr original = test::Load(in);
  ASSERT_TRUE(original);
  for (const char* name : {"out.apng", "out.webp"}) {
    test::CliRun r = Cli("export " + in + " -o " + (dir / name), dir);
    ASSERT_EQ(r.exitCode, 0) << name << r.err;
    r = Cli("import " + (dir / name) + " -o " + (dir / (std::string(name) + ".gif")), dir);
    ASSERT_EQ(r.exitCode, 0) << name << r.err;
    AnimationPtr back = test::Load(dir / (std::string(name) + ".gif"));
    ASSERT_TRUE(back);
    EXPECT_EQ(test::ComposedFrames(*back), test::ComposedFrames(*original)) << name;
    std::vector<uint32_t> delays = test::FrameDelays(*original);
    for (uint32_t& d : delays) d = d < 2 ? 10 : d;  // played as browsers play them
    EXPECT_EQ(test::FrameDelays(*back), delays) << name;
  }
  test::CliRun r = Cli("export " + in + " -o " + (dir / "small.webp") + " --quality 40", dir);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_LT(std::filesystem::file_size(dir / "small.webp"), std::filesystem::file_size(dir / "out.webp") * 2);
}

// An APNG of over a thousand colours a frame imports as a movie does without --palette: one palette, no
// frame's own, and --quality trades picture for bytes.
TEST_F(PictureCli, AnAnimatedPictureGetsOnePaletteAcrossItsFrames) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
  const std::string apng = dir / "card.apng";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i mandelbrot=size=96x64:rate=10 -frames:v 8 -plays 0 "
                         "-f apng '" +
                         apng + "'")
                            .c_str()),
            0);
  test::CliRun r = Cli("import " + apng + " -o " + (dir / "q90.gif"), dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = Cli("info " + (dir / "q90.gif"), dir);
  EXPECT_NE(r.out.find("Frames: 8"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Global palette: 256 colours"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("local palette"), std::string::npos) << r.out;
  ASSERT_EQ(Cli("import " + apng + " -o " + (dir / "q30.gif") + " --quality 30", dir).exitCode, 0);
  EXPECT_LT(std::filesystem::file_size(dir / "q30.gif"), std::filesystem::file_size(dir / "q90.gif"));
  // A palette per frame stays a flag away.
  ASSERT_EQ(Cli("import " + apng + " -o " + (dir / "own.gif") + " --palette adaptive", dir).exitCode, 0);
  EXPECT_NE(Cli("info " + (dir / "own.gif"), dir).out.find("local palette"), std::string::npos);
  for (const char* wrong : {" --quality 30 --palette adaptive", " --fps 5", " --width 40"}) {
    r = Cli("import " + apng + " -o " + (dir / "x.gif") + wrong, dir);
    EXPECT_NE(r.exitCode, 0) << wrong;
    EXPECT_FALSE(r.err.empty()) << wrong;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "x.gif"));
}

TEST_F(PictureCli, UsageMistakesAreRefused) {
  const std::string in = Gif("beacon.gif");
  for (const std::string& args : {"export " + in + " -o " + (dir / "x.gif"),
                                  "export " + in + " -o " + (dir / "x.mp4") + " --quality 50",
                                  "export " + in + " -o " + (dir / "x.webp") + " --quality 101",
                                  "export " + in + " -o " + (dir / "x.webp") + " --quality 50 --lossless",
                                  "import " + in + " " + in + " -o " + (dir / "x.gif")}) {
    test::CliRun r = Cli(args, dir);
    EXPECT_NE(r.exitCode, 0) << args;
    EXPECT_FALSE(r.err.empty()) << args;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "x.mp4"));
}

}  // namespace
}  // namespace lw
