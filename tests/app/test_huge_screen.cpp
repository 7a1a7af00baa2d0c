// A tiny GIF with a 65535 × 65535 logical screen, opened and edited in the editor with the address space
// held to 3 GB: every command that composes or draws the screen must stay within it (or refuse), never
// end the program.
#include <sys/resource.h>

#include <QDialog>
#include <QtTest>
#include <fstream>

#include "app/shell/ids.h"
#include "app_test_support.h"

using namespace lw;
using namespace lw::app;

class HugeScreenTest : public QObject {
  Q_OBJECT

 private slots:
  void commandsStayWithinTheLimit();
};

void HugeScreenTest::commandsStayWithinTheLimit() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.show();
  // Screen 65535 × 65535, a two-colour table, one 1 × 1 frame.
  const std::string path = (shell.settings.Folder() + "/huge.gif").toStdString();
  const unsigned char bytes[] = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0,
                                 0,   0,   0,   0,   255, 255, 255,  0x2C, 0,    0,    0,    0,
                                 1,   0,   1,   0,   0,   2,   2,    0x4C, 0x01, 0,    0x3B};
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
  QVERIFY(w.OpenDocument(&path));
  QCOMPARE(w.CurrentAnimation()->screenWidth, 65535);
  w.SelectFrame(0);
  // Every dialog taken as it opens (the Animation menu's resize to half, crop to the whole screen...).
  w.DialogServices().runDialog = [](QDialog& dialog) {
    dialog.accept();
    return dialog.result();
  };
  for (int id : {kCmdPreview,
                 kCmdZoom400,
                 kCmdZoom20,
                 kCmdZoomActual,
                 kCmdOrientHorizontal,
                 kCmdOrientVertical,
                 kCmdRotate90Cw,
                 kCmdFlipHorizontal,
                 kCmdRotate180,
                 kCmdUnoptimize,
                 kCmdUndo,
                 kCmdRedo,
                 kCmdInterlace,
                 kCmdToggleTransparency,
                 kCmdStopPreview,
                 kCmdResizeAnimation,
                 kCmdCropAnimation,
                 kCmdReverseAnimation,
                 kCmdChangeSpeed,
                 kCmdDropFrames,
                 kCmdRemoveDuplicates,
                 kCmdDelete,
                 kCmdUndo}) {
    w.DispatchCommand(id);
    QTest::qWait(20);  // lets the preview and the jobs run
  }
  QVERIFY(w.CurrentAnimation());
  QCOMPARE(w.CurrentAnimation()->frameCount, 1);
}

int main(int argc, char** argv) {
  // Well above what the editor needs for its own code and threads, far below one screen of pixels.
  const rlim_t limit = rlim_t{3} << 30;
  rlimit rl{limit, limit};
  setrlimit(RLIMIT_AS, &rl);
  QApplication app(argc, argv);
  HugeScreenTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_huge_screen.moc"
