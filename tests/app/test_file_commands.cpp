// File commands: the title and the recent-file list, opening one or several files, the save-changes
// question, saving through a temporary file, Save As, Revert, dropped files and the command line.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "app/shell/command_line.h"
#include "app/shell/ids.h"
#include "app/shell/recent_files.h"
#include "app_test_support.h"
#include "io/files.h"

using namespace lw;
using namespace lw::app;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A GIF file of `frames` frames written by the engine.
std::string MakeGif(const QString& folder, const QString& name, int frames, int w = 12, int h = 8) {
  std::string path = (folder + "/" + name).toStdString();
  AnimationPtr a = test::MakeAnimation(frames, w, h);
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  if (WriteGifFile(path, *a) != 1) return {};
  return path;
}

// Progress displays that stop the operation at its first step (like Esc in the dialog).
class StopAtOnceSink : public ProgressSink {
 public:
  void SetText(const std::string&) override {}
  void SetRange(uint32_t) override {}
  void SetPosition(uint32_t) override {}
  bool Pump() override { return false; }
};
class StoppingHooks : public RecordingUiHooks {
 public:
  std::unique_ptr<ProgressSink> CreateProgressDialog() override { return std::make_unique<StopAtOnceSink>(); }
};

}  // namespace

class FileCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void openingOneGifSetsTitlePathAndRecent();
  void recentListKeepsSevenMostRecentFirst();
  void recentEntryOpensItsPath();
  void openDialogReadsNamesInCaseInsensitiveOrder();
  void insertPutsFilesBeforeTheSelectedFrame();
  void insertAsksAboutLargerFramesAndOtherPalettes();
  void failedOpenLeavesTheDocument();
  void cancelInTheOpenDialogLeavesTheDocument();
  void saveChangesQuestionOutcomes();
  void cancellingTheQuestionOfOpenShowsNoDialog();
  void saveAsProposesNameAndFollowsIt();
  void plainSaveKeepsTitleAndRecentList();
  void stoppedSaveLeavesTargetIntact();
  void failedWriteLeavesTargetIntactAndModified();
  void revertReadsTheFileAgain();
  void droppedFileOpensAsDocument();
  void droppedFilesGoBeforeTheFrameUnderThePoint();
  void commandLineNamesOneFile();
  void unknownFileTypeIsRefused();
  void importedPictureIsUntitledAndModified();
  void filmstripExportWritesOneStill();
  void savingSignsTheFileOnce();
  void aviExportWritesTheMovie();
};

void FileCommandsTest::openingOneGifSetsTitlePathAndRecent() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  QCOMPARE(w.windowTitle(), QString("Loopwright - Untitled"));
  std::string path = MakeGif(shell.settings.Folder(), "walk.gif", 3);
  QVERIFY(!path.empty());
  w.OpenDocument(&path);
  QVERIFY(w.CurrentAnimation());
  QCOMPARE(w.CurrentAnimation()->frameCount, 3);
  QCOMPARE(w.windowTitle(), QString("Loopwright - walk.gif"));
  QCOMPARE(w.CurrentPath(), path);
  QVERIFY(!w.IsModified());
  QCOMPARE(ReadRecentFiles(shell.settings.Store()), std::vector<std::string>{path});
  QCOMPARE(w.RecentActions().size(), size_t{1});
  QCOMPARE(w.RecentActions()[0]->text(), QString("&1: ") + QString::fromStdString(path));
  QCOMPARE(w.RecentActions()[0]->objectName(), QString::number(kCmdRecentFirst));
  // Frames are named after the file.
  QCOMPARE(GetFrameName(*FirstFrame(*w.CurrentAnimation())), std::string("walk.gif - Frame 1"));
  // New empties the path and the title, the recent list stays.
  w.DispatchCommand(kCmdNew);
  QVERIFY(!w.CurrentAnimation());
  QCOMPARE(w.windowTitle(), QString("Loopwright - Untitled"));
  QVERIFY(w.CurrentPath().empty());
  QCOMPARE(w.RecentActions().size(), size_t{1});
}

