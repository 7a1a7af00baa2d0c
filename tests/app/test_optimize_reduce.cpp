// The Optimize Animation and Reduce Palette dialogs: their enable rules and texts, the background size
// preview (last choice wins, Cancel leaves the document as it was, OK is one Undo step) and the engine's
// result for every choice, the lossy level and the fit under a size among them.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>
#include <atomic>

#include "app/dialogs/optimize_dialog.h"
#include "app/dialogs/reduce_palette_dialog.h"
#include "app/shell/ids.h"
#include "app/views/preview_window.h"
#include "app_test_support.h"
#include "color/reduce_palettes.h"
#include "gif/gif_writer.h"
#include "optimize/best.h"
#include "optimize/lossy.h"

using namespace lw;
using namespace lw::app;

// Answers a worker's call on the interface thread, as a message box would.
class InterfaceThreadAnswer : public QObject {
  Q_OBJECT

 public:
  std::atomic<bool> asked{false}, answered{false};
  Q_INVOKABLE void Answer() { answered = true; }
};

class OptimizeReduceTest : public QObject {
  Q_OBJECT

 private slots:
  void sizeTextsNeverShowAnUnknownSize();
  void previewJobStopServesTheInterfaceThread();
  void optimizeEnableRulesAndTexts();
  void optimizeOpensWhollyOnTheScreen();
  void optimizeCancelAfterTogglesLeavesTheDocument();
  void optimizeLastToggleWinsAndOkIsOneUndoStep();
  void optimizeBestGivesTheStrongerResult();
  void optimizeLossyPreviewIsSmallerAndOkSavesThatSize();
  void optimizeFitUnderReachesTheLimitOrSaysItCannot();
  void reduceOffersTheDepthsBelowTheLargestPalette();
  void reduceEveryDepthGivesTheEngineResult();
  void reduceOkIsOneUndoStepAndCancelMidRunChangesNothing();
  void reduceRefusesSmallPalettes();
};

namespace {

std::vector<uint8_t> Saved(Animation& a) {
  MemorySink sink;
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  WriteGif(sink, a, nullptr);
  return sink.bytes;
}

// Frames that differ only in a small moving square over a busy background: shrinking frames saves a lot,
// and frame 3 repeats frame 2 (a frame that changes nothing). Frame 4 has a local palette.
AnimationPtr Moving(int frames = 6, int w = 48, int h = 36, int colors = 64) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = w;
  a->screenHeight = h;
  SetGlobalPalette(*a, test::MakePalette(colors));
  for (int k = 0; k < frames; ++k) {
    int at = k == 3 ? 2 : k;
    FramePtr f = test::MakeFrame(w, h, a->globalPalette.get(), [&](int x, int y) {
      bool square = x >= at * 5 && x < at * 5 + 6 && y >= 10 && y < 16;
      return static_cast<uint8_t>(square ? colors - 1 : (x * 3 + y * 5 + (x ^ y)) % (colors - 1));
    });
    f->delay = 5;
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
  return a;
}

void AddLocalPalette(Animation& a, int frame) {
  SetLocalPalette(*NthFrame(a, frame), test::MakePalette(16));
}

template <typename W>
W* Find(QWidget* dialog, int id) {
  return dialog->findChild<W*>(QString::number(id));
}

// Waits until the dialog's experiment has a result for its newest choice.
bool WaitForResult(PreviewJob& job) {
  QElapsedTimer clock;
  clock.start();
  while ((job.IsBusy() || !job.HasResult()) && clock.elapsed() < 20000) QTest::qWait(5);
  return job.HasResult() && !job.IsBusy();
}

// The same for the Optimize dialog, whose loss choices wait a moment before they start a run.
bool WaitForPreview(OptimizeDialog& d) {
  QElapsedTimer clock;
  clock.start();
  while (d.Waiting() && clock.elapsed() < 20000) QTest::qWait(5);
  return !d.Waiting();
}

bool OkEnabled(QDialog& d) {
  return d.findChild<QPushButton*>("1")->isEnabled();
}

// What the optimizer makes of a copy of the document with the techniques given.
AnimationPtr Optimized(const Animation& a, OptimizeOptions options) {
  AnimationPtr copy = CopyAnimation(a);
  OptimizeAnimation(*copy, options, nullptr);
  return copy;
}

uint32_t MeasuredSize(Animation& a) {
  return ComputeFileSize(a, true, nullptr);
}

}  // namespace

