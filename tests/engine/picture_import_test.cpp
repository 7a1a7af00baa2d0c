#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "gif/gif_reader.h"
#include "gif/gif_sink.h"
#include "gif/gif_writer.h"
#include "io/files.h"
#include "io/picture_frames.h"
#include "io/picture_import.h"
#include "model/limits.h"
#include "platform/picture_source.h"
#include "support/builders.h"
#include "support/composed.h"
#include "support/hooks_fixture.h"
#include "support/png_files.h"
#include "support/run_command.h"

namespace lw {
namespace {

using test::RgbaPicture;

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// A picture with a square that moves and changes colour from frame to frame, and a transparent corner.
RgbaPicture Scene(int w, int h, int k) {
  RgbaPicture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 4)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* px = p.At(x, y);
      const bool square = x >= 4 + 3 * k && x < 12 + 3 * k && y >= 5 && y < 13;
      px[0] = square ? 250 : static_cast<uint8_t>(20 * (x / 8));
      px[1] = square ? 30 : static_cast<uint8_t>(40 * (y / 8));
      px[2] = square ? static_cast<uint8_t>(60 * k) : 90;
      px[3] = x + y < 4 ? 0 : 255;
    }
  return p;
}

// What the GIF shows: opaque pixels in their colour, transparent ones as 0.
std::vector<uint32_t> Expected(const RgbaPicture& p) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < p.rgba.size(); i += 4) {
    const uint8_t* s = &p.rgba[i];
    out.push_back(s[3] >= kOpaqueAlpha ? 0xFF000000u | s[2] << 16 | s[1] << 8 | s[0] : 0u);
  }
  return out;
}

// The Animation after a trip through the GIF writer and reader.
AnimationPtr ThroughGif(Animation& a) {
  MemorySink sink;
  EXPECT_EQ(WriteGif(sink, a, nullptr), 1);
  AnimationPtr back;
  EXPECT_EQ(ReadGif(sink.bytes.data(), sink.bytes.size(), &back, nullptr), 1);
  return back;
}

class PictureImport : public test::RecordingTest {
 protected:
  void SetUp() override {
    test::RecordingTest::SetUp();
    if (!PictureSupportBuiltIn()) GTEST_SKIP() << "built without the picture module";
  }
  test::TempDir dir;
};

TEST_F(PictureImport, PalettePngWithTransparencyComesInExactly) {
  // 40 colours; entry 3 clear, entry 5 half clear (opaque at the threshold), entry 7 just below it.
  std::vector<png_color> palette;
  std::vector<uint8_t> alphas(8, 255);
  for (int i = 0; i < 40; ++i)
    palette.push_back(
        {static_cast<uint8_t>(i * 6), static_cast<uint8_t>(255 - i * 5), static_cast<uint8_t>(i * i % 256)});
  alphas[3] = 0;
  alphas[5] = kOpaqueAlpha;
  alphas[7] = kOpaqueAlpha - 1;
  const int w = 37, h = 23;
  std::vector<uint8_t> indices(static_cast<size_t>(w) * h);
  for (int i = 0; i < w * h; ++i)
    indices[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 7 + i / w) % 40);
  const std::string path = dir / "palette.png";
  ASSERT_TRUE(test::WritePngFile(path, w, h, PNG_COLOR_TYPE_PALETTE, 8, indices, palette, alphas));

  AnimationPtr a;
  ASSERT_EQ(ReadAnyFile(path, &a, nullptr), 1) << (hooks.Texts().empty() ? "" : hooks.Texts()[0]);
  EXPECT_TRUE(hooks.entries.empty()) << "no question for a picture that fits a palette";
  ASSERT_EQ(a->frameCount, 1);
  EXPECT_EQ(a->screenWidth, w);
  EXPECT_EQ(a->screenHeight, h);
  RgbaPicture expected{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 4)};
  for (int i = 0; i < w * h; ++i) {
    const png_color c = palette[indices[static_cast<size_t>(i)]];
    uint8_t* px = &expected.rgba[static_cast<size_t>(i) * 4];
    px[0] = c.red;
    px[1] = c.green;
    px[2] = c.blue;
    px[3] = indices[static_cast<size_t>(i)] < 8 ? alphas[indices[static_cast<size_t>(i)]] : 255;
  }
  EXPECT_EQ(test::ComposedFrames(*a)[0], Expected(expected));
  // Written as a GIF and read back, the picture is the same.
  AnimationPtr back = ThroughGif(*a);
  ASSERT_TRUE(back);
  EXPECT_EQ(test::ComposedFrames(*back)[0], Expected(expected));
  EXPECT_LE(back->globalPalette->Count(), 64);
}

