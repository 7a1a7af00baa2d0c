// The animation preview window: opening and closing through the command, playing with the delays,
// the buttons' and the slider's wrap rules, the frame waiting for a click, the layout and how the window
// follows changes of the document.
#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QToolBar>
#include <QtTest>

#include "app/dialogs/progress_dialog.h"
#include "app/shell/ids.h"
#include "app/shell/toolbars.h"
#include "app/views/preview_window.h"
#include "app_test_support.h"
#include "edit/rotate_flip.h"

using namespace lw;
using namespace lw::app;

namespace {

// Frames of w × h on a 4-colour palette, frame k filled with index k % 4 and given the delay.
AnimationPtr Clip(int frames, int w, int h, uint32_t delay) {
  AnimationPtr a = test::MakeAnimation(frames, w, h);
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) SetDelay(*f, delay);
  return a;
}

PreviewWindow* OpenPreview(test::TestShell& shell, AnimationPtr a) {
  shell.window.SetCurrentAnimation(std::move(a));
  shell.window.show();
  shell.window.DispatchCommand(kCmdPreview);
  return shell.window.Preview();
}

}  // namespace

class PreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void commandOpensAndEveryWayClosesIt();
  void playsFromFrameOneAndLoopsWithTheDelays();
  void buttonsAndSliderStopAndWrapAtBothEnds();
  void userInputFrameEndsOnAClickInThePicture();
  void holdsWhileALongOperationShowsItsProgress();
  void changesWhileStoppedKeepTheFrameNumber();
  void changesWhilePlayingStartAgainAndNewScreenSizesRelayout();
  void layoutAndPicture();
  void buttonIconsAreDistinctAtEverySize();
};

void PreviewTest::commandOpensAndEveryWayClosesIt() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  // Without a document the command is greyed and opens nothing.
  QVERIFY(!w.Action(kCmdStopPreview)->isEnabled());
  w.DispatchCommand(kCmdPreview);
  QVERIFY(!w.Preview());

  PreviewWindow* p = OpenPreview(shell, Clip(3, 20, 10, 10));
  QVERIFY(p);
  QVERIFY(p->isVisible());
  QVERIFY(!p->isModal());
  QCOMPARE(p->windowTitle(), QString("Loopwright Animation"));
  QVERIFY(p->IsPlaying());
  w.InitMainMenu();
  QVERIFY(w.Action(kCmdPreview)->isChecked());
  QVERIFY(w.Action(kCmdStopPreview)->isEnabled());
  QVERIFY(w.Bars()->IsPressed(kCmdPreview));  // the toolbar button shows the open window too
  QCOMPARE(p->Button(kPreviewPlay)->toolTip(), QString("Play Animation Loop"));
  QCOMPARE(p->Button(kPreviewLast)->toolTip(), QString("Last Frame"));

  // Esc.
  QPointer<PreviewWindow> guard(p);
  QTest::keyClick(p, Qt::Key_Escape);
  QVERIFY(!w.Preview());
  QTRY_VERIFY(guard.isNull());
  w.InitMainMenu();
  QVERIFY(!w.Action(kCmdPreview)->isChecked());
  QVERIFY(!w.Action(kCmdStopPreview)->isEnabled());
  QVERIFY(!w.Bars()->IsPressed(kCmdPreview));

  // The close box.
  w.DispatchCommand(kCmdPreview);
  QVERIFY(w.Preview());
  QVERIFY(!w.Preview()->close());  // the main window does the closing
  QVERIFY(!w.Preview());

  // The toolbar's stop-showing button.
  w.DispatchCommand(kCmdPreview);
  w.DispatchCommand(kCmdStopPreview);
  QVERIFY(!w.Preview());
  // A new document closes the preview of the old one; so does closing the document.
  w.DispatchCommand(kCmdPreview);
  guard = w.Preview();
  w.SetCurrentAnimation(Clip(2, 5, 5, 0));
  QVERIFY(!w.Preview());
  QTRY_VERIFY(guard.isNull());
  w.DispatchCommand(kCmdPreview);
  QVERIFY(w.Preview());
  w.CloseDocument();
  QVERIFY(!w.Preview());
  // Left open when the main window goes: it goes with it (the shell's destructor must not crash).
  w.SetCurrentAnimation(Clip(2, 5, 5, 0));
  w.DispatchCommand(kCmdPreview);
  QVERIFY(w.Preview());
}

