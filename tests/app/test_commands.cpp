// The command table and the menus: which items are enabled and checked in each state, the zoom,
// orientation and transparency commands, the status bar, help, accelerators and closing.
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QtTest>
#include <set>

#include "app/shell/ids.h"
#include "app_test_support.h"
#include "gif/gif_writer.h"
#include "io/files.h"

using namespace lw;
using namespace lw::app;

class CommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void everyRowHasAnActionWithItsLabel();
  void enableRulesWithoutDocument();
  void enableRulesWithDocumentFrameAndChanges();
  void checkRulesFollowTheState();
  void zoomCommandsSetRatioStatusAndButtons();
  void orientationChoiceIsKeptInThePreferences();
  void statusBarShowsPositionZoomAndRunningTime();
  void fileSizeJobShowsTheLatestSize();
  void transparencyViewRecolorsFrames();
  void helpOpensTheInstalledPage();
  void unknownAndUnbuiltCommandsDoNothing();
  void acceleratorsReachTheDispatcher();
  void closingAModifiedDocumentAsksAndCancelKeepsIt();
  void placementComesBackNextTime();
  void rotateAndFlipTheSelectedFrame();
  void unoptimizeMakesFullFramesOrRefuses();
  void deleteSelectsTheFrameBefore();
  void draggingAFrameMovesItAndMarksTheChange();
};

namespace {

bool Enabled(const MainWindow& w, int id) {
  QAction* a = w.Action(id);
  return a && a->isEnabled();
}

bool Checked(const MainWindow& w, int id) {
  QAction* a = w.Action(id);
  return a && a->isChecked();
}

}  // namespace

void CommandsTest::everyRowHasAnActionWithItsLabel() {
  test::TestShell shell;
  for (const CommandRow& row : MainWindow::CommandTable()) {
    QAction* a = shell.window.Action(row.id);
    QVERIFY(a);
    QCOMPARE(a->text(), QString::fromUtf8(row.label));
    QCOMPARE(a->objectName(), QString::number(row.id));
  }
  QCOMPARE(shell.window.Action(kCmdSave)->text(), QString("&Save\tCtrl-S"));
  QCOMPARE(shell.window.Action(kCmdRotate90Cw)->text(), QString::fromUtf8("Rotate &90\u00B0 CW"));
  // Ids are unique.
  std::set<int> ids;
  for (const CommandRow& row : MainWindow::CommandTable()) QVERIFY(ids.insert(row.id).second);
  // The File menu ends with Exit, after the recent files.
  QMenu* file = shell.window.MenuNamed("File");
  QVERIFY(file);
  QCOMPARE(file->actions().last()->objectName(), QString::number(kCmdExit));
}

void CommandsTest::enableRulesWithoutDocument() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.InitMainMenu();
  for (int id : {kCmdNew, kCmdOpen, kCmdExit, kCmdHelp, kCmdAbout, kCmdZoom20, kCmdZoom400, kCmdOrientDefault,
                 kCmdOrientVertical, kCmdTransparencyCustom})
    QVERIFY2(Enabled(w, id), qPrintable(QString::number(id)));
  for (int id : {kCmdSave,
                 kCmdSaveAs,
                 kCmdRevert,
                 kCmdExportAvi,
                 kCmdExportFilmstrip,
                 kCmdExportApng,
                 kCmdExportWebp,
                 kCmdExportMp4,
                 kCmdExportWebm,
                 kCmdExportPngFrames,
                 kCmdOptimize,
                 kCmdUnoptimize,
                 kCmdReducePalettes,
                 kCmdHtml,
                 kCmdGlobalFrameProperties,
                 kCmdAnimationProperties,
                 kCmdComments,
                 kCmdCopy,
                 kCmdCut,
                 kCmdDelete,
                 kCmdFrameProperties,
                 kCmdMoveCrop,
                 kCmdRotate90Cw,
                 kCmdFlipVertical,
                 kCmdPreview})
    QVERIFY2(!Enabled(w, id), qPrintable(QString::number(id)));
  QVERIFY(!w.MenuNamed("ExportAs")->menuAction()->isEnabled());
  QVERIFY(!w.MenuNamed("RotateFrame")->menuAction()->isEnabled());
  // The toolbar's zoom buttons need a document.
  QVERIFY(!Enabled(w, kCmdZoomIn));
  QVERIFY(!Enabled(w, kCmdActualSize));
}