void OptimizeReduceTest::sizeTextsNeverShowAnUnknownSize() {
  QCOMPARE(SizeText(kUnknownFileSize), QString());
  QCOMPARE(SizeText(0), QString("None"));
  QVERIFY(SizeText(1234567).startsWith("1"));
  QVERIFY(SizeText(1234567).endsWith(" bytes"));
  QCOMPARE(SizeText(1234567).size(), QString("1,234,567 bytes").size());
  // An unknown size on either side gives no saving at all, never one over 100 %.
  QCOMPARE(SavingText(kUnknownFileSize, 100), QString());
  QCOMPARE(SavingText(100, kUnknownFileSize), QString());
  QCOMPARE(SavingPercentText(100, kUnknownFileSize), QString());
  QCOMPARE(SavingsLine(100, kUnknownFileSize), QString());
  QCOMPARE(SavingsLine(kUnknownFileSize, 10), QString());
  // A larger result is no saving; an equal one is "None".
  QCOMPARE(SavingText(100, 120), QString());
  QCOMPARE(SavingText(100, 100), QString("None"));
  QCOMPARE(SavingPercentText(100, 100), QString("(0.0%)"));
  QCOMPARE(SavingPercentText(200, 150), QString("(25.0%)"));
  QCOMPARE(SavingsLine(100, 100), QString("Savings: None"));
  QCOMPARE(SavingsLine(100, 130), QString("Savings: None"));
  QCOMPARE(SavingsLine(1000, 750), QString("Savings: 250 bytes (25.0%)"));
}

void OptimizeReduceTest::previewJobStopServesTheInterfaceThread() {
  // A worker that waits for the interface thread ignores the cancel until it is answered: Stop must
  // serve the interface thread's events while it waits, or the two wait for each other.
  InterfaceThreadAnswer answer;
  PreviewJob job(kJobOptimizePreview);
  job.Start([&answer](ProgressRecord*) {
    QMetaObject::invokeMethod(&answer, "Answer", Qt::QueuedConnection);
    answer.asked = true;
    QElapsedTimer waited;
    waited.start();
    while (!answer.answered && waited.elapsed() < 5000) QThread::msleep(1);
    return PreviewResult{};
  });
  // Waits without serving events, so that the call is still unanswered when Stop begins.
  for (int i = 0; i < 5000 && !answer.asked; ++i) QThread::msleep(1);
  QVERIFY(answer.asked);
  QVERIFY(!answer.answered);
  QElapsedTimer clock;
  clock.start();
  job.Stop();
  QVERIFY(answer.answered);
  QVERIFY(clock.elapsed() < 4000);
  QVERIFY(!job.IsBusy());
  QVERIFY(!job.HasResult());
  QVERIFY(!IsJobRunning(kJobOptimizePreview));
}

