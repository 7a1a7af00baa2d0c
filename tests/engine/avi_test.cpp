#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "color/dib.h"
#include "color/palette_choice.h"
#include "io/avi_export.h"
#include "io/avi_import.h"
#include "io/rle8.h"
#include "model/preferences.h"
#include "platform/progress.h"
#include "platform/recording_ui_hooks.h"
#include "platform/temp_file.h"
#include "support/builders.h"
#include "support/run_command.h"

namespace lw {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool HaveFfmpeg() {
  static const bool have = std::system("ffmpeg -version >/dev/null 2>&1") == 0;
  return have;
}

// Decoded pixels as red-green-blue bytes, frame after frame, as ffmpeg gives them.
std::vector<uint8_t> FfmpegRgb(const std::string& path) {
  std::string out = path + ".rgb";
  std::system(("ffmpeg -v error -y -i '" + path + "' -f rawvideo -pix_fmt rgb24 '" + out + "'").c_str());
  std::vector<uint8_t> rgb = ReadAll(out);
  std::remove(out.c_str());
  return rgb;
}

std::vector<uint32_t> Delays(const Animation& a) {
  std::vector<uint32_t> d;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) d.push_back(f->delay);
  return d;
}

// A pattern of 16 colours that differs from frame to frame.
AnimationPtr Pattern(int w, int h, const std::vector<uint32_t>& delays) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = w;
  a->screenHeight = h;
  SetGlobalPalette(*a, test::MakePalette(16));
  for (size_t k = 0; k < delays.size(); ++k) {
    FramePtr f = test::MakeFrame(w, h, a->globalPalette.get(), [&](int x, int y) {
      return static_cast<uint8_t>((x / 3 + y / 2 + static_cast<int>(k) * 5) % 16);
    });
    f->delay = delays[k];
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
  return a;
}

class Avi : public ::testing::Test {
 protected:
  void SetUp() override {
    ReadPreferences(nullptr);
    SetPreference(kPrefHighColor, ChoiceWithBits(kChoiceAdaptive, 8));
    char pattern[] = "/tmp/lw-avi-XXXXXX";
    dir = mkdtemp(pattern);
  }
  void TearDown() override {
    ReadPreferences(nullptr);
    std::system(("rm -rf '" + dir + "'").c_str());
  }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  // Makes a test movie with ffmpeg's own encoder from its test pattern.
  std::string Make(const std::string& name, const std::string& args) {
    std::string path = Path(name);
    std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=40x30:rate=15 -t 1 " + args + " '" + path + "'")
                    .c_str());
    return path;
  }
  RecordingUiHooks hooks;
  ScopedUiHooks scope{&hooks};
  std::string dir;
};

TEST(AviTimeUnit, IsTheCommonDivisorOfDelaysOfTwoOrMore) {
  auto unit = [](std::vector<uint32_t> d) { return CommonTimeUnit(d.data(), static_cast<int>(d.size())); };
  EXPECT_EQ(unit({10, 20, 30}), 10u);
  EXPECT_EQ(unit({1, 1}), 1u);
  EXPECT_EQ(unit({7, 10}), 1u);
  EXPECT_EQ(unit({6, 6, 6}), 6u);
  EXPECT_EQ(unit({12, 18}), 6u);
  EXPECT_EQ(unit({4, 9}), 1u);
}

