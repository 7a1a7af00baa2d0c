// Copy, Cut and Paste through the application's clipboard: every frame field survives a copy from one
// window to another; pictures of other programs paste as "[Unnamed]" frames; damaged data pastes as a
// picture or is refused with nothing changed; Cut keeps the frame when the clipboard does not take it.
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QtTest>
#include <cstdlib>

#include "app/shell/ids.h"
#include "app_test_support.h"
#include "color/palette_choice.h"
#include "edit/clipboard.h"

using namespace lw;
using namespace lw::app;

class ClipboardTest : public QObject {
  Q_OBJECT

 private slots:
  void copyPasteKeepsEveryFieldBetweenWindows();
  void copyOffersPngAndBmpForOtherPrograms();
  void pasteOfAForeignPictureIsAnUnnamedFrame();
  void pasteIntoNothingMakesAnUntitledDocument();
  void damagedDataPastesAsAPictureOrIsRefused();
  void cutKeepsTheFrameWhenTheClipboardRefuses();
};

namespace {

// Three frames on a 30 x 20 screen; frame 1 is 6 x 4 at (3, 5) with its own palette, transparent, delay
// 42, disposal 3, interlaced and named "Hop".
AnimationPtr Sample() {
  AnimationPtr a = test::MakeAnimation(3, 30, 20, 8);
  Frame* f = NthFrame(*a, 1);
  FramePtr small = test::MakeFrame(6, 4, a->globalPalette.get(),
                                   [](int x, int y) { return static_cast<uint8_t>((x * 3 + y) % 4); });
  SetFrameBitmap(*f, small->bitmap->Clone());
  SetFrameSize(*f, 6, 4);
  SetFramePosition(*f, 3, 5);
  SetLocalPalette(*f, test::MakePalette(4, {{250, 0, 0, 0}, {0, 250, 0, 0}, {0, 0, 250, 0}, {9, 9, 9, 0}}));
  SetDelay(*f, 42);
  SetDisposal(*f, 3);
  SetTransparentIndex(*f, 2);
  SetTransparent(*f, true);
  SetInterlaced(*f, true);
  SetFrameName(*f, "Hop");
  return a;
}

}  // namespace

void ClipboardTest::copyPasteKeepsEveryFieldBetweenWindows() {
  test::TestShell shell;
  MainWindow& source = shell.window;
  source.SetCurrentAnimation(Sample());
  source.SelectFrame(1);
  QVERIFY(source.DispatchCommand(kCmdCopy));
  QVERIFY(QApplication::clipboard()->mimeData()->hasFormat(kFrameClipboardMime));
  QVERIFY(!source.IsModified());  // copying changes nothing

  MainWindow target(&shell.settings.Store());
  target.SetCurrentAnimation(test::MakeAnimation(2, 30, 20, 8));
  target.SelectFrame(1);
  // Paste merges the new palette into the global one: no question with "merge" stored.
  SetPreference(kPrefPaletteConflict, kChoiceMerge);
  QVERIFY(target.DispatchCommand(kCmdPaste));
  Animation& t = *target.CurrentAnimation();
  QCOMPARE(t.frameCount, 3);
  QCOMPARE(target.SelectedIndex(), 1);
  const Frame& want = *NthFrame(*source.CurrentAnimation(), 1);
  const Frame& got = *NthFrame(t, 1);
  QCOMPARE(GetFrameName(got), std::string("Hop"));
  QCOMPARE(got.delay, 42u);
  QCOMPARE(GetDisposal(got), 3);
  QCOMPARE(got.left, 3);
  QCOMPARE(got.top, 5);
  QCOMPARE(got.width, 6);
  QCOMPARE(got.height, 4);
  QVERIFY(IsTransparent(got) && IsInterlaced(got));
  // Indices may be renumbered by the merge; the colours each pixel shows are the same.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const PaletteEntry& a = (*want.palette)[want.Row(y)[x]];
      const PaletteEntry& b = (*got.palette)[got.Row(y)[x]];
      QVERIFY(a.red == b.red && a.green == b.green && a.blue == b.blue);
    }
  QCOMPARE((*got.palette)[got.transparentIndex].blue, uint8_t{250});
  // One step, which Undo takes back.
  QVERIFY(target.IsModified());
  QCOMPARE(target.History().UndoName(), std::string("Paste"));
  target.DispatchCommand(kCmdUndo);
  QCOMPARE(target.CurrentAnimation()->frameCount, 2);
}

void ClipboardTest::copyOffersPngAndBmpForOtherPrograms() {
  test::TestShell shell;
  shell.window.SetCurrentAnimation(Sample());
  shell.window.SelectFrame(1);
  QVERIFY(shell.window.DispatchCommand(kCmdCopy));
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  QImage png = QImage::fromData(mime->data("image/png"), "PNG");
  QImage bmp = QImage::fromData(mime->data("image/bmp"), "BMP");
  QCOMPARE(png.size(), QSize(6, 4));
  QCOMPARE(bmp.size(), QSize(6, 4));
  // Pixel (1, 0) is index 3 of the local palette; (0, 2) the transparent index 2.
  QCOMPARE(png.pixel(1, 0), qRgb(9, 9, 9));
  QCOMPARE(bmp.pixel(1, 0), qRgb(9, 9, 9));
  QCOMPARE(qAlpha(png.pixel(0, 2)), 0);
  QCOMPARE(bmp.pixel(0, 2), qRgb(0, 0, 250));
  QVERIFY(shell.recorder.entries.empty());
}