void OptimizeReduceTest::optimizeEnableRulesAndTexts() {
  test::ScopedSettings settings;
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  SetPreference(kPrefOptimize, kShrinkFrames | kRemoveUnneededFrames | kMapToGlobal);
  AnimationPtr a = Moving();
  uint32_t before = MeasuredSize(*a);
  {
    OptimizeDialog d(*a, nullptr);
    // No local palette: its box and the two ways are disabled; the way follows the stored bit.
    QVERIFY(!Find<QCheckBox>(&d, kOptRemoveLocal)->isEnabled());
    QVERIFY(!Find<QRadioButton>(&d, kOptCleanMerge)->isEnabled());
    QVERIFY(Find<QRadioButton>(&d, kOptMapToGlobal)->isChecked());
    QVERIFY(Find<QCheckBox>(&d, kOptShrinkFrames)->isChecked());
    QVERIFY(Find<QCheckBox>(&d, kOptDuplicates)->isEnabled());
    QVERIFY(!Find<QCheckBox>(&d, kOptDuplicates)->isChecked());
    QVERIFY(Find<QCheckBox>(&d, kOptRemoveFrames)->isChecked());
    QCOMPARE(d.Options(), uint32_t{kShrinkFrames | kRemoveUnneededFrames | kMapToGlobal});
    // Unchecking the frame pass disables its two options, which keep their state and bits.
    Find<QCheckBox>(&d, kOptShrinkFrames)->setChecked(false);
    QVERIFY(!Find<QCheckBox>(&d, kOptRemoveFrames)->isEnabled());
    QVERIFY(Find<QCheckBox>(&d, kOptRemoveFrames)->isChecked());
    QCOMPARE(d.Options(), uint32_t{kRemoveUnneededFrames | kMapToGlobal});
    Find<QCheckBox>(&d, kOptShrinkFrames)->setChecked(true);
    // Best runs the stronger optimizer: the technique boxes stand aside.
    Find<QCheckBox>(&d, kOptBest)->setChecked(true);
    QVERIFY(!Find<QCheckBox>(&d, kOptShrinkFrames)->isEnabled());
    QVERIFY(!Find<QCheckBox>(&d, kOptShrinkPalettes)->isEnabled());
    Find<QCheckBox>(&d, kOptBest)->setChecked(false);
    QVERIFY(Find<QCheckBox>(&d, kOptShrinkFrames)->isEnabled());

    QCOMPARE(d.Runs(), 0);  // nothing runs before the dialog shows
    d.show();
    QVERIFY(WaitForResult(d.Job()));
    QCOMPARE(Find<QLabel>(&d, kOptCurrentSize)->text(), SizeText(before));
    uint32_t optimized = d.Job().Result().size;
    QVERIFY(optimized < before);
    QCOMPARE(Find<QLabel>(&d, kOptNewSize)->text(), SizeText(optimized));
    QCOMPARE(Find<QLabel>(&d, kOptSaving)->text(), SizeText(before - optimized));
    QCOMPARE(Find<QLabel>(&d, kOptPercent)->text(), SavingPercentText(before, optimized));
    // The copy dropped the repeated frame; unchecking the box must run again, checking it back too.
    QCOMPARE(d.Job().Result().copy->frameCount, a->frameCount - 1);
    int runs = d.Runs();
    Find<QCheckBox>(&d, kOptRemoveFrames)->setChecked(false);
    QCOMPARE(d.Runs(), runs + 1);
    QVERIFY(WaitForResult(d.Job()));
    QCOMPARE(d.Job().Result().copy->frameCount, a->frameCount);
    // Frames that change nothing were cut to one pixel: checking the box runs again.
    Find<QCheckBox>(&d, kOptRemoveFrames)->setChecked(true);
    QCOMPARE(d.Runs(), runs + 2);
    QVERIFY(WaitForResult(d.Job()));
    d.reject();
  }
  // A local palette enables the box; its ways follow the box.
  AddLocalPalette(*a, 4);
  SetPreference(kPrefOptimize, kShrinkPalettes);
  OptimizeDialog d(*a, nullptr);
  QVERIFY(Find<QCheckBox>(&d, kOptRemoveLocal)->isEnabled());
  QVERIFY(!Find<QRadioButton>(&d, kOptCleanMerge)->isEnabled());
  QVERIFY(Find<QRadioButton>(&d, kOptCleanMerge)->isChecked());
  QVERIFY(!Find<QCheckBox>(&d, kOptDuplicates)->isEnabled());
  Find<QCheckBox>(&d, kOptRemoveLocal)->setChecked(true);
  QVERIFY(Find<QRadioButton>(&d, kOptCleanMerge)->isEnabled());
  QVERIFY(Find<QRadioButton>(&d, kOptMapToGlobal)->isEnabled());
  QCOMPARE(Find<QLabel>(&d, kOptNewSize)->text(), QString());
  QVERIFY(hooks.entries.empty());
}

void OptimizeReduceTest::optimizeOpensWhollyOnTheScreen() {
  // The dialog is placed by the size its layout gives it, not by a guess made before the layout ran,
  // and its top-left corner (the title bar) stays on the screen.
  test::ScopedSettings settings;
  AnimationPtr a = Moving();
  OptimizeDialog d(*a, nullptr);
  QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect placed = d.geometry();
  QVERIFY(room.contains(placed.topLeft()));
  if (placed.height() <= room.height()) QVERIFY(placed.bottom() <= room.bottom());
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  QCOMPARE(d.size(), placed.size());
  QVERIFY(room.contains(d.geometry().topLeft()));
  d.reject();
}

