// Movies of widths and heights that do not suit the scaler's alignment, in every pixel format the video
// source converts. Run under valgrind by CTest as well: the scaler's own vector code is not instrumented by
// the sanitizers, so a write past the end of a row shows only there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "color/palette_choice.h"
#include "io/avi_import.h"
#include "platform/video_source.h"
#include "support/builders.h"
#include "support/hooks_fixture.h"

namespace lw {
namespace {

bool HaveFfmpeg() {
  static const bool have = std::system("ffmpeg -version >/dev/null 2>&1") == 0;
  return have;
}

bool Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class VideoSizes : public test::RecordingTest {
 protected:
  void SetUp() override {
    RecordingTest::SetUp();
    if (!HaveFfmpeg() || !VideoSupportBuiltIn()) GTEST_SKIP() << "no ffmpeg or built without video";
    options.highColorChoice = ChoiceWithBits(kChoiceAdaptive | kChoiceDither, 8);
  }

  // Two frames of ffmpeg's test picture with two bits per channel (64 colours at most, so that an adaptive
  // palette holds them exactly) in the pixel format.
  std::string Make(int w, int h, const std::string& pixFmt, const std::string& ext) {
    std::string path = dir / (pixFmt + "_" + std::to_string(w) + "x" + std::to_string(h) + "." + ext);
    Shell("ffmpeg -v error -y -f lavfi -i testsrc=size=" + std::to_string(w) + "x" + std::to_string(h) +
          ":rate=10 -frames:v 2 -vf "
          "\"format=rgb24,lutrgb=r='bitand(val,192)':g='bitand(val,192)':b='bitand(val,192)'\" "
          "-pix_fmt " +
          pixFmt + " -c:v rawvideo '" + path + "'");
    return path;
  }

  // The frame's colours against ffmpeg's own decoding to red-green-blue bytes.
  static void ExpectSameColours(const Animation& a, const std::vector<uint8_t>& rgb,
                                const std::string& what) {
    const size_t w = static_cast<size_t>(a.screenWidth), h = static_cast<size_t>(a.screenHeight);
    ASSERT_GE(rgb.size(), w * h * 3) << what;
    const Frame* f = FirstFrame(a);
    for (size_t y = 0; y < h; ++y)
      for (size_t x = 0; x < w; ++x) {
        const PaletteEntry& c = (*f->palette)[f->Row(static_cast<int>(y))[x]];
        const uint8_t* p = &rgb[(y * w + x) * 3];
        ASSERT_TRUE(c.red == p[0] && c.green == p[1] && c.blue == p[2]) << what << " at " << x << "," << y;
      }
  }

  test::TempDir dir;
  AviImportOptions options;
};

TEST_F(VideoSizes, EveryFormatAndOddWidthImports) {
  const int widths[] = {1, 3, 15, 17, 33, 199, 200, 201};
  const int heights[] = {1, 5, 2, 17, 3, 150, 9, 31};
  // All but 16 bits come out through the 24-bit path; the AVI holds the 16-bit stream that uses the other.
  const std::pair<const char*, const char*> formats[] = {
      {"yuv420p", "nut"}, {"yuva420p", "nut"}, {"rgb24", "nut"},    {"bgra", "nut"},
      {"pal8", "nut"},    {"gray", "nut"},     {"rgb555le", "nut"}, {"rgb555le", "avi"}};
  for (size_t i = 0; i < std::size(widths); ++i) {
    for (const auto& [pixFmt, ext] : formats) {
      const std::string path = Make(widths[i], heights[i], pixFmt, ext);
      const std::string what = path.substr(path.rfind('/') + 1);
      AnimationPtr a;
      ASSERT_EQ(ImportAvi(path, &a, nullptr, options), 1) << what;
      ASSERT_EQ(a->frameCount, 2) << what;
      EXPECT_EQ(a->screenWidth, widths[i]) << what;
      EXPECT_EQ(a->screenHeight, heights[i]) << what;
      // Formats whose conversion to red-green-blue has one answer must give ffmpeg's colours exactly.
      const std::string f = pixFmt;
      if (f == "rgb24" || f == "bgra" || f == "pal8" || f == "gray") {
        const std::string rgb = path + ".rgb";
        ASSERT_TRUE(Shell("ffmpeg -v error -y -i '" + path + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" +
                          rgb + "'"));
        ExpectSameColours(*a, ReadAll(rgb), what);
      }
    }
  }
  EXPECT_TRUE(hooks.Texts().empty());
}

// A lossy WebP with alpha is read as a one-frame movie with a 4:2:0 picture and an alpha plane.
TEST_F(VideoSizes, StillWebpWithAlpha) {
  const std::string path = dir / "alpha.webp";
  if (!Shell("ffmpeg -v error -y -f lavfi -i testsrc=size=200x150 -frames:v 1 -vf format=yuva420p "
             "-c:v libwebp '" +
             path + "'"))
    GTEST_SKIP() << "ffmpeg without a WebP encoder";
  AnimationPtr a;
  ASSERT_EQ(ImportAvi(path, &a, nullptr, options), 1);
  EXPECT_EQ(a->frameCount, 1);
  EXPECT_EQ(a->screenWidth, 200);
  EXPECT_EQ(a->screenHeight, 150);
}

}  // namespace
}  // namespace lw