TEST_F(PictureImport, SixteenBitAndManyColoursGoThroughTheHighColourChoice) {
  const int w = 64, h = 64;
  // 16-bit RGBA with 4096 colours: more than a palette holds.
  std::vector<uint8_t> rows(static_cast<size_t>(w) * h * 8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rows[(static_cast<size_t>(y) * w + x) * 8];
      const uint16_t r = static_cast<uint16_t>(x * 1040), g = static_cast<uint16_t>(y * 1040), b = 0x8080;
      const uint16_t alpha = x < 2 ? 0 : 0xFFFF;
      const uint16_t v[4] = {r, g, b, alpha};
      for (int c = 0; c < 4; ++c) {
        p[2 * c] = static_cast<uint8_t>(v[c] >> 8);
        p[2 * c + 1] = static_cast<uint8_t>(v[c]);
      }
    }
  const std::string path = dir / "deep.png";
  ASSERT_TRUE(test::WritePngFile(path, w, h, PNG_COLOR_TYPE_RGBA, 16, rows));
  AnimationPtr a;
  ASSERT_EQ(ImportPicture(path, &a, nullptr, kChoiceAdaptive | 8u << 16), 1);
  ASSERT_EQ(a->frameCount, 1);
  const Frame* f = FirstFrame(*a);
  ASSERT_TRUE(IsTransparent(*f));
  const std::vector<uint32_t> shown = test::ComposedFrames(*a)[0];
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t px = shown[static_cast<size_t>(y) * w + x];
      if (x < 2) {
        EXPECT_EQ(px, 0u) << x << "," << y;
        continue;
      }
      ASSERT_NE(px, 0u) << "an opaque pixel took the transparent entry at " << x << "," << y;
      // Near the 8-bit colour (16 bits scaled down) the adaptive palette can give.
      const int r = static_cast<int>(px & 0xFF), g = static_cast<int>(px >> 8 & 0xFF);
      EXPECT_NEAR(r, x * 1040 / 257, 24);
      EXPECT_NEAR(g, y * 1040 / 257, 24);
    }
  // Without a choice given, the question is asked once; Cancel gives nothing.
  hooks.paletteAnswers.push_back({0, false});
  AnimationPtr cancelled;
  EXPECT_EQ(ImportPicture(path, &cancelled, nullptr), 0);
  EXPECT_EQ(hooks.Texts("palette-conflict").size(), 1u);
  EXPECT_FALSE(cancelled);
}

TEST_F(PictureImport, SequenceOfPicturesKeepsTheOrderGiven) {
  std::vector<std::string> paths;
  for (int k : {2, 0, 1}) {
    paths.push_back(dir / ("s" + std::to_string(k) + ".png"));
    ASSERT_TRUE(test::WriteRgbaPng(paths.back(), Scene(30, 20, k)));
  }
  AnimationPtr a;
  ASSERT_EQ(ImportPictures(paths, &a, nullptr), 1);
  ASSERT_EQ(a->frameCount, 3);
  auto shown = test::ComposedFrames(*a);
  EXPECT_EQ(shown[0], Expected(Scene(30, 20, 2)));
  EXPECT_EQ(shown[1], Expected(Scene(30, 20, 0)));
  EXPECT_EQ(shown[2], Expected(Scene(30, 20, 1)));
  // The few colours of all three fit one global palette, with a transparent entry.
  EXPECT_FALSE(FirstFrame(*a)->localPalette);
  ASSERT_TRUE(a->globalPalette);
  // Transparent pixels of a frame must not show the frame before.
  EXPECT_EQ(GetDisposal(*FirstFrame(*a)), 2);
}

