// Takes screenshots of the editor on a real animation at several zooms and in both orientations (run it
// under Xvfb: xvfb-run -a -s "-screen 0 1280x900x24" app_screenshots FILE OUTDIR).
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app/shell/qt_ui_hooks.h"
#include "app/views/preview_window.h"
#include "model/preferences.h"
#include "platform/settings_store.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: app_screenshots FILE OUTDIR\n");
    return 2;
  }
  std::string file = argv[1];
  QString out = argv[2];
  QDir().mkpath(out);
  QTemporaryDir config;
  lw::SettingsStore store(config.filePath("2.0.conf").toStdString());
  lw::ReadPreferences(&store);
  lw::app::QtUiHooks hooks;
  lw::SetUiHooks(&hooks);
  lw::app::MainWindow window(&store);
  hooks.SetOwner(&window);
  window.resize(1000, 720);
  window.move(40, 40);
  window.show();
  window.OpenDocument(&file);
  auto settle = [] {
    for (int i = 0; i < 30; ++i) {
      QApplication::processEvents();
      QThread::msleep(10);
    }
  };
  auto shot = [&](const QString& name) {
    settle();
    QString path = out + "/" + name + ".png";
    window.grab().save(path);
    std::printf("%s\n", qPrintable(path));
  };
  window.SelectFrame(1);
  struct View {
    int zoom;
    int orientation;
    const char* name;
  };
  const View views[] = {
      {lw::app::kCmdZoomActual, lw::app::kCmdOrientDefault, "editor-100-default"},
      {lw::app::kCmdZoom20 + 3, lw::app::kCmdOrientHorizontal, "editor-50-horizontal"},
      {lw::app::kCmdZoom20 + 3, lw::app::kCmdOrientVertical, "editor-50-vertical"},
      {lw::app::kCmdZoomActual + 1, lw::app::kCmdOrientVertical, "editor-200-vertical"},
      {lw::app::kCmdZoom20, lw::app::kCmdOrientHorizontal, "editor-20-horizontal"},
  };
  for (const View& v : views) {
    window.DispatchCommand(v.orientation);
    window.DispatchCommand(v.zoom);
    shot(v.name);
  }
  window.DispatchCommand(lw::app::kCmdOrientDefault);
  // The animation preview, playing, beside the editor.
  window.DispatchCommand(lw::app::kCmdPreview);
  if (lw::app::PreviewWindow* preview = window.Preview()) {
    preview->move(window.geometry().right() - preview->width() - 60, window.geometry().top() + 120);
    for (int i = 0; i < 5; ++i) settle();
    QString path = out + "/preview.png";
    preview->grab().save(path);
    std::printf("%s\n", qPrintable(path));
    // The whole screen: the editor with the preview window over it.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      path = out + "/editor-with-preview.png";
      screen->grabWindow(0).save(path);
      std::printf("%s\n", qPrintable(path));
    }
  }
  window.SetModified(false);
  window.close();
  lw::SetUiHooks(nullptr);
  return 0;
}