void FileCommandsTest::recentListKeepsSevenMostRecentFirst() {
  test::ScopedSettings settings;
  SettingsStore& store = settings.Store();
  for (int i = 1; i <= 9; ++i) AddRecentFile(store, "/f" + std::to_string(i));
  std::vector<std::string> list = ReadRecentFiles(store);
  QCOMPARE(list, (std::vector<std::string>{"/f9", "/f8", "/f7", "/f6", "/f5", "/f4", "/f3"}));
  // The third entry moves to the top; the others keep their order.
  AddRecentFile(store, "/f7");
  QCOMPARE(ReadRecentFiles(store),
           (std::vector<std::string>{"/f7", "/f9", "/f8", "/f6", "/f5", "/f4", "/f3"}));
  // The first entry again: nothing moves.
  AddRecentFile(store, "/f7");
  QCOMPARE(ReadRecentFiles(store).front(), std::string("/f7"));
  QCOMPARE(ReadRecentFiles(store).size(), size_t{7});
  // Paths differing only in letter case are different files here.
  AddRecentFile(store, "/F7");
  QCOMPARE(ReadRecentFiles(store)[1], std::string("/f7"));
}

void FileCommandsTest::recentEntryOpensItsPath() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string a = MakeGif(shell.settings.Folder(), "a & b.gif", 2);
  std::string b = MakeGif(shell.settings.Folder(), "b.gif", 4);
  w.OpenDocument(&a);
  w.OpenDocument(&b);
  QCOMPARE(w.RecentActions().size(), size_t{2});
  // The path with an ampersand is shown as it is, not as a mnemonic.
  QCOMPARE(w.RecentActions()[1]->text(), QString("&2: ") + QString::fromStdString(a).replace("&", "&&"));
  QVERIFY(w.DispatchCommand(kCmdRecentFirst + 1));
  QCOMPARE(w.CurrentPath(), a);
  QCOMPARE(w.CurrentAnimation()->frameCount, 2);
  QCOMPARE(ReadRecentFiles(shell.settings.Store()).front(), a);
}

void FileCommandsTest::openDialogReadsNamesInCaseInsensitiveOrder() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  QString folder = shell.settings.Folder();
  MakeGif(folder, "b.gif", 1);
  MakeGif(folder, "A.gif", 2);
  MakeGif(folder, "c.GIF", 3);
  shell.openAnswers.push_back({folder + "/b.gif", folder + "/A.gif", folder + "/c.GIF"});
  w.DispatchCommand(kCmdOpen);
  QCOMPARE(shell.openTitles, QStringList{"Open File(s)"});
  QCOMPARE(shell.openMultiple, std::vector<bool>{true});
  // A.gif, b.gif, c.GIF in that order, in one untitled, changed document.
  Animation* a = w.CurrentAnimation();
  QVERIFY(a);
  QCOMPARE(a->frameCount, 6);
  QCOMPARE(GetFrameName(*NthFrame(*a, 0)), std::string("A.gif - Frame 1"));
  QCOMPARE(GetFrameName(*NthFrame(*a, 2)), std::string("b.gif"));
  QCOMPARE(GetFrameName(*NthFrame(*a, 3)), std::string("c.GIF - Frame 1"));
  QCOMPARE(GetFrameName(*NthFrame(*a, 5)), std::string("c.GIF - Frame 3"));
  QCOMPARE(w.windowTitle(), QString("Loopwright - Untitled*"));
  QVERIFY(w.CurrentPath().empty());
  QVERIFY(w.IsModified());
  QCOMPARE(w.StatusText(0), QString("  None of 6 frames"));
  // The first file was opened as a GIF and entered the recent list on the way.
  QCOMPARE(ReadRecentFiles(shell.settings.Store()),
           std::vector<std::string>{(folder + "/A.gif").toStdString()});
  // The folder is remembered for the next dialog.
  QCOMPARE(QString::fromStdString(*shell.settings.Store().GetString("InitDir")), folder + "/");
  shell.recorder.boxAnswers.push_back(MsgResult::No);
  shell.openAnswers.push_back({});
  w.DispatchCommand(kCmdOpen);
  QCOMPARE(shell.openFolders.back(), folder + "/");
}

