// Written GIFs look the same in every decoder: each command's output, decoded by giflib (composed as
// browsers compose, and again reading the disputed cases the other way), by our reader, and by Pillow and
// ImageMagick where they are installed, shows the same frames.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_run.h"
#include "engine/support/decoders.h"

namespace lw {
namespace {

using test::Cli;
using test::ComposedGif;
using test::GifBytes;
using test::TempDir;

std::vector<uint8_t> Pixels(int w, int h, const std::function<int(int, int)>& px) {
  std::vector<uint8_t> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.push_back(static_cast<uint8_t>(px(x, y)));
  return out;
}

constexpr int kTransparent = 0x01, kDispose2 = 0x08, kDispose3 = 0x0C, kLeave = 0x04;

// A logo on a see-through page: index 0 transparent around it.
std::vector<uint8_t> Sticker() {
  GifBytes g;
  g.Header(8, 6, true, 2).Control(kTransparent, 10, 0);
  g.Image(0, 0, 8, 6,
          Pixels(8, 6, [](int x, int y) { return x > 1 && x < 6 && y > 0 && y < 5 ? 3 + x % 2 : 0; }), 3);
  return g.Trailer().b;
}

// A small first frame with transparency, "restore to previous", an interlaced frame clearing to background.
std::vector<uint8_t> Animated() {
  GifBytes g;
  g.Header(8, 6, true, 2).Loop(0);
  g.Control(kLeave | kTransparent, 10, 0)
      .Image(1, 1, 5, 4, Pixels(5, 4, [](int x, int y) { return (x + y) % 3 == 0 ? 0 : 2 + x % 3; }), 3);
  g.Control(kDispose3, 10, 0).Image(2, 2, 3, 3, Pixels(3, 3, [](int, int) { return 6; }), 3);
  g.Control(kDispose2 | kTransparent, 10, 7)
      .Image(0, 0, 8, 6, Pixels(8, 6, [](int x, int y) { return (x * y) % 4 == 0 ? 7 : 1 + x % 5; }), 3,
             0x40);
  g.Control(0, 10, 0).Image(4, 3, 3, 2, Pixels(3, 2, [](int, int) { return 3; }), 3);
  return g.Trailer().b;
}

// A frame that sticks out of the screen.
std::vector<uint8_t> Offscreen() {
  GifBytes g;
  g.Header(8, 6, true, 2).Loop(0);
  g.Control(kLeave, 10, 0).Image(0, 0, 8, 6, Pixels(8, 6, [](int x, int) { return 1 + x % 2; }), 3);
  g.Control(kLeave | kTransparent, 10, 0)
      .Image(6, 4, 4, 4, Pixels(4, 4, [](int x, int) { return x % 2 ? 4 : 0; }), 3);
  g.Control(kDispose2, 10, 0).Image(3, 2, 2, 2, Pixels(2, 2, [](int, int) { return 5; }), 3);
  return g.Trailer().b;
}

// Two opaque frames of a screen wider than high (a quarter turn of either grows the screen).
std::vector<uint8_t> Wide() {
  GifBytes g;
  g.Header(6, 4, true, 2).Loop(0);
  g.Control(kLeave, 10, 0).Image(0, 0, 6, 4, Pixels(6, 4, [](int x, int y) { return 1 + (x + y) % 4; }), 3);
  g.Control(kLeave, 10, 0).Image(0, 0, 6, 4, Pixels(6, 4, [](int x, int) { return 5 + x % 3; }), 3);
  return g.Trailer().b;
}

// A block moving over a see-through page, each frame clearing itself away.
std::vector<uint8_t> Moving() {
  GifBytes g;
  g.Header(6, 4, true, 2).Loop(0);
  for (int k = 0; k < 3; ++k)
    g.Control(kDispose2 | kTransparent, 10, 0)
        .Image(
            0, 0, 6, 4,
            Pixels(6, 4,
                   [&](int x, int y) { return x >= 2 * k && x < 2 * k + 2 && y > 0 && y < 3 ? 2 + k : 0; }),
            3);
  return g.Trailer().b;
}

// One small opaque frame, to insert before the others.
std::vector<uint8_t> Small() {
  GifBytes g;
  g.Header(3, 2, true, 2)
      .Control(0, 10, 0)
      .Image(0, 0, 3, 2, Pixels(3, 2, [](int x, int) { return 5 + x; }), 3);
  return g.Trailer().b;
}

std::string Write(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = dir / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// The pictures in order, runs of equal ones joined (the optimizer joins frames that show the same).
std::vector<std::vector<uint32_t>> Distinct(const ComposedGif& g) {
  std::vector<std::vector<uint32_t>> out;
  for (const auto& f : g.frames)
    if (out.empty() || out.back() != f) out.push_back(f);
  return out;
}

// Every decoder at hand shows the same frames as our reader; gives them.
ComposedGif DecodersAgree(const std::string& path, const std::string& what) {
  auto ours = test::ComposeWithOurReader(path);
  EXPECT_TRUE(ours) << what;
  if (!ours) return {};
#if LW_HAVE_GIFLIB
  auto browser = test::ComposeWithGiflib(path, test::Reading::kBrowser);
  auto background = test::ComposeWithGiflib(path, test::Reading::kBackground);
  EXPECT_TRUE(browser && *browser == *ours) << what << ": giflib composed as a browser does";
  EXPECT_TRUE(background && *background == *ours) << what << ": giflib, disputed cases read as background";
#endif
  if (test::HavePillow()) {
    auto pillow = test::ComposeWithPillow(path);
    EXPECT_TRUE(pillow && *pillow == *ours) << what << ": Pillow";
  }
  if (test::HaveImageMagick()) {
    auto magick = test::ComposeWithImageMagick(path, ours->width, ours->height);
    EXPECT_TRUE(magick && *magick == *ours) << what << ": ImageMagick";
  }
  return *ours;
}

TEST(InteropCli, EveryCommandWritesFramesThatEveryDecoderShowsAlike) {
  TempDir dir;
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs = {{"sticker", Sticker()},
                                                                            {"animated", Animated()},
                                                                            {"offscreen", Offscreen()},
                                                                            {"wide", Wide()},
                                                                            {"moving", Moving()}};
  // Commands that only encode the animation afresh keep its pictures; the others change them on purpose.
  const std::vector<std::pair<std::string, bool>> commands = {
      {"copy IN OUT --clip", true},
      {"optimize IN -o OUT --clip --quiet", true},
      {"optimize IN -o OUT --best --clip --quiet", true},
      {"unoptimize IN -o OUT --clip", true},
      {"reduce IN -o OUT --bits 3 --no-dither", false},
      {"rotate IN -o OUT --frame 1 --cw", false},
      {"set IN -o OUT --all --disposal 2", false},
      {"set IN -o OUT --frame 1 --disposal 3", false},
      {"crop IN -o OUT --frame 1 --size 3x3", false},
      {"set IN -o OUT --frame 1 --offset 2,1", false},
      {"insert IN SMALL -o OUT --at 1", false},
      {"filmstrip IN -o OUT --per-strip 2", false}};
  const std::string small = Write(dir, "small.gif", Small());
  for (const auto& [name, bytes] : inputs) {
    const std::string in = Write(dir, name + ".gif", bytes);
    auto original = test::ComposeWithOurReader(in);
    ASSERT_TRUE(original) << name;
    int k = 0;
    for (const auto& [pattern, keepsPictures] : commands) {
      const std::string out = dir / (name + "-" + std::to_string(k++) + ".gif");
      std::string command = pattern;
      command.replace(command.find("IN"), 2, in);
      command.replace(command.find("OUT"), 3, out);
      if (size_t at = command.find("SMALL"); at != std::string::npos) command.replace(at, 5, small);
      test::CliRun r = Cli(command, dir);
      // A filmstrip needs every frame transparent or none.
      if (r.exitCode == 1 && r.err.find("same transparency state") != std::string::npos) continue;
      ASSERT_EQ(r.exitCode, 0) << command << "\n" << r.err;
      const ComposedGif shown = DecodersAgree(out, command);
      if (keepsPictures) {
        EXPECT_EQ(Distinct(shown), Distinct(*original)) << command;
      }
    }
  }
}

TEST(InteropCli, UnoptimizeKeepsATransparentStickerTransparent) {
  TempDir dir;
  const std::string in = Write(dir, "sticker.gif", Sticker()), out = dir / "full.gif";
  ASSERT_EQ(Cli("unoptimize " + in + " -o " + out, dir).exitCode, 0);
  const ComposedGif shown = DecodersAgree(out, "unoptimize");
  ASSERT_EQ(shown.frames.size(), 1u);
  EXPECT_EQ(shown.frames[0][0], 0u);  // the corner stays see-through
  EXPECT_EQ(shown, *test::ComposeWithOurReader(in));
}

TEST(InteropCli, ARotationThatGrowsTheScreenLeavesTheNewAreaTransparentEverywhere) {
  TempDir dir;
  const std::string in = Write(dir, "wide.gif", Wide()), out = dir / "turned.gif";
  ASSERT_EQ(Cli("rotate " + in + " -o " + out + " --frame 2 --cw", dir).exitCode, 0);
  const ComposedGif shown = DecodersAgree(out, "rotate");
  ASSERT_EQ(shown.height, 6);
  EXPECT_EQ(shown.frames[0][5 * 6], 0u);  // below the first frame, which kept its size
}

TEST(InteropCli, BestNeverClearsToTheBackgroundWithoutATransparentIndex) {
  TempDir dir;
  const std::string in = Write(dir, "moving.gif", Moving()), out = dir / "best.gif";
  ASSERT_EQ(Cli("optimize " + in + " -o " + out + " --best --quiet", dir).exitCode, 0);
  EXPECT_EQ(Distinct(DecodersAgree(out, "optimize --best")), Distinct(*test::ComposeWithOurReader(in)));
}

TEST(InteropCli, BestAsksBeforeClippingAsEveryCommandDoes) {
  TempDir dir;
  const std::string in = Write(dir, "offscreen.gif", Offscreen());
  for (const std::string how :
       {"copy IN OUT", "optimize IN -o OUT --best", "optimize IN -o OUT", "unoptimize IN -o OUT"}) {
    const std::string out = dir / "out.gif";
    std::string command = how + " --no-clip";
    command.replace(command.find("IN"), 2, in);
    command.replace(command.find("OUT"), 3, out);
    test::CliRun r = Cli(command, dir);
    EXPECT_EQ(r.exitCode, 1) << command << "\n" << r.err;
    EXPECT_NE(r.err.find("not clipped"), std::string::npos) << command;
    EXPECT_FALSE(std::filesystem::exists(out)) << command;
  }
}

}  // namespace
}  // namespace lw
