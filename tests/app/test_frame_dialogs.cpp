// The frame editing dialogs: Frame Properties, Global Frame Properties, Animation Properties and
// Move/Crop. Refused values keep the dialog open with the focus on their field; mixed values stay as
// each frame has them; every dialog's change is one step that Undo takes back.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/dialogs/animation_properties_dialog.h"
#include "app/dialogs/frame_properties_dialog.h"
#include "app/dialogs/global_frame_properties_dialog.h"
#include "app/dialogs/move_crop_dialog.h"
#include "app/shell/ids.h"
#include "app/shell/toolbars.h"
#include "app_test_support.h"
#include "color/palette_choice.h"
#include "gif/gif_writer.h"

using namespace lw;
using namespace lw::app;

class FrameDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void framePropertiesRefusesWithMessageAndFocus();
  void completeClippingAskedForAFrameOffTheScreen();
  void framePropertiesAppliesAndUndoes();
  void tickingTransparentAsksForTheColour();
  void globalPropertiesShowMixedValuesAndLeaveThem();
  void failedLocalPaletteRemovalPutsEveryFrameBack();
  void animationPropertiesChecksSizeAndIterations();
  void moveCropAlignmentFormulas();
  void moveCropTypedValuesWaitSpinnersApplyAtOnce();
  void moveCropOkMovesCropsOrRefuses();
  void moveCropGhostsAndHugeScreens();
};

namespace {

// A 200 x 100 screen with three 10 x 10 frames: frame 1 interlaced with a local palette, delays 10,
// 20, 30, disposals 0, 2, 2.
AnimationPtr Sample() {
  AnimationPtr a = test::MakeAnimation(3, 200, 100, 4);
  int i = 0;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f), ++i) {
    FramePtr small = test::MakeFrame(10, 10, a->globalPalette.get(),
                                     [i](int x, int y) { return static_cast<uint8_t>((x + y + i) % 4); });
    SetFrameBitmap(*f, small->bitmap->Clone());
    SetFrameSize(*f, 10, 10);
    SetDelay(*f, static_cast<uint32_t>(10 * (i + 1)));
    SetDisposal(*f, i == 0 ? 0 : 2);
  }
  SetInterlaced(*NthFrame(*a, 1), true);
  SetLocalPalette(*NthFrame(*a, 1),
                  test::MakePalette(4, {{1, 2, 3, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}, {200, 0, 9, 0}}));
  return a;
}

}  // namespace

void FrameDialogsTest::framePropertiesRefusesWithMessageAndFocus() {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = Sample();
  Frame& f = *NthFrame(*a, 0);
  FramePropertiesDialog d(*a, f, nullptr, nullptr);
  const FrameFields& ff = d.Fields();
  QCOMPARE(ff.delay->text(), QString("10"));
  QCOMPARE(ff.width->text(), QString("10"));
  QCOMPARE(ff.disposal->currentIndex(), 0);
  QVERIFY(!ff.localPalette->isEnabled());
  QVERIFY(!ff.interlaced->isChecked());
  struct Refusal {
    QLineEdit* field;
    const char* text;
    const char* caption;
  };
  const Refusal cases[] = {{ff.delay, "65536", "Invalid Delay Value"},
                           {ff.left, "-65536", "Bad X Offset Value"},
                           {ff.top, "65536", "Bad Y Offset Value"}};
  for (const Refusal& r : cases) {
    ff.delay->setText("10");
    ff.left->setText("0");
    ff.top->setText("0");
    r.field->setText(r.text);
    hooks.entries.clear();
    d.accept();
    QCOMPARE(hooks.entries.size(), size_t{1});
    QCOMPARE(hooks.entries[0].caption, std::string(r.caption));
    QCOMPARE(d.focusWidget(), r.field);
    QCOMPARE(d.result(), 0);
  }
  QCOMPARE(f.left, 0);
  // The limits themselves are taken; text that holds no number reads as 0.
  ff.delay->setText("65535");
  ff.left->setText("x");
  ff.top->setText("0");
  d.accept();
  QCOMPARE(d.result(), 1);
  QCOMPARE(f.delay, 65535u);
}