void CommandsTest::enableRulesWithDocumentFrameAndChanges() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(test::MakeAnimation(3, 20, 10));
  w.InitMainMenu();
  QVERIFY(Enabled(w, kCmdSaveAs));
  QVERIFY(!Enabled(w, kCmdSave));  // nothing changed
  QVERIFY(!Enabled(w, kCmdRevert));
  QVERIFY(w.MenuNamed("ExportAs")->menuAction()->isEnabled());
  QVERIFY(!w.MenuNamed("RotateFrame")->menuAction()->isEnabled());
  w.SelectFrame(1);
  w.InitMainMenu();
  QVERIFY(w.MenuNamed("RotateFrame")->menuAction()->isEnabled());
  // Changed but never saved: Save, but nothing to revert to.
  w.SetModified(true);
  w.InitMainMenu();
  QVERIFY(Enabled(w, kCmdSave));
  QVERIFY(!Enabled(w, kCmdRevert));
  // Zoom buttons: Actual Size only away from 100%, In and Out short of the ends.
  QVERIFY(Enabled(w, kCmdZoomIn));
  QVERIFY(Enabled(w, kCmdZoomOut));
  QVERIFY(!Enabled(w, kCmdActualSize));
  w.SetZoom(3);
  QVERIFY(!Enabled(w, kCmdZoomIn));
  QVERIFY(Enabled(w, kCmdActualSize));
  w.SetZoom(-4);
  QVERIFY(!Enabled(w, kCmdZoomOut));
  // Closing the document greys the document items again.
  w.CloseDocument();
  w.InitMainMenu();
  QVERIFY(!Enabled(w, kCmdSaveAs));
  QVERIFY(!Enabled(w, kCmdSave));
  QVERIFY(!w.IsModified());
}

void CommandsTest::checkRulesFollowTheState() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(test::MakeAnimation(2, 20, 10));
  w.SetZoom(1);
  w.InitMainMenu();
  for (int id = kCmdZoom20; id <= kCmdZoom400; ++id) QCOMPARE(Checked(w, id), id == 40065);
  QVERIFY(Checked(w, kCmdOrientDefault));
  w.DispatchCommand(kCmdOrientHorizontal);
  w.InitMainMenu();
  QVERIFY(Checked(w, kCmdOrientHorizontal));
  QVERIFY(!Checked(w, kCmdOrientDefault));
  QVERIFY(Checked(w, kCmdTransparencyBackground));
  SetPreference(kPrefTransparencyView, 0x02123456);
  w.InitMainMenu();
  QVERIFY(Checked(w, kCmdTransparencyCustom));
  QVERIFY(!Checked(w, kCmdTransparencyBackground));
  SetPreference(kPrefTransparencyView, 0x01000000);
  w.InitMainMenu();
  QVERIFY(Checked(w, kCmdTransparencyFrameColor));
}

void CommandsTest::zoomCommandsSetRatioStatusAndButtons() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(test::MakeAnimation(2, 100, 60));
  QVERIFY(w.DispatchCommand(40062));  // 33%
  QCOMPARE(w.ZoomStep(), -2);
  QCOMPARE(w.StatusText(1), QString("  Zoom: 33%"));
  QCOMPARE(w.Filmstrip()->Geometry().CellWidth(), 33);
  QVERIFY(w.DispatchCommand(kCmdZoomIn));
  QCOMPARE(w.ZoomStep(), -1);
  QVERIFY(w.DispatchCommand(kCmdActualSize));
  QCOMPARE(w.ZoomStep(), 0);
  QCOMPARE(w.Filmstrip()->Geometry().CellWidth(), 100);
  for (int i = 0; i < 6; ++i) w.DispatchCommand(kCmdZoomIn);
  QCOMPARE(w.ZoomStep(), 3);
  QCOMPARE(w.StatusText(1), QString("  Zoom: 400%"));
  // A new document starts at actual size.
  w.SetCurrentAnimation(test::MakeAnimation(1, 10, 10));
  QCOMPARE(w.ZoomStep(), 0);
}

void CommandsTest::orientationChoiceIsKeptInThePreferences() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(test::MakeAnimation(2, 200, 100));
  QCOMPARE(w.Filmstrip()->Orientation(), 1);  // wide: vertical strips
  w.DispatchCommand(kCmdOrientHorizontal);
  QCOMPARE(w.OrientationValue(), 4098);
  QCOMPARE(GetPreference(kPrefFlags) & 48u, 32u);
  QVERIFY(!w.Filmstrip()->Geometry().Vertical());
  // The next document comes up with the choice.
  w.SetCurrentAnimation(test::MakeAnimation(2, 200, 100));
  QCOMPARE(w.OrientationValue(), 4098);
  QCOMPARE(w.Filmstrip()->Orientation(), 4098);
  w.DispatchCommand(kCmdOrientVertical);
  QCOMPARE(GetPreference(kPrefFlags) & 48u, 16u);
  w.DispatchCommand(kCmdOrientDefault);
  QCOMPARE(GetPreference(kPrefFlags) & 48u, 0u);
  QCOMPARE(w.Filmstrip()->Orientation(), 1);
  // Other flags are left alone.
  SetPreference(kPrefFlags, 1 | 64);
  w.DispatchCommand(kCmdOrientHorizontal);
  QCOMPARE(GetPreference(kPrefFlags), 1u | 64u | 32u);
}

