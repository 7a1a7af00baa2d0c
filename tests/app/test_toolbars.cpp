// The two toolbars: button states per document, selection and frame, the frame-name list, the delay and
// iterations boxes with their range messages, the frame buttons' edits, the pictures' disabled look, and
// the background jobs behind the status bar while edits arrive quickly.
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QToolBar>
#include <QtTest>

#include "app/shell/ids.h"
#include "app/shell/toolbar_icons.h"
#include "app/shell/toolbars.h"
#include "app_test_support.h"
#include "edit/comments.h"
#include "gif/gif_writer.h"
#include "io/files.h"
#include "platform/progress.h"

using namespace lw;
using namespace lw::app;

class ToolbarsTest : public QObject {
  Q_OBJECT

 private slots:
  void buttonsHaveTheirPicturesTooltipsAndStartStates();
  void documentSelectionAndOrientationSetTheMainButtons();
  void frameToolbarFollowsTheSelectedFrame();
  void frameButtonsEditTheCurrentFrame();
  void transparencyButtonsAskThePicker();
  void localPaletteButtonMovesTheFrameToTheGlobalPalette();
  void delayBoxTakesValuesAndRefusesTooLargeOnes();
  void iterationsBoxChangesTheLoopCountAndTheSize();
  void nameListSelectsFramesAndFollowsChanges();
  void picturesHaveAnEmbossedDisabledLook();
  void sizeJobEndsWithTheSizeOfTheLatestState();
  void stoppedJobsAreResumedWhenNoStepRestartsThem();
  void undoAndRedoRaceTheSizeJob();
};

namespace {

QString SizeText(uint64_t size) {
  return QString("  File Size: %1 bytes").arg(QString::fromStdString(FormatThousands(size)));
}

// What the status shows for a document whose unsigned file has the given size: a changed document is
// signed when saved, and the size shown counts that already.
QString ShownSize(MainWindow& w, uint64_t unsignedSize) {
  int64_t signature = w.IsModified() ? SignatureSizeChange(*w.CurrentAnimation()) : 0;
  return SizeText(static_cast<uint64_t>(static_cast<int64_t>(unsignedSize) + signature));
}

// A document of three frames: 0 transparent (index 1) with removal 0 and delay 10; 1 interlaced with a
// local palette, removal 2 and delay 20; 2 with removal 3 and delay 30. Named "first", "second", "third".
AnimationPtr ThreeFrames() {
  AnimationPtr a = test::MakeAnimation(3, 8, 6, 4);
  Frame* f0 = NthFrame(*a, 0);
  Frame* f1 = NthFrame(*a, 1);
  Frame* f2 = NthFrame(*a, 2);
  SetTransparentIndex(*f0, 1);
  SetTransparent(*f0, true);
  SetDelay(*f0, 10);
  SetInterlaced(*f1, true);
  SetDisposal(*f1, 2);
  SetDelay(*f1, 20);
  SetLocalPalette(*f1, test::MakePalette(4));
  SetDisposal(*f2, 3);
  SetDelay(*f2, 30);
  SetFrameName(*f0, "first");
  SetFrameName(*f1, "second");
  SetFrameName(*f2, "third");
  return a;
}

// Once the size job is done, the status shows what the file holds when it is written now (after the job's
// thread has ended: writing stores the colour resolution in the document).
void ExpectTheSavedSizeShown(MainWindow& w) {
  QTRY_VERIFY_WITH_TIMEOUT(w.StatusText(2) != QString("  File Size: Calculating..."), 20000);
  w.Jobs().StopJobs();
  test::TempDir dir;
  std::string path = dir / "latest.gif";
  QCOMPARE(WriteGifFile(path, *w.CurrentAnimation()), 1);
  QCOMPARE(w.StatusText(2),
           ShownSize(w, static_cast<uint64_t>(QFileInfo(QString::fromStdString(path)).size())));
}

void Click(Toolbars* bars, int id) {
  QAction* a = bars->Button(id);
  QVERIFY2(a, qPrintable(QString::number(id)));
  QVERIFY2(a->isEnabled(), qPrintable(QString::number(id)));
  a->trigger();
}

// An animation whose size takes a while to compute: noisy pixels on 256 colours.
AnimationPtr SlowToWrite(int frames, int w, int h) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = w;
  a->screenHeight = h;
  SetGlobalPalette(*a, test::MakePalette(256));
  uint32_t seed = 12345;
  for (int k = 0; k < frames; ++k) {
    AppendBlock(*a, test::MakeFrame(w, h, a->globalPalette.get(), [&](int, int) {
      seed = seed * 1103515245u + 12345u;
      return static_cast<uint8_t>(seed >> 24);
    }));
    AddFrameCount(*a, 1);
  }
  return a;
}

}  // namespace

