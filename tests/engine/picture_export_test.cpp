#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "io/files.h"
#include "io/picture_export.h"
#include "io/picture_import.h"
#include "platform/picture_source.h"
#include "support/builders.h"
#include "support/composed.h"
#include "support/hooks_fixture.h"
#include "support/run_command.h"
#include "support/stop_after.h"

namespace lw {
namespace {

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// 16 colours, a transparent corner, a frame smaller than the screen with an offset, and variable delays.
AnimationPtr Sample(const std::vector<uint32_t>& delays) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = 41;  // odd sides: the movies pad them
  a->screenHeight = 27;
  SetGlobalPalette(*a, test::MakePalette(16));
  for (size_t k = 0; k < delays.size(); ++k) {
    const bool part = k == 2;
    FramePtr f = test::MakeFrame(part ? 20 : 41, part ? 10 : 27, a->globalPalette.get(), [&](int x, int y) {
      return static_cast<uint8_t>((x / 4 + y / 3 + static_cast<int>(k) * 3) % 15 + 1);
    });
    if (part) SetFramePosition(*f, 9, 7);
    if (k == 0) {
      SetTransparentIndex(*f, 0);
      SetTransparent(*f, true);
    }
    f->delay = delays[k];
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
  a->loopCount = 0;
  return a;
}

// The time each frame is shown, in milliseconds, from the packets ffprobe lists.
std::vector<long> ProbedDurations(const std::string& path) {
  std::istringstream out(test::RunCommand(
      "ffprobe -v error -select_streams v:0 -show_entries packet=pts_time -of csv=p=0 " + path));
  std::vector<long> pts;
  for (std::string line; std::getline(out, line);)
    if (!line.empty()) pts.push_back(std::lround(std::stod(line) * 1000));
  std::sort(pts.begin(), pts.end());
  std::vector<long> d;
  for (size_t i = 1; i < pts.size(); ++i) d.push_back(pts[i] - pts[i - 1]);
  return d;
}

class PictureExportSizes : public test::RecordingTest {};

class PictureExport : public test::RecordingTest {
 protected:
  void SetUp() override {
    test::RecordingTest::SetUp();
    if (!PictureSupportBuiltIn()) GTEST_SKIP() << "built without the picture module";
  }
  test::TempDir dir;
};

TEST_F(PictureExport, FormatsFromTheName) {
  EXPECT_EQ(MovieFormatForName("a/b.APNG"), MovieFormat::kApng);
  EXPECT_EQ(MovieFormatForName("b.webp"), MovieFormat::kWebp);
  EXPECT_EQ(MovieFormatForName("b.Mp4"), MovieFormat::kMp4);
  EXPECT_EQ(MovieFormatForName("b.webm"), MovieFormat::kWebm);
  EXPECT_FALSE(MovieFormatForName("b.gif"));
  EXPECT_FALSE(MovieFormatForName("dir.webp/name"));
  EXPECT_EQ(FramePattern("/a/b 100%.png"), "/a/b 100%%_%04d.png");
  EXPECT_EQ(FramePattern("/a.b/c"), "/a.b/c_%04d.png");
  EXPECT_EQ(FrameDurationMs(0), 100u);
  EXPECT_EQ(FrameDurationMs(1), 100u);
  EXPECT_EQ(FrameDurationMs(7), 70u);
}

// APNG and lossless WebP come back through our reader frame for frame, with their delays.
TEST_F(PictureExport, ApngAndWebpReadBackTheSame) {
  const std::vector<uint32_t> delays = {5, 12, 3, 40};
  AnimationPtr a = Sample(delays);
  for (const char* name : {"out.apng", "out.webp"}) {
    const std::string path = dir / name;
    ASSERT_EQ(ExportPictures(path, *a, *MovieFormatForName(path)), 1) << name;
    AnimationPtr back;
    ASSERT_EQ(ReadAnyFile(path, &back, nullptr), 1)
        << name << (hooks.Texts().empty() ? "" : hooks.Texts()[0]);
    EXPECT_EQ(back->frameCount, 4) << name;
    EXPECT_EQ(test::FrameDelays(*back), delays) << name;
    EXPECT_EQ(back->loopCount, 0u) << name;
    EXPECT_EQ(test::ComposedFrames(*back), test::ComposedFrames(*a)) << name;
  }
  if (HaveTool("webpinfo")) {
    const std::string info = test::RunCommand("webpinfo " + (dir / "out.webp"));
    for (uint32_t d : delays)
      EXPECT_NE(info.find("Duration: " + std::to_string(d * 10)), std::string::npos) << info;
  }
  if (HaveTool("ffprobe")) {
    const std::string frames = test::RunCommand(
        "ffprobe -v error -count_frames -show_entries stream=nb_read_frames "
        "-of csv=p=0 " +
        (dir / "out.apng"));
    EXPECT_EQ(std::stoi(frames), 4);
  }
}

// A PNG per frame: the composed pictures, which come back as a sequence in name order.
TEST_F(PictureExport, PngPerFrameHoldsTheComposedPictures) {
  AnimationPtr a = Sample({5, 12, 3, 40});
  ASSERT_EQ(ExportPictures(dir / "shot.png", *a, MovieFormat::kPngFrames), 1)
      << (hooks.Texts().empty() ? "" : hooks.Texts()[0]);
  std::vector<std::string> files;
  for (int i = 1; i <= 4; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "shot_%04d.png", i);
    files.push_back(dir / name);
    ASSERT_TRUE(std::filesystem::exists(files.back())) << files.back();
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "shot_0005.png"));
  AnimationPtr back;
  ASSERT_EQ(ImportPictures(files, &back, nullptr), 1);
  EXPECT_EQ(test::ComposedFrames(*back), test::ComposedFrames(*a));
}

