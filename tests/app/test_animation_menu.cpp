// The Animation menu: each command through its dialog is one undoable step, and undo gives back the very
// bytes the document saved as before it.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMenuBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "app/dialogs/resize_dialog.h"
#include "app/dialogs/timing_dialogs.h"
#include "app/shell/ids.h"
#include "app_test_support.h"
#include "gif/gif_sink.h"
#include "gif/gif_writer.h"

using namespace lw;
using namespace lw::app;

class AnimationMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void theMenuHoldsTheSixCommands();
  void resizeDialogKeepsProportionsAndGivesItsOptions();
  void eachCommandIsOneStepThatUndoesExactly();
  void cancelChangesNothing();
};

namespace {

// Four frames, the first and the last alike (never next to each other), frame 1 on a local palette.
AnimationPtr Sample() {
  AnimationPtr a = test::MakeAnimation(4, 12, 8, 4);
  for (int i = 0; i < 4; ++i) {
    Frame* f = NthFrame(*a, i);
    uint8_t* bits = f->MutableBits();
    for (int y = 0; y < f->height; ++y)
      for (int x = 0; x < f->width; ++x)
        bits[y * f->Stride() + x] = static_cast<uint8_t>((x / 3 + y / 2 + (i == 3 ? 0 : i)) % 4);
    SetDelay(*f, static_cast<uint32_t>(10 * (i + 1)));
  }
  SetLocalPalette(*NthFrame(*a, 1),
                  test::MakePalette(4, {{1, 2, 3, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}, {200, 0, 9, 0}}));
  return a;
}

}  // namespace

void AnimationMenuTest::theMenuHoldsTheSixCommands() {
  test::TestShell shell;
  QMenu* menu = shell.window.findChild<QMenu*>("Animation");
  QVERIFY(menu);
  QStringList texts;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) texts << action->text();
  QCOMPARE(texts, QStringList({"&Resize...", "&Crop...", "Re&verse", "Change &Speed...", "&Drop Frames...",
                               "Remove D&uplicate Frames"}));
}

void AnimationMenuTest::resizeDialogKeepsProportionsAndGivesItsOptions() {
  AnimationPtr a = test::MakeAnimation(1, 800, 600);
  ResizeDialog d(*a, nullptr);
  QCOMPARE(d.Width()->value(), 400);  // 50 % to start with
  QVERIFY(!d.Width()->isEnabled());
  d.BySize()->setChecked(true);
  QVERIFY(d.Width()->isEnabled());
  d.Width()->setValue(200);
  QCOMPARE(d.Height()->value(), 150);
  d.KeepAspect()->setChecked(false);
  d.Height()->setValue(90);
  QCOMPARE(d.Width()->value(), 200);
  d.Filter()->setCurrentIndex(1);
  QVERIFY(!d.Dither()->isEnabled());
  ResizeOptions o = d.Options();
  QCOMPARE(o.width, 200);
  QCOMPARE(o.height, 90);
  QVERIFY(o.filter == ResizeFilter::kNearest);
  d.ByPercent()->setChecked(true);
  d.Percent()->setValue(25);
  QCOMPARE(d.Options().width, 200);
  QCOMPARE(d.Options().height, 150);
}

void AnimationMenuTest::eachCommandIsOneStepThatUndoesExactly() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(Sample());
  Animation& a = *w.CurrentAnimation();
  struct Kind {
    int id;
    const char* step;
    std::function<void(QDialog&)> fill;
    std::function<bool(const Animation&)> check;
  };
  const std::vector<Kind> kinds = {
      {kCmdResizeAnimation, "Resize",
       [](QDialog& dialog) {
         auto& d = static_cast<ResizeDialog&>(dialog);
         d.Percent()->setValue(200);
         d.Dither()->setChecked(true);
       },
       [](const Animation& b) { return b.screenWidth == 24 && b.screenHeight == 16; }},
      {kCmdCropAnimation, "Crop",
       [](QDialog& dialog) {
         auto& d = static_cast<CropScreenDialog&>(dialog);
         d.Box(0)->setValue(2);
         d.Box(2)->setValue(5);
       },
       [](const Animation& b) { return b.screenWidth == 5 && b.screenHeight == 8; }},
      {kCmdReverseAnimation, "Reverse", nullptr,
       [](const Animation& b) { return FirstFrame(b)->delay == 40; }},
      {kCmdChangeSpeed, "Change Speed",
       [](QDialog& dialog) { static_cast<SpeedDialog&>(dialog).FactorBox()->setValue(0.5); },
       [](const Animation& b) { return FirstFrame(b)->delay == 20; }},
      {kCmdDropFrames, "Drop Frames",
       [](QDialog& dialog) { static_cast<DropFramesDialog&>(dialog).EveryBox()->setValue(2); },
       [](const Animation& b) { return b.frameCount == 2 && FirstFrame(b)->delay == 30; }},
  };
  for (const Kind& k : kinds) {
    const std::vector<uint8_t> before = test::SavedBytes(a);
    w.DialogServices().runDialog = [&k](QDialog& dialog) {
      if (k.fill) k.fill(dialog);
      dialog.accept();
      return dialog.result();
    };
    QVERIFY(w.DispatchCommand(k.id));
    QVERIFY2(k.check(a), k.step);
    QCOMPARE(w.History().UndoName(), std::string(k.step));
    const std::vector<uint8_t> after = test::SavedBytes(a);
    QVERIFY(after != before);
    w.DispatchCommand(kCmdUndo);
    QVERIFY2(test::SavedBytes(a) == before, k.step);
    w.DispatchCommand(kCmdRedo);
    QVERIFY2(test::SavedBytes(a) == after, k.step);
    w.DispatchCommand(kCmdUndo);
  }
  // No frame repeats the one before it: no step, a word to the user.
  const size_t messages = shell.recorder.entries.size();
  const std::string undoName = w.History().UndoName();
  QVERIFY(w.DispatchCommand(kCmdRemoveDuplicates));
  QCOMPARE(shell.recorder.entries.size(), messages + 1);
  QCOMPARE(w.History().UndoName(), undoName);
  // The last frame made a copy of the one before it: removed in one step, its delay merged.
  SetFrameBitmap(*NthFrame(a, 3), NthFrame(a, 2)->bitmap->Clone());
  w.SetModified(false);
  const std::vector<uint8_t> before = test::SavedBytes(a);
  QVERIFY(w.DispatchCommand(kCmdRemoveDuplicates));
  QCOMPARE(a.frameCount, 3);
  QCOMPARE(NthFrame(a, 2)->delay, 70u);
  QCOMPARE(w.History().UndoName(), std::string("Remove Duplicate Frames"));
  w.DispatchCommand(kCmdUndo);
  QVERIFY(test::SavedBytes(a) == before);
  QVERIFY(w.SelectedIndex() < a.frameCount);
}

void AnimationMenuTest::cancelChangesNothing() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(Sample());
  const std::vector<uint8_t> before = test::SavedBytes(*w.CurrentAnimation());
  w.DialogServices().runDialog = [](QDialog& dialog) {
    dialog.reject();
    return dialog.result();
  };
  for (int id : {kCmdResizeAnimation, kCmdCropAnimation, kCmdChangeSpeed, kCmdDropFrames})
    QVERIFY(w.DispatchCommand(id));
  QVERIFY(!w.IsModified());
  QVERIFY(!w.History().CanUndo());
  QVERIFY(test::SavedBytes(*w.CurrentAnimation()) == before);
}

QTEST_MAIN(AnimationMenuTest)
#include "test_animation_menu.moc"