TEST(AviRle8, DecodesBackToTheRows) {
  std::mt19937 rng(7);
  for (int width : {1, 2, 3, 5, 17, 300}) {
    const int height = 9;
    const int stride = StrideFor8Bit(width);
    std::vector<uint8_t> rows(static_cast<size_t>(stride * height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        rows[static_cast<size_t>(y * stride + x)] =
            static_cast<uint8_t>(y % 3 == 0 ? rng() % 4 : (y % 3 == 1 ? x / 7 : rng() % 256));
    std::vector<uint8_t> dib(40 + 1024);
    dib[0] = 40;
    dib[4] = static_cast<uint8_t>(width);
    dib[5] = static_cast<uint8_t>(width >> 8);
    dib[8] = height;
    dib[12] = 1;
    dib[14] = 8;
    dib[16] = kDibRle8;
    EncodeRle8(rows.data(), static_cast<size_t>(stride), width, height, &dib);
    DibView view;
    ASSERT_EQ(ReadDib(dib.data(), dib.size(), 0, &view), DibError::kNone);
    std::vector<uint8_t> back(rows.size(), 0xEE);
    DecodeDibRle(view, back.data(), static_cast<size_t>(stride));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        ASSERT_EQ(back[static_cast<size_t>(y * stride + x)], rows[static_cast<size_t>(y * stride + x)])
            << "width " << width << " at " << x << "," << y;
  }
}

TEST_F(Avi, RefusesFramesThatAreNotFullSizedOrOpaque) {
  AnimationPtr a = Pattern(8, 6, {10, 10});
  NthFrame(*a, 1)->left = 1;
  SetTransparent(*NthFrame(*a, 0), true);
  EXPECT_EQ(ExportAvi(Path("x.avi"), *a, kAviRle8), 0);
  NthFrame(*a, 1)->left = 0;
  EXPECT_EQ(ExportAvi(Path("y.avi"), *a, kAviRle8), 0);
  SetTransparent(*NthFrame(*a, 0), false);
  SetLocalPalette(*NthFrame(*a, 1), test::MakePalette(16));
  EXPECT_EQ(ExportAvi(Path("z.avi"), *a, kAviRle8), 0);
  EXPECT_EQ(
      hooks.Texts(),
      (std::vector<std::string>{
          "Unable to write an AVI file when the animation contains frames that are not full-sized. Please "
          "try Unoptimizing first.",
          "Unable to write an AVI file with transparency or local palettes in the animation.",
          "Unable to write an AVI file with transparency or local palettes in the animation."}));
}

// Our own files read back: the gaps the time unit leaves are empty samples, which lengthen the frame
// before them; pixels and palette come back as they were.
TEST_F(Avi, OwnFilesReadBackWithTheirTiming) {
  if (!VideoSupportBuiltIn()) GTEST_SKIP() << "built without video";
  AnimationPtr a = Pattern(13, 7, {10, 20, 30});
  for (AviCompression c : {kAviUncompressed, kAviRle8}) {
    std::string path = Path(c == kAviRle8 ? "rle.avi" : "raw.avi");
    ASSERT_EQ(ExportAviFile(path, *a, c), 1);
    AnimationPtr back;
    ASSERT_EQ(ImportAvi(path, &back, nullptr), 1) << (hooks.Texts().empty() ? "" : hooks.Texts()[0]);
    // Samples 0, 1, 3 and the last image again at 5 of 6.
    EXPECT_EQ(Delays(*back), (std::vector<uint32_t>{10, 20, 20, 10}));
    ASSERT_TRUE(back->globalPalette);
    EXPECT_EQ(back->globalPalette->Count(), 16);
    EXPECT_EQ(*back->globalPalette, *a->globalPalette);
    EXPECT_EQ(back->screenWidth, 13);
    EXPECT_EQ(back->screenHeight, 7);
    for (int k = 0; k < 4; ++k) {
      const Frame* f = NthFrame(*back, k);
      const Frame* g = NthFrame(*a, k < 3 ? k : 2);
      EXPECT_FALSE(f->localPalette);
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) ASSERT_EQ(f->Row(y)[x], g->Row(y)[x]) << k << " " << x << "," << y;
    }
  }
  EXPECT_TRUE(hooks.Texts().empty());
}

TEST_F(Avi, FfmpegPlaysOurFilesWithTheGifColours) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg";
  AnimationPtr a = Pattern(21, 11, {4, 8, 4});
  for (AviCompression c : {kAviUncompressed, kAviRle8}) {
    std::string path = Path(c == kAviRle8 ? "rle.avi" : "raw.avi");
    ASSERT_EQ(ExportAvi(path, *a, c), 1);
    std::string probe = test::RunCommand(
        "ffprobe -v error -count_frames -show_entries stream=codec_name,time_base,nb_read_frames "
        "-of default=nw=1 '" +
        path + "'");
    EXPECT_NE(probe.find(c == kAviRle8 ? "codec_name=msrle" : "codec_name=rawvideo"), std::string::npos)
        << probe;
    EXPECT_NE(probe.find("time_base=1/25"), std::string::npos) << probe;  // scale 4, rate 100
    EXPECT_NE(probe.find("nb_read_frames=3"), std::string::npos)
        << probe;  // samples 0, 1, 3; the repeat falls on 3
    std::vector<uint8_t> rgb = FfmpegRgb(path);
    const size_t frameBytes = 21 * 11 * 3;
    ASSERT_GE(rgb.size(), 3 * frameBytes);
    for (int k = 0; k < 3; ++k) {
      const Frame* f = NthFrame(*a, k);
      for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 21; ++x) {
          const PaletteEntry& c0 = (*a->globalPalette)[f->Row(y)[x]];
          const uint8_t* p =
              &rgb[frameBytes * static_cast<size_t>(k) + static_cast<size_t>((y * 21 + x) * 3)];
          ASSERT_EQ(p[0], c0.red);
          ASSERT_EQ(p[1], c0.green);
          ASSERT_EQ(p[2], c0.blue);
        }
    }
  }
}