void PreviewTest::playsFromFrameOneAndLoopsWithTheDelays() {
  test::TestShell shell;
  PreviewWindow* p = OpenPreview(shell, Clip(3, 8, 8, 0));
  QSignalSpy shown(p, &PreviewWindow::FrameShown);
  QVERIFY(p->WaitingFirst());
  // Delay 0: one millisecond between frames, and after the last the first again.
  QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= 5, 2000);
  QCOMPARE(shown.at(0).at(0).toInt(), 1);
  QCOMPARE(shown.at(1).at(0).toInt(), 2);
  QCOMPARE(shown.at(2).at(0).toInt(), 3);
  QCOMPARE(shown.at(3).at(0).toInt(), 1);
  QVERIFY(!p->WaitingFirst());
  QCOMPARE(p->LastInterval(), 1);
  // Delay 50: half a second. Play goes on from the frame shown, a millisecond after the button.
  SetDelay(*NthFrame(*shell.window.CurrentAnimation(), 0), 50);
  SetDelay(*NthFrame(*shell.window.CurrentAnimation(), 1), 50);
  p->PreviewCommand(kPreviewLast);
  QVERIFY(!p->IsPlaying());
  p->PreviewCommand(kPreviewPlay);
  QVERIFY(p->IsPlaying());
  QTRY_COMPARE(p->Number(), 1);
  QCOMPARE(p->LastInterval(), 500);
  QTest::qWait(250);
  QCOMPARE(p->Number(), 1);
  QTRY_COMPARE(p->Number(), 2);
  // Play again stops.
  p->PreviewCommand(kPreviewPlay);
  QVERIFY(!p->IsPlaying());
}

void PreviewTest::buttonsAndSliderStopAndWrapAtBothEnds() {
  test::TestShell shell;
  PreviewWindow* p = OpenPreview(shell, Clip(5, 8, 8, 100));
  QTRY_COMPARE(p->Number(), 1);
  QVERIFY(p->Button(kPreviewPlay)->isChecked());
  QVERIFY(p->Button(kPreviewStop)->isEnabled());
  // Navigation always stops; Next at the last frame and Previous at the first wrap round.
  const std::pair<int, int> steps[] = {{kPreviewNext, 2},     {kPreviewLast, 5},     {kPreviewNext, 1},
                                       {kPreviewPrevious, 5}, {kPreviewPrevious, 4}, {kPreviewFirst, 1}};
  for (const auto& [button, number] : steps) {
    p->Button(button)->trigger();
    QVERIFY(!p->IsPlaying());
    QCOMPARE(p->Number(), number);
    QCOMPARE(p->Label()->text(), QString("Frame %1").arg(number));
    QCOMPARE(p->Slider()->value(), number);
  }
  QVERIFY(!p->Button(kPreviewPlay)->isChecked());
  QVERIFY(!p->Button(kPreviewStop)->isEnabled());
  p->Button(kPreviewPlay)->trigger();
  QVERIFY(p->IsPlaying());
  p->Button(kPreviewPlay)->trigger();  // pressed again it stops
  QVERIFY(!p->IsPlaying());

  // The slider: range 1 to the count, line steps wrap like the buttons, keys included.
  QSlider* s = p->Slider();
  QCOMPARE(s->minimum(), 1);
  QCOMPARE(s->maximum(), 5);
  p->PreviewCommand(kPreviewPlay);
  s->triggerAction(QAbstractSlider::SliderSingleStepSub);
  QVERIFY(!p->IsPlaying());
  QCOMPARE(p->Number(), 5);
  QCOMPARE(s->value(), 5);
  s->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  QCOMPARE(p->Number(), 1);
  QCOMPARE(s->value(), 1);
  QTest::keyClick(s, Qt::Key_End);
  QCOMPARE(p->Number(), 5);
  QTest::keyClick(s, Qt::Key_Right);
  QCOMPARE(p->Number(), 1);
  QTest::keyClick(s, Qt::Key_Left);
  QCOMPARE(p->Number(), 5);
  // Anything else goes to the position: a drag, a page step that stops at the end.
  s->setSliderDown(true);
  s->setSliderPosition(3);
  s->setSliderDown(false);
  QCOMPARE(p->Number(), 3);
  QCOMPARE(p->Label()->text(), QString("Frame 3"));
  s->triggerAction(QAbstractSlider::SliderToMaximum);
  s->triggerAction(QAbstractSlider::SliderPageStepAdd);
  QCOMPARE(p->Number(), 5);
}