void CommandsTest::statusBarShowsPositionZoomAndRunningTime() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  QVERIFY(w.StatusSimple());
  QCOMPARE(w.StatusText(-1), QString("Ready to Animate"));
  AnimationPtr a = test::MakeAnimation(12, 10, 10);
  uint32_t delays = 0;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    SetDelay(*f, 100);
    delays += 100;
  }
  SetDelay(*FirstFrame(*a), 134);  // 1234 in all
  w.SetCurrentAnimation(std::move(a));
  QVERIFY(!w.StatusSimple());
  QCOMPARE(w.StatusText(0), QString("  None of 12 frames"));
  QCOMPARE(w.StatusText(3), QString("  Running Time: 12.34 secs"));
  w.SelectFrame(0);
  QCOMPARE(w.StatusText(0), QString("  Frame #1 of 12"));
  QCOMPARE(w.StatusText(1), QString("  Zoom: 100%"));
  w.CloseDocument();
  QCOMPARE(w.StatusText(-1), QString("Ready to Animate"));
}

void CommandsTest::fileSizeJobShowsTheLatestSize() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  AnimationPtr a = test::MakeAnimation(40, 300, 200, 256);
  AnimationPtr copy = CopyAnimation(*a);
  w.SetCurrentAnimation(std::move(a));
  QCOMPARE(w.StatusText(2), QString("  File Size: Calculating..."));
  QString expected = QString("  File Size: %1 bytes")
                         .arg(QString::fromStdString(FormatThousands(ComputeFileSize(*copy, true, nullptr))));
  QTRY_COMPARE(w.StatusText(2), expected);
  // Changes restart the count; the bar ends with the size of the latest state.
  for (size_t length : {40, 120, 200}) {
    w.Jobs().StopJobs();
    AppendBlock(*w.CurrentAnimation(), test::MakeComment(std::string(length, 'x')));
    AppendBlock(*copy, test::MakeComment(std::string(length, 'x')));
    w.Jobs().StartFileSizeJob(w.CurrentAnimation(), true);
  }
  expected = QString("  File Size: %1 bytes")
                 .arg(QString::fromStdString(FormatThousands(ComputeFileSize(*copy, true, nullptr))));
  QTRY_COMPARE(w.StatusText(2), expected);
}

void CommandsTest::transparencyViewRecolorsFrames() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  AnimationPtr a = test::MakeAnimation(2, 4, 4);
  Frame* f = FirstFrame(*a);
  SetTransparentIndex(*f, 1);
  SetTransparent(*f, true);
  w.SetCurrentAnimation(std::move(a));
  f = FirstFrame(*w.CurrentAnimation());
  // Custom colour: cancelling the chooser changes nothing.
  shell.colorAnswers.push_back(std::nullopt);
  w.DispatchCommand(kCmdTransparencyCustom);
  QCOMPARE(GetPreference(kPrefTransparencyView), 0u);
  shell.colorAnswers.push_back(QColor(0x12, 0x34, 0x56));
  w.DispatchCommand(kCmdTransparencyCustom);
  QCOMPARE(GetPreference(kPrefTransparencyView), 0x02563412u);
  QCOMPARE(f->bitmap->Colors()[1], (PaletteEntry{0x12, 0x34, 0x56, 0}));
  // The frame's own colour, keeping the custom colour for later.
  w.DispatchCommand(kCmdTransparencyFrameColor);
  QCOMPARE(GetPreference(kPrefTransparencyView), 0x01563412u);
  QCOMPARE(f->bitmap->Colors()[1], (*f->palette)[1]);
  w.DispatchCommand(kCmdTransparencyBackground);
  QCOMPARE(GetPreference(kPrefTransparencyView), 0x00563412u);
  QVERIFY(f->bitmap->Colors()[1] != (*f->palette)[1]);
}