TEST_F(Avi, ReadsFfmpegFilesOfEveryDepth) {
  if (!HaveFfmpeg() || !VideoSupportBuiltIn()) GTEST_SKIP() << "no ffmpeg";
  AnimationPtr a;
  // 8 bits: one global palette, rate 15 gives 6 hundredths.
  ASSERT_EQ(ImportAvi(Make("pal.avi", "-pix_fmt pal8 -c:v rawvideo"), &a, nullptr), 1);
  EXPECT_EQ(a->frameCount, 15);
  EXPECT_EQ(Delays(*a), std::vector<uint32_t>(15, 6));
  ASSERT_TRUE(a->globalPalette);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) EXPECT_FALSE(f->localPalette);
  // The picture is ffmpeg's: compare one frame's colours with its own decoding.
  std::vector<uint8_t> rgb = FfmpegRgb(Path("pal.avi"));
  ASSERT_GE(rgb.size(), 40u * 30 * 3);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const PaletteEntry& c = (*a->globalPalette)[FirstFrame(*a)->Row(y)[x]];
      ASSERT_EQ(c.red, rgb[static_cast<size_t>((y * 40 + x) * 3)]) << x << "," << y;
    }

  // 24 bits at 30000/1001: 3 hundredths, every frame on its own adaptive palette, no global palette.
  std::string bgr = Path("bgr.avi");
  std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=40x30:rate=30000/1001 -t 0.5 -pix_fmt bgr24 "
               "-c:v rawvideo '" +
               bgr + "'")
                  .c_str());
  ASSERT_EQ(ImportAvi(bgr, &a, nullptr), 1);
  EXPECT_FALSE(a->globalPalette);
  EXPECT_GE(a->frameCount, 14);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    EXPECT_EQ(f->delay, 3u);
    EXPECT_TRUE(f->localPalette);
  }

  // 16 bits and MJPEG, the web cube as a given choice.
  AviImportOptions web;
  web.highColorChoice = kChoiceWebCube;
  ASSERT_EQ(ImportAvi(Make("555.avi", "-pix_fmt rgb555le -c:v rawvideo"), &a, nullptr, web), 1);
  EXPECT_EQ(a->frameCount, 15);
  EXPECT_EQ(NthFrame(*a, 0)->localPalette->Count(), 256);
  ASSERT_EQ(ImportAvi(Make("mj.avi", "-c:v mjpeg"), &a, nullptr), 1);
  EXPECT_EQ(a->frameCount, 15);

  // The current global palette as the choice: one fixed palette for all.
  PalettePtr current = test::MakePalette(16);
  AviImportOptions global;
  global.highColorChoice = kChoiceGlobalOnly;
  ASSERT_EQ(ImportAvi(Path("mj.avi"), &a, current.get(), global), 1);
  ASSERT_TRUE(a->globalPalette);
  EXPECT_EQ(*a->globalPalette, *current);
  EXPECT_FALSE(FirstFrame(*a)->localPalette);
  EXPECT_TRUE(hooks.Texts().empty());

  // 32 and 4 bits are refused.
  EXPECT_EQ(ImportAvi(Make("b32.avi", "-pix_fmt bgra -c:v rawvideo"), &a, nullptr), 0);
  EXPECT_FALSE(a);
  EXPECT_EQ(hooks.Texts(), std::vector<std::string>{"Can't read this type of AVI: unfamiliar BitCount."});
}

TEST_F(Avi, PaletteChangesGiveLocalPalettes) {
  if (!HaveFfmpeg() || !VideoSupportBuiltIn()) GTEST_SKIP() << "no ffmpeg";
  // Every frame with its own palette: ffmpeg writes palette-change chunks between them.
  std::string path = Path("pc.avi");
  std::system(("ffmpeg -v error -y -f lavfi -i testsrc=size=32x24:rate=10 -t 0.5 -vf \"split[a][b];"
               "[a]palettegen=stats_mode=single:max_colors=16[p];[b][p]paletteuse=new=1\" -c:v rawvideo "
               "-pix_fmt pal8 '" +
               path + "'")
                  .c_str());
  AnimationPtr a;
  ASSERT_EQ(ImportAvi(path, &a, nullptr), 1);
  ASSERT_EQ(a->frameCount, 5);
  EXPECT_FALSE(FirstFrame(*a)->localPalette);
  std::vector<uint8_t> rgb = FfmpegRgb(path);
  for (int k = 0; k < 5; ++k) {
    const Frame* f = NthFrame(*a, k);
    if (k > 0) {
      EXPECT_TRUE(f->localPalette) << k;
    }
    ASSERT_GE(rgb.size(), static_cast<size_t>(32 * 24 * 3 * (k + 1)));
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 32; ++x) {
        const PaletteEntry& c = (*f->palette)[f->Row(y)[x]];
        const uint8_t* p = &rgb[static_cast<size_t>(32 * 24 * 3 * k + (y * 32 + x) * 3)];
        ASSERT_EQ(c.red, p[0]) << k << " " << x << "," << y;
        ASSERT_EQ(c.green, p[1]);
        ASSERT_EQ(c.blue, p[2]);
        ASSERT_EQ(f->bitmap->Colors()[f->Row(y)[x]], c);
      }
  }
}