TEST_F(PictureExport, LossyAndLosslessWebpAreWhatWasAsked) {
  AnimationPtr a = Sample({10, 10});
  ASSERT_EQ(ExportPictures(dir / "lossless.webp", *a, MovieFormat::kWebp), 1);
  PictureExportOptions lossy;
  lossy.lossless = false;
  lossy.quality = 30;
  ASSERT_EQ(ExportPictures(dir / "lossy.webp", *a, MovieFormat::kWebp, lossy), 1);
  if (HaveTool("webpinfo")) {
    EXPECT_NE(test::RunCommand("webpinfo " + (dir / "lossy.webp")).find("Format: Lossy"), std::string::npos);
    EXPECT_NE(test::RunCommand("webpinfo " + (dir / "lossless.webp")).find("Format: Lossless"),
              std::string::npos);
  }
  AnimationPtr back;
  ASSERT_EQ(ReadAnyFile(dir / "lossy.webp", &back, nullptr), 1);
  EXPECT_EQ(back->frameCount, 2);
}

// Movies: the frame count and every frame's time on the time line as ffprobe reads them.
TEST_F(PictureExport, MoviesKeepFrameCountAndTiming) {
  if (!HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe not at hand";
  const std::vector<uint32_t> delays = {5, 12, 3, 40, 7};
  AnimationPtr a = Sample(delays);
  for (const char* name : {"out.mp4", "out.webm"}) {
    const std::string path = dir / name;
    ASSERT_EQ(ExportPictures(path, *a, *MovieFormatForName(path)), 1)
        << name << (hooks.Texts().empty() ? "" : hooks.Texts()[0]);
    const std::string frames = test::RunCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames,width,height "
        "-of csv=p=0 " +
        path);
    EXPECT_EQ(frames, "42,28,5\n") << name;
    EXPECT_EQ(ProbedDurations(path), (std::vector<long>{50, 120, 30, 400})) << name;
  }
}

// Odd and tiny sizes through every format: the encoders' scalers read and write past the ends of rows, so
// the buffers handed to them must be FFmpeg's own (this test also runs under valgrind).
TEST_F(PictureExportSizes, OddSizesInEveryFormat) {
  if (!PictureSupportBuiltIn()) GTEST_SKIP() << "built without the picture module";
  test::TempDir dir;
  for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{17, 9}, std::pair{2, 33}}) {
    AnimationPtr a = test::MakeAnimation(2, w, h, 4);
    for (const char* name : {"out.mp4", "out.webm", "out.apng", "out.webp"}) {
      const std::string path = dir / name;
      EXPECT_EQ(ExportPictures(path, *a, *MovieFormatForName(path)), 1) << w << "x" << h << " " << name;
    }
  }
}

// The progress dialog's Esc stops the export and leaves no file behind; a failed export says so.
TEST_F(PictureExport, StoppedOrFailedExportsLeaveNothing) {
  struct StoppingHooks : RecordingUiHooks {
    std::unique_ptr<ProgressSink> CreateProgressDialog() override {
      return std::make_unique<test::StopAfter>(1);
    }
  } stopping;
  ScopedUiHooks scope(&stopping);
  AnimationPtr a = Sample({5, 5, 5, 5});
  EXPECT_EQ(ExportPictures(dir / "stopped.webp", *a, MovieFormat::kWebp), 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "stopped.webp"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0)
      << "a temporary file was left";
  EXPECT_EQ(ExportPictures(dir / "missing/folder/x.apng", *a, MovieFormat::kApng), 0);
  ASSERT_EQ(stopping.Texts().size(), 1u);
  EXPECT_NE(stopping.Texts()[0].find("Unable to write"), std::string::npos);
}

}  // namespace
}  // namespace lw