void FrameDialogsTest::completeClippingAskedForAFrameOffTheScreen() {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = Sample();
  Frame& f = *NthFrame(*a, 0);
  {
    // Partly on the screen: no question. 300 on a 200-wide screen: asked, and No keeps the dialog.
    FramePropertiesDialog d(*a, f, nullptr, nullptr);
    d.Fields().left->setText("-5");
    d.accept();
    QVERIFY(hooks.entries.empty());
    QCOMPARE(f.left, -5);
  }
  FramePropertiesDialog d(*a, f, nullptr, nullptr);
  d.Fields().left->setText("300");
  hooks.boxAnswers = {MsgResult::No};
  d.accept();
  QCOMPARE(hooks.entries.back().caption, std::string("Complete Clipping"));
  QCOMPARE(d.focusWidget(), d.Fields().left);
  QCOMPARE(f.left, -5);
  // The frame's own width counts: -10 hides a 10-wide frame, and Yes takes it.
  d.Fields().left->setText("-10");
  hooks.boxAnswers = {MsgResult::Yes};
  d.accept();
  QCOMPARE(f.left, -10);
  QCOMPARE(hooks.entries.size(), size_t{2});
}

void FrameDialogsTest::framePropertiesAppliesAndUndoes() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(Sample());
  Animation& a = *w.CurrentAnimation();
  std::vector<uint8_t> before = test::SavedBytes(a);
  std::string name = GetFrameName(*NthFrame(a, 1));
  w.SelectFrame(1);
  shell.window.DialogServices().runDialog = [](QDialog& dialog) {
    auto& d = static_cast<FramePropertiesDialog&>(dialog);
    d.NameField()->setText("walk");
    d.Fields().delay->setText("5");
    d.Fields().disposal->setCurrentIndex(3);
    d.Fields().interlaced->setChecked(false);
    d.Fields().localPalette->setChecked(false);
    d.accept();
    return d.result();
  };
  QVERIFY(w.DispatchCommand(kCmdFrameProperties));
  Frame& f = *NthFrame(a, 1);
  QCOMPARE(GetFrameName(f), std::string("walk"));
  QCOMPARE(f.delay, 5u);
  QCOMPARE(GetDisposal(f), 3);
  QVERIFY(!IsInterlaced(f) && !f.localPalette);
  QVERIFY(w.IsModified());
  QCOMPARE(w.History().UndoName(), std::string("Frame Properties"));
  QCOMPARE(w.StatusText(3), QString("  Running Time: 0.45 secs"));
  w.DispatchCommand(kCmdUndo);
  QVERIFY(test::SavedBytes(a) == before);
  QCOMPARE(GetFrameName(*NthFrame(a, 1)), name);
  // OK with nothing changed is no step.
  shell.window.DialogServices().runDialog = [](QDialog& dialog) {
    static_cast<FramePropertiesDialog&>(dialog).accept();
    return dialog.result();
  };
  w.DispatchCommand(kCmdFrameProperties);
  QVERIFY(!w.History().CanUndo());
  QVERIFY(!w.IsModified());
}

void FrameDialogsTest::tickingTransparentAsksForTheColour() {
  AnimationPtr a = Sample();
  Frame& f = *NthFrame(*a, 0);
  std::deque<int> answers = {-1, 3};
  int asked = 0;
  auto pick = [&](Frame&, int current) {
    ++asked;
    if (current != -1) return -2;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  };
  FramePropertiesDialog d(*a, f, pick, nullptr);
  QCheckBox* box = d.Fields().transparent;
  box->click();  // cancelled: unticked again
  QCOMPARE(asked, 1);
  QVERIFY(!box->isChecked());
  box->click();
  QVERIFY(box->isChecked());
  d.accept();
  QVERIFY(IsTransparent(f));
  QCOMPARE(f.transparentIndex, 3);
  QCOMPARE(d.result(), 1);
}