void OptimizeReduceTest::optimizeCancelAfterTogglesLeavesTheDocument() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(Moving());
  std::vector<uint8_t> before = Saved(*w.CurrentAnimation());
  int runs = 0;
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<OptimizeDialog&>(dialog);
    d.show();
    // Choices in quick succession, each cancelling the run before it.
    for (int id : {kOptShrinkPalettes, kOptDuplicates, kOptShrinkFrames, kOptShrinkFrames, kOptBest}) {
      Find<QCheckBox>(&d, id)->toggle();
      QTest::qWait(1);
    }
    runs = d.Runs();
    d.reject();
    return d.result();
  };
  QVERIFY(w.DispatchCommand(kCmdOptimize));
  QCOMPARE(runs, 6);
  QVERIFY(!IsJobRunning(kJobOptimizePreview));
  QVERIFY(Saved(*w.CurrentAnimation()) == before);
  QVERIFY(!w.IsModified());
  QVERIFY(!w.History().CanUndo());
}

void OptimizeReduceTest::optimizeLastToggleWinsAndOkIsOneUndoStep() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  SetPreference(kPrefOptimize, kShrinkFrames | kShrinkPalettes);
  w.SetCurrentAnimation(Moving());
  w.SelectFrame(5);
  std::vector<uint8_t> before = Saved(*w.CurrentAnimation());
  AnimationPtr expected =
      Optimized(*w.CurrentAnimation(), kShrinkFrames | kShrinkPalettes | kRemoveUnneededFrames);
  std::vector<uint8_t> wanted = Saved(*expected);
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<OptimizeDialog&>(dialog);
    d.show();
    Find<QCheckBox>(&d, kOptDuplicates)->setChecked(true);
    Find<QCheckBox>(&d, kOptRemoveFrames)->setChecked(true);
    Find<QCheckBox>(&d, kOptDuplicates)->setChecked(false);
    // OK while the last run goes on waits for it and takes its result.
    d.accept();
    WaitForResult(d.Job());
    QCoreApplication::processEvents();
    return d.result();
  };
  QVERIFY(w.DispatchCommand(kCmdOptimize));
  Animation& a = *w.CurrentAnimation();
  QVERIFY(Saved(a) == wanted);
  QCOMPARE(a.frameCount, 5);
  QCOMPARE(GetPreference(kPrefOptimize), uint32_t{kShrinkFrames | kShrinkPalettes | kRemoveUnneededFrames});
  // The selected frame went with the removed one.
  QCOMPARE(w.SelectedIndex(), -1);
  QVERIFY(w.IsModified());
  // The colour count starts again on the new contents.
  QTRY_VERIFY(!IsJobRunning(kJobColorUse));
  ColorCounts counted{};
  CountGlobalColorUse(a, counted, true);
  QVERIFY(counted == a.colorUse);
  QCOMPARE(QString::fromStdString(w.History().UndoName()), QString("Optimize Animation"));
  QVERIFY(w.DispatchCommand(kCmdUndo));
  QVERIFY(Saved(*w.CurrentAnimation()) == before);
  QVERIFY(!w.IsModified());
}

void OptimizeReduceTest::optimizeBestGivesTheStrongerResult() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(Moving(4, 32, 24, 32));
  AnimationPtr expected = CopyAnimation(*w.CurrentAnimation());
  OptimizeAnimationBest(*expected, nullptr);
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<OptimizeDialog&>(dialog);
    d.show();
    Find<QCheckBox>(&d, kOptBest)->setChecked(true);
    if (!WaitForResult(d.Job())) return 0;
    d.accept();
    return d.result();
  };
  QVERIFY(w.DispatchCommand(kCmdOptimize));
  QVERIFY(Saved(*w.CurrentAnimation()) == Saved(*expected));
}