void ToolbarsTest::buttonsHaveTheirPicturesTooltipsAndStartStates() {
  test::TestShell shell;
  Toolbars* bars = shell.window.Bars();
  QVERIFY(bars);
  QCOMPARE(bars->MainToolbar()->objectName(), QString("2"));
  QCOMPARE(bars->FrameToolbar()->objectName(), QString("3"));
  const std::vector<std::pair<int, const char*>> main = {
      {kCmdNew, "New Animation"},
      {kCmdOpen, "Open Animation File"},
      {kCmdSave, "Save Animation"},
      {kCmdInsertFrame, "Insert Frame"},
      {kCmdCut, "Cut Frame"},
      {kCmdCopy, "Copy Frame"},
      {kCmdPaste, "Paste Frame"},
      {kCmdDelete, "Delete Frame"},
      {kCmdPreview, "Show Animation Preview"},
      {kCmdStopPreview, "Stop Showing Animation Preview"},
      {kCmdOptimize, "Optimize Animation"},
      {kCmdReducePalettes, "Reduce Palettes"},
      {kCmdZoomIn, "Zoom In"},
      {kCmdZoomOut, "Zoom Out"},
      {kCmdActualSize, "Actual Size"},
      {kCmdOrientDefault, "Default Orientation"},
      {kCmdOrientHorizontal, "Horizontal Strips"},
      {kCmdOrientVertical, "Vertical Strips"},
      {kCmdHelp, "Help Contents"},
  };
  const std::vector<std::pair<int, const char*>> frame = {
      {kCmdFrameProperties, "Frame Properties"},
      {kCmdRemovalLeave, "Removal: Leave Alone"},
      {kCmdRemovalBackground, "Removal: Restore Background"},
      {kCmdRemovalPrevious, "Removal: Restore Previous"},
      {kCmdToggleTransparency, "Toggle Transparency"},
      {kCmdPickTransparency, "Pick Transparency Color"},
      {kCmdLocalPalette, "Local Palette"},
      {kCmdShowLocalPalette, "Show Local Palette"},
      {kCmdInterlace, "Interlace Image"},
      {kCmdAnimationProperties, "Animation Properties"},
      {kCmdShowGlobalPalette, "Show Global Palette"},
  };
  for (const auto& list : {main, frame}) {
    for (const auto& [id, tip] : list) {
      QAction* a = bars->Button(id);
      QVERIFY2(a, qPrintable(QString::number(id)));
      QCOMPARE(a->toolTip(), QString(tip));
      QCOMPARE(TooltipText(id), QString(tip));
      QVERIFY2(!a->icon().isNull(), qPrintable(QString::number(id)));
      // Crisp at twice the pixels: the icon has a pixmap drawn for that ratio.
      QCOMPARE(a->icon().pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
    }
  }
  // The buttons sit on their own toolbar, in the listed order.
  QList<QAction*> onMain = bars->MainToolbar()->actions();
  int last = -1;
  for (const auto& [id, tip] : main) {
    int at = static_cast<int>(onMain.indexOf(bars->Button(id)));
    QVERIFY2(at > last, tip);
    last = at;
  }
  // The boxes and pictures carry their tooltips too.
  QCOMPARE(bars->DelayBox()->toolTip(), QString("Delay (1/100th seconds)"));
  QCOMPARE(bars->ClockPicture()->toolTip(), QString("Delay (1/100th seconds)"));
  QCOMPARE(bars->IterationsBox()->toolTip(), QString("Number of Iterations (0 = continuous)"));
  QCOMPARE(bars->LoopPicture()->toolTip(), QString("Number of Iterations (0 = continuous)"));
  QCOMPARE(bars->NameList()->toolTip(), QString("Frame Name"));
  QVERIFY(TooltipText(12345).isEmpty());
  // Without a document: only New, Open, Insert Frame and Help work.
  for (int id : {kCmdNew, kCmdOpen, kCmdInsertFrame, kCmdHelp}) QVERIFY(bars->IsButtonEnabled(id));
  for (int id : {kCmdSave, kCmdCut, kCmdCopy, kCmdDelete, kCmdPreview, kCmdStopPreview, kCmdZoomIn,
                 kCmdZoomOut, kCmdActualSize, kCmdOrientDefault, kCmdFrameProperties, kCmdRemovalLeave,
                 kCmdToggleTransparency, kCmdInterlace, kCmdAnimationProperties, kCmdShowGlobalPalette})
    QVERIFY2(!bars->IsButtonEnabled(id), qPrintable(QString::number(id)));
  QVERIFY(!bars->DelayBox()->isEnabled());
  QVERIFY(!bars->IterationsBox()->isEnabled());
  QVERIFY(!bars->NameList()->isEnabled());
  QVERIFY(!bars->ClockPicture()->isEnabled());
  QVERIFY(!bars->LoopPicture()->isEnabled());
  QCOMPARE(bars->NameList()->count(), 1);
  QCOMPARE(bars->NameList()->itemText(0), QString("[None]"));
}

void ToolbarsTest::documentSelectionAndOrientationSetTheMainButtons() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  Toolbars* bars = w.Bars();
  w.SetCurrentAnimation(ThreeFrames());
  // A document: Save, the orientations and zoom work; frame commands wait for a selection.
  for (int id :
       {kCmdSave, kCmdOrientDefault, kCmdOrientHorizontal, kCmdOrientVertical, kCmdZoomIn, kCmdZoomOut})
    QVERIFY2(bars->IsButtonEnabled(id), qPrintable(QString::number(id)));
  QVERIFY(!bars->IsButtonEnabled(kCmdActualSize));  // already at 100%
  QVERIFY(!bars->IsButtonEnabled(kCmdDelete));
  QVERIFY(bars->IsPressed(kCmdOrientDefault));
  w.SelectFrame(1);
  QVERIFY(bars->IsButtonEnabled(kCmdDelete));
  w.SelectFrame(-1);
  QVERIFY(!bars->IsButtonEnabled(kCmdDelete));
  // Commands whose dialogs this build lacks stay greyed whatever the state.
  w.SelectFrame(0);
  for (int id : {kCmdCut, kCmdCopy, kCmdFrameProperties, kCmdAnimationProperties, kCmdShowLocalPalette})
    QVERIFY2(!bars->IsButtonEnabled(id) || MainWindow::FindCommand(id)->handler,
             qPrintable(QString::number(id)));
  // The orientation buttons form a group that follows the orientation, whichever way it was chosen.
  Click(bars, kCmdOrientVertical);
  QCOMPARE(w.OrientationValue(), static_cast<int>(kOrientVerticalChosen));
  QVERIFY(bars->IsPressed(kCmdOrientVertical));
  QVERIFY(!bars->IsPressed(kCmdOrientDefault));
  Click(bars, kCmdOrientVertical);  // pressing it again keeps it pressed
  QVERIFY(bars->IsPressed(kCmdOrientVertical));
  w.DispatchCommand(kCmdOrientHorizontal);
  QVERIFY(bars->IsPressed(kCmdOrientHorizontal));
  QVERIFY(!bars->IsPressed(kCmdOrientVertical));
  // Zoom buttons follow the zoom step.
  Click(bars, kCmdZoomIn);
  QCOMPARE(w.ZoomStep(), 1);
  QVERIFY(bars->IsButtonEnabled(kCmdActualSize));
  w.DispatchCommand(kCmdZoom400);
  QVERIFY(!bars->IsButtonEnabled(kCmdZoomIn));
  // Preview buttons show the preview window's state only.
  bars->ShowPreviewButtons(true);
  QVERIFY(bars->IsPressed(kCmdPreview));
  bars->ShowPreviewButtons(false);
  QVERIFY(!bars->IsPressed(kCmdPreview));
  // Closing the document greys them again.
  w.CloseDocument();
  for (int id : {kCmdSave, kCmdOrientDefault, kCmdDelete, kCmdZoomIn, kCmdShowGlobalPalette})
    QVERIFY2(!bars->IsButtonEnabled(id), qPrintable(QString::number(id)));
}