void PreviewTest::userInputFrameEndsOnAClickInThePicture() {
  test::TestShell shell;
  AnimationPtr a = Clip(3, 8, 8, 1000);  // ten seconds each
  SetUserInput(*NthFrame(*a, 0), true);
  PreviewWindow* p = OpenPreview(shell, std::move(a));
  QTRY_COMPARE(p->Number(), 1);
  QCOMPARE(p->LastInterval(), 10000);
  QTest::mouseClick(p->PictureArea(), Qt::LeftButton, {}, QPoint(6, 6));
  QCOMPARE(p->Number(), 2);
  // Frame 2 does not wait for input: a click leaves it to its delay.
  QTest::mouseClick(p->PictureArea(), Qt::LeftButton, {}, QPoint(6, 6));
  QCOMPARE(p->Number(), 2);
  // Nor does a click while stopped end a waiting frame.
  p->PreviewCommand(kPreviewFirst);
  QTest::mouseClick(p->PictureArea(), Qt::LeftButton, {}, QPoint(6, 6));
  QCOMPARE(p->Number(), 1);
}

void PreviewTest::holdsWhileALongOperationShowsItsProgress() {
  test::TestShell shell;
  PreviewWindow* p = OpenPreview(shell, Clip(3, 8, 8, 0));
  QSignalSpy shown(p, &PreviewWindow::FrameShown);
  QTRY_VERIFY(shown.size() > 3);
  {
    // While it is up the operation may be changing the document between its steps.
    ProgressDialog progress(&shell.window);
    progress.show();
    QTRY_VERIFY(QApplication::activeModalWidget() == &progress);
    QTest::qWait(60);
    shown.clear();
    QTest::qWait(120);
    QCOMPARE(shown.size(), 0);
  }
  QTRY_VERIFY(shown.size() > 3);
}

void PreviewTest::changesWhileStoppedKeepTheFrameNumber() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  PreviewWindow* p = OpenPreview(shell, Clip(5, 8, 8, 100));
  QTRY_COMPARE(p->Number(), 1);
  p->PreviewCommand(kPreviewLast);
  p->PreviewCommand(kPreviewPrevious);
  QCOMPARE(p->Number(), 4);
  // Deleting frame 1 through the command: still frame 4 of now 4, the slider follows the count.
  w.SelectFrame(0);
  QVERIFY(w.DispatchCommand(kCmdDelete));
  QCOMPARE(w.CurrentAnimation()->frameCount, 4);
  QCOMPARE(p->Number(), 4);
  QCOMPARE(p->Slider()->maximum(), 4);
  QCOMPARE(p->Label()->text(), QString("Frame 4"));
  QVERIFY(!p->IsPlaying());
  // Deleting the last frame while it is shown: the new last frame.
  w.SelectFrame(3);
  w.DispatchCommand(kCmdDelete);
  QCOMPARE(p->Number(), 3);
  QCOMPARE(p->Slider()->maximum(), 3);
  QCOMPARE(p->Slider()->value(), 3);
  // Files dropped on the filmstrip add frames: the slider takes the new count, the number stays.
  w.SelectFrame(-1);
  w.DropFiles(QPoint(-100, -100), {QString(LW_TEST_DATA) + "/gif/2x2.gif"});
  QCOMPARE(w.CurrentAnimation()->frameCount, 4);
  QCOMPARE(p->Slider()->maximum(), 4);
  QCOMPARE(p->Number(), 3);
  w.SelectFrame(3);
  w.DispatchCommand(kCmdDelete);
  // Every frame deleted: nothing left to show, nothing breaks.
  for (int i = 0; i < 3; ++i) {
    w.SelectFrame(0);
    w.DispatchCommand(kCmdDelete);
  }
  QCOMPARE(w.CurrentAnimation()->frameCount, 0);
  QCOMPARE(p->Number(), 0);
  QCOMPARE(p->Label()->text(), QString("Frame 1"));
  p->PreviewCommand(kPreviewNext);
  p->PreviewCommand(kPreviewPlay);
  QTest::qWait(20);
  QCOMPARE(p->Number(), 0);
}