void OptimizeReduceTest::optimizeLossyPreviewIsSmallerAndOkSavesThatSize() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  SetPreference(kPrefOptimize, kShrinkFrames | kShrinkPalettes);
  w.SetCurrentAnimation(Moving(6, 96, 72, 64));
  std::vector<uint8_t> before = Saved(*w.CurrentAnimation());
  AnimationPtr expected = Optimized(*w.CurrentAnimation(), kShrinkFrames | kShrinkPalettes);
  QVERIFY(LossyAnimation(*expected, 60) > 0);
  uint32_t lossless = 0, previewed = 0;
  QString level, shownSize;
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<OptimizeDialog&>(dialog);
    d.show();
    if (!WaitForPreview(d)) return 0;
    lossless = d.Job().Result().size;
    // The slider's change shows at once and runs once it settles.
    Find<QSlider>(&d, kOptLossy)->setValue(60);
    level = Find<QLabel>(&d, kOptLossyValue)->text();
    if (!d.Waiting() || !Find<QLabel>(&d, kOptNewSize)->text().isEmpty()) return 0;
    if (!WaitForPreview(d)) return 0;
    previewed = d.Job().Result().size;
    shownSize = Find<QLabel>(&d, kOptNewSize)->text();
    d.accept();
    return d.result();
  };
  QVERIFY(w.DispatchCommand(kCmdOptimize));
  QCOMPARE(level, QString("60"));
  QVERIFY(previewed < lossless);
  QCOMPARE(shownSize, SizeText(previewed));
  // OK took exactly the copy that was measured: the lossless techniques, then the loss.
  std::vector<uint8_t> saved = Saved(*w.CurrentAnimation());
  QCOMPARE(saved.size(), size_t{previewed});
  QVERIFY(saved == Saved(*expected));
  QCOMPARE(QString::fromStdString(w.History().UndoName()), QString("Optimize Animation"));
  QVERIFY(w.DispatchCommand(kCmdUndo));
  QVERIFY(Saved(*w.CurrentAnimation()) == before);
  QVERIFY(!w.History().CanUndo());
}

void OptimizeReduceTest::optimizeFitUnderReachesTheLimitOrSaysItCannot() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  SetPreference(kPrefOptimize, kShrinkFrames | kShrinkPalettes);
  w.SetCurrentAnimation(Moving(6, 96, 72, 64));
  std::vector<uint8_t> before = Saved(*w.CurrentAnimation());
  // A limit the lossless techniques miss and the engine's fit reaches.
  AnimationPtr expected = Optimized(*w.CurrentAnimation(), kShrinkFrames | kShrinkPalettes);
  const uint32_t kilobytes = MeasuredSize(*expected) * 8 / 10 / 1024;
  QVERIFY(kilobytes > 0);
  FitResult fit = FitToSize(expected, kilobytes * 1024);
  QVERIFY(fit.fits);
  QVERIFY(fit.level > 0 || fit.bits < 8);

  PreviewResult shown;
  QString text;
  bool lossyEnabled = true, okEnabled = false;
  auto fitUnder = [&](OptimizeDialog& d, const QString& field) {
    Find<QSlider>(&d, kOptLossy)->setValue(30);  // the fit finds its own level
    Find<QLineEdit>(&d, kOptFitUnder)->setText(field);
    lossyEnabled = Find<QSlider>(&d, kOptLossy)->isEnabled();
    if (!WaitForPreview(d)) return false;
    shown.fitLimit = d.Job().Result().fitLimit;
    shown.fit = d.Job().Result().fit;
    shown.size = d.Job().Result().size;
    text = Find<QLabel>(&d, kOptFitResult)->text();
    okEnabled = OkEnabled(d);
    return true;
  };
  // Cancel after a fit leaves the document as it was.
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<OptimizeDialog&>(dialog);
    d.show();
    fitUnder(d, QString::number(kilobytes));
    d.reject();
    return d.result();
  };
  QVERIFY(w.DispatchCommand(kCmdOptimize));
  QVERIFY(!lossyEnabled);
  QCOMPARE(shown.fitLimit, kilobytes * 1024);
  QVERIFY(shown.fit.fits);
  QCOMPARE(shown.fit.level, fit.level);
  QCOMPARE(shown.fit.bits, fit.bits);
  QVERIFY(shown.size <= kilobytes * 1024);
  QCOMPARE(text, FitText(kilobytes * 1024, shown));
  QVERIFY(text.startsWith(QString("Fits under %1 KB with lossy ").arg(kilobytes)));
  QVERIFY(okEnabled);
  QVERIFY(Saved(*w.CurrentAnimation()) == before);
  QVERIFY(!w.IsModified());
  QVERIFY(!w.History().CanUndo());

  // OK saves the fitted copy: at most the limit, the size previewed, one Undo step.
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<OptimizeDialog&>(dialog);
    d.show();
    if (!fitUnder(d, QString::number(kilobytes))) return 0;
    d.accept();
    return d.result();
  };
  QVERIFY(w.DispatchCommand(kCmdOptimize));
  std::vector<uint8_t> saved = Saved(*w.CurrentAnimation());
  QCOMPARE(saved.size(), size_t{shown.size});
  QVERIFY(saved == Saved(*expected));
  QVERIFY(w.DispatchCommand(kCmdUndo));
  QVERIFY(Saved(*w.CurrentAnimation()) == before);

  // A hundred frames cannot be written in 1 KB whatever the loss: the dialog says so and OK takes
  // nothing.
  w.SetCurrentAnimation(Moving(100, 16, 12, 16));
  before = Saved(*w.CurrentAnimation());
  bool closed = true, okAgain = false;
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<OptimizeDialog&>(dialog);
    d.show();
    if (!fitUnder(d, "1")) return 0;
    d.accept();
    closed = !d.isVisible();
    // Emptying the field takes the limit away: OK takes the lossless result again.
    Find<QLineEdit>(&d, kOptFitUnder)->clear();
    okAgain = WaitForPreview(d) && OkEnabled(d) && Find<QLabel>(&d, kOptFitResult)->text().isEmpty() &&
              Find<QSlider>(&d, kOptLossy)->isEnabled();
    d.reject();
    return d.result();
  };
  QVERIFY(w.DispatchCommand(kCmdOptimize));
  QVERIFY(!shown.fit.fits);
  QVERIFY(shown.size > 1024);
  QVERIFY(text.startsWith("Cannot fit under 1 KB: the smallest reached is "));
  QVERIFY(!okEnabled);
  QVERIFY(!closed);
  QVERIFY(okAgain);
  QVERIFY(Saved(*w.CurrentAnimation()) == before);
  QVERIFY(!w.History().CanUndo());
}