void FileCommandsTest::insertPutsFilesBeforeTheSelectedFrame() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  QString folder = shell.settings.Folder();
  std::string doc = MakeGif(folder, "doc.gif", 3);
  MakeGif(folder, "x.gif", 3);
  MakeGif(folder, "y.gif", 3);
  w.OpenDocument(&doc);
  w.SelectFrame(1);
  shell.openAnswers.push_back({folder + "/y.gif", folder + "/x.gif"});
  w.DispatchCommand(kCmdInsertFrame);
  QCOMPARE(shell.openTitles.back(), QString("Insert Frame(s) Into Animation"));
  Animation* a = w.CurrentAnimation();
  QCOMPARE(a->frameCount, 9);
  const char* expected[] = {"doc.gif - Frame 1", "x.gif - Frame 1",   "x.gif - Frame 2",
                            "x.gif - Frame 3",   "y.gif - Frame 1",   "y.gif - Frame 2",
                            "y.gif - Frame 3",   "doc.gif - Frame 2", "doc.gif - Frame 3"};
  for (int i = 0; i < 9; ++i) QCOMPARE(GetFrameName(*NthFrame(*a, i)), std::string(expected[i]));
  // The insertion point is selected, the document changed, the title stays.
  QCOMPARE(w.SelectedIndex(), 1);
  QVERIFY(w.IsModified());
  QCOMPARE(w.windowTitle(), QString("Loopwright - doc.gif*"));
  QCOMPARE(w.Filmstrip()->Geometry().FrameCount(), 9);
  // Without a selection the frames go to the end.
  w.SelectFrame(-1);
  shell.openAnswers.push_back({folder + "/x.gif"});
  w.DispatchCommand(kCmdInsertFrame);
  QCOMPARE(a->frameCount, 12);
  QCOMPARE(GetFrameName(*NthFrame(*a, 9)), std::string("x.gif - Frame 1"));
  QCOMPARE(w.SelectedIndex(), 9);
}

void FileCommandsTest::insertAsksAboutLargerFramesAndOtherPalettes() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  QString folder = shell.settings.Folder();
  std::string doc = MakeGif(folder, "small.gif", 2, 10, 10);
  std::string big = MakeGif(folder, "big.gif", 1, 30, 20);
  // Another palette: the palette conflict is asked.
  std::string other = (folder + "/other.gif").toStdString();
  {
    AnimationPtr o = test::MakeAnimation(1, 10, 10, 4);
    SetGlobalPalette(*o,
                     test::MakePalette(4, {{9, 9, 9, 0}, {200, 0, 0, 0}, {0, 200, 0, 0}, {0, 0, 200, 0}}));
    for (Frame* f = FirstFrame(*o); f; f = NextFrame(f)) {
      f->palette = o->globalPalette.get();
      f->bitmap->SetColorTable(f->palette);
    }
    RecordingUiHooks quiet;
    ScopedUiHooks scope(&quiet);
    QCOMPARE(WriteGifFile(other, *o), 1);
  }
  w.OpenDocument(&doc);
  // Cancelling the size question leaves the document as it was.
  shell.recorder.frameSizeAnswers.push_back({0, false});
  shell.openAnswers.push_back({QString::fromStdString(big)});
  w.DispatchCommand(kCmdInsertFrame);
  QCOMPARE(w.CurrentAnimation()->frameCount, 2);
  QVERIFY(!w.IsModified());
  // Growing the screen to fit.
  shell.recorder.frameSizeAnswers.push_back({3, false});
  shell.openAnswers.push_back({QString::fromStdString(big)});
  w.DispatchCommand(kCmdInsertFrame);
  QCOMPARE(w.CurrentAnimation()->frameCount, 3);
  QCOMPARE(w.CurrentAnimation()->screenWidth, 30);
  QCOMPARE(w.Filmstrip()->Geometry().CellWidth(), 30);  // the filmstrip follows the new size
  shell.openAnswers.push_back({QString::fromStdString(other)});
  w.DispatchCommand(kCmdInsertFrame);
  int kinds = 0;
  for (const auto& e : shell.recorder.entries) {
    if (e.kind == "frame-size-conflict") kinds |= 1;
    if (e.kind == "palette-conflict" && (e.flags & 0x1000)) kinds |= 2;
  }
  QCOMPARE(kinds, 3);
}