void ToolbarsTest::frameToolbarFollowsTheSelectedFrame() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  Toolbars* bars = w.Bars();
  w.SetCurrentAnimation(ThreeFrames());
  QVERIFY(!bars->DelayBox()->isEnabled());
  QVERIFY(bars->IterationsBox()->isEnabled());
  QCOMPARE(bars->IterationsBox()->text(), QString("0"));
  QVERIFY(bars->LoopPicture()->isEnabled());
  struct Expect {
    int index;
    int removal;
    bool transparent, interlaced, local;
    const char* delay;
  };
  // Removal 0 (unspecified) shows "Leave Alone" pressed.
  const Expect cases[] = {{0, kCmdRemovalLeave, true, false, false, "10"},
                          {1, kCmdRemovalBackground, false, true, true, "20"},
                          {2, kCmdRemovalPrevious, false, false, false, "30"}};
  for (const Expect& e : cases) {
    w.SelectFrame(e.index);
    QCOMPARE(bars->CurrentFrame(), NthFrame(*w.CurrentAnimation(), e.index));
    for (int id : {kCmdRemovalLeave, kCmdRemovalBackground, kCmdRemovalPrevious}) {
      QVERIFY(bars->IsButtonEnabled(id));
      QCOMPARE(bars->IsPressed(id), id == e.removal);
    }
    QCOMPARE(bars->IsPressed(kCmdToggleTransparency), e.transparent);
    QCOMPARE(bars->IsPressed(kCmdInterlace), e.interlaced);
    QCOMPARE(bars->IsPressed(kCmdLocalPalette), e.local);
    QCOMPARE(bars->IsButtonEnabled(kCmdLocalPalette), e.local);
    QCOMPARE(bars->DelayBox()->text(), QString(e.delay));
    QVERIFY(bars->DelayBox()->isEnabled());
    QVERIFY(bars->ClockPicture()->isEnabled());
    QCOMPARE(bars->NameList()->currentIndex(), e.index + 1);
  }
  // Showing a frame sends no command: nothing changed.
  QVERIFY(!w.IsModified());
  QVERIFY(shell.recorder.entries.empty());
  w.SelectFrame(-1);
  QCOMPARE(bars->CurrentFrame(), static_cast<Frame*>(nullptr));
  for (int id : {kCmdRemovalLeave, kCmdRemovalBackground, kCmdRemovalPrevious, kCmdToggleTransparency,
                 kCmdLocalPalette, kCmdInterlace}) {
    QVERIFY(!bars->IsPressed(id));
    QVERIFY(!bars->IsButtonEnabled(id));
  }
  QVERIFY(bars->DelayBox()->text().isEmpty());
  QVERIFY(!bars->DelayBox()->isEnabled());
  QVERIFY(!bars->ClockPicture()->isEnabled());
  QCOMPARE(bars->NameList()->currentIndex(), 0);
  // Deleting the selected frame shows the frame that took its place.
  w.SelectFrame(0);
  w.DispatchCommand(kCmdDelete);
  QCOMPARE(w.SelectedIndex(), 0);
  QCOMPARE(bars->DelayBox()->text(), QString("20"));
  QVERIFY(bars->IsPressed(kCmdRemovalBackground));
}