void FrameDialogsTest::globalPropertiesShowMixedValuesAndLeaveThem() {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = Sample();
  {
    GlobalFramePropertiesDialog d(*a, nullptr, nullptr);
    const FrameFields& ff = d.Fields();
    QCOMPARE(ff.delay->text(), QString());  // 10, 20, 30
    QCOMPARE(ff.width->text(), QString("10"));
    QCOMPARE(ff.left->text(), QString("0"));
    QCOMPARE(ff.disposal->currentIndex(), -1);
    QCOMPARE(ff.interlaced->checkState(), Qt::PartiallyChecked);
    QCOMPARE(ff.transparent->checkState(), Qt::Unchecked);
    QVERIFY(!ff.transparent->isTristate());
    QVERIFY(ff.localPalette->isEnabled());
    // X typed, Y blank: every frame moves horizontally only; the mixed values stay.
    ff.left->setText("7");
    ff.top->setText("");
    d.accept();
    QCOMPARE(d.result(), 1);
  }
  int i = 0;
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f), ++i) {
    QCOMPARE(f->left, 7);
    QCOMPARE(f->top, 0);
    QCOMPARE(f->delay, static_cast<uint32_t>(10 * (i + 1)));
    QCOMPARE(IsInterlaced(*f), i == 1);
  }
  QVERIFY(NthFrame(*a, 1)->localPalette);
  // Shared values show as such; changing one sets it for all.
  SetInterlaced(*NthFrame(*a, 1), false);
  GlobalFramePropertiesDialog d(*a, nullptr, nullptr);
  QCOMPARE(d.Fields().interlaced->checkState(), Qt::Unchecked);
  d.Fields().interlaced->setChecked(true);
  d.Fields().delay->setText("4");
  d.accept();
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) QVERIFY(IsInterlaced(*f) && f->delay == 4);
  QVERIFY(hooks.entries.empty());
}

void FrameDialogsTest::failedLocalPaletteRemovalPutsEveryFrameBack() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  AnimationPtr doc = Sample();
  SetLocalPalette(*NthFrame(*doc, 2),
                  test::MakePalette(4, {{9, 8, 7, 0}, {6, 5, 4, 0}, {3, 2, 1, 0}, {0, 0, 1, 0}}));
  w.SetCurrentAnimation(std::move(doc));
  Animation& a = *w.CurrentAnimation();
  std::vector<uint8_t> before = test::SavedBytes(a);
  // The first removal merges, the second is cancelled.
  SetPreference(kPrefPaletteConflict, kChoiceAlwaysAsk | kChoiceMerge);
  shell.recorder.paletteAnswers = {{kChoiceMerge, false}, {0, false}};
  bool stayedOpen = false;
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<GlobalFramePropertiesDialog&>(dialog);
    d.Fields().localPalette->setCheckState(Qt::Unchecked);
    d.accept();
    stayedOpen = d.result() == 0 && d.Fields().localPalette->isEnabled();
    return 0;  // then Cancel
  };
  w.DispatchCommand(kCmdGlobalFrameProperties);
  QVERIFY(stayedOpen);
  QVERIFY(NthFrame(a, 1)->localPalette && NthFrame(a, 2)->localPalette);
  QVERIFY(test::SavedBytes(a) == before);
  QVERIFY(!w.IsModified());
  QVERIFY(!w.History().CanUndo());
  QCOMPARE(w.Filmstrip()->Geometry().FrameCount(), 3);
}

void FrameDialogsTest::animationPropertiesChecksSizeAndIterations() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  RecordingUiHooks& hooks = shell.recorder;
  w.SetCurrentAnimation(Sample());
  Animation& a = *w.CurrentAnimation();
  SetFramePosition(*NthFrame(a, 2), 50, 20);  // extent 60 x 30
  {
    AnimationPropertiesDialog d(a, "/tmp/x.gif", nullptr);
    d.Iterations()->setText("65536");
    d.accept();
    QCOMPARE(hooks.entries.back().caption, std::string("Bad Iteration Value"));
    QCOMPARE(d.focusWidget(), d.Iterations());
    // A size smaller than the frames' extent asks; No returns to the field.
    d.Iterations()->setText("3");
    d.ScreenWidth()->setText("40");
    emit d.ScreenWidth()->textEdited("40");
    hooks.boxAnswers = {MsgResult::No};
    d.accept();
    QCOMPARE(hooks.entries.back().caption, std::string("Image Clipping"));
    QCOMPARE(d.focusWidget(), d.ScreenWidth());
    QCOMPARE(a.screenWidth, 200);
    d.ScreenHeight()->setText("-1");
    d.ScreenWidth()->setText("60");
    d.accept();
    QCOMPARE(hooks.entries.back().caption, std::string("Bad Height Value"));
    QCOMPARE(d.focusWidget(), d.ScreenHeight());
    QCOMPARE(a.loopCount, 0u);
  }
  // Only the iterations: result 1, and the toolbar shows them. Then Auto Size: result 2.
  w.DialogServices().runDialog = [](QDialog& dialog) {
    auto& d = static_cast<AnimationPropertiesDialog&>(dialog);
    d.Iterations()->setText("3");
    d.accept();
    return d.result();
  };
  w.DispatchCommand(kCmdAnimationProperties);
  QCOMPARE(a.loopCount, 3u);
  QCOMPARE(a.screenWidth, 200);
  QCOMPARE(w.Bars()->IterationsBox()->text(), QString("3"));
  int result = -1;
  w.DialogServices().runDialog = [&result](QDialog& dialog) {
    auto& d = static_cast<AnimationPropertiesDialog&>(dialog);
    d.AutoSizeButton()->click();
    d.accept();
    return result = d.result();
  };
  w.DispatchCommand(kCmdAnimationProperties);
  QCOMPARE(result, 2);
  QCOMPARE(a.screenWidth, 60);
  QCOMPARE(a.screenHeight, 30);
  QCOMPARE(w.Filmstrip()->Geometry().CellWidth(), 60);
  QCOMPARE(w.StatusText(2), QString("  File Size: Calculating..."));
  w.DispatchCommand(kCmdUndo);
  QCOMPARE(a.screenWidth, 200);
  QCOMPARE(w.Filmstrip()->Geometry().CellWidth(), 200);
  w.DispatchCommand(kCmdUndo);
  QCOMPARE(w.Bars()->IterationsBox()->text(), QString("0"));
}