void FileCommandsTest::failedOpenLeavesTheDocument() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string good = MakeGif(shell.settings.Folder(), "good.gif", 1);
  w.OpenDocument(&good);
  w.SetModified(true);
  const Animation* open = w.CurrentAnimation();
  // A file that cannot be read leaves the document open, changed and named as it was.
  std::string missing = (shell.settings.Folder() + "/missing.gif").toStdString();
  shell.recorder.boxAnswers.push_back(MsgResult::No);  // do not save the changes
  QVERIFY(!w.OpenDocument(&missing));
  QCOMPARE(w.CurrentAnimation(), open);
  QVERIFY(w.IsModified());
  QCOMPARE(w.windowTitle(), QString("Loopwright - good.gif*"));
  QCOMPARE(w.CurrentPath(), good);
  QCOMPARE(shell.recorder.Texts(), std::vector<std::string>{"Unable to open file '" + missing + "'."});
  // Not a GIF inside: its own message.
  std::string fake = (shell.settings.Folder() + "/fake.gif").toStdString();
  WriteText(fake, "not a picture");
  w.OpenDocument(&fake);
  QCOMPARE(shell.recorder.Texts().back(), fake + " is not a valid GIF File.");
}

void FileCommandsTest::saveChangesQuestionOutcomes() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = MakeGif(shell.settings.Folder(), "doc.gif", 2);
  std::string before = ReadAll(path);
  w.OpenDocument(&path);
  w.SetModified(true);
  // Cancel keeps the document as it is.
  shell.recorder.boxAnswers.push_back(MsgResult::Cancel);
  w.DispatchCommand(kCmdNew);
  QVERIFY(w.CurrentAnimation());
  QVERIFY(w.IsModified());
  QCOMPARE(shell.recorder.entries.back().caption, std::string("Loopwright"));
  QCOMPARE(shell.recorder.entries.back().text, "Save changes to " + path + "?");
  // Yes saves first; a save that fails counts as Cancel.
  SetDelay(*FirstFrame(*w.CurrentAnimation()), 333);
  shell.recorder.boxAnswers.push_back(MsgResult::Yes);
  QFile(QString::fromStdString(path)).remove();
  QVERIFY(QDir().mkdir(QString::fromStdString(path)));  // the target is now a folder: the save fails
  w.DispatchCommand(kCmdNew);
  QVERIFY(w.CurrentAnimation());
  QVERIFY(w.IsModified());
  QVERIFY(QDir().rmdir(QString::fromStdString(path)));
  shell.recorder.boxAnswers.push_back(MsgResult::Yes);
  w.DispatchCommand(kCmdNew);
  QVERIFY(!w.CurrentAnimation());
  QVERIFY(QFile::exists(QString::fromStdString(path)));
  QVERIFY(ReadAll(path) != before);
  AnimationPtr saved;
  QCOMPARE(ReadAnyFile(path, &saved, nullptr), 1);
  QCOMPARE(FirstFrame(*saved)->delay, 333u);
  // No throws the changes away.
  w.OpenDocument(&path);
  w.SetModified(true);
  shell.recorder.boxAnswers.push_back(MsgResult::No);
  w.DispatchCommand(kCmdNew);
  QVERIFY(!w.CurrentAnimation());
  QVERIFY(!w.IsModified());
}

void FileCommandsTest::cancellingTheQuestionOfOpenShowsNoDialog() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(test::MakeAnimation(2, 4, 4));
  w.SetModified(true);
  shell.recorder.boxAnswers.push_back(MsgResult::Cancel);
  w.DispatchCommand(kCmdOpen);
  QVERIFY(shell.openTitles.isEmpty());
  QVERIFY(w.CurrentAnimation());
  QCOMPARE(shell.recorder.Texts("box"), std::vector<std::string>{"Save changes to untitled animation?"});
}