void ToolbarsTest::frameButtonsEditTheCurrentFrame() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  Toolbars* bars = w.Bars();
  w.SetCurrentAnimation(ThreeFrames());
  w.SelectFrame(0);
  Frame* f = NthFrame(*w.CurrentAnimation(), 0);
  // Pressing the method the frame shows but does not have (0 shows as Leave Alone) sets it.
  Click(bars, kCmdRemovalLeave);
  QCOMPARE(GetDisposal(*f), 1);
  QVERIFY(w.IsModified());
  w.SetModified(false);
  Click(bars, kCmdRemovalLeave);  // the same method again: no change
  QVERIFY(!w.IsModified());
  QVERIFY(bars->IsPressed(kCmdRemovalLeave));
  Click(bars, kCmdRemovalPrevious);
  QCOMPARE(GetDisposal(*f), 3);
  QVERIFY(bars->IsPressed(kCmdRemovalPrevious));
  QVERIFY(!bars->IsPressed(kCmdRemovalLeave));
  Click(bars, kCmdRemovalBackground);
  QCOMPARE(GetDisposal(*f), 2);
  QVERIFY(w.IsModified());
  // Interlace follows its button; the size is computed again.
  QVERIFY(!IsInterlaced(*f));
  Click(bars, kCmdInterlace);
  QVERIFY(IsInterlaced(*f));
  QCOMPARE(w.StatusText(2), QString("  File Size: Calculating..."));
  Click(bars, kCmdInterlace);
  QVERIFY(!IsInterlaced(*f));
  // Each edit went to the frame the toolbar shows, not to another one.
  QCOMPARE(GetDisposal(*NthFrame(*w.CurrentAnimation(), 2)), 3);
  QVERIFY(IsInterlaced(*NthFrame(*w.CurrentAnimation(), 1)));
  // A command that rewrites every frame shows the new state: unoptimizing makes frames opaque.
  AnimationPtr two = test::MakeAnimation(2, 4, 4);
  SetTransparentIndex(*FirstFrame(*two), 1);
  SetTransparent(*FirstFrame(*two), true);
  w.SetCurrentAnimation(std::move(two));
  w.SelectFrame(0);
  QVERIFY(bars->IsPressed(kCmdToggleTransparency));
  QVERIFY(w.DispatchCommand(kCmdUnoptimize));
  QCOMPARE(IsTransparent(*FirstFrame(*w.CurrentAnimation())), bars->IsPressed(kCmdToggleTransparency));
  QVERIFY(!bars->IsPressed(kCmdToggleTransparency));
}