void FrameDialogsTest::moveCropAlignmentFormulas() {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  // A 100 x 50 frame on a 320 x 200 screen, at (5, 6).
  AnimationPtr a = test::MakeAnimation(2, 320, 200, 4);
  Frame& f = *NthFrame(*a, 1);
  FramePtr block = test::MakeFrame(100, 50, a->globalPalette.get(), [](int, int) { return uint8_t{1}; });
  SetFrameBitmap(f, block->bitmap->Clone());
  SetFrameSize(f, 100, 50);
  SetFramePosition(f, 5, 6);
  MoveCropDialog d(*a, 1, nullptr);
  struct Expect {
    int id;
    int32_t left, top;
  };
  const Expect cases[] = {{kAlignCenter, 110, 75},
                          {kAlignLeft, 0, 75},
                          {kAlignBottom, 0, 150},
                          {kAlignRight, 220, 150},
                          {kAlignTop, 220, 0},
                          {kAlignCenterVertically, 220, 75},
                          {kAlignCenterHorizontally, 110, 75}};
  for (const Expect& e : cases) {
    d.AlignButton(e.id)->click();
    QCOMPARE(d.Edited().left, e.left);
    QCOMPARE(d.Edited().top, e.top);
    QCOMPARE(d.Field(1018)->value(), e.left);
    QCOMPARE(d.Field(1019)->value(), e.top);
  }
  QVERIFY(d.ResetButton()->isEnabled());
  d.ResetButton()->click();
  QCOMPARE(d.Edited().left, 5);
  QVERIFY(!d.ResetButton()->isEnabled());
  // The frame itself is untouched until OK.
  QCOMPARE(f.left, 5);
  // The formulas with a cropped size, and odd halves rounding toward zero.
  int32_t left = 1, top = 1;
  AlignFrame(kAlignCenter, 7, 9, 10, 2, left, top);
  QCOMPARE(left, -1);
  QCOMPARE(top, 3);
}

void FrameDialogsTest::moveCropTypedValuesWaitSpinnersApplyAtOnce() {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = Sample();
  MoveCropDialog d(*a, 1, nullptr);
  MoveCropField* x = d.Field(1018);
  MoveCropField* y = d.Field(1019);
  MoveCropField* width = d.Field(1017);
  x->setValue(12);  // as typed
  QCOMPARE(d.PendingField(), 1018);
  QCOMPARE(d.Edited().left, 0);
  QTRY_COMPARE_WITH_TIMEOUT(d.Edited().left, 12, 2000);
  QCOMPARE(d.PendingField(), 0);
  // Another field's change applies the pending one at once.
  x->setValue(20);
  y->setValue(4);
  QCOMPARE(d.Edited().left, 20);
  QCOMPARE(d.PendingField(), 1019);
  // A spinner applies at once, and stops at its range: the width at the frame's own.
  width->stepBy(-1);
  QCOMPARE(d.Edited().width, 9);
  QCOMPARE(d.Edited().top, 4);
  width->stepBy(5);
  QCOMPARE(d.Edited().width, 10);
  x->stepBy(1000);
  QCOMPARE(d.Edited().left, 201);  // screen width + 1
  x->stepBy(-1000);
  QCOMPARE(d.Edited().left, -10);  // minus the frame's width
  // Typing goes past the spinner's range; OK refuses what cannot be.
  width->setValue(11);
  d.accept();
  QCOMPARE(hooks.entries.back().text, std::string("The width must be in the range from 1 to 10"));
  QCOMPARE(d.focusWidget(), width);
  QCOMPARE(NthFrame(*a, 1)->width, 10);
}