// APNG made by ffmpeg from our PNGs (its encoder writes changed rectangles with blending), read back as
// the pictures we drew with the delays ffprobe reports.
TEST_F(PictureImport, ApngFramesAndDelaysAsFfmpegWroteThem) {
  if (!HaveTool("ffmpeg") || !HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg not at hand";
  for (int k = 0; k < 4; ++k)
    ASSERT_TRUE(test::WriteRgbaPng(dir / ("f" + std::to_string(k) + ".png"), Scene(48, 32, k)));
  const std::string apng = dir / "anim.apng";
  test::RunCommand("ffmpeg -v error -y -framerate 25 -i " + (dir / "f%d.png") + " -plays 0 -f apng " + apng);
  const std::string frames = test::RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 " +
      apng);
  ASSERT_EQ(std::stoi(frames), 4);
  AnimationPtr a;
  ASSERT_EQ(ReadAnyFile(apng, &a, nullptr), 1) << (hooks.Texts().empty() ? "" : hooks.Texts()[0]);
  ASSERT_EQ(a->frameCount, 4);
  EXPECT_EQ(test::FrameDelays(*a), (std::vector<uint32_t>{4, 4, 4, 4}));
  EXPECT_EQ(a->loopCount, 0u);
  auto shown = test::ComposedFrames(*a);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(shown[static_cast<size_t>(k)], Expected(Scene(48, 32, k))) << k;
}

// Animated WebP made by img2webp with its own delay per frame; webpinfo shows the frame rectangles it
// chose, and the composed frames must be the pictures we drew.
TEST_F(PictureImport, WebpFramesDelaysAndOffsetsAsLibwebpToolsShowThem) {
  if (!HaveTool("img2webp") || !HaveTool("webpinfo")) GTEST_SKIP() << "libwebp tools not at hand";
  std::string args;
  const int delays[] = {80, 150, 30, 200};
  for (int k = 0; k < 4; ++k) {
    const std::string png = dir / ("w" + std::to_string(k) + ".png");
    ASSERT_TRUE(test::WriteRgbaPng(png, Scene(48, 32, k)));
    args += " -d " + std::to_string(delays[k]) + " " + png;
  }
  const std::string webp = dir / "anim.webp";
  test::RunCommand("img2webp -lossless -loop 3" + args + " -o " + webp + " 2>&1");
  const std::string info = test::RunCommand("webpinfo " + webp);
  // Later frames are the changed rectangles only.
  EXPECT_NE(info.find("Offset_X"), std::string::npos) << info;
  int offsetFrames = 0;
  std::istringstream lines(info);
  for (std::string line; std::getline(lines, line);)
    if (line.find("Offset_") != std::string::npos && line.substr(line.size() - 2) != " 0") ++offsetFrames;
  EXPECT_GT(offsetFrames, 0) << info;

  AnimationPtr a;
  ASSERT_EQ(ReadAnyFile(webp, &a, nullptr), 1) << (hooks.Texts().empty() ? "" : hooks.Texts()[0]);
  ASSERT_EQ(a->frameCount, 4);
  EXPECT_EQ(test::FrameDelays(*a), (std::vector<uint32_t>{8, 15, 3, 20}));
  EXPECT_EQ(a->loopCount, 3u);
  auto shown = test::ComposedFrames(*a);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(shown[static_cast<size_t>(k)], Expected(Scene(48, 32, k))) << k;
}