void ToolbarsTest::transparencyButtonsAskThePicker() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  Toolbars* bars = w.Bars();
  std::deque<int> answers;
  std::vector<int> asked;
  w.DialogServices().pickTransparency = [&](Frame&, int current) {
    asked.push_back(current);
    int answer = answers.empty() ? -1 : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  };
  w.SetCurrentAnimation(ThreeFrames());
  w.SelectFrame(0);
  Frame* f = NthFrame(*w.CurrentAnimation(), 0);
  QVERIFY(bars->IsButtonEnabled(kCmdPickTransparency));
  // Toggling off clears the flag; the colour table gets the palette's colour back.
  f->bitmap->SetColor(1, {9, 9, 9, 0});
  Click(bars, kCmdToggleTransparency);
  QVERIFY(!IsTransparent(*f));
  QVERIFY(!bars->IsPressed(kCmdToggleTransparency));
  QCOMPARE(f->bitmap->Colors()[1], (*f->palette)[1]);
  QVERIFY(w.IsModified());
  w.SetModified(false);
  // Toggling on asks for the colour; Cancel leaves the frame opaque and the button up.
  Click(bars, kCmdToggleTransparency);
  QCOMPARE(asked, std::vector<int>({-1}));
  QVERIFY(!IsTransparent(*f));
  QVERIFY(!bars->IsPressed(kCmdToggleTransparency));
  QVERIFY(!w.IsModified());
  // A chosen index makes it transparent with that index.
  answers = {3};
  Click(bars, kCmdToggleTransparency);
  QVERIFY(IsTransparent(*f));
  QCOMPARE(f->transparentIndex, uint8_t{3});
  QVERIFY(bars->IsPressed(kCmdToggleTransparency));
  QVERIFY(w.IsModified());
  // Picking the same index again changes nothing; another one moves the display colour with it.
  w.SetModified(false);
  answers = {3};
  Click(bars, kCmdPickTransparency);
  QCOMPARE(asked.back(), 3);
  QVERIFY(!w.IsModified());
  answers = {2};
  Click(bars, kCmdPickTransparency);
  QCOMPARE(f->transparentIndex, uint8_t{2});
  QCOMPARE(f->bitmap->Colors()[3], (*f->palette)[3]);
  QVERIFY(w.IsModified());
  QVERIFY(bars->IsPressed(kCmdToggleTransparency));
  // Without a picker the button to pick is greyed and toggling on does nothing.
  test::TestShell bare;
  bare.window.DialogServices().pickTransparency = nullptr;
  bare.window.SetCurrentAnimation(test::MakeAnimation(1, 4, 4));
  bare.window.SelectFrame(0);
  QVERIFY(!bare.window.Bars()->IsButtonEnabled(kCmdPickTransparency));
  Click(bare.window.Bars(), kCmdToggleTransparency);
  QVERIFY(!IsTransparent(*FirstFrame(*bare.window.CurrentAnimation())));
  QVERIFY(!bare.window.Bars()->IsPressed(kCmdToggleTransparency));
}