void FrameDialogsTest::moveCropOkMovesCropsOrRefuses() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(Sample());
  Animation& a = *w.CurrentAnimation();
  std::vector<uint8_t> before = test::SavedBytes(a);
  w.SelectFrame(1);
  int result = -1;
  auto run = [&](std::function<void(MoveCropDialog&)> edit) {
    w.DialogServices().runDialog = [&result, edit](QDialog& dialog) {
      auto& d = static_cast<MoveCropDialog&>(dialog);
      edit(d);
      d.accept();
      return result = d.result();
    };
    w.DispatchCommand(kCmdMoveCrop);
  };
  run([](MoveCropDialog&) {});
  QCOMPARE(result, 0);
  QVERIFY(!w.IsModified());
  run([](MoveCropDialog& d) { d.AlignButton(kAlignCenter)->click(); });
  QCOMPARE(result, 1);
  QCOMPARE(NthFrame(a, 1)->left, 95);
  QCOMPARE(NthFrame(a, 1)->width, 10);
  QCOMPARE(w.History().UndoName(), std::string("Move/Crop Frame"));
  run([](MoveCropDialog& d) {
    d.Field(1017)->stepBy(-4);
    d.Field(1016)->setValue(3);  // typed, taken by OK
  });
  QCOMPARE(NthFrame(a, 1)->width, 6);
  QCOMPARE(NthFrame(a, 1)->height, 3);
  QCOMPARE(NthFrame(a, 1)->left, 95);
  QCOMPARE(w.StatusText(2), QString("  File Size: Calculating..."));
  w.DispatchCommand(kCmdUndo);
  w.DispatchCommand(kCmdUndo);
  QVERIFY(test::SavedBytes(a) == before);
  QVERIFY(!w.IsModified());
}

void FrameDialogsTest::moveCropGhostsAndHugeScreens() {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = Sample();
  // Frame 2 sits apart, so only it covers (150, 50).
  SetFramePosition(*NthFrame(*a, 2), 150, 50);
  MoveCropDialog d(*a, 0, nullptr);
  QVERIFY(!d.ShowFirst()->isEnabled());  // the frame is the first
  QRgb face = d.Picture().pixel(150, 50);
  const Frame& last = *NthFrame(*a, 2);
  PaletteEntry c = (*last.palette)[last.Row(0)[0]];
  // "Show Previous" on the first frame shows the last one, blended 40% into the picture.
  d.ShowPrevious()->setChecked(true);
  QRgb blended = d.Picture().pixel(150, 50);
  QCOMPARE(qRed(blended), (6 * qRed(face) + 4 * c.red) / 10);
  QCOMPARE(qGreen(blended), (6 * qGreen(face) + 4 * c.green) / 10);
  d.ShowPrevious()->setChecked(false);
  QCOMPARE(d.Picture().pixel(150, 50), face);
  // The frame's own pixels, and never more than them.
  PaletteEntry own = (*NthFrame(*a, 0)->palette)[NthFrame(*a, 0)->Row(0)[0]];
  QCOMPARE(d.Picture().pixel(0, 0), qRgb(own.red, own.green, own.blue));
  d.Field(1017)->setValue(500);
  d.Field(1018)->stepBy(1);
  QCOMPARE(d.Picture().pixel(11, 0), face);

  // A 65535 x 65535 screen is not pictured: a message, no buffer of gigabytes, the fields still work.
  AnimationPtr huge = NewAnimation();
  huge->screenWidth = huge->screenHeight = 65535;
  SetGlobalPalette(*huge, test::MakePalette(4));
  AppendBlock(*huge, test::MakeFrame(8, 8, huge->globalPalette.get(), [](int, int) { return uint8_t{1}; }));
  AddFrameCount(*huge, 1);
  hooks.entries.clear();
  MoveCropDialog big(*huge, 0, nullptr);
  QCOMPARE(hooks.entries.size(), size_t{1});
  QVERIFY(hooks.entries[0].text.rfind("Not enough memory", 0) == 0);
  QVERIFY(big.Picture().isNull());
  big.AlignButton(kAlignCenter)->click();
  QCOMPARE(big.Edited().left, (65535 - 8) / 2);
}

QTEST_MAIN(FrameDialogsTest)
#include "test_frame_dialogs.moc"