void ClipboardTest::pasteOfAForeignPictureIsAnUnnamedFrame() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(test::MakeAnimation(1, 8, 8, 4));
  SetPreference(kPrefDefaultDelay, 7);
  SetPreference(kPrefPaletteConflict, kChoiceMerge);
  SetPreference(kPrefHighColor, ChoiceWithBits(kChoiceAdaptive, 8));
  QImage picture(5, 3, QImage::Format_RGB32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) picture.setPixel(x, y, qRgb(x * 50, y * 100, 30));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  auto* mime = new QMimeData;
  mime->setData("image/png", png);
  QApplication::clipboard()->setText("no picture");
  QVERIFY(!ClipboardOffersFrame());
  QApplication::clipboard()->setMimeData(mime);
  QVERIFY(ClipboardOffersFrame());  // Paste is offered for a picture under any image type
  QVERIFY(w.DispatchCommand(kCmdPaste));
  Animation& a = *w.CurrentAnimation();
  QCOMPARE(a.frameCount, 2);
  Frame& f = *NthFrame(a, 1);
  QCOMPARE(GetFrameName(f), std::string("[Unnamed]"));
  QCOMPARE(f.delay, 7u);
  QCOMPARE(f.width, 5);
  // 15 colours fit an adaptive palette exactly.
  const PaletteEntry& c = (*f.palette)[f.Row(2)[4]];
  // The adaptive palette keeps each colour to within a few steps.
  QVERIFY(std::abs(c.red - 200) <= 6 && std::abs(c.green - 200) <= 6 && std::abs(c.blue - 30) <= 6);
  QVERIFY(shell.recorder.Texts().empty());
}

void ClipboardTest::pasteIntoNothingMakesAnUntitledDocument() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  QImage picture(4, 2, QImage::Format_Indexed8);
  picture.setColorTable({qRgb(1, 2, 3), qRgb(200, 100, 0)});
  picture.fill(1);
  QApplication::clipboard()->setImage(picture);
  QVERIFY(w.DispatchCommand(kCmdPaste));
  QVERIFY(w.CurrentAnimation());
  QCOMPARE(w.CurrentAnimation()->frameCount, 1);
  QVERIFY(w.windowTitle().contains("Untitled"));
  QVERIFY(w.IsModified());
  QVERIFY(w.CurrentPath().empty());
}

void ClipboardTest::damagedDataPastesAsAPictureOrIsRefused() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(Sample());
  w.SelectFrame(1);
  QVERIFY(w.DispatchCommand(kCmdCopy));
  const QMimeData* copied = QApplication::clipboard()->mimeData();
  QByteArray block = copied->data(kFrameClipboardMime);
  QByteArray bmp = copied->data("image/bmp");
  SetPreference(kPrefPaletteConflict, kChoiceMerge);

  // A name that runs off the block: the picture pastes, as a picture.
  QByteArray damaged = block.left(1120) + QByteArray(30, 'x');
  auto* mime = new QMimeData;
  mime->setData(kFrameClipboardMime, damaged);
  mime->setData("image/bmp", bmp);
  QApplication::clipboard()->setMimeData(mime);
  w.SelectFrame(-1);
  QVERIFY(w.DispatchCommand(kCmdPaste));
  QCOMPARE(w.CurrentAnimation()->frameCount, 4);
  QCOMPARE(GetFrameName(*NthFrame(*w.CurrentAnimation(), 3)), std::string("[Unnamed]"));
  const size_t steps = w.History().UndoCount();

  // The block alone, or beside bytes no reader takes: refused, nothing changed.
  for (const QByteArray& picture : {QByteArray(), QByteArray("BM not a picture at all, not at all")}) {
    shell.recorder.entries.clear();
    mime = new QMimeData;
    mime->setData(kFrameClipboardMime, block);
    if (!picture.isEmpty()) mime->setData("image/bmp", picture);
    QApplication::clipboard()->setMimeData(mime);
    QVERIFY(w.DispatchCommand(kCmdPaste));
    QCOMPARE(shell.recorder.Texts(), std::vector<std::string>{"Cannot paste any of the available formats."});
    QCOMPARE(w.CurrentAnimation()->frameCount, 4);
    QCOMPARE(w.History().UndoCount(), steps);
  }
}

void ClipboardTest::cutKeepsTheFrameWhenTheClipboardRefuses() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(Sample());
  w.SelectFrame(2);
  w.DialogServices().putClipboard = [](QMimeData* mime) {
    delete mime;
    return false;
  };
  QVERIFY(w.DispatchCommand(kCmdCut));
  QCOMPARE(w.CurrentAnimation()->frameCount, 3);
  QCOMPARE(shell.recorder.Texts(), std::vector<std::string>{"The frame could not be put on the clipboard."});
  QVERIFY(!w.IsModified());
  QVERIFY(!w.History().CanUndo());
  // Taken: the last frame goes, the one before it is selected, and Undo brings it back.
  w.DialogServices().putClipboard = PutOnClipboard;
  QVERIFY(w.DispatchCommand(kCmdCut));
  QCOMPARE(w.CurrentAnimation()->frameCount, 2);
  QCOMPARE(w.SelectedIndex(), 1);
  QCOMPARE(w.History().UndoName(), std::string("Cut"));
  QVERIFY(QApplication::clipboard()->mimeData()->hasFormat(kFrameClipboardMime));
  w.DispatchCommand(kCmdUndo);
  QCOMPARE(w.CurrentAnimation()->frameCount, 3);
}

QTEST_MAIN(ClipboardTest)
#include "test_clipboard.moc"
