// The clipboard of a real X server (run under Xvfb with xclip): a frame copied with Ctrl+C comes out of
// `xclip -selection clipboard -t image/png -o` as that frame's picture, and a PNG put there by
// `xclip -selection clipboard -t image/png -i` pastes with Ctrl+V as a new frame.
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>

#include "app/shell/ids.h"
#include "app_test_support.h"
#include "color/palette_choice.h"

using namespace lw;
using namespace lw::app;

class X11ClipboardTest : public QObject {
  Q_OBJECT

 private slots:
  void ctrlCGivesOtherProgramsThePng();
  void aPngOfAnotherProgramPastesWithCtrlV();
};

namespace {

// Runs a program while our event loop goes on serving the clipboard it may ask us for.
QByteArray Run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted(5000)) return {};
  QElapsedTimer timer;
  timer.start();
  while (p.state() != QProcess::NotRunning && timer.elapsed() < 10000) QTest::qWait(20);
  return p.readAllStandardOutput();
}

void ShowAndActivate(QWidget& w) {
  w.show();
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QTest::qWait(100);
}

}  // namespace

void X11ClipboardTest::ctrlCGivesOtherProgramsThePng() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  AnimationPtr a = test::MakeAnimation(2, 7, 5, 4);
  Frame* f = NthFrame(*a, 1);
  FramePtr picture = test::MakeFrame(7, 5, a->globalPalette.get(),
                                     [](int x, int y) { return static_cast<uint8_t>((x + y) % 4); });
  SetFrameBitmap(*f, picture->bitmap->Clone());
  w.SetCurrentAnimation(std::move(a));
  w.SelectFrame(1);
  ShowAndActivate(w);
  QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
  QTRY_VERIFY(QApplication::clipboard()->ownsClipboard());
  QByteArray png = Run("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"});
  QImage image = QImage::fromData(png, "PNG");
  QCOMPARE(image.size(), QSize(7, 5));
  const Frame& copied = *NthFrame(*w.CurrentAnimation(), 1);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) {
      const PaletteEntry& e = (*copied.palette)[copied.Row(y)[x]];
      QCOMPARE(image.pixel(x, y), qRgb(e.red, e.green, e.blue));
    }
  // The own block goes across too, for another window of ours.
  QByteArray targets = Run("xclip", {"-selection", "clipboard", "-t", "TARGETS", "-o"});
  QVERIFY2(targets.contains("application/x-loopwright-frame-v2"), targets.constData());
}

void X11ClipboardTest::aPngOfAnotherProgramPastesWithCtrlV() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(test::MakeAnimation(1, 9, 9, 4));
  SetPreference(kPrefPaletteConflict, kChoiceMerge);
  SetPreference(kPrefHighColor, ChoiceWithBits(kChoiceAdaptive, 8));
  ShowAndActivate(w);
  QTemporaryDir dir;
  QImage picture(6, 4, QImage::Format_RGB32);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) picture.setPixel(x, y, qRgb(40 * x, 60 * y, 90));
  QString file = dir.filePath("p.png");
  QVERIFY(picture.save(file, "PNG"));
  // In the foreground, so that it can be ended here; it serves the selection until then.
  QProcess xclip;
  xclip.start("xclip", {"-quiet", "-selection", "clipboard", "-t", "image/png", "-i", file});
  QVERIFY(xclip.waitForStarted(5000));
  QTRY_VERIFY_WITH_TIMEOUT(!QApplication::clipboard()->ownsClipboard() &&
                               QApplication::clipboard()->mimeData()->formats().contains("image/png"),
                           10000);
  QTest::keyClick(&w, Qt::Key_V, Qt::ControlModifier);
  QTRY_COMPARE(w.CurrentAnimation()->frameCount, 2);
  const Frame& pasted = *NthFrame(*w.CurrentAnimation(), 1);
  QCOMPARE(GetFrameName(pasted), std::string("[Unnamed]"));
  QCOMPARE(pasted.width, 6);
  const PaletteEntry& c = (*pasted.palette)[pasted.Row(3)[5]];
  QVERIFY(std::abs(c.red - 200) <= 6 && std::abs(c.green - 180) <= 6 && std::abs(c.blue - 90) <= 6);
  xclip.kill();
  xclip.waitForFinished(2000);
}

QTEST_MAIN(X11ClipboardTest)
#include "x11_clipboard.moc"
