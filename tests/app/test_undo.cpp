// The undo history: every kind of edit taken back gives the very bytes the document saved as before it,
// and redone the bytes after it; the modified flag follows the saved point; the budget drops the oldest
// steps; palette merges wait for a whole colour count.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QtTest>

#include "app/shell/ids.h"
#include "app/shell/toolbars.h"
#include "app/views/preview_window.h"
#include "app_test_support.h"
#include "color/palette_choice.h"
#include "gif/gif_writer.h"
#include "io/files.h"

using namespace lw;
using namespace lw::app;

class UndoTest : public QObject {
  Q_OBJECT

 private slots:
  void everyEditKindUndoesAndRedoesExactly();
  void keystrokesInOneBoxMakeOneStep();
  void modifiedFollowsTheSavedPoint();
  void newOpenAndRevertClearTheHistory();
  void thePreviewFollowsUndoWhilePlaying();
  void budgetDropsTheOldestStep();
  void mergeAfterACutShortCountKeepsOldColours();
};

namespace {

std::string WriteFile(const QString& folder, const QString& name, AnimationPtr a) {
  std::string path = (folder + "/" + name).toStdString();
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  return WriteGifFile(path, *a) == 1 ? path : std::string();
}

// Three frames with something for every command: frame 1 has a local palette, frame 0 is transparent.
AnimationPtr Sample() {
  AnimationPtr a = test::MakeAnimation(3, 12, 8, 4);
  for (int i = 0; i < 3; ++i) {
    Frame* f = NthFrame(*a, i);
    uint8_t* bits = f->MutableBits();
    for (int y = 0; y < f->height; ++y)
      for (int x = 0; x < f->width; ++x) bits[y * f->Stride() + x] = static_cast<uint8_t>((x + y + i) % 4);
    SetDelay(*f, static_cast<uint32_t>(10 * (i + 1)));
    SetFrameName(*f, "f" + std::to_string(i));
  }
  SetTransparentIndex(*NthFrame(*a, 0), 2);
  SetTransparent(*NthFrame(*a, 0), true);
  SetLocalPalette(*NthFrame(*a, 1),
                  test::MakePalette(4, {{1, 2, 3, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}, {200, 0, 9, 0}}));
  NthFrame(*a, 1)->bitmap->SetColorTable(NthFrame(*a, 1)->palette);
  return a;
}

}  // namespace