void CommandsTest::helpOpensTheInstalledPage() {
  test::TestShell shell;
  QVERIFY(shell.window.DispatchCommand(kCmdHelp));
  QCOMPARE(shell.helpOpened.size(), 1);
  QVERIFY(shell.helpOpened[0].endsWith("help/help.htm"));
  QFile page(shell.helpOpened[0]);
  QVERIFY(page.open(QIODevice::ReadOnly));
  QVERIFY(page.readAll().contains("<title>Loopwright Help</title>"));
  QVERIFY(shell.recorder.Texts().empty());
}

void CommandsTest::unknownAndUnbuiltCommandsDoNothing() {
  test::TestShell shell;
  shell.window.SetCurrentAnimation(test::MakeAnimation(2, 4, 4));
  QVERIFY(!shell.window.DispatchCommand(12345));
  QVERIFY(!shell.window.IsModified());
  QVERIFY(shell.recorder.entries.empty());
}

void CommandsTest::acceleratorsReachTheDispatcher() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.show();
  QApplication::setActiveWindow(&w);
  QVERIFY(QTest::qWaitForWindowActive(&w));
  QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(shell.openTitles, QStringList{"Open File(s)"});
  QTest::keyClick(&w, Qt::Key_F1);
  QCOMPARE(shell.helpOpened.size(), 1);
}

void CommandsTest::closingAModifiedDocumentAsksAndCancelKeepsIt() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.SetCurrentAnimation(test::MakeAnimation(2, 4, 4));
  w.SetModified(true);
  shell.recorder.boxAnswers.push_back(MsgResult::Cancel);
  QVERIFY(!w.close());
  QVERIFY(w.isVisible());
  QVERIFY(w.CurrentAnimation());
  QVERIFY(w.IsModified());
  QCOMPARE(shell.recorder.Texts("box"), std::vector<std::string>{"Save changes to untitled animation?"});
  // No discards it and the window goes; an unchanged document asks nothing.
  shell.recorder.boxAnswers.push_back(MsgResult::No);
  QVERIFY(w.close());
  QVERIFY(!w.CurrentAnimation());
  // The window's place was stored.
  QVERIFY(shell.settings.Store().GetBinary("Placement").has_value());
}

void CommandsTest::placementComesBackNextTime() {
  test::ScopedSettings settings;
  {
    MainWindow first(&settings.Store());
    first.RestorePlacement();  // nothing stored: a default size
    QVERIFY(first.width() > 0);
    first.resize(701, 503);
    first.move(30, 40);
    first.show();
    QVERIFY(QTest::qWaitForWindowExposed(&first));
    QVERIFY(first.close());
  }
  MainWindow second(&settings.Store());
  second.RestorePlacement();
  QCOMPARE(second.size(), QSize(701, 503));
}

void CommandsTest::rotateAndFlipTheSelectedFrame() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  AnimationPtr a = test::MakeAnimation(2, 30, 20);
  Frame* f = FirstFrame(*a);
  FramePtr wide =
      test::MakeFrame(30, 10, a->globalPalette.get(), [](int x, int) { return static_cast<uint8_t>(x % 4); });
  SetFrameBitmap(*f, wide->bitmap->Clone());
  SetFrameSize(*f, 30, 10);
  SetFramePosition(*f, 0, 5);
  w.SetCurrentAnimation(std::move(a));
  f = FirstFrame(*w.CurrentAnimation());
  // Without a selected frame the commands are greyed and do nothing.
  w.InitMainMenu();
  QVERIFY(!Enabled(w, kCmdRotate90Cw));
  w.DispatchCommand(kCmdRotate90Cw);
  QCOMPARE(f->width, 30);
  QVERIFY(!w.IsModified());
  w.SelectFrame(0);
  w.InitMainMenu();
  for (int id = kCmdRotate90Cw; id <= kCmdFlipVertical; ++id) QVERIFY(Enabled(w, id));
  // A quarter turn that sticks out grows the screen, and the filmstrip follows.
  QVERIFY(w.DispatchCommand(kCmdRotate90Cw));
  QCOMPARE(f->width, 10);
  QCOMPARE(f->height, 30);
  QCOMPARE(w.CurrentAnimation()->screenHeight, 35);
  QCOMPARE(w.Filmstrip()->Geometry().CellHeight(), 35);
  QCOMPARE(w.SelectedIndex(), 0);
  QVERIFY(w.IsModified());
  QCOMPARE(w.StatusText(2), QString("  File Size: Calculating..."));
  // A flip keeps the size; the cell's picture is made again.
  w.Filmstrip()->ImageCache().Image(*f, false);
  uint64_t conversions = w.Filmstrip()->ImageCache().Conversions();
  QVERIFY(w.DispatchCommand(kCmdFlipVertical));
  w.Filmstrip()->ImageCache().Image(*f, false);
  QCOMPARE(w.Filmstrip()->ImageCache().Conversions(), conversions + 1);
}