void ToolbarsTest::localPaletteButtonMovesTheFrameToTheGlobalPalette() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  Toolbars* bars = w.Bars();
  w.SetCurrentAnimation(ThreeFrames());
  w.SelectFrame(1);
  Frame* f = NthFrame(*w.CurrentAnimation(), 1);
  QVERIFY(f->localPalette);
  QVERIFY(bars->IsPressed(kCmdLocalPalette));
  Click(bars, kCmdLocalPalette);
  QVERIFY(!f->localPalette);
  QCOMPARE(f->palette, w.CurrentAnimation()->globalPalette.get());
  QVERIFY(!bars->IsPressed(kCmdLocalPalette));
  QVERIFY(!bars->IsButtonEnabled(kCmdLocalPalette));
  QVERIFY(!bars->IsButtonEnabled(kCmdShowLocalPalette));
  QVERIFY(w.IsModified());
  QCOMPARE(w.CurrentAnimation()->frameCount, 3);
  // The size is computed afresh and ends with the new document's size.
  AnimationPtr copy = CopyAnimation(*w.CurrentAnimation());
  QTRY_COMPARE(w.StatusText(2), ShownSize(w, ComputeFileSize(*copy, true, nullptr)));
}

void ToolbarsTest::delayBoxTakesValuesAndRefusesTooLargeOnes() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  Toolbars* bars = w.Bars();
  w.SetCurrentAnimation(ThreeFrames());
  QTRY_VERIFY(w.StatusText(2) != QString("  File Size: Calculating..."));
  QString size = w.StatusText(2);
  w.SelectFrame(2);
  Frame* f = NthFrame(*w.CurrentAnimation(), 2);
  QLineEdit* box = bars->DelayBox();
  // Typing: every change is taken at once; only digits can be typed.
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, "12a5");
  QCOMPARE(box->text(), QString("125"));
  QCOMPARE(f->delay, 125u);
  QVERIFY(w.IsModified());
  QCOMPARE(w.StatusText(3), QString("  Running Time: 1.55 secs"));
  // The delay does not change the saved size: no new computation.
  QCOMPARE(w.StatusText(2), size);
  // Too large: one message, then the box and the frame hold the largest delay.
  box->setText("70000");
  QCOMPARE(shell.recorder.entries.size(), size_t{1});
  QCOMPARE(shell.recorder.entries[0].caption, std::string("Invalid Delay Value"));
  QCOMPARE(shell.recorder.entries[0].text, std::string("The delay must be in the range from 0 to 65535."));
  QCOMPARE(box->text(), QString("65535"));
  QCOMPARE(f->delay, 65535u);
  // Very long numbers too (only the first nine digits count).
  box->setText("123456789012");
  QCOMPARE(shell.recorder.entries.size(), size_t{2});
  QCOMPARE(f->delay, 65535u);
  // Empty is 0.
  box->clear();
  QCOMPARE(f->delay, 0u);
  QCOMPARE(w.StatusText(3), QString("  Running Time: 0.30 secs"));
  // Other frames kept their delays; the box shows each frame's own.
  w.SelectFrame(0);
  QCOMPARE(box->text(), QString("10"));
  QCOMPARE(NthFrame(*w.CurrentAnimation(), 2)->delay, 0u);
  // Keys typed in the box edit its text: Delete there is not the window's Delete Frame.
  w.show();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  w.SelectFrame(1);
  box->setFocus();
  QTRY_VERIFY(box->hasFocus());
  box->setCursorPosition(0);
  QTest::keyClick(box, Qt::Key_Delete);
  QCOMPARE(w.CurrentAnimation()->frameCount, 3);
  QCOMPARE(box->text(), QString("0"));
  QCOMPARE(NthFrame(*w.CurrentAnimation(), 1)->delay, 0u);
  // Without a frame the box does nothing.
  w.SelectFrame(-1);
  w.SetModified(false);
  box->setText("5");
  QVERIFY(!w.IsModified());
}