void FileCommandsTest::cancelInTheOpenDialogLeavesTheDocument() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = MakeGif(shell.settings.Folder(), "kept.gif", 3);
  w.OpenDocument(&path);
  w.SelectFrame(0);
  w.DispatchCommand(kCmdRotate180);
  QVERIFY(w.IsModified());
  const Animation* open = w.CurrentAnimation();
  // "Save changes?" No, then Cancel in the file dialog: the work is still there, and can still be undone.
  shell.recorder.boxAnswers.push_back(MsgResult::No);
  w.DispatchCommand(kCmdOpen);
  QCOMPARE(shell.openTitles.size(), 1);
  QCOMPARE(w.CurrentAnimation(), open);
  QVERIFY(w.IsModified());
  QCOMPARE(w.CurrentPath(), path);
  QCOMPARE(w.windowTitle(), QString("Loopwright - kept.gif*"));
  QVERIFY(w.Action(kCmdUndo)->isEnabled());
  // Revert of a file that has gone keeps the changes too.
  QFile::remove(QString::fromStdString(path));
  shell.recorder.boxAnswers.push_back(MsgResult::Ok);
  w.DispatchCommand(kCmdRevert);
  QCOMPARE(w.CurrentAnimation(), open);
  QVERIFY(w.IsModified());
}

void FileCommandsTest::saveAsProposesNameAndFollowsIt() {
  QCOMPARE(ProposeSaveName("/x/clip.gif", SaveKind::Avi).name, std::string("clip.AVI"));
  QCOMPARE(ProposeSaveName("/x/clip.gif", SaveKind::Avi).folder, std::string("/x"));
  QCOMPARE(ProposeSaveName("/x/clip.gif", SaveKind::Gif).name, std::string("clip.gif"));
  QCOMPARE(ProposeSaveName("/x/CLIP.GiF", SaveKind::Gif).name, std::string("CLIP.GiF"));
  QCOMPARE(ProposeSaveName("/x/clip.bmp", SaveKind::Gif).name, std::string("clip.GIF"));
  QCOMPARE(ProposeSaveName("/x/clip", SaveKind::Gif).name, std::string("clip.GIF"));
  QVERIFY(ProposeSaveName("", SaveKind::Gif).name.empty());

  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = MakeGif(shell.settings.Folder(), "clip.gif", 2);
  w.OpenDocument(&path);
  std::string copy = (shell.settings.Folder() + "/copy.gif").toStdString();
  shell.saveAnswers.push_back(QString::fromStdString(copy));
  w.DispatchCommand(kCmdSaveAs);
  QCOMPARE(shell.saveKinds.back(), SaveKind::Gif);
  QCOMPARE(shell.saveProposals.back(), shell.settings.Folder() + "|clip.gif");
  QVERIFY(QFile::exists(QString::fromStdString(copy)));
  QCOMPARE(w.CurrentPath(), copy);
  QCOMPARE(w.windowTitle(), QString("Loopwright - copy.gif"));
  QCOMPARE(ReadRecentFiles(shell.settings.Store()).front(), copy);
  // The copy reads back as the same animation.
  AnimationPtr back;
  QCOMPARE(ReadAnyFile(copy, &back, nullptr), 1);
  QCOMPARE(back->frameCount, 2);
  // An untitled document asks for a name even on plain Save; cancelling that saves nothing.
  w.DispatchCommand(kCmdNew);
  w.SetCurrentAnimation(test::MakeAnimation(1, 4, 4));
  w.SetModified(true);
  size_t asked = shell.saveKinds.size();
  w.DispatchCommand(kCmdSave);
  QCOMPARE(shell.saveKinds.size(), asked + 1);
  QVERIFY(w.IsModified());
  QCOMPARE(w.windowTitle(), QString("Loopwright - Untitled*"));
}

void FileCommandsTest::plainSaveKeepsTitleAndRecentList() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string first = MakeGif(shell.settings.Folder(), "first.gif", 2);
  std::string second = MakeGif(shell.settings.Folder(), "second.gif", 2);
  w.OpenDocument(&first);
  w.OpenDocument(&second);
  w.SetModified(true);
  QVERIFY(w.DispatchCommand(kCmdSave));
  QVERIFY(shell.saveKinds.empty());  // no dialog for a titled document
  QVERIFY(!w.IsModified());
  QCOMPARE(w.windowTitle(), QString("Loopwright - second.gif"));
  QCOMPARE(ReadRecentFiles(shell.settings.Store()), (std::vector<std::string>{second, first}));
}