TEST_F(PictureImport, DamagedAndOversizedFilesAreRefusedWithAMessage) {
  const std::string good = dir / "good.png";
  ASSERT_TRUE(test::WriteRgbaPng(good, Scene(40, 30, 1)));
  std::ifstream in(good, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto write = [&](const std::string& name, const std::vector<char>& b) {
    std::ofstream(dir / name, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
    return dir / name;
  };
  struct Case {
    std::string name;
    std::vector<char> bytes;
  };
  std::vector<Case> cases;
  cases.push_back(
      {"cut.png", std::vector<char>(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2))});
  std::vector<char> crc = bytes;
  crc[40] = static_cast<char>(crc[40] ^ 0x55);  // inside the image data: the CRC no longer matches
  cases.push_back({"crc.png", crc});
  std::vector<char> header = bytes;
  header[16] = header[17] = header[18] = header[19] = 0;  // width 0
  cases.push_back({"header.apng", header});
  cases.push_back(
      {"cut.webp", {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X', 10, 0, 0, 0}});
  cases.push_back({"text.jpg", {'h', 'e', 'l', 'l', 'o'}});
  std::vector<char> jpeg = {static_cast<char>(0xFF),
                            static_cast<char>(0xD8),
                            static_cast<char>(0xFF),
                            static_cast<char>(0xDB),
                            0,
                            3,
                            0};
  cases.push_back({"cut.jpg", jpeg});
  for (const Case& c : cases) {
    hooks.entries.clear();
    AnimationPtr a;
    EXPECT_EQ(ReadAnyFile(write(c.name, c.bytes), &a, nullptr), 0) << c.name;
    EXPECT_FALSE(a);
    ASSERT_EQ(hooks.Texts().size(), 1u) << c.name;
    EXPECT_NE(hooks.Texts()[0].find("Unable to read the picture in"), std::string::npos) << hooks.Texts()[0];
  }
  // A picture beyond the pixel limit is refused before it is decoded.
  const uint64_t saved = Limits().maxFramePixels;
  Limits().maxFramePixels = 40 * 30 - 1;
  hooks.entries.clear();
  AnimationPtr a;
  EXPECT_EQ(ReadAnyFile(good, &a, nullptr), 0);
  Limits().maxFramePixels = saved;
  ASSERT_EQ(hooks.Texts().size(), 1u);
  EXPECT_NE(hooks.Texts()[0].find("too large"), std::string::npos) << hooks.Texts()[0];
}

// A JPEG stored on its side with EXIF orientation 6 comes in upright (ffmpeg makes the JPEG; the EXIF
// block is put in by hand).
TEST_F(PictureImport, JpegOrientationIsApplied) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not at hand";
  // Left half black, right half white, 32 × 16.
  RgbaPicture p{32, 16, std::vector<uint8_t>(32 * 16 * 4, 255)};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) p.At(x, y)[0] = p.At(x, y)[1] = p.At(x, y)[2] = 0;
  ASSERT_TRUE(test::WriteRgbaPng(dir / "side.png", p));
  const std::string plain = dir / "plain.jpg";
  test::RunCommand("ffmpeg -v error -y -i " + (dir / "side.png") + " -q:v 2 " + plain);
  std::ifstream in(plain, std::ios::binary);
  std::vector<uint8_t> jpg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(jpg.size(), 2u);
  const std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0,    0, 'I', 'I',
                                     42,   0,    8, 0,  0,   0,   1,   0,   0x12, 1, 3,   0,
                                     1,    0,    0, 0,  6,   0,   0,   0,   0,    0, 0,   0};
  jpg.insert(jpg.begin() + 2, app1.begin(), app1.end());
  const std::string turned = dir / "turned.jpg";
  std::ofstream(turned, std::ios::binary)
      .write(reinterpret_cast<const char*>(jpg.data()), static_cast<long>(jpg.size()));
  AnimationPtr a;
  ASSERT_EQ(ReadAnyFile(turned, &a, nullptr), 1) << (hooks.Texts().empty() ? "" : hooks.Texts()[0]);
  EXPECT_EQ(a->screenWidth, 16);
  EXPECT_EQ(a->screenHeight, 32);
  // Turned a quarter clockwise, the black half is on top.
  auto shown = test::ComposedFrames(*a)[0];
  EXPECT_LT(shown[2 * 16 + 8] & 0xFF, 40u);
  EXPECT_GT(shown[29 * 16 + 8] & 0xFF, 215u);
}

}  // namespace
}  // namespace lw
