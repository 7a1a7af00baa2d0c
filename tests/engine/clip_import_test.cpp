// Opening a movie as the editor does: the high-colour question offers "Best for video" first for movies
// (and only for them), that answer goes through the clip encoder, and Esc part way gives nothing back, so
// the document stays as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "color/palette_choice.h"
#include "color/true_color.h"
#include "io/avi_import.h"
#include "model/preferences.h"
#include "platform/progress.h"
#include "platform/recording_ui_hooks.h"
#include "platform/video_source.h"
#include "support/stop_after.h"

namespace lw {
namespace {

class ClipImport : public ::testing::Test {
 protected:
  void SetUp() override {
    ReadPreferences(nullptr);  // the defaults: full-colour pictures ask
    char pattern[] = "/tmp/lw-clip-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  void TearDown() override {
    ReadPreferences(nullptr);
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  // A full-colour movie with a still half and a moving half, or empty without ffmpeg or video support.
  std::string Movie() {
    if (!VideoSupportBuiltIn() || std::system("ffmpeg -version >/dev/null 2>&1") != 0) return {};
    const std::string path = dir_ + "/m.avi";
    std::system(("ffmpeg -v error -y -f lavfi -i testsrc2=size=64x48:rate=10 -t 1.2 -vf "
                 "\"crop=32:48:0:0,pad=64:48:32:0:color=0x2060A0\" -c:v ffv1 '" +
                 path + "'")
                    .c_str());
    return path;
  }

  RecordingUiHooks hooks;
  ScopedUiHooks scope{&hooks};
  std::string dir_;
};

class EscHooks : public RecordingUiHooks {
 public:
  int pumps = 0;
  std::unique_ptr<ProgressSink> CreateProgressDialog() override {
    return std::make_unique<test::StopAfter>(pumps);
  }
};

TEST_F(ClipImport, AMovieIsAskedWithBestForVideoFirstAndComesInOnOnePalette) {
  const std::string path = Movie();
  if (path.empty()) GTEST_SKIP() << "no ffmpeg or video support";
  AnimationPtr a;
  ASSERT_EQ(ImportAvi(path, &a, nullptr), 1) << (hooks.Texts().empty() ? "" : hooks.Texts()[0]);
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_EQ(hooks.entries[0].kind, "palette-conflict");
  EXPECT_TRUE(hooks.entries[0].flags & kConflictMovie);
  EXPECT_EQ(PaletteConflictPreselection(hooks.entries[0].flags), kChoiceVideo);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->frameCount, 12);
  ASSERT_TRUE(a->globalPalette);
  // The still left half is never written again: every later frame lies within the moving right half (a
  // frame where nothing moved is one transparent pixel).
  for (const Frame* f = NextFrame(FirstFrame(*a)); f; f = NextFrame(f)) {
    EXPECT_FALSE(f->localPalette);
    const bool still = f->width == 1 && f->height == 1;
    EXPECT_TRUE(still || f->left >= 32) << f->left;
  }

  // The adaptive answer still gives the frame-by-frame import (a palette of its own for every frame).
  hooks.paletteAnswers.push_back({ChoiceWithBits(kChoiceAdaptive, 8), false});
  ASSERT_EQ(ImportAvi(path, &a, nullptr), 1);
  ASSERT_TRUE(a);
  EXPECT_TRUE(NextFrame(FirstFrame(*a))->localPalette);
  EXPECT_EQ(NextFrame(FirstFrame(*a))->width, 64);
}

TEST_F(ClipImport, EscPartWayGivesNothingBack) {
  const std::string path = Movie();
  if (path.empty()) GTEST_SKIP() << "no ffmpeg or video support";
  EscHooks esc;
  ScopedUiHooks escScope(&esc);
  for (int pumps : {3, 16}) {  // while the colours are read, and while the frames are written
    esc.pumps = pumps;
    AnimationPtr a = NewAnimation();
    EXPECT_EQ(ImportAvi(path, &a, nullptr), 2) << pumps;
    EXPECT_FALSE(a) << pumps;
    EXPECT_TRUE(esc.Texts().empty());
  }
}

TEST_F(ClipImport, OnlyMoviesKeepBestForVideo) {
  // Stored as the default, it stands for the high-quality adaptive palette where there is no movie.
  SetPreference(kPrefHighColor, kChoiceVideo | kChoiceDither);
  EXPECT_EQ(GetHighColorChoice(nullptr, true), kChoiceVideo | kChoiceDither);
  EXPECT_EQ(GetHighColorChoice(nullptr, false),
            ChoiceWithBits(kChoiceAdaptive | kChoiceBest | kChoiceDither, 8));
  // Asked about a single picture, the question does not offer it.
  SetPreference(kPrefHighColor, kChoiceVideo | kChoiceAlwaysAsk);
  EXPECT_EQ(GetHighColorChoice(nullptr, false), ChoiceWithBits(kChoiceAdaptive | kChoiceDither, 8));
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_FALSE(hooks.entries[0].flags & kConflictMovie);
}

}  // namespace
}  // namespace lw
