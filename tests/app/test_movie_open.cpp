// Opening and inserting a movie (or an animated picture) in the editor: the high-colour question comes
// with "Best for video" preselected, that answer brings the clip in on one palette, and Esc in its
// progress leaves the document as it was.
#include <QtTest>
#include <cstdlib>

#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app_test_support.h"
#include "color/palette_choice.h"
#include "platform/picture_source.h"
#include "platform/progress.h"
#include "platform/video_source.h"
#include "support/stop_after.h"

using namespace lw;
using namespace lw::app;

class MovieOpenTest : public QObject {
  Q_OBJECT

 private slots:
  void openAndInsertAMovieAndEscLeavesTheDocument();
  void anAnimatedPictureIsAskedAboutAsAMovieIs();
};

namespace {

class EscHooks : public RecordingUiHooks {
 public:
  std::unique_ptr<ProgressSink> CreateProgressDialog() override {
    return std::make_unique<test::StopAfter>(4);
  }
};

}  // namespace

void MovieOpenTest::openAndInsertAMovieAndEscLeavesTheDocument() {
  if (!VideoSupportBuiltIn() || std::system("ffmpeg -version >/dev/null 2>&1") != 0)
    QSKIP("no ffmpeg or video support");
  test::TestShell shell;
  MainWindow& w = shell.window;
  const std::string movie = (shell.settings.Folder() + "/clip.mkv").toStdString();
  std::system(
      ("ffmpeg -v error -y -f lavfi -i testsrc2=size=64x48:rate=10 -t 1 -c:v ffv1 '" + movie + "'").c_str());

  QVERIFY(w.OpenDocument(&movie));
  Animation* a = w.CurrentAnimation();
  QVERIFY(a);
  QCOMPARE(a->frameCount, 10);
  QVERIFY(a->globalPalette);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) QVERIFY(!f->localPalette);
  // Asked once, about a movie: the preselection taken is "Best for video".
  QCOMPARE(shell.recorder.entries.size(), size_t{1});
  QVERIFY(shell.recorder.entries[0].flags & kConflictMovie);
  QVERIFY(w.IsModified());

  // Insert Frame of the same movie, stopped part way: nothing is inserted, nothing is undoable.
  w.SetModified(false);
  const size_t undo = w.History().UndoCount();
  {
    EscHooks esc;
    ScopedUiHooks scope(&esc);
    shell.openAnswers.push_back({QString::fromStdString(movie)});
    w.DispatchCommand(kCmdInsertFrame);
    QVERIFY(esc.Texts().empty());
  }
  QCOMPARE(w.CurrentAnimation(), a);
  QCOMPARE(a->frameCount, 10);
  QCOMPARE(w.History().UndoCount(), undo);
  QVERIFY(!w.IsModified());
  // And let through, the clip's frames go in.
  shell.recorder.paletteAnswers.push_back({kChoiceVideo, false});
  shell.openAnswers.push_back({QString::fromStdString(movie)});
  w.DispatchCommand(kCmdInsertFrame);
  QCOMPARE(w.CurrentAnimation()->frameCount, 20);
}

void MovieOpenTest::anAnimatedPictureIsAskedAboutAsAMovieIs() {
  if (!PictureSupportBuiltIn() || std::system("ffmpeg -version >/dev/null 2>&1") != 0)
    QSKIP("no ffmpeg or picture support");
  test::TestShell shell;
  MainWindow& w = shell.window;
  const std::string apng = (shell.settings.Folder() + "/zoom.apng").toStdString();
  std::system(("ffmpeg -v error -y -f lavfi -i mandelbrot=size=64x48:rate=10 -frames:v 6 -plays 0 -f apng '" +
               apng + "'")
                  .c_str());
  QVERIFY(w.OpenDocument(&apng));
  Animation* a = w.CurrentAnimation();
  QVERIFY(a);
  QCOMPARE(a->frameCount, 6);
  QCOMPARE(shell.recorder.entries.size(), size_t{1});
  QVERIFY(shell.recorder.entries[0].flags & kConflictMovie);
  QVERIFY(a->globalPalette);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) QVERIFY(!f->localPalette);
}

QTEST_MAIN(MovieOpenTest)
#include "test_movie_open.moc"