void OptimizeReduceTest::reduceOffersTheDepthsBelowTheLargestPalette() {
  test::ScopedSettings settings;
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = Moving(3, 16, 12, 20);  // 20 colours need 5 bits
  // A stored depth with no item (the settings can hold 0 to 2) selects the first item.
  for (uint32_t stored : {0u, 2u, 0x10002u, 7u, 4u, 0x10003u}) {
    SetPreference(kPrefReduce, stored);
    ReducePaletteDialog d(*a, nullptr);
    QCOMPARE(d.Combo()->count(), 2);
    QCOMPARE(d.Combo()->itemText(0), QString("16  (4 bits/pixel)"));
    QCOMPARE(d.Combo()->itemText(1), QString("8  (3 bits/pixel)"));
    QCOMPARE(d.Combo()->currentIndex(), (stored & 0xFFFF) == 3 ? 1 : 0);
    QCOMPARE(d.Dither()->isChecked(), (stored & 0x10000) != 0);
    QCOMPARE(Find<QLabel>(&d, kReduceFullColors)->text(), QString("(32 colors)"));
  }
  // A 256-colour local palette offers 128 down to 8.
  SetLocalPalette(*NthFrame(*a, 1), test::MakePalette(256));
  ReducePaletteDialog d(*a, nullptr);
  QCOMPARE(d.Combo()->count(), 5);
  QCOMPARE(d.Combo()->itemData(0).toInt(), 7);
  QCOMPARE(d.Combo()->itemText(0), QString("128  (7 bits/pixel)"));
}

