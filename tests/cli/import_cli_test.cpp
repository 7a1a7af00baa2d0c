// import, run as a user runs it: BMP pictures become one-frame GIFs, the high-colour question answered by
// the flags, the stored preference, or the default with a notice.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "cli/cli_run.h"
#include "io/bmp_import.h"
#include "io/files.h"
#include "platform/recording_ui_hooks.h"

namespace lw {
namespace {

using test::Cli;
using test::TempDir;

std::string Bmp(const std::string& name) {
  return std::string(LW_TEST_DATA) + "/bmp/" + name;
}

// Each test gets settings of its own, so the stored high-colour choice is known.
class ImportCli : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) oldConfig_ = old;
    hadConfig_ = old != nullptr;
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
  }
  void TearDown() override {
    if (hadConfig_)
      setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }
  AnimationPtr Load(const std::string& path) {
    RecordingUiHooks quiet;
    ScopedUiHooks scope(&quiet);
    AnimationPtr a;
    EXPECT_EQ(ReadAnyFile(path, &a, nullptr), 1) << path;
    return a;
  }
  TempDir config_, dir_;

 private:
  std::string oldConfig_;
  bool hadConfig_ = false;
};

TEST_F(ImportCli, PalettePicturesKeepEveryColourExactly) {
  for (const char* name : {"pal8.bmp", "pal4rle.bmp", "pal1bg.bmp", "pal8topdown.bmp"}) {
    std::string out = dir_ / "out.gif";
    auto r = Cli(std::string("import ") + Bmp(name) + " -o " + out, dir_);
    ASSERT_EQ(r.exitCode, 0) << name << r.err;
    EXPECT_EQ(r.err, "") << name;  // nothing to ask for a picture with a palette
    AnimationPtr gif = Load(out);
    AnimationPtr bmp;
    {
      RecordingUiHooks quiet;
      ScopedUiHooks scope(&quiet);
      ASSERT_EQ(ReadBmpFile(Bmp(name), &bmp, nullptr), 1);
    }
    const Frame* g = FirstFrame(*gif);
    const Frame* b = FirstFrame(*bmp);
    ASSERT_EQ(g->width, b->width);
    ASSERT_EQ(g->height, b->height);
    for (int y = 0; y < g->height; ++y)
      for (int x = 0; x < g->width; ++x)
        ASSERT_EQ((*g->palette)[g->Row(y)[x]], (*b->palette)[b->Row(y)[x]]) << name << " " << x << "," << y;
  }
}

TEST_F(ImportCli, FlagsAnswerTheHighColourQuestion) {
  std::string out = dir_ / "small.gif";
  auto r = Cli("import " + Bmp("rgb24.bmp") + " -o " + out + " --palette adaptive:4 --no-dither", dir_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  AnimationPtr a = Load(out);
  EXPECT_LE(a->globalPalette->Count(), 16);
  EXPECT_GT(a->globalPalette->Count(), 8);

  // The high-quality quantizer takes the same colour counts.
  r = Cli("import " + Bmp("rgb24.bmp") + " -o " + out + " --palette best:4 --dither", dir_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Load(out)->globalPalette->Count(), 16);
  EXPECT_EQ(Cli("import " + Bmp("rgb24.bmp") + " -o " + out + " --palette best:0", dir_).exitCode, 2);

  r = Cli("import " + Bmp("rgb16-565.bmp") + " -o " + out + " --palette webcube --dither", dir_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  a = Load(out);
  ASSERT_EQ(a->globalPalette->Count(), 256);
  EXPECT_EQ((*a->globalPalette)[215], (PaletteEntry{255, 255, 255, 0}));

  // Onto another animation's palette: every pixel takes one of its colours.
  std::string onto = dir_ / "onto.gif";
  ASSERT_EQ(Cli("import " + Bmp("pal4.bmp") + " -o " + onto, dir_).exitCode, 0);
  r = Cli("import " + Bmp("rgb32bf.bmp") + " -o " + out + " --palette global --onto " + onto + " --no-dither",
          dir_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  a = Load(out);
  AnimationPtr target = Load(onto);
  EXPECT_EQ(*a->globalPalette, *target->globalPalette);
}

TEST_F(ImportCli, WithoutFlagsTheStoredChoiceOrTheDefaultWithANotice) {
  std::string out = dir_ / "x.gif";
  // Fresh settings say "always ask": the dialog's preselection (adaptive 256, dithered) with a notice.
  auto r = Cli("import " + Bmp("rgb24.bmp") + " -o " + out, dir_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("notice"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("0x80082"), std::string::npos) << r.err;
  // A stored web cube is used without a word.
  ASSERT_EQ(Cli("prefs set 4 0x8", dir_).exitCode, 0);
  r = Cli("import " + Bmp("rgb24.bmp") + " -o " + out, dir_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  AnimationPtr a = Load(out);
  EXPECT_EQ(a->globalPalette->Count(), 256);
  EXPECT_EQ((*a->globalPalette)[5], (PaletteEntry{0, 0, 255, 0}));
}

TEST_F(ImportCli, RefusalsAndUsageErrors) {
  std::string out = dir_ / "x.gif";
  // pal8.bmp with a bit count of 2, which no reader of ours takes (OS/2 bitmaps are read now).
  std::ifstream in(Bmp("pal8.bmp"), std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 30u);
  bytes[28] = 2;
  const std::string twoBit = dir_ / "two_bit.bmp";
  std::ofstream(twoBit, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  auto r = Cli("import " + twoBit + " -o " + out, dir_);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Loopwright does not handle this type of image data."), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(Cli("import " + Bmp("rgb24.bmp") + " -o " + out + " --palette adaptive:9", dir_).exitCode, 2);
  EXPECT_EQ(Cli("import " + Bmp("rgb24.bmp") + " -o " + out + " --palette global", dir_).exitCode, 2);
  EXPECT_EQ(Cli("import " + Bmp("rgb24.bmp") + " -o " + out + " --palette sepia", dir_).exitCode, 2);
  EXPECT_EQ(Cli("import " + Bmp("rgb24.bmp") + " -o " + out + " --dither --no-dither", dir_).exitCode, 2);
  EXPECT_EQ(Cli("import " + Bmp("rgb24.bmp"), dir_).exitCode, 2);
}

}  // namespace
}  // namespace lw
