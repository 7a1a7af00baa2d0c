// The editor with pictures: a PNG opens as an untitled document, and File > Export As writes APNG, WebP,
// MP4, WebM and a PNG per frame that read back with the document's frames.
#include <QtTest>
#include <filesystem>

#include "app/shell/ids.h"
#include "app_test_support.h"
#include "io/files.h"
#include "io/picture_export.h"
#include "platform/picture_source.h"
#include "support/run_command.h"

using namespace lw;
using namespace lw::app;

class PictureFormatsTest : public QObject {
  Q_OBJECT
 private slots:
  void pictureOpensAsUntitledDocument();
  void exportMenuWritesEveryFormat();
};

void PictureFormatsTest::pictureOpensAsUntitledDocument() {
  if (!PictureSupportBuiltIn()) QSKIP("built without the picture module");
  test::TestShell shell;
  MainWindow& w = shell.window;
  AnimationPtr a = test::MakeAnimation(3, 16, 12);
  const std::string frames = (shell.settings.Folder() + "/pic.png").toStdString();
  QCOMPARE(ExportPictures(frames, *a, MovieFormat::kPngFrames), 1);
  std::string first = (shell.settings.Folder() + "/pic_0002.png").toStdString();
  w.InitMainMenu();
  QVERIFY(w.OpenDocument(&first));
  QVERIFY(w.CurrentAnimation());
  QCOMPARE(w.CurrentAnimation()->frameCount, 1);
  QCOMPARE(w.CurrentAnimation()->screenWidth, 16);
  QCOMPARE(w.windowTitle(), QString("Loopwright - Untitled*"));
  QVERIFY(shell.recorder.Texts().empty());
  // Two more pictures dropped on the filmstrip come in as frames, in one step that Undo takes back.
  w.DropFiles(QPoint(0, 0),
              {shell.settings.Folder() + "/pic_0001.png", shell.settings.Folder() + "/pic_0003.png"});
  QCOMPARE(w.CurrentAnimation()->frameCount, 3);
  QVERIFY(w.DispatchCommand(kCmdUndo));
  QCOMPARE(w.CurrentAnimation()->frameCount, 1);
}

void PictureFormatsTest::exportMenuWritesEveryFormat() {
  if (!PictureSupportBuiltIn()) QSKIP("built without the picture module");
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.InitMainMenu();
  AnimationPtr a = test::MakeAnimation(4, 16, 12);
  for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) f->delay = 7;
  const std::string path = (shell.settings.Folder() + "/clip.gif").toStdString();
  {
    RecordingUiHooks quiet;
    ScopedUiHooks scope(&quiet);
    QCOMPARE(WriteGifFile(path, *a), 1);
  }
  QVERIFY(w.OpenDocument(&path));
  struct Case {
    int id;
    SaveKind kind;
    const char* name;
  } cases[] = {{kCmdExportApng, SaveKind::Apng, "clip.apng"},
               {kCmdExportWebp, SaveKind::Webp, "clip.webp"},
               {kCmdExportMp4, SaveKind::Mp4, "clip.mp4"},
               {kCmdExportWebm, SaveKind::Webm, "clip.webm"},
               {kCmdExportPngFrames, SaveKind::PngFrames, "clip.png"}};
  for (const Case& c : cases) {
    const QString target = shell.settings.Folder() + "/" + c.name;
    shell.saveAnswers.push_back(target);
    w.DispatchCommand(c.id);
    QCOMPARE(shell.saveKinds.back(), c.kind);
    QCOMPARE(shell.saveProposals.back(), shell.settings.Folder() + "|" + c.name);
    QVERIFY2(shell.recorder.Texts().empty(),
             shell.recorder.Texts().empty() ? "" : shell.recorder.Texts()[0].c_str());
  }
  // The animations read back with four frames of 7 hundredths; the movies as ffprobe counts them.
  for (const char* name : {"clip.apng", "clip.webp"}) {
    RecordingUiHooks quiet;
    ScopedUiHooks scope(&quiet);
    AnimationPtr back;
    QCOMPARE(ReadAnyFile((shell.settings.Folder() + "/" + name).toStdString(), &back, nullptr), 1);
    QCOMPARE(back->frameCount, 4);
    QCOMPARE(FirstFrame(*back)->delay, 7u);
  }
  for (int i = 1; i <= 4; ++i)
    QVERIFY(QFile::exists(shell.settings.Folder() + QString("/clip_%1.png").arg(i, 4, 10, QChar('0'))));
  if (test::RunCommand("ffprobe -version >/dev/null 2>&1 && echo yes").empty()) QSKIP("no ffprobe");
  for (const char* name : {"clip.mp4", "clip.webm"}) {
    const std::string count =
        test::RunCommand("ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 '" +
                         (shell.settings.Folder() + "/" + name).toStdString() + "'");
    QCOMPARE(count, std::string("4\n"));
  }
}

QTEST_MAIN(PictureFormatsTest)
#include "test_picture_formats.moc"
