#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/picture_probe.h"

namespace lw {
namespace {

void PutBig32(std::vector<uint8_t>& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
void Chunk(std::vector<uint8_t>& b, const char* type, const std::vector<uint8_t>& body) {
  PutBig32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), type, type + 4);
  b.insert(b.end(), body.begin(), body.end());
  PutBig32(b, 0);  // the probe does not check CRCs; the library does
}
std::vector<uint8_t> PngHead(uint32_t w, uint32_t h, bool animated, uint32_t frames = 3, uint32_t plays = 2) {
  std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  PutBig32(ihdr, w);
  PutBig32(ihdr, h);
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
  Chunk(b, "IHDR", ihdr);
  if (animated) {
    std::vector<uint8_t> actl;
    PutBig32(actl, frames);
    PutBig32(actl, plays);
    Chunk(b, "acTL", actl);
  }
  Chunk(b, "IDAT", {1, 2, 3});
  return b;
}

TEST(PictureProbe, TellsFormatsAndPngHeaders) {
  auto png = PngHead(640, 480, false);
  PictureProbe p = ProbePicture(png.data(), png.size());
  EXPECT_EQ(p.format, PictureFormat::kPng);
  EXPECT_EQ(p.width, 640u);
  EXPECT_EQ(p.height, 480u);

  auto apng = PngHead(20, 10, true, 7, 0);
  p = ProbePicture(apng.data(), apng.size());
  EXPECT_EQ(p.format, PictureFormat::kApng);
  EXPECT_EQ(p.frameCount, 7u);
  EXPECT_EQ(p.plays, 0u);

  // An animation control chunk after the image data does not make an animation.
  std::vector<uint8_t> late = PngHead(20, 10, false);
  Chunk(late, "acTL", {0, 0, 0, 2, 0, 0, 0, 0});
  EXPECT_EQ(ProbePicture(late.data(), late.size()).format, PictureFormat::kPng);

  const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16};
  EXPECT_EQ(ProbePicture(jpeg, sizeof jpeg).format, PictureFormat::kJpeg);
  const char webp[] = "RIFF\x10\0\0\0WEBPVP8L\x04\0\0\0";
  EXPECT_EQ(ProbePicture(reinterpret_cast<const uint8_t*>(webp), 20).format, PictureFormat::kWebp);
  const char gif[] = "GIF89a\x01\0\x01\0\0\0\0";
  EXPECT_EQ(ProbePicture(reinterpret_cast<const uint8_t*>(gif), 13).format, PictureFormat::kUnknown);
}

TEST(PictureProbe, DamagedPngHeadersGiveNoSize) {
  auto png = PngHead(64, 64, true);
  // The first chunk is not a 13-byte header.
  auto bad = png;
  bad[15] = 'X';  // "IHDX"
  PictureProbe p = ProbePicture(bad.data(), bad.size());
  EXPECT_EQ(p.format, PictureFormat::kPng);
  EXPECT_EQ(p.width, 0u);
  // A chunk length beyond the data stops the walk before the animation chunk is seen.
  bad = png;
  bad[8 + 25 + 3] = 0xFF;  // the length of the chunk after the header
  p = ProbePicture(bad.data(), bad.size());
  EXPECT_EQ(p.width, 64u);
  EXPECT_EQ(p.format, PictureFormat::kPng);
  // Every cut of the file probes without reading past it.
  for (size_t n = 0; n <= png.size(); ++n) {
    std::vector<uint8_t> cut(png.begin(), png.begin() + static_cast<long>(n));
    ProbePicture(cut.data(), cut.size());
  }
}

