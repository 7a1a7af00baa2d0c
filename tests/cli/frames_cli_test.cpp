// insert, delete, move, remove-local-palette and reduce, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_run.h"
#include "io/files.h"
#include "platform/recording_ui_hooks.h"

namespace lw {
namespace {

using test::Cli;
using test::GifData;
using test::Load;
using test::TempDir;

// The colour of every pixel of a frame (transparent pixels as a marker), as a viewer shows the frame alone.
std::vector<uint32_t> FrameLook(const Frame& f) {
  std::vector<uint32_t> out;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) {
      uint8_t p = f.Row(y)[x];
      if (IsTransparent(f) && p == f.transparentIndex) {
        out.push_back(0xFF000000);
      } else {
        const PaletteEntry& e = (*f.palette)[p];
        out.push_back(uint32_t{e.red} << 16 | uint32_t{e.green} << 8 | e.blue);
      }
    }
  return out;
}

TEST(FramesCli, DeleteAndMoveKeepEveryOtherFrameAsItWas) {
  TempDir dir;
  AnimationPtr in = Load(GifData("welcome2.gif"));  // 6 frames
  ASSERT_EQ(Cli("delete " + GifData("welcome2.gif") + " -o " + (dir / "d.gif") + " --frame 2", dir).exitCode,
            0);
  AnimationPtr d = Load(dir / "d.gif");
  ASSERT_EQ(d->frameCount, 5);
  EXPECT_EQ(FrameLook(*NthFrame(*d, 1)), FrameLook(*NthFrame(*in, 2)));
  ASSERT_EQ(
      Cli("move " + GifData("welcome2.gif") + " -o " + (dir / "m.gif") + " --frame 1 --to 4", dir).exitCode,
      0);
  AnimationPtr m = Load(dir / "m.gif");
  ASSERT_EQ(m->frameCount, 6);
  std::vector<int> expected = {1, 2, 3, 0, 4, 5};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(FrameLook(*NthFrame(*m, i)), FrameLook(*NthFrame(*in, expected[static_cast<size_t>(i)]))) << i;
  EXPECT_EQ(Cli("delete " + GifData("welcome2.gif") + " -o " + (dir / "x.gif") + " --frame 7", dir).exitCode,
            2);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.gif"));
}

TEST(FramesCli, RemovingLocalPalettesKeepsTheLookWhenTheColoursFit) {
  TempDir dir;
  // Global palette of 4 colours with one unused slot; the second frame's own palette shares two colours.
  AnimationPtr a = NewAnimation();
  a->screenWidth = 4;
  a->screenHeight = 2;
  a->loopCount = 0;
  SetGlobalPalette(*a, test::MakePalette(0, {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}, {9, 9, 9, 0}}));
  AppendBlock(*a, test::MakeFrame(4, 2, a->globalPalette.get(),
                                  [](int x, int) { return static_cast<uint8_t>(x % 3); }));
  AppendBlock(*a,
              test::MakeFrame(4, 2, nullptr, [](int x, int y) { return static_cast<uint8_t>((x + y) % 3); }));
  a->frameCount = 2;
  SetLocalPalette(*NthFrame(*a, 1), test::MakePalette(0, {{0, 255, 0, 0}, {0, 0, 255, 0}, {0, 0, 0, 0}}));
  ASSERT_EQ(WriteGifFile(dir / "in.gif", *a), 1);
  AnimationPtr in = Load(dir / "in.gif");
  auto r = Cli("remove-local-palette " + (dir / "in.gif") + " -o " + (dir / "r.gif") + " --frame 2", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  AnimationPtr out = Load(dir / "r.gif");
  EXPECT_EQ(NthFrame(*out, 1)->localPalette, nullptr);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(FrameLook(*NthFrame(*out, i)), FrameLook(*NthFrame(*in, i))) << i;
  // A frame without a local palette is refused.
  EXPECT_EQ(
      Cli("remove-local-palette " + (dir / "in.gif") + " -o " + (dir / "x.gif") + " --frame 1", dir).exitCode,
      1);
  // welcome2's local palettes do not fit beside its full global palette: they are mapped, none remain.
  r = Cli("remove-local-palette " + GifData("welcome2.gif") + " -o " + (dir / "w.gif") + " --all", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  AnimationPtr w = Load(dir / "w.gif");
  for (Frame* f = FirstFrame(*w); f; f = NextFrame(f)) EXPECT_EQ(f->localPalette, nullptr);
}

TEST(FramesCli, InsertPutsTheSourcesFramesWhereAsked) {
  TempDir dir;
  AnimationPtr target = Load(GifData("welcome2.gif"));
  AnimationPtr source = Load(GifData("x-trans.gif"));
  auto r = Cli("insert " + GifData("welcome2.gif") + " " + GifData("x-trans.gif") + " " +
                   GifData("x-trans.gif") + " -o " + (dir / "i.gif") + " --at 2 --palette local --size grow",
               dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  AnimationPtr out = Load(dir / "i.gif");
  ASSERT_EQ(out->frameCount, target->frameCount + 2 * source->frameCount);
  EXPECT_GE(out->screenWidth, std::max(target->screenWidth, source->screenWidth));
  EXPECT_GE(out->screenHeight, std::max(target->screenHeight, source->screenHeight));
  EXPECT_EQ(FrameLook(*NthFrame(*out, 0)), FrameLook(*NthFrame(*target, 0)));
  EXPECT_EQ(FrameLook(*NthFrame(*out, 1)), FrameLook(*NthFrame(*source, 0)));
  EXPECT_EQ(FrameLook(*NthFrame(*out, 1 + 2 * source->frameCount)), FrameLook(*NthFrame(*target, 1)));
  EXPECT_EQ(Cli("insert " + GifData("welcome2.gif") + " -o " + (dir / "j.gif"), dir).exitCode, 2);
}

TEST(FramesCli, ReduceBringsEveryPaletteDownToTheBits) {
  TempDir dir;
  for (const char* dither : {"", " --no-dither"}) {
    auto r = Cli("reduce " + GifData("welcome2.gif") + " -o " + (dir / "r.gif") + " --bits 4" + dither, dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    AnimationPtr out = Load(dir / "r.gif");
    EXPECT_EQ(out->frameCount, 6);
    EXPECT_LE(out->globalPalette->Count(), 16);
    for (Frame* f = FirstFrame(*out); f; f = NextFrame(f))
      if (f->localPalette) {
        EXPECT_LE(f->localPalette->Count(), 16);
      }
  }
  EXPECT_EQ(Cli("reduce " + GifData("welcome2.gif") + " -o " + (dir / "r.gif") + " --bits 8", dir).exitCode,
            2);
}

}  // namespace
}  // namespace lw