void UndoTest::everyEditKindUndoesAndRedoesExactly() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  QString folder = shell.settings.Folder();
  std::string extra = WriteFile(folder, "extra.gif", test::MakeAnimation(2, 6, 5, 4));
  QVERIFY(!extra.empty());
  w.SetCurrentAnimation(Sample());
  Animation& a = *w.CurrentAnimation();
  Toolbars* bars = w.Bars();
  // Each edit, named as its step; the check runs after each.
  struct Kind {
    const char* step;
    std::function<void()> edit;
  };
  const std::vector<Kind> kinds = {
      {"Rotate 90\u00B0 CW",
       [&] {
         w.SelectFrame(0);
         w.DispatchCommand(kCmdRotate90Cw);
       }},
      {"Flip Horizontally",
       [&] {
         w.SelectFrame(2);
         w.DispatchCommand(kCmdFlipHorizontal);
       }},
      {"Interlace Image", [&] { bars->Button(kCmdInterlace)->trigger(); }},
      {"Removal: Restore Previous", [&] { bars->Button(kCmdRemovalPrevious)->trigger(); }},
      {"Transparency",
       [&] {
         w.SelectFrame(0);
         bars->Button(kCmdToggleTransparency)->trigger();
       }},
      {"Delay", [&] { bars->DelayBox()->setText("77"); }},
      {"Number of Iterations", [&] { bars->IterationsBox()->setText("5"); }},
      {"Remove Local Palette",
       [&] {
         w.SelectFrame(1);
         bars->Button(kCmdLocalPalette)->trigger();
       }},
      {"Unoptimize Animation", [&] { w.DispatchCommand(kCmdUnoptimize); }},
      {"Move Frame", [&] { static_cast<FilmstripHost&>(w).FilmstripMove(0, 2); }},
      {"Insert Frame",
       [&] {
         shell.openAnswers.push_back({QString::fromStdString(extra)});
         w.SelectFrame(1);
         w.DispatchCommand(kCmdInsertFrame);
       }},
      {"Drop Files", [&] { w.DropFiles(QPoint(-1, -1), {QString::fromStdString(extra)}); }},
      {"Delete",
       [&] {
         w.SelectFrame(1);
         w.DispatchCommand(kCmdDelete);
       }},
  };
  for (const Kind& kind : kinds) {
    std::vector<uint8_t> before = test::SavedBytes(a);
    int framesBefore = a.frameCount;
    size_t steps = w.History().UndoCount();
    kind.edit();
    QVERIFY2(w.History().UndoCount() == steps + 1, kind.step);
    std::vector<uint8_t> after = test::SavedBytes(a);
    QVERIFY2(after != before, kind.step);
    QCOMPARE(w.Action(kCmdUndo)->text(), "&Undo " + QString::fromUtf8(kind.step) + "\tCtrl+Z");
    QVERIFY(w.Action(kCmdUndo)->isEnabled());
    QVERIFY(w.DispatchCommand(kCmdUndo));
    QVERIFY2(test::SavedBytes(a) == before, kind.step);
    QCOMPARE(a.frameCount, framesBefore);
    // The views follow: one cell per frame, the name list, a selection that exists.
    QCOMPARE(w.Filmstrip()->Geometry().FrameCount(), a.frameCount);
    QCOMPARE(bars->NameList()->count(), a.frameCount + 1);
    QVERIFY(w.SelectedIndex() < a.frameCount);
    QCOMPARE(w.Action(kCmdRedo)->text(), "&Redo " + QString::fromUtf8(kind.step) + "\tCtrl+Y");
    QVERIFY(w.DispatchCommand(kCmdRedo));
    QVERIFY2(test::SavedBytes(a) == after, kind.step);
    QVERIFY(!w.Action(kCmdRedo)->isEnabled());
  }
  // The whole way back gives the document as it came.
  std::vector<uint8_t> last = test::SavedBytes(a);
  while (w.History().CanUndo()) w.DispatchCommand(kCmdUndo);
  QCOMPARE(test::SavedBytes(a), test::SavedBytes(*Sample()));
  QVERIFY(!w.IsModified());
  QVERIFY(!w.Action(kCmdUndo)->isEnabled());
  QVERIFY(!bars->IsButtonEnabled(kCmdUndo));
  while (w.History().CanRedo()) w.DispatchCommand(kCmdRedo);
  QCOMPARE(test::SavedBytes(a), last);
  QVERIFY(bars->IsButtonEnabled(kCmdUndo));
}