void ToolbarsTest::iterationsBoxChangesTheLoopCountAndTheSize() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  Toolbars* bars = w.Bars();
  w.SetCurrentAnimation(ThreeFrames());
  QLineEdit* box = bars->IterationsBox();
  box->setText("1");
  QCOMPARE(w.CurrentAnimation()->loopCount, 1u);
  QVERIFY(w.IsModified());
  // Without the looping block the file is smaller; the status bar shows the new size.
  AnimationPtr copy = CopyAnimation(*w.CurrentAnimation());
  QTRY_COMPARE(w.StatusText(2), ShownSize(w, ComputeFileSize(*copy, true, nullptr)));
  box->setText("99999");
  QCOMPARE(shell.recorder.entries.size(), size_t{1});
  QCOMPARE(shell.recorder.entries[0].caption, std::string("Invalid Iteration Value"));
  QCOMPARE(shell.recorder.entries[0].text,
           std::string("The number of iterations must be in the range from 0 to 65535. Recall that 0 means "
                       "continuous loop."));
  QCOMPARE(box->text(), QString("65535"));
  QCOMPARE(w.CurrentAnimation()->loopCount, 65535u);
  box->setText("");
  QCOMPARE(w.CurrentAnimation()->loopCount, 0u);
  // A new document shows its own count; none leaves the box empty.
  AnimationPtr other = test::MakeAnimation(1, 2, 2);
  other->loopCount = 7;
  w.SetCurrentAnimation(std::move(other));
  QCOMPARE(box->text(), QString("7"));
  w.CloseDocument();
  QVERIFY(box->text().isEmpty());
  QVERIFY(!box->isEnabled());
}

void ToolbarsTest::nameListSelectsFramesAndFollowsChanges() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  Toolbars* bars = w.Bars();
  w.SetCurrentAnimation(ThreeFrames());
  QComboBox* list = bars->NameList();
  QVERIFY(list->isEnabled());
  QStringList entries;
  for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
  QCOMPARE(entries, QStringList({"[None]", "#1: first", "#2: second", "#3: third"}));
  // The drop-down is wide enough for its widest entry.
  QVERIFY(list->view()->minimumWidth() >= list->fontMetrics().horizontalAdvance("#2: second"));
  // Choosing an entry selects its frame; "[None]" selects none.
  list->setCurrentIndex(3);
  emit list->activated(3);
  QCOMPARE(w.SelectedIndex(), 2);
  QCOMPARE(w.StatusText(0), QString("  Frame #3 of 3"));
  QCOMPARE(bars->DelayBox()->text(), QString("30"));
  list->setCurrentIndex(0);
  emit list->activated(0);
  QCOMPARE(w.SelectedIndex(), -1);
  // Moving and deleting frames rebuild the list.
  w.SelectFrame(0);
  w.DispatchCommand(kCmdDelete);
  entries.clear();
  for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
  QCOMPARE(entries, QStringList({"[None]", "#1: second", "#2: third"}));
  QCOMPARE(list->currentIndex(), 1);
  bars->SetFrameNameEntry(1, "#2: renamed");
  QCOMPARE(list->itemText(2), QString("#2: renamed"));
  QCOMPARE(list->currentIndex(), 2);
  bars->SetFrameNameEntry(7, "out of range");  // no such entry: nothing happens
  QCOMPARE(list->count(), 3);
}

void ToolbarsTest::picturesHaveAnEmbossedDisabledLook() {
  test::TestShell shell;
  StaticPicture* clock = shell.window.Bars()->ClockPicture();
  clock->setEnabled(true);
  QImage normal = clock->CurrentImage(1.0);
  clock->setEnabled(false);
  QImage disabled = clock->CurrentImage(1.0).convertToFormat(QImage::Format_ARGB32);
  QCOMPARE(normal.size(), QSize(16, 16));
  QCOMPARE(disabled.size(), QSize(16, 16));
  // Only the light and the shadow colours are used, and the shadow lies where the picture is dark.
  QRgb light = clock->palette().color(QPalette::Light).rgb();
  QRgb shadow = clock->palette().color(QPalette::Dark).rgb();
  int shadows = 0, lights = 0;
  QImage source = normal.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      QRgb p = disabled.pixel(x, y);
      if (qAlpha(p) == 0) continue;
      QVERIFY(p == (shadow | 0xFF000000u) || p == (light | 0xFF000000u));
      if (p == (shadow | 0xFF000000u)) {
        ++shadows;
        QVERIFY(qGray(source.pixel(x, y)) < 128 && qAlpha(source.pixel(x, y)) >= 128);
      } else {
        ++lights;
      }
    }
  QVERIFY(shadows > 10);
  QVERIFY(lights > 0);
  // Every command picture draws something, and unknown ids none.
  for (int id :
       std::initializer_list<int>{kCmdNew, kCmdHelp, kCmdShowGlobalPalette, kClockPicture, kLoopPicture}) {
    QImage image = RenderToolbarPicture(id, 32);
    QVERIFY(!image.isNull());
    int painted = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) painted += qAlpha(image.pixel(x, y)) > 0;
    QVERIFY2(painted > 60, qPrintable(QString::number(id)));
  }
  QVERIFY(RenderToolbarPicture(4242, 16).isNull());
  QVERIFY(ToolbarIcon(4242).isNull());
}