void PreviewTest::changesWhilePlayingStartAgainAndNewScreenSizesRelayout() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  PreviewWindow* p = OpenPreview(shell, Clip(3, 20, 10, 30));
  QTRY_COMPARE(p->Number(), 2);
  const QSize before = p->size();
  QCOMPARE(p->PictureArea()->size(), QSize(32, 22));
  // A quarter turn of a wide frame makes the screen grow: the window is laid out again and, since it
  // was playing, starts over from the first frame.
  w.SelectFrame(0);
  QVERIFY(w.DispatchCommand(kCmdRotate90Cw));
  QCOMPARE(w.CurrentAnimation()->screenHeight, 20);
  QVERIFY(p->IsPlaying());
  QCOMPARE(p->Number(), 1);
  QCOMPARE(p->PictureArea()->size(), QSize(32, 32));
  QCOMPARE(p->size().height(), before.height() + 10);
  QCOMPARE(p->PictureImage().size(), QSize(20, 20));
  QTRY_COMPARE(p->Number(), 2);
}

void PreviewTest::layoutAndPicture() {
  test::TestShell shell;
  AnimationPtr a = Clip(2, 120, 40, 100);
  // Frame 2 is a small transparent frame that leaves frame 1 visible around its opaque pixel.
  Frame* second = NthFrame(*a, 1);
  CropFrame(*second, 0, 0, 2, 1);
  second->left = 10;
  second->top = 5;
  second->MutableBits()[0] = 0;
  second->MutableBits()[1] = 2;
  SetTransparentIndex(*second, 0);
  SetTransparent(*second, true);
  PreviewWindow* p = OpenPreview(shell, std::move(a));
  QTRY_COMPARE(p->Number(), 1);
  QWidget* area = p->PictureArea();
  QSlider* slider = p->Slider();
  QToolBar* bar = p->Toolbar();
  const int client = p->width();
  QCOMPARE(area->size(), QSize(132, 52));
  QCOMPARE(area->y(), 8);
  QCOMPARE(area->x(), (client - 132) / 2);
  QCOMPARE(slider->y(), 52 + 16);
  QCOMPARE(slider->width(), bar->width());
  QCOMPARE(p->Label()->y(), slider->y() + slider->height() + 4);
  QCOMPARE(bar->y(), p->Label()->y() + p->Label()->height() + 8);
  QCOMPARE(p->height(), bar->y() + bar->height() + 8);
  QCOMPARE(client, std::max(132, bar->width()) + 16);
  QVERIFY(bar->width() >= 6 * 16);

  // The picture drawn in the area at (5, 5): frame 1 in colour 0, then frame 2 over it.
  p->PreviewCommand(kPreviewNext);
  const PaletteEntry c0 = (*shell.window.CurrentAnimation()->globalPalette)[0];
  const PaletteEntry c2 = (*shell.window.CurrentAnimation()->globalPalette)[2];
  QImage shot = area->grab().toImage();
  const qreal scale = shot.devicePixelRatio();
  auto at = [&](int x, int y) {
    return shot.pixelColor(static_cast<int>((x + kPreviewOrigin) * scale),
                           static_cast<int>((y + kPreviewOrigin) * scale));
  };
  QCOMPARE(at(0, 0), QColor(c0.red, c0.green, c0.blue));
  QCOMPARE(at(10, 5), QColor(c0.red, c0.green, c0.blue));  // transparent pixel of frame 2
  QCOMPARE(at(11, 5), QColor(c2.red, c2.green, c2.blue));
  QCOMPARE(at(119, 39), QColor(c0.red, c0.green, c0.blue));
}

void PreviewTest::buttonIconsAreDistinctAtEverySize() {
  const int ids[] = {kPreviewPlay, kPreviewStop, kPreviewFirst, kPreviewPrevious, kPreviewNext, kPreviewLast};
  for (int size : {16, 32, 48}) {
    std::vector<QImage> images;
    for (int id : ids) {
      QImage image = PreviewButtonIcon(id).pixmap(size, size).toImage();
      QCOMPARE(image.size(), QSize(size, size));
      int inked = 0;
      for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) inked += qAlpha(image.pixel(x, y)) > 128;
      // Each glyph covers a good part of its square, and no two are alike.
      QVERIFY2(inked > size * size / 6, qPrintable(QString("%1 at %2").arg(id).arg(size)));
      for (const QImage& other : images) QVERIFY(other != image);
      images.push_back(image);
    }
  }
}

QTEST_MAIN(PreviewTest)
#include "test_preview.moc"