void OptimizeReduceTest::reduceEveryDepthGivesTheEngineResult() {
  test::ScopedSettings settings;
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = Moving(4, 40, 30, 200);
  SetTransparentIndex(*NthFrame(*a, 2), 5);
  SetTransparent(*NthFrame(*a, 2), true);
  CountGlobalColorUse(*a, a->colorUse, true);
  std::vector<uint8_t> before = Saved(*a);
  SetPreference(kPrefReduce, 0x10007);
  ReducePaletteDialog d(*a, nullptr);
  d.show();
  QVERIFY(WaitForResult(d.Job()));
  QCOMPARE(Find<QLabel>(&d, kReduceFullSize)->text(), "File Size: " + SizeText(MeasuredSize(*a)));
  for (bool dither : {true, false}) {
    d.Dither()->setChecked(dither);
    for (int item = 0; item < d.Combo()->count(); ++item) {
      d.Combo()->setCurrentIndex(item);
      QVERIFY(WaitForResult(d.Job()));
      int bits = d.Combo()->currentData().toInt();
      AnimationPtr expected = CopyAnimation(*a);
      QVERIFY(ReducePalettes(*expected, bits, dither, nullptr));
      Animation& got = *d.Job().Result().copy;
      QVERIFY2(Saved(got) == Saved(*expected),
               qPrintable(QString("bits %1 dither %2").arg(bits).arg(dither)));
      QCOMPARE(Find<QLabel>(&d, kReduceReducedColors)->text(), QString("(%1 colors)").arg(1 << bits));
      uint32_t size = d.Job().Result().size;
      QCOMPARE(Find<QLabel>(&d, kReduceReducedSize)->text(), "File Size: " + SizeText(size));
      QCOMPARE(Find<QLabel>(&d, kReduceSavings)->text(), SavingsLine(MeasuredSize(*a), size));
      // The right pane shows the reduced copy at the slider's frame.
      QVERIFY(d.Right()->Shown() == &got);
    }
  }
  // Both panes step together and wrap at both ends.
  d.Command(kPreviewPrevious);
  QCOMPARE(d.Slider()->value(), 4);
  d.Command(kPreviewNext);
  QCOMPARE(d.Slider()->value(), 1);
  d.Command(kPreviewLast);
  QVERIFY(d.Left()->Picture() != QImage());
  QVERIFY(d.Right()->Picture().size() == d.Left()->Picture().size());
  d.reject();
  // The document itself never changed.
  QVERIFY(Saved(*a) == before);
  QVERIFY(hooks.entries.empty());
}

void OptimizeReduceTest::reduceOkIsOneUndoStepAndCancelMidRunChangesNothing() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  SetPreference(kPrefReduce, 4);
  w.SetCurrentAnimation(Moving(40, 200, 150, 256));
  Animation& a = *w.CurrentAnimation();
  std::vector<uint8_t> before = Saved(a);
  bool wasBusy = false;
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<ReducePaletteDialog&>(dialog);
    d.show();
    QTest::qWait(1);
    d.Command(kPreviewPlay);
    // Cancel while the reduction runs: it is stopped and waited for, the copy freed.
    wasBusy = d.Job().IsBusy();
    d.reject();
    return d.result();
  };
  QVERIFY(w.DispatchCommand(kCmdReducePalettes));
  QVERIFY(wasBusy);
  QVERIFY(!IsJobRunning(kJobReducePreview));
  QVERIFY(Saved(*w.CurrentAnimation()) == before);
  QVERIFY(!w.IsModified());
  QVERIFY(!w.History().CanUndo());

  AnimationPtr expected = CopyAnimation(a);
  ReducePalettes(*expected, 4, false, nullptr);
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<ReducePaletteDialog&>(dialog);
    d.show();
    d.accept();  // waits for the run and takes its copy
    WaitForResult(d.Job());
    QCoreApplication::processEvents();
    return d.result();
  };
  QVERIFY(w.DispatchCommand(kCmdReducePalettes));
  QVERIFY(Saved(*w.CurrentAnimation()) == Saved(*expected));
  QCOMPARE(w.CurrentAnimation()->globalPalette->Count(), 16);
  QCOMPARE(GetPreference(kPrefReduce), 4u);
  QVERIFY(w.IsModified());
  QVERIFY(w.DispatchCommand(kCmdUndo));
  QVERIFY(Saved(*w.CurrentAnimation()) == before);
}

void OptimizeReduceTest::reduceRefusesSmallPalettes() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(test::MakeAnimation(2, 8, 8, 8));
  bool ran = false;
  w.DialogServices().runDialog = [&](QDialog&) {
    ran = true;
    return 0;
  };
  w.InitMainMenu();
  QVERIFY(w.Action(kCmdReducePalettes)->isEnabled());
  QVERIFY(w.DispatchCommand(kCmdReducePalettes));
  QVERIFY(!ran);
  QCOMPARE(shell.recorder.entries.size(), size_t{1});
  QCOMPARE(QString::fromStdString(shell.recorder.entries[0].caption), QString("Non-reducible Palette"));
  QVERIFY(!w.IsModified());
}

QTEST_MAIN(OptimizeReduceTest)
#include "test_optimize_reduce.moc"