void ToolbarsTest::sizeJobEndsWithTheSizeOfTheLatestState() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  Toolbars* bars = w.Bars();
  w.SetCurrentAnimation(SlowToWrite(24, 200, 150));
  w.SelectFrame(3);
  // Edits arrive faster than the size can be computed: each restarts the job.
  for (int round = 0; round < 12; ++round) {
    Click(bars, kCmdInterlace);
    bars->IterationsBox()->setText(QString::number(round % 3));
    bars->DelayBox()->setText(QString::number(round * 7));
    if (round % 4 == 0) w.SelectFrame(round % 24);
    QCoreApplication::processEvents();
  }
  ExpectTheSavedSizeShown(w);
}

void ToolbarsTest::stoppedJobsAreResumedWhenNoStepRestartsThem() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(SlowToWrite(60, 320, 240));
  w.SelectFrame(0);
  // A job is running; an edit that needs no new size stops it, and it must still end with a size.
  w.Jobs().StartColorUsageJob(w.CurrentAnimation());
  w.Jobs().StartFileSizeJob(w.CurrentAnimation(), true);
  Click(w.Bars(), kCmdRemovalPrevious);
  QTRY_VERIFY_WITH_TIMEOUT(w.StatusText(2) != QString("  File Size: Calculating..."), 20000);
  AnimationPtr copy = CopyAnimation(*w.CurrentAnimation());
  QCOMPARE(w.StatusText(2), ShownSize(w, ComputeFileSize(*copy, true, nullptr)));
  // The colour count is complete again.
  w.Jobs().WaitColorJob();
  ColorCounts expected{};
  CountGlobalColorUse(*copy, expected, true);
  QVERIFY(w.CurrentAnimation()->colorUse == expected);
  QVERIFY(!w.Jobs().WasInterrupted(kJobColorUse, w.CurrentAnimation()));
  // An interrupted count is resumed only for its own document.
  w.Jobs().StartColorUsageJob(w.CurrentAnimation());
  w.Jobs().StopJobs();
  AnimationPtr other = test::MakeAnimation(1, 2, 2);
  w.Jobs().ResumeJobs(other.get());
  QVERIFY(!IsJobRunning(kJobColorUse));
  w.Jobs().ResumeJobs(w.CurrentAnimation());
  w.Jobs().WaitColorJob();
  QVERIFY(w.CurrentAnimation()->colorUse == expected);
  // A cancel request left over from a job that ended on its own does not stop the next run.
  SetJobCancelled(kJobFileSize | kJobColorUse, true);
  w.Jobs().StartColorUsageJob(w.CurrentAnimation());
  w.Jobs().StartFileSizeJob(w.CurrentAnimation(), true);
  QTRY_VERIFY_WITH_TIMEOUT(w.StatusText(2) != QString("  File Size: Calculating..."), 20000);
  w.Jobs().WaitColorJob();
  QVERIFY(!w.Jobs().WasInterrupted(kJobColorUse, w.CurrentAnimation()));
  QVERIFY(!w.Jobs().WasInterrupted(kJobFileSize, w.CurrentAnimation()));
}

void ToolbarsTest::undoAndRedoRaceTheSizeJob() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  Toolbars* bars = w.Bars();
  w.SetCurrentAnimation(SlowToWrite(24, 200, 150));
  w.SelectFrame(2);
  for (int round = 0; round < 6; ++round) {
    Click(bars, kCmdInterlace);
    w.DispatchCommand(round % 2 ? kCmdRotate180 : kCmdFlipHorizontal);
    bars->IterationsBox()->setText(QString::number(round));
  }
  // Undo and redo swap whole documents under the job's feet, faster than it can finish; each state
  // brings the size it had, or the job computes it.
  for (int round = 0; round < 20; ++round) {
    w.DispatchCommand(round % 3 == 2 ? kCmdRedo : kCmdUndo);
    if (round % 5 == 0) QTest::qWait(5);
    QCoreApplication::processEvents();
  }
  ExpectTheSavedSizeShown(w);
}

QTEST_MAIN(ToolbarsTest)
#include "test_toolbars.moc"