void FileCommandsTest::stoppedSaveLeavesTargetIntact() {
  test::TestShell shell;
  StoppingHooks stopping;
  MainWindow& w = shell.window;
  std::string path = MakeGif(shell.settings.Folder(), "keep.gif", 3);
  std::string before = ReadAll(path);
  w.OpenDocument(&path);
  SetDelay(*FirstFrame(*w.CurrentAnimation()), 777);
  w.SetModified(true);
  {
    ScopedUiHooks scope(&stopping);
    QVERIFY(!w.SaveDocument(false));
  }
  QCOMPARE(ReadAll(path), before);
  QVERIFY(w.IsModified());
  QVERIFY(stopping.Texts().empty());  // an abort is not an error
  // No temporary file is left behind in the folder.
  QCOMPARE(QDir(shell.settings.Folder()).entryList(QDir::Files | QDir::Hidden).filter("GIF").size(), 0);
}

void FileCommandsTest::failedWriteLeavesTargetIntactAndModified() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = (shell.settings.Folder() + "/target.gif").toStdString();
  WriteText(path, "old contents");
  // A frame too wide for a GIF file: the writer refuses it half way.
  AnimationPtr a = test::MakeAnimation(1, 4, 4);
  AppendBlock(*a, test::MakeFrame(70000, 1, a->globalPalette.get(), [](int, int) { return uint8_t{0}; }));
  AddFrameCount(*a, 1);
  a->screenWidth = 70000;
  w.SetCurrentAnimation(std::move(a));
  w.SetModified(true);
  shell.saveAnswers.push_back(QString::fromStdString(path));
  QVERIFY(!w.SaveDocument(true));
  QCOMPARE(ReadAll(path), std::string("old contents"));
  QVERIFY(w.IsModified());
  QCOMPARE(w.windowTitle(), QString("Loopwright - Untitled*"));
  QCOMPARE(shell.recorder.Texts().back(), "Error saving to '" + path + "'.");
}

void FileCommandsTest::revertReadsTheFileAgain() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = MakeGif(shell.settings.Folder(), "rev.gif", 3);
  w.OpenDocument(&path);
  // Nothing changed: nothing asked.
  w.DispatchCommand(kCmdRevert);
  QVERIFY(shell.recorder.entries.empty());
  uint32_t delay = FirstFrame(*w.CurrentAnimation())->delay;
  SetDelay(*FirstFrame(*w.CurrentAnimation()), delay + 5);
  w.SetModified(true);
  shell.recorder.boxAnswers.push_back(MsgResult::Cancel);
  w.DispatchCommand(kCmdRevert);
  QCOMPARE(FirstFrame(*w.CurrentAnimation())->delay, delay + 5);
  QCOMPARE(shell.recorder.entries.back().caption, std::string("Revert to Saved"));
  shell.recorder.boxAnswers.push_back(MsgResult::Ok);
  w.DispatchCommand(kCmdRevert);
  QCOMPARE(FirstFrame(*w.CurrentAnimation())->delay, delay);
  QVERIFY(!w.IsModified());
  QCOMPARE(shell.recorder.Texts("box").size(), size_t{2});  // no save-changes question on the way
}

void FileCommandsTest::droppedFileOpensAsDocument() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = MakeGif(shell.settings.Folder(), "drop.gif", 2);
  w.DropFiles(QPoint(10, 10), {QString::fromStdString(path)});
  QVERIFY(w.CurrentAnimation());
  QCOMPARE(w.windowTitle(), QString("Loopwright - drop.gif"));
  QVERIFY(!w.IsModified());
}

void FileCommandsTest::droppedFilesGoBeforeTheFrameUnderThePoint() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.resize(800, 600);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QString folder = shell.settings.Folder();
  std::string doc = MakeGif(folder, "doc.gif", 3, 60, 20);  // wide: vertical strips
  std::string x = MakeGif(folder, "x.gif", 1, 60, 20);
  std::string y = MakeGif(folder, "y.gif", 1, 60, 20);
  w.OpenDocument(&doc);
  // A point inside the second frame's cell.
  const FilmstripGeometry& g = w.Filmstrip()->Geometry();
  QPoint over(static_cast<int>(g.CellOrigin(1).x) + 10, static_cast<int>(g.CellOrigin(1).y) + 10);
  QCOMPARE(w.Filmstrip()->HitTestFilmstrip(over.x(), over.y()), 1);
  std::string missing = (folder + "/missing.gif").toStdString();
  // A file that cannot be read asks whether to go on; yes.
  shell.recorder.boxAnswers.push_back(MsgResult::Yes);
  w.DropFiles(over, {QString::fromStdString(x), QString::fromStdString(missing), QString::fromStdString(y)});
  Animation* a = w.CurrentAnimation();
  QCOMPARE(a->frameCount, 5);
  // Each file lands at the same place, so the later one stands before the earlier.
  QCOMPARE(GetFrameName(*NthFrame(*a, 1)), std::string("y.gif"));
  QCOMPARE(GetFrameName(*NthFrame(*a, 2)), std::string("x.gif"));
  QVERIFY(w.IsModified());
  QCOMPARE(shell.recorder.Texts("box"),
           std::vector<std::string>{"Do you want to continue reading the remainder of the files?"});
}