void UndoTest::keystrokesInOneBoxMakeOneStep() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(Sample());
  Animation& a = *w.CurrentAnimation();
  w.SelectFrame(0);
  QLineEdit* delay = w.Bars()->DelayBox();
  for (const char* text : {"1", "12", "125"}) delay->setText(text);
  QCOMPARE(NthFrame(a, 0)->delay, 125u);
  QCOMPARE(w.History().UndoCount(), size_t{1});
  // Another frame's delay is another step.
  w.SelectFrame(2);
  delay->setText("4");
  QCOMPARE(w.History().UndoCount(), size_t{2});
  // Ctrl+Z reaches the dispatcher like the menu (from the filmstrip: the boxes keep their own undo).
  w.show();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  QWidget* strip = w.Filmstrip();
  strip->setFocus();
  QTest::keyClick(strip, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(NthFrame(a, 2)->delay, 30u);
  QTest::keyClick(strip, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(NthFrame(a, 0)->delay, 10u);
  QCOMPARE(w.SelectedIndex(), 0);
  QCOMPARE(delay->text(), QString("10"));
  QTest::keyClick(strip, Qt::Key_Y, Qt::ControlModifier);
  QCOMPARE(NthFrame(a, 0)->delay, 125u);
  QTest::keyClick(strip, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(NthFrame(a, 2)->delay, 4u);
  // After an undo, typing again starts a new step rather than joining the one redone.
  w.DispatchCommand(kCmdUndo);
  delay->setText("44");
  QVERIFY(!w.History().CanRedo());
  QCOMPARE(w.History().UndoCount(), size_t{2});
}

void UndoTest::modifiedFollowsTheSavedPoint() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  QString folder = shell.settings.Folder();
  std::string path = WriteFile(folder, "doc.gif", Sample());
  w.OpenDocument(&path);
  QVERIFY(!w.IsModified());
  w.SelectFrame(0);
  w.DispatchCommand(kCmdFlipVertical);
  QVERIFY(w.IsModified());
  w.DispatchCommand(kCmdUndo);
  QVERIFY(!w.IsModified());
  w.DispatchCommand(kCmdRedo);
  QVERIFY(w.IsModified());
  // Saved after the flip: that state is the saved point now (the signature renewal is a step of its own).
  QVERIFY(w.SaveDocument(false));
  QVERIFY(!w.IsModified());
  std::vector<uint8_t> onDisk = test::SavedBytes(*w.CurrentAnimation());
  w.DispatchCommand(kCmdRotate180);
  QVERIFY(w.IsModified());
  w.DispatchCommand(kCmdUndo);
  QVERIFY(!w.IsModified());
  QCOMPARE(test::SavedBytes(*w.CurrentAnimation()), onDisk);
  while (w.History().CanUndo()) w.DispatchCommand(kCmdUndo);
  QVERIFY(w.IsModified());
  // A new change where redo steps were leaves no way back to the saved state.
  w.DispatchCommand(kCmdFlipHorizontal);
  while (w.History().CanUndo()) w.DispatchCommand(kCmdUndo);
  QVERIFY(w.IsModified());
  // Clipping at save is a step too: a frame off the screen is cut, and undo brings it back.
  w.DispatchCommand(kCmdRedo);
  SetFramePosition(*NthFrame(*w.CurrentAnimation(), 2), 8, 0);
  shell.recorder.boxAnswers.push_back(MsgResult::Yes);
  QVERIFY(w.SaveDocument(false));
  QCOMPARE(NthFrame(*w.CurrentAnimation(), 2)->width, 4);
  QVERIFY(w.History().UndoName() == "Clip Frames" || w.History().UndoName() == "Signature Comment");
  while (w.History().UndoName() != "Clip Frames") QVERIFY(w.DispatchCommand(kCmdUndo));
  w.DispatchCommand(kCmdUndo);
  QCOMPARE(NthFrame(*w.CurrentAnimation(), 2)->width, 12);
}

void UndoTest::newOpenAndRevertClearTheHistory() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  std::string path = WriteFile(shell.settings.Folder(), "doc.gif", Sample());
  w.OpenDocument(&path);
  w.SelectFrame(0);
  w.DispatchCommand(kCmdFlipVertical);
  QVERIFY(w.History().CanUndo());
  shell.recorder.boxAnswers.push_back(MsgResult::Ok);
  w.DispatchCommand(kCmdRevert);
  QVERIFY(!w.History().CanUndo());
  QVERIFY(!w.Action(kCmdUndo)->isEnabled());
  w.SelectFrame(0);
  w.DispatchCommand(kCmdFlipVertical);
  shell.recorder.boxAnswers.push_back(MsgResult::No);  // do not save
  QVERIFY(w.NewDocument(true));
  QVERIFY(!w.History().CanUndo());
  w.InitMainMenu();
  QVERIFY(!w.Action(kCmdUndo)->isEnabled());
  w.OpenDocument(&path);
  QVERIFY(!w.History().CanUndo());
}

void UndoTest::thePreviewFollowsUndoWhilePlaying() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(Sample());
  w.DispatchCommand(kCmdPreview);
  PreviewWindow* preview = w.Preview();
  QVERIFY(preview);
  QCOMPARE(preview->Slider()->maximum(), 3);
  w.SelectFrame(2);
  w.DispatchCommand(kCmdDelete);
  QCOMPARE(preview->Slider()->maximum(), 2);
  // The frames it showed are in the history now; it plays on with the ones swapped in.
  w.DispatchCommand(kCmdUndo);
  QCOMPARE(preview->Slider()->maximum(), 3);
  QTest::qWait(350);
  w.DispatchCommand(kCmdRedo);
  QCOMPARE(preview->Slider()->maximum(), 2);
  QTest::qWait(350);
  QVERIFY(preview->IsPlaying());
}