// A TIFF block with one directory of the given entries (tag, type, value), little or big endian.
std::vector<uint8_t> Exif(bool little, const std::vector<std::array<uint16_t, 3>>& entries) {
  std::vector<uint8_t> b;
  auto put16 = [&](uint32_t v) {
    if (little) {
      b.push_back(static_cast<uint8_t>(v));
      b.push_back(static_cast<uint8_t>(v >> 8));
    } else {
      b.push_back(static_cast<uint8_t>(v >> 8));
      b.push_back(static_cast<uint8_t>(v));
    }
  };
  auto put32 = [&](uint32_t v) {
    if (little) {
      put16(v & 0xFFFF);
      put16(v >> 16);
    } else {
      put16(v >> 16);
      put16(v & 0xFFFF);
    }
  };
  b.push_back(little ? 'I' : 'M');
  b.push_back(little ? 'I' : 'M');
  put16(42);
  put32(8);
  put16(static_cast<uint32_t>(entries.size()));
  for (const auto& e : entries) {
    put16(e[0]);
    put16(e[1]);
    put32(1);
    put16(e[2]);
    put16(0);
  }
  put32(0);
  return b;
}

TEST(PictureProbe, ExifOrientationInBothByteOrders) {
  for (bool little : {true, false}) {
    auto e = Exif(little, {{0x010F, 2, 0}, {0x0112, 3, 6}});
    EXPECT_EQ(ExifOrientation(e.data(), e.size()), 6) << little;
    e = Exif(little, {{0x0112, 3, 8}});
    EXPECT_EQ(ExifOrientation(e.data(), e.size()), 8);
  }
  // Out of range, the wrong type, no tag, a directory past the end, a cut block: upright.
  auto e = Exif(true, {{0x0112, 3, 9}});
  EXPECT_EQ(ExifOrientation(e.data(), e.size()), 1);
  e = Exif(true, {{0x0112, 4, 6}});
  EXPECT_EQ(ExifOrientation(e.data(), e.size()), 1);
  e = Exif(true, {{0x0110, 3, 6}});
  EXPECT_EQ(ExifOrientation(e.data(), e.size()), 1);
  e = Exif(true, {{0x0112, 3, 6}});
  e[4] = 0xF0;
  EXPECT_EQ(ExifOrientation(e.data(), e.size()), 1);
  e = Exif(true, {{0x0112, 3, 6}});
  EXPECT_EQ(ExifOrientation(e.data(), e.size() - 8), 1);  // the entry is cut off
  EXPECT_EQ(ExifOrientation(nullptr, 0), 1);
}

// A 3 × 2 picture whose pixels are numbered 0..5 in the red byte.
std::vector<uint8_t> Numbered() {
  std::vector<uint8_t> rgba(24, 255);
  for (int i = 0; i < 6; ++i) rgba[4 * i] = static_cast<uint8_t>(i);
  return rgba;
}
std::vector<int> Reds(const std::vector<uint8_t>& rgba) {
  std::vector<int> out;
  for (size_t i = 0; i < rgba.size(); i += 4) out.push_back(rgba[i]);
  return out;
}

TEST(PictureProbe, OrientationsTurnThePictureUpright) {
  // Stored:  0 1 2
  //          3 4 5
  struct Case {
    int orientation, width, height;
    std::vector<int> reds;
  } cases[] = {
      {1, 3, 2, {0, 1, 2, 3, 4, 5}}, {2, 3, 2, {2, 1, 0, 5, 4, 3}}, {3, 3, 2, {5, 4, 3, 2, 1, 0}},
      {4, 3, 2, {3, 4, 5, 0, 1, 2}}, {5, 2, 3, {0, 3, 1, 4, 2, 5}}, {6, 2, 3, {3, 0, 4, 1, 5, 2}},
      {7, 2, 3, {5, 2, 4, 1, 3, 0}}, {8, 2, 3, {2, 5, 1, 4, 0, 3}},
  };
  for (const Case& c : cases) {
    int32_t w = 3, h = 2;
    std::vector<uint8_t> rgba = Numbered();
    ASSERT_TRUE(ApplyExifOrientation(c.orientation, &w, &h, &rgba));
    EXPECT_EQ(w, c.width) << c.orientation;
    EXPECT_EQ(h, c.height) << c.orientation;
    EXPECT_EQ(Reds(rgba), c.reds) << c.orientation;
  }
}

}  // namespace
}  // namespace lw