void FileCommandsTest::commandLineNamesOneFile() {
  QCOMPARE(FileFromCommandLine({}), std::string());
  QCOMPARE(FileFromCommandLine({"/tmp/a.gif"}), std::string("/tmp/a.gif"));
  // An unquoted name with blanks comes back whole.
  QCOMPARE(FileFromCommandLine({"/tmp/my", "walk", "cycle.gif"}), std::string("/tmp/my walk cycle.gif"));
  QCOMPARE(FileFromCommandLine({"/tmp/my walk.gif"}), std::string("/tmp/my walk.gif"));
  // A second absolute path: only the first is opened.
  QCOMPARE(FileFromCommandLine({"/tmp/a.gif", "/tmp/b.gif"}), std::string("/tmp/a.gif"));
  // Relative names are made absolute.
  std::string rel = FileFromCommandLine({"x.gif"});
  QVERIFY(rel.size() > 6 && rel.front() == '/' && rel.substr(rel.size() - 6) == "/x.gif");
}

void FileCommandsTest::unknownFileTypeIsRefused() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string txt = (shell.settings.Folder() + "/notes.txt").toStdString();
  WriteText(txt, "x");
  w.OpenDocument(&txt);
  QCOMPARE(shell.recorder.Texts(), std::vector<std::string>{"Unable to read this type of file."});
  QVERIFY(!w.CurrentAnimation());
  QCOMPARE(w.windowTitle(), QString("Loopwright - Untitled"));
}

void FileCommandsTest::filmstripExportWritesOneStill() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::vector<uint32_t> asked;
  w.DialogServices().askFilmstrip = [&asked](const Animation& a) {
    asked.push_back(static_cast<uint32_t>(a.frameCount));
    return asked.size() == 1 ? 0u : (3u << 16 | 1u);
  };
  w.SetCurrentAnimation(test::MakeAnimation(8, 40, 30));
  // Cancelled in the dialog: no file name is asked for.
  w.DispatchCommand(kCmdExportFilmstrip);
  QVERIFY(shell.saveKinds.empty());
  std::string out = (shell.settings.Folder() + "/strip.gif").toStdString();
  shell.saveAnswers.push_back(QString::fromStdString(out));
  w.DispatchCommand(kCmdExportFilmstrip);
  QCOMPARE(shell.saveKinds, std::vector<SaveKind>{SaveKind::Filmstrip});
  QCOMPARE(shell.saveProposals.back(), QString("|"));
  AnimationPtr strip;
  QCOMPARE(ReadAnyFile(out, &strip, nullptr), 1);
  QCOMPARE(strip->frameCount, 1);
  QCOMPARE(strip->screenWidth, 120);
  QCOMPARE(strip->screenHeight, 90);
  QVERIFY(!w.IsModified());  // the document itself is untouched
  // Frames that do not share one transparency state are refused before the dialog.
  Frame* f = FirstFrame(*w.CurrentAnimation());
  SetTransparent(*f, true);
  w.DispatchCommand(kCmdExportFilmstrip);
  QCOMPARE(asked.size(), size_t{2});
  QVERIFY(!shell.recorder.Texts().empty());
}

void FileCommandsTest::savingSignsTheFileOnce() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = MakeGif(shell.settings.Folder(), "signed.gif", 2);
  w.OpenDocument(&path);
  for (int i = 0; i < 2; ++i) {
    w.SetModified(true);
    QVERIFY(w.SaveDocument(false));
  }
  AnimationPtr back;
  QCOMPARE(ReadAnyFile(path, &back, nullptr), 1);
  int comments = 0;
  for (GifBlock* b = back->head->next; b; b = b->next)
    if (b->kind == kCommentBlock) ++comments;
  QCOMPARE(comments, 1);
  QCOMPARE(back->head->next->kind, static_cast<uint8_t>(kCommentBlock));
  QCOMPARE(GetCommentText(*back->head->next), std::string("Built with Loopwright 2.0"));
}