void CommandsTest::unoptimizeMakesFullFramesOrRefuses() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  AnimationPtr a = test::MakeAnimation(2, 20, 20);
  Frame* second = NthFrame(*a, 1);
  FramePtr small = test::MakeFrame(5, 5, a->globalPalette.get(), [](int, int) { return uint8_t{3}; });
  SetFrameBitmap(*second, small->bitmap->Clone());
  SetFrameSize(*second, 5, 5);
  SetFramePosition(*second, 4, 4);
  w.SetCurrentAnimation(std::move(a));
  QVERIFY(w.DispatchCommand(kCmdUnoptimize));
  second = NthFrame(*w.CurrentAnimation(), 1);
  QCOMPARE(second->width, 20);
  QCOMPARE(second->left, 0);
  QVERIFY(w.IsModified());
  // A local palette: converted too, each picture on a palette that holds it.
  AnimationPtr b = test::MakeAnimation(2, 20, 20);
  SetLocalPalette(*FirstFrame(*b), test::MakePalette(4));
  w.SetModified(false);
  w.SetCurrentAnimation(std::move(b));
  QVERIFY(w.DispatchCommand(kCmdUnoptimize));
  QVERIFY(w.IsModified());
}

void CommandsTest::deleteSelectsTheFrameBefore() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(test::MakeAnimation(3, 10, 10));
  // No selection: nothing happens.
  QVERIFY(w.DispatchCommand(kCmdDelete));
  QCOMPARE(w.CurrentAnimation()->frameCount, 3);
  QVERIFY(!w.IsModified());
  w.SelectFrame(2);
  QVERIFY(w.DispatchCommand(kCmdDelete));
  QCOMPARE(w.CurrentAnimation()->frameCount, 2);
  QCOMPARE(w.SelectedIndex(), 1);
  QVERIFY(w.IsModified());
  QCOMPARE(w.StatusText(0), QString("  Frame #2 of 2"));
  QCOMPARE(w.Filmstrip()->Geometry().FrameCount(), 2);
  w.SelectFrame(0);
  w.DispatchCommand(kCmdDelete);
  QCOMPARE(w.SelectedIndex(), 0);
  w.DispatchCommand(kCmdDelete);
  QCOMPARE(w.CurrentAnimation()->frameCount, 0);
  QCOMPARE(w.SelectedIndex(), -1);
}

void CommandsTest::draggingAFrameMovesItAndMarksTheChange() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.resize(600, 500);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  AnimationPtr a = test::MakeAnimation(4, 100, 40);  // vertical strips
  for (int i = 0; i < 4; ++i) SetFrameName(*NthFrame(*a, i), "f" + std::to_string(i));
  w.SetCurrentAnimation(std::move(a));
  QCoreApplication::processEvents();
  QWidget* vp = w.Filmstrip()->viewport();
  const FilmstripGeometry& g = w.Filmstrip()->Geometry();
  auto send = [vp](QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(pos), vp->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &e);
  };
  QPoint onFrame0(static_cast<int>(g.CellOrigin(0).x) + 20, static_cast<int>(g.CellOrigin(0).y) + 10);
  auto gapBefore = [&](int cell) { return QPoint(onFrame0.x(), 5 + cell * g.Thickness() - 1); };
  // Dropped on its own place: the order stays and the document is unchanged.
  send(QEvent::MouseButtonPress, onFrame0, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, gapBefore(1), Qt::NoButton, Qt::LeftButton);
  QVERIFY(w.Filmstrip()->IsDragging());
  send(QEvent::MouseButtonRelease, gapBefore(1), Qt::LeftButton, Qt::NoButton);
  QVERIFY(!w.IsModified());
  QCOMPARE(GetFrameName(*FirstFrame(*w.CurrentAnimation())), std::string("f0"));
  // Dropped before frame 3: it becomes frame 2, selected, and the document changed.
  send(QEvent::MouseButtonPress, onFrame0, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, gapBefore(3), Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, gapBefore(3), Qt::LeftButton, Qt::NoButton);
  QVERIFY(w.IsModified());
  QCOMPARE(w.SelectedIndex(), 2);
  QCOMPARE(GetFrameName(*NthFrame(*w.CurrentAnimation(), 2)), std::string("f0"));
  QCOMPARE(GetFrameName(*NthFrame(*w.CurrentAnimation(), 0)), std::string("f1"));
}

QTEST_MAIN(CommandsTest)
#include "test_commands.moc"