TEST_F(Avi, MissingStreamAndWindowOnLongMovies) {
  AnimationPtr a;
  std::string none = Path("none.avi");
  std::ofstream(none) << "RIFF not really";
  EXPECT_EQ(ImportAvi(none, &a, nullptr), 0);
  EXPECT_EQ(hooks.Texts(), std::vector<std::string>{"Unable to find video stream in " + none + "."});
  if (!HaveFfmpeg() || !VideoSupportBuiltIn()) GTEST_SKIP() << "no ffmpeg";
  std::string mp4 = Path("v.mkv");
  std::system(
      ("ffmpeg -v error -y -f lavfi -i testsrc=size=40x30:rate=25 -t 3 -c:v mjpeg '" + mp4 + "'").c_str());
  AviImportOptions options;
  options.limit = {1.0, 1.0, 5.0};
  ASSERT_EQ(ImportAvi(mp4, &a, nullptr, options), 1);
  EXPECT_EQ(a->frameCount, 5);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) EXPECT_EQ(f->delay, 20u);
}

// A progress display whose Esc is pressed at the given pump.
class EscAt : public ProgressSink {
 public:
  explicit EscAt(int* pumps) : pumps_(pumps) {}
  void SetText(const std::string&) override {}
  void SetRange(uint32_t) override {}
  void SetPosition(uint32_t) override {}
  bool Pump() override { return --*pumps_ > 0; }

 private:
  int* pumps_;
};

class EscHooks : public RecordingUiHooks {
 public:
  int pumps = 0;
  std::unique_ptr<ProgressSink> CreateProgressDialog() override { return std::make_unique<EscAt>(&pumps); }
};

TEST_F(Avi, EscKeepsTheFramesReadSoFar) {
  if (!VideoSupportBuiltIn()) GTEST_SKIP() << "built without video";
  AnimationPtr a = Pattern(8, 8, {5, 5, 5, 5, 5, 5});
  std::string path = Path("esc.avi");
  ASSERT_EQ(ExportAvi(path, *a, kAviRle8), 1);
  EscHooks esc;
  ScopedUiHooks escScope(&esc);
  esc.pumps = 3;
  AnimationPtr back;
  ASSERT_EQ(ImportAvi(path, &back, nullptr), 2);
  ASSERT_TRUE(back);
  EXPECT_GE(back->frameCount, 1);
  EXPECT_LT(back->frameCount, 6);
  EXPECT_EQ(back->screenWidth, 8);
  // Esc during the export leaves no success behind.
  esc.pumps = 2;
  EXPECT_EQ(ExportAvi(Path("esc2.avi"), *a, kAviRle8), 0);
  EXPECT_TRUE(esc.Texts().empty());
}

#if LW_HAVE_VIDEO
// The decoder lives in a module loaded on first use: a build with video must find it (otherwise every
// movie test above would quietly skip), and the programs must not bind FFmpeg when they start.
TEST(VideoModule, LoadsOnDemandOnly) {
  std::ifstream maps("/proc/self/maps");
  std::string before((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
  if (before.find("loopwright-video.so") == std::string::npos) {
    EXPECT_EQ(before.find("libavformat"), std::string::npos) << "FFmpeg bound without the module";
  }
  EXPECT_TRUE(VideoSupportBuiltIn());
  std::ifstream after("/proc/self/maps");
  std::string loaded((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>());
  EXPECT_NE(loaded.find("loopwright-video.so"), std::string::npos);
  std::string error;
  EXPECT_FALSE(OpenVideoSource("/nonexistent/movie.avi", VideoLimit{}, &error));
  EXPECT_FALSE(error.empty());
}
#endif

}  // namespace
}  // namespace lw