void FileCommandsTest::importedPictureIsUntitledAndModified() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string gif = MakeGif(shell.settings.Folder(), "before.gif", 1);
  w.OpenDocument(&gif);
  std::string bmp = LW_TEST_DATA "/bmp/pal8.bmp";
  w.OpenDocument(&bmp);
  QVERIFY(w.CurrentAnimation());
  QCOMPARE(w.CurrentAnimation()->frameCount, 1);
  QCOMPARE(w.windowTitle(), QString("Loopwright - Untitled*"));
  QVERIFY(w.IsModified());
  QVERIFY(w.CurrentPath().empty());
  QCOMPARE(ReadRecentFiles(shell.settings.Store()), std::vector<std::string>{gif});
  // Save asks for a name instead of writing over the file open before.
  std::string before = ReadAll(gif);
  w.DispatchCommand(kCmdSave);
  QCOMPARE(shell.saveKinds.size(), size_t{1});
  QCOMPARE(ReadAll(gif), before);
  // A full-colour picture asks how to map it down (the scripted answer is the dialog's preselection).
  std::string rgb = LW_TEST_DATA "/bmp/rgb24.bmp";
  shell.recorder.boxAnswers.push_back(MsgResult::No);  // do not save the imported picture
  w.OpenDocument(&rgb);
  QVERIFY(w.CurrentAnimation());
  bool asked = false;
  for (const auto& e : shell.recorder.entries)
    if (e.kind == "palette-conflict" && (e.flags & 0x4000)) asked = true;
  QVERIFY(asked);
}

void FileCommandsTest::aviExportWritesTheMovie() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::vector<int> compressions = {0, 2, 1};
  w.DialogServices().askAviCompression = [&compressions] {
    int c = compressions.front();
    compressions.erase(compressions.begin());
    return c;
  };
  std::string path = MakeGif(shell.settings.Folder(), "clip.gif", 3, 16, 12);
  w.OpenDocument(&path);
  std::string movie = (shell.settings.Folder() + "/clip.AVI").toStdString();
  // Cancelled at the compression question: nothing written.
  shell.saveAnswers.push_back(QString::fromStdString(movie));
  w.DispatchCommand(kCmdExportAvi);
  QCOMPARE(shell.saveKinds.back(), SaveKind::Avi);
  QCOMPARE(shell.saveProposals.back(), shell.settings.Folder() + "|clip.AVI");
  QVERIFY(!QFile::exists(QString::fromStdString(movie)));
  // RLE8.
  shell.saveAnswers.push_back(QString::fromStdString(movie));
  w.DispatchCommand(kCmdExportAvi);
  std::string bytes = ReadAll(movie);
  QVERIFY(bytes.size() > 12);
  QCOMPARE(bytes.substr(0, 4), std::string("RIFF"));
  QCOMPARE(bytes.substr(8, 4), std::string("AVI "));
#if LW_HAVE_VIDEO
  // It reads back as an untitled, changed document of three frames.
  shell.recorder.boxAnswers.push_back(MsgResult::No);
  w.OpenDocument(&movie);
  QVERIFY(w.CurrentAnimation());
  QCOMPARE(w.CurrentAnimation()->frameCount, 3);
  QCOMPARE(w.windowTitle(), QString("Loopwright - Untitled*"));
  QVERIFY(w.IsModified());
  w.SetModified(false);
  w.OpenDocument(&path);
#endif
  // Frames smaller than the screen are refused, and the target stays as it was.
  SetFrameSize(*FirstFrame(*w.CurrentAnimation()), 8, 8);
  shell.saveAnswers.push_back(QString::fromStdString(movie));
  w.DispatchCommand(kCmdExportAvi);
  QCOMPARE(ReadAll(movie), bytes);
  QVERIFY(shell.recorder.Texts().back().find("not full-sized") != std::string::npos);
}

QTEST_MAIN(FileCommandsTest)
#include "test_file_commands.moc"
