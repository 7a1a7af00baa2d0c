// rotate, flip, crop, set, comment, filmstrip and html, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_run.h"
#include "edit/comments.h"
#include "io/files.h"
#include "platform/recording_ui_hooks.h"

namespace lw {
namespace {

using test::Cli;
using test::GifData;
using test::Load;
using test::TempDir;

std::vector<uint8_t> Pixels(const Frame& f) {
  std::vector<uint8_t> out;
  for (int y = 0; y < f.height; ++y) out.insert(out.end(), f.Row(y), f.Row(y) + f.width);
  return out;
}

TEST(EditCli, QuarterTurnsThereAndBackGiveTheFrameBack) {
  TempDir dir;
  const std::string in = GifData("fire.gif");  // 30 x 60 frames on a 30 x 60 screen
  ASSERT_EQ(Cli("rotate " + in + " -o " + (dir / "r.gif") + " --frame 2 --cw", dir).exitCode, 0);
  AnimationPtr r = Load(dir / "r.gif");
  EXPECT_EQ(NthFrame(*r, 1)->width, 60);
  EXPECT_EQ(r->screenWidth, 60);  // grown to hold the turned frame
  ASSERT_EQ(Cli("rotate " + (dir / "r.gif") + " -o " + (dir / "b.gif") + " --frame 2 --ccw", dir).exitCode,
            0);
  ASSERT_EQ(Cli("flip " + (dir / "b.gif") + " -o " + (dir / "f.gif") + " --frame 2 --vertical", dir).exitCode,
            0);
  ASSERT_EQ(Cli("flip " + (dir / "f.gif") + " -o " + (dir / "g.gif") + " --frame 2 --vertical", dir).exitCode,
            0);
  AnimationPtr original = Load(in), back = Load(dir / "g.gif");
  EXPECT_EQ(Pixels(*NthFrame(*back, 1)), Pixels(*NthFrame(*original, 1)));
  EXPECT_EQ(Cli("rotate " + in + " -o " + (dir / "x.gif") + " --frame 2 --cw --ccw", dir).exitCode, 2);
  EXPECT_EQ(Cli("flip " + in + " -o " + (dir / "x.gif") + " --frame 99 --horizontal", dir).exitCode, 2);
}

TEST(EditCli, CropKeepsTheTopLeftPart) {
  TempDir dir;
  const std::string in = GifData("fire.gif");
  ASSERT_EQ(Cli("crop " + in + " -o " + (dir / "c.gif") + " --frame 3 --size 10x12", dir).exitCode, 0);
  AnimationPtr original = Load(in), c = Load(dir / "c.gif");
  const Frame* f = NthFrame(*c, 2);
  EXPECT_EQ(f->width, 10);
  EXPECT_EQ(f->height, 12);
  EXPECT_EQ(f->Row(11)[9], NthFrame(*original, 2)->Row(11)[9]);
  test::CliRun r = Cli("crop " + in + " -o " + (dir / "z.gif") + " --frame 3 --size 0x12", dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("The width must be in the range from 1 to 30"), std::string::npos) << r.err;
}

TEST(EditCli, SetChecksRangesAndAppliesFrameAndAnimationValues) {
  TempDir dir;
  const std::string in = GifData("fire.gif");
  test::CliRun r = Cli("set " + in + " -o " + (dir / "s.gif") +
                           " --all --delay 7 --disposal 2 --interlace off --loop 3 --screen auto",
                       dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  AnimationPtr s = Load(dir / "s.gif");
  for (const Frame* f = FirstFrame(*s); f; f = NextFrame(f)) {
    EXPECT_EQ(f->delay, 7u);
    EXPECT_EQ(GetDisposal(*f), 2);
    EXPECT_FALSE(IsInterlaced(*f));
  }
  EXPECT_EQ(s->loopCount, 3u);
  r = Cli("set " + in + " -o " + (dir / "t.gif") + " --frame 2 --transparent 5 --offset 3,4 --name Spark",
          dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  AnimationPtr t = Load(dir / "t.gif");
  EXPECT_TRUE(IsTransparent(*NthFrame(*t, 1)));
  EXPECT_EQ(NthFrame(*t, 1)->transparentIndex, 5);
  EXPECT_EQ(NthFrame(*t, 1)->left, 3);
  r = Cli("set " + in + " -o " + (dir / "u.gif") + " --frame 2 --delay 65536", dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("The delay must be in the range from 0 to 65535."), std::string::npos) << r.err;
  EXPECT_EQ(Cli("set " + in + " -o " + (dir / "u.gif") + " --delay 5", dir).exitCode, 2);  // no frame named
  EXPECT_FALSE(std::filesystem::exists(dir / "u.gif"));
}

TEST(EditCli, CommentsListAddRemove) {
  TempDir dir;
  const std::string in = GifData("fire.gif");  // two comments
  test::CliRun r = Cli("comment list " + in, dir);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("2  Don't flame me! polder@xs4all.nl ..."), std::string::npos) << r.out;
  ASSERT_EQ(Cli("comment add " + in + " -o " + (dir / "a.gif") + " 'made here' --before 2", dir).exitCode, 0);
  r = Cli("comment list " + (dir / "a.gif"), dir);
  EXPECT_NE(r.out.find("2  made here"), std::string::npos) << r.out;
  ASSERT_EQ(Cli("comment remove " + (dir / "a.gif") + " -o " + (dir / "b.gif") + " 1", dir).exitCode, 0);
  AnimationPtr b = Load(dir / "b.gif");
  ASSERT_EQ(CommentBlocks(*b).size(), 2u);
  EXPECT_EQ(GetCommentText(*CommentBlocks(*b)[0]), "made here");
  r = Cli("comment add " + in + " -o " + (dir / "c.gif") + " " + std::string(255, 'x'), dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Comment Too Long"), std::string::npos) << r.err;
}

TEST(EditCli, FilmstripLayoutAndRefusals) {
  TempDir dir;
  test::CliRun r = Cli(
      "filmstrip " + GifData("fire.gif") + " -o " + (dir / "f.gif") + " --per-strip 10 --horizontal", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("4 strip(s), 300x240 pixels"), std::string::npos) << r.out;
  AnimationPtr f = Load(dir / "f.gif");
  EXPECT_EQ(f->frameCount, 1);
  EXPECT_EQ(f->screenWidth, 300);
  EXPECT_EQ(f->loopCount, 0u);  // the looping block goes along
  EXPECT_EQ(
      Cli("filmstrip " + GifData("fire.gif") + " -o " + (dir / "g.gif") + " --per-strip 0", dir).exitCode, 2);
  r = Cli("filmstrip " + GifData("welcome2.gif") + " -o " + (dir / "w.gif") + " --per-strip 2", dir);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Unable to write a single filmstrip"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "w.gif"));
}

TEST(EditCli, HtmlTag) {
  TempDir dir;
  test::CliRun r =
      Cli("html " + GifData("fire.gif") + " --link http://example.org/ --alt Flames --border 2", dir);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "<a href=\"http://example.org/\"><img src=\"fire.gif\" width=30 height=60 border=2 "
            "alt=\"Flames\"></a>\n");
  EXPECT_EQ(Cli("html " + GifData("fire.gif") + " --border 101", dir).exitCode, 2);
  // Link and description are escaped as the editor's dialog escapes them.
  r = Cli("html " + GifData("fire.gif") + " --link 'a.htm?x=1&y=\"2\"' --alt '<b>hot</b>'", dir);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "<a href=\"a.htm?x=1&amp;y=&quot;2&quot;\"><img src=\"fire.gif\" width=30 height=60 border=0 "
            "alt=\"&lt;b&gt;hot&lt;/b&gt;\"></a>\n");
}

}  // namespace
}  // namespace lw
