// The editor's own dialogs behind the export commands and help, the fixed status bar, and the size shown
// before a save.
#include <QDialog>
#include <QLabel>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <filesystem>

#include "app/dialogs/avi_compression_dialog.h"
#include "app/dialogs/help_window.h"
#include "app/shell/ids.h"
#include "app_test_support.h"
#include "io/files.h"
#include "support/run_command.h"

using namespace lw;
using namespace lw::app;

namespace {

std::string MakeGif(const QString& folder, int frames, uint32_t delay = 10) {
  std::string path = (folder + "/clip.gif").toStdString();
  AnimationPtr a = test::MakeAnimation(frames, 16, 12);
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->delay = delay;
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  return WriteGifFile(path, *a) == 1 ? path : std::string();
}

// Answers the next modal dialog of the given type with OK once it shows, as a user would.
template <typename Dialog>
void AcceptWhenShown(bool* seen) {
  QTimer::singleShot(50, [seen] {
    if (auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      *seen = true;
      d->accept();
    } else {
      AcceptWhenShown<Dialog>(seen);
    }
  });
}

}  // namespace

class ShellServicesTest : public QObject {
  Q_OBJECT

 private slots:
  void aviExportAsksTheCompressionQuestion();
  void helpShowsInsideTheProgram();
  void statusFieldsKeepTheirWidths();
  void shownSizeIsTheSavedSize();
  void keyboardComesBackAfterADialog();
  void runningOutOfMemoryLeavesTheDocument();
};

void ShellServicesTest::aviExportAsksTheCompressionQuestion() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = MakeGif(shell.settings.Folder(), 3);
  w.OpenDocument(&path);
  const QString movie = shell.settings.Folder() + "/clip.AVI";
  shell.saveAnswers.push_back(movie);
  bool asked = false;
  AcceptWhenShown<AviCompressionDialog>(&asked);
  w.DispatchCommand(kCmdExportAvi);
  QVERIFY(asked);
  QVERIFY(QFile::exists(movie));
  QVERIFY(shell.recorder.Texts().empty());
  if (test::RunCommand("ffprobe -version >/dev/null 2>&1 && echo yes").empty()) QSKIP("no ffprobe");
  const std::string frames =
      test::RunCommand("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 '" +
                       movie.toStdString() + "'");
  QCOMPARE(std::stoi(frames), 3);
}

void ShellServicesTest::helpShowsInsideTheProgram() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  bool folderFound = false;
  const std::string page = FindHelpFile(&folderFound);
  QVERIFY(!page.empty());
  QVERIFY(ShowHelpWindow(&w, QString::fromStdString(page)));
  auto* browser = w.findChild<QTextBrowser*>("helpBrowser");
  QVERIFY(browser);
  QVERIFY(browser->isVisible());
  QVERIFY(browser->toPlainText().contains("Loopwright"));
  // Asking again brings the same window forward.
  QVERIFY(ShowHelpWindow(&w, QString::fromStdString(page)));
  QCOMPARE(w.findChildren<QTextBrowser*>().size(), 1);
  QVERIFY(!ShowHelpWindow(&w, shell.settings.Folder() + "/missing.htm"));
  // A page that cannot be shown is said, not passed over.
  w.DialogServices().openHelp = [](const QString&) { return false; };
  w.DispatchCommand(kCmdHelp);
  QCOMPARE(shell.recorder.Texts().size(), size_t{1});
  QVERIFY(shell.recorder.Texts()[0].find("Unable to show the help file") == 0);
}

void ShellServicesTest::statusFieldsKeepTheirWidths() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.show();
  std::string path = MakeGif(shell.settings.Folder(), 12);
  w.OpenDocument(&path);
  w.SelectFrame(-1);
  auto widths = [&w] {
    std::vector<int> out;
    for (int i = 0; i < 4; ++i)
      out.push_back(w.statusBar()->findChild<QLabel*>(QString("part%1").arg(i))->width());
    return out;
  };
  QTRY_VERIFY(!w.StatusText(2).contains("Calculating"));
  const std::vector<int> before = widths();
  QCOMPARE(before[0], std::max(120, before[0]));
  // Other texts, longer and shorter, in every field.
  w.SelectFrame(10);
  w.DispatchCommand(kCmdZoom400);
  QCOMPARE(widths(), before);
  std::string slow = MakeGif(shell.settings.Folder(), 12, 65535);
  w.OpenDocument(&slow);
  QCOMPARE(w.StatusText(3), QString("  Running Time: 7864.20 secs"));
  QCOMPARE(widths(), before);
}

void ShellServicesTest::shownSizeIsTheSavedSize() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = MakeGif(shell.settings.Folder(), 4);
  w.OpenDocument(&path);
  w.SelectFrame(0);
  w.DispatchCommand(kCmdRotate180);
  QVERIFY(w.IsModified());
  QTRY_VERIFY(!w.StatusText(2).contains("Calculating"));
  QString shown = w.StatusText(2);
  shown.remove(QRegularExpression("[^0-9]"));
  w.DispatchCommand(kCmdSave);
  QVERIFY(!w.IsModified());
  QCOMPARE(static_cast<qint64>(std::filesystem::file_size(path)), shown.toLongLong());
}

void ShellServicesTest::keyboardComesBackAfterADialog() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.show();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  std::string path = MakeGif(shell.settings.Folder(), 3);
  w.OpenDocument(&path);
  QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.Filmstrip()));
  // Another window takes the keyboard, then one of the editor's modal dialogs comes and goes.
  QWidget other;
  other.show();
  other.activateWindow();
  QTRY_VERIFY(QApplication::activeWindow() == &other);
  bool shown = false;
  AcceptWhenShown<QDialog>(&shown);
  QDialog dialog(&w);
  dialog.exec();
  QVERIFY(shown);
  QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&w));
  QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.Filmstrip()));
}

void ShellServicesTest::runningOutOfMemoryLeavesTheDocument() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = MakeGif(shell.settings.Folder(), 3);
  w.OpenDocument(&path);
  // An edit that has changed the document part-way when memory runs out.
  w.EditDocument("Failing Edit", [&w]() -> uint32_t {
    FirstFrame(*w.CurrentAnimation())->delay = 77;
    UnlinkAndFreeBlock(NthFrame(*w.CurrentAnimation(), 2));
    throw std::bad_alloc();
  });
  QCOMPARE(shell.recorder.Texts(), std::vector<std::string>{"Not enough memory to complete the command."});
  QCOMPARE(w.CurrentAnimation()->frameCount, 3);
  QCOMPARE(FirstFrame(*w.CurrentAnimation())->delay, 10u);
  QVERIFY(!w.IsModified());
  QVERIFY(!w.Action(kCmdUndo)->isEnabled());
  // Saved, it is the file it was.
  w.SetModified(true);
  QVERIFY(w.SaveDocument(false));
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  AnimationPtr a;
  QCOMPARE(ReadAnyFile(path, &a, nullptr), 1);
  QCOMPARE(a->frameCount, 3);
  QCOMPARE(FirstFrame(*a)->delay, 10u);
}

QTEST_MAIN(ShellServicesTest)
#include "test_shell_services.moc"
