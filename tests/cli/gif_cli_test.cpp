// The GIF commands of loopwright-cli, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cli/cli_run.h"

namespace {

using lw::test::Cli;
using lw::test::CliRun;

std::string Data(const std::string& name) {
  return lw::test::GifData(name);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(GifCli, InfoJson) {
  lw::test::TempDir dir;
  CliRun r = Cli("info --json " + Data("welcome2.gif"), dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const char* key :
       {"\"screenWidth\": 290", "\"screenHeight\": 48", "\"loopCount\": 1000", "\"backgroundIndex\": 0",
        "\"aspectByte\": 0", "\"globalPaletteSize\": 256", "\"disposal\": 2", "\"transparent\": true",
        "\"transparentIndex\": 210", "\"localPaletteSize\": 256", "\"name\": \"welcome2.gif - Frame 6\"",
        "\"blocks\": ["})
    EXPECT_NE(r.out.find(key), std::string::npos) << key;
  // The saved size is the size `copy` writes.
  ASSERT_EQ(Cli("copy " + Data("welcome2.gif") + " " + (dir / "w.gif"), dir).exitCode, 0);
  std::string size = "\"fileSize\": " + std::to_string(std::filesystem::file_size(dir / "w.gif"));
  EXPECT_NE(r.out.find(size), std::string::npos);
  // Comments are listed with their text.
  CliRun fire = Cli("info --json " + Data("fire.gif"), dir);
  EXPECT_NE(fire.out.find("{\"kind\": \"comment\", \"afterFrames\": 0, \"text\": \""), std::string::npos);
}

TEST(GifCli, InfoText) {
  lw::test::TempDir dir;
  CliRun r = Cli("info " + Data("moon_impact.gif"), dir);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Screen: 116 x 100"), std::string::npos);
  EXPECT_NE(r.out.find("Loop count: 10"), std::string::npos);
  EXPECT_NE(r.out.find("Frames: 14"), std::string::npos);
  EXPECT_NE(r.out.find("File Size: "), std::string::npos);
}

TEST(GifCli, ExitCodesAndPartialReads) {
  lw::test::TempDir dir;
  EXPECT_EQ(Cli("info", dir).exitCode, 2);
  EXPECT_EQ(Cli("info a.gif --bogus", dir).exitCode, 2);
  CliRun missing = Cli("info " + (dir / "none.gif"), dir);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Unable to open file"), std::string::npos);
  // A file cut before its trailer: a warning, accepted only when asked.
  std::string bytes = ReadFile(Data("beacon.gif"));
  std::ofstream(dir / "cut.gif", std::ios::binary) << bytes.substr(0, bytes.size() - 1);
  CliRun cut = Cli("info " + (dir / "cut.gif"), dir);
  EXPECT_EQ(cut.exitCode, 1);
  EXPECT_NE(cut.err.find("EOF found instead of trailer block"), std::string::npos);
  EXPECT_NE(cut.err.find("Only part of the animation was read"), std::string::npos);
  EXPECT_EQ(Cli("info --allow-partial " + (dir / "cut.gif"), dir).exitCode, 0);
}

TEST(GifCli, CopyAsksAboutClipping) {
  lw::test::TempDir dir;
  // x-trans.gif has a 100 x 100 frame: a 50-pixel-wide screen makes it stick out.
  std::string bytes = ReadFile(Data("x-trans.gif"));
  bytes[6] = 50;
  std::ofstream(dir / "big.gif", std::ios::binary) << bytes;
  std::string out = dir / "out.gif";
  EXPECT_EQ(Cli("copy --no-clip " + (dir / "big.gif") + " " + out, dir).exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(out));
  CliRun clipped = Cli("copy --clip " + (dir / "big.gif") + " " + out, dir);
  ASSERT_EQ(clipped.exitCode, 0) << clipped.err;
  CliRun info = Cli("info --json " + out, dir);
  EXPECT_NE(info.out.find("\"width\": 50"), std::string::npos);
}

TEST(GifCli, RenderComposesFramesLikeABrowser) {
  lw::test::TempDir dir;
  CliRun r = Cli("render " + Data("beacon.gif") + " --out " + (dir / "frames") + " --format pam", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string pam = ReadFile(dir / "frames/frame_0001.pam");
  const std::string header = "P7\nWIDTH 6\nHEIGHT 6\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  ASSERT_EQ(pam.substr(0, header.size()), header);
  EXPECT_EQ(pam.size(), header.size() + 6 * 6 * 4);
  EXPECT_TRUE(std::filesystem::exists(dir / "frames/frame_0002.pam"));
  EXPECT_EQ(Cli("render " + Data("beacon.gif"), dir).exitCode, 2);
  EXPECT_EQ(Cli("render " + Data("beacon.gif") + " --out x --format bmp", dir).exitCode, 2);
}

}  // namespace

namespace {

// Files that other decoders read open and save with their blocks; a frame with no pixels is named as such.
TEST(GifCli, ValidFilesOtherDecodersReadAreCopiedWithTheirBlocks) {
  lw::test::TempDir dir;
  const std::vector<uint8_t> pixels = {0, 1, 2, 3};
  const std::vector<uint8_t> emptyComment = {0x21, 0xFE, 0};
  const std::vector<uint8_t> unknown = {0x21, 0x2A, 2, 'h', 'i', 0};
  lw::test::GifBytes g;
  g.Header(2, 2).Raw({0x21, 0xFE, 0}).Image(0, 0, 2, 2, pixels);
  g.b.insert(g.b.end(), unknown.begin(), unknown.end());
  g.Trailer();
  const std::string in = dir / "valid.gif", out = dir / "copy.gif";
  std::ofstream(in, std::ios::binary)
      .write(reinterpret_cast<const char*>(g.b.data()), static_cast<std::streamsize>(g.b.size()));
  CliRun r = Cli("copy " + in + " " + out, dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string written = ReadFile(out);
  EXPECT_NE(written.find(std::string(emptyComment.begin(), emptyComment.end())), std::string::npos);
  EXPECT_NE(written.find(std::string(unknown.begin(), unknown.end())), std::string::npos);

  lw::test::GifBytes zero;
  zero.Header(2, 2).Raw({0x2C, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0x3B});
  const std::string flat = dir / "flat.gif";
  std::ofstream(flat, std::ios::binary)
      .write(reinterpret_cast<const char*>(zero.b.data()), static_cast<std::streamsize>(zero.b.size()));
  r = Cli("info " + flat, dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("width or height of 0"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("memory"), std::string::npos) << r.err;
}

}  // namespace