void UndoTest::budgetDropsTheOldestStep() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  // Frames of 100 x 100: a rotation gives the frame new pixels of 10,000 bytes.
  w.SetCurrentAnimation(test::MakeAnimation(3, 100, 100));
  Animation& a = *w.CurrentAnimation();
  uint64_t oneStep = 0;
  w.History().SetBudget(1 << 30);
  w.SelectFrame(0);
  std::vector<uint8_t> original = test::SavedBytes(a);
  w.DispatchCommand(kCmdRotate90Cw);
  std::vector<uint8_t> afterFirst = test::SavedBytes(a);
  oneStep = w.History().HeldBytes(a);
  // The old pixels the step keeps, plus about a kilobyte and a half for each of the three frames.
  QVERIFY2(oneStep >= 10000 && oneStep < 10000 + 3 * 2048, qPrintable(QString::number(oneStep)));
  // A field edit keeps no pixels.
  w.DispatchCommand(kCmdUndo);
  w.Bars()->DelayBox()->setText("3");
  QVERIFY(w.History().HeldBytes(a) < 3 * 2048);
  w.DispatchCommand(kCmdUndo);
  QCOMPARE(test::SavedBytes(a), original);
  // Room for two rotations: the third drops the first.
  w.History().SetBudget(2 * oneStep + 1000);
  for (int id : {kCmdRotate90Cw, kCmdRotate90Cw, kCmdRotate90Cw}) w.DispatchCommand(id);
  QCOMPARE(w.History().UndoCount(), size_t{2});
  QVERIFY(w.History().HeldBytes(a) <= 2 * oneStep + 1000);
  while (w.History().CanUndo()) w.DispatchCommand(kCmdUndo);
  QCOMPARE(test::SavedBytes(a), afterFirst);
  QVERIFY(w.IsModified());  // the saved state is gone from the history
}

void UndoTest::mergeAfterACutShortCountKeepsOldColours() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  // A full global palette, four colours for each of 64 frames: wherever a count stops early, the colours
  // of the frames it did not reach look unused. Large enough that the count the deletion restarts is
  // still running when the insertion stops it.
  std::vector<PaletteEntry> colors(256);
  for (int i = 0; i < 256; ++i)
    colors[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7, 0};
  AnimationPtr doc = NewAnimation();
  doc->screenWidth = doc->screenHeight = 400;
  SetGlobalPalette(*doc, test::MakePalette(256, colors));
  for (int i = 0; i < 64; ++i) {
    FramePtr f = test::MakeFrame(400, 400, doc->globalPalette.get(),
                                 [i](int x, int y) { return static_cast<uint8_t>(4 * i + (x + y) % 4); });
    AppendBlock(*doc, std::move(f));
    AddFrameCount(*doc, 1);
  }
  // The file to insert: four colours the document's palette does not have.
  AnimationPtr other = test::MakeAnimation(1, 20, 20, 4);
  SetGlobalPalette(*other, test::MakePalette(4, {{1, 1, 1, 0}, {3, 3, 3, 0}, {5, 5, 5, 0}, {9, 9, 9, 0}}));
  for (Frame* f = FirstFrame(*other); f; f = NextFrame(f)) {
    f->palette = other->globalPalette.get();
    f->bitmap->SetColorTable(f->palette);
  }
  std::string path = WriteFile(shell.settings.Folder(), "other.gif", std::move(other));
  w.SetCurrentAnimation(std::move(doc));
  Animation& a = *w.CurrentAnimation();
  // The colours each frame shows, as one hash per frame.
  auto shown = [&a](int frames) {
    std::vector<uint64_t> hashes;
    for (int i = 0; i < frames; ++i) {
      const Frame* f = NthFrame(a, i);
      uint64_t h = 1469598103934665603ull;
      for (int y = 0; y < f->height; ++y)
        for (int x = 0; x < f->width; ++x) {
          PaletteEntry e = (*f->palette)[f->Row(y)[x]];
          h = (h ^ (uint64_t{e.red} << 16 | uint64_t{e.green} << 8 | e.blue)) * 1099511628211ull;
        }
      hashes.push_back(h);
    }
    return hashes;
  };
  std::vector<uint64_t> before = shown(63);
  SetPreference(kPrefPaletteConflict, kChoiceMerge);
  shell.openAnswers.push_back({QString::fromStdString(path)});
  // The last frame goes; the insertion follows at once, while the count the deletion restarted runs.
  w.SelectFrame(63);
  w.DispatchCommand(kCmdDelete);
  w.SelectFrame(-1);
  w.DispatchCommand(kCmdInsertFrame);
  QCOMPARE(a.frameCount, 64);
  QVERIFY(shown(63) == before);
}

QTEST_MAIN(UndoTest)
#include "test_undo.moc"
