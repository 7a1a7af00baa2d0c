// Takes screenshots of the editor on a real animation at several zooms and in both orientations (run it
// under Xvfb: xvfb-run -a -s "-screen 0 1280x900x24" app_screenshots FILE OUTDIR).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>

#include "app/dialogs/optimize_dialog.h"
#include "app/dialogs/palette_dialogs.h"
#include "app/dialogs/reduce_palette_dialog.h"
#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app/shell/qt_ui_hooks.h"
#include "app/views/preview_window.h"
#include "gif/gif_writer.h"
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
  window.DispatchCommand(lw::app::kCmdStopPreview);
  // The palette windows and the tools' dialogs, each once its preview has arrived.
  auto dialogShot = [&](QDialog& dialog, const QString& name, const std::function<bool()>& ready) {
    dialog.show();
    for (int i = 0; i < 200 && !ready(); ++i) settle();
    settle();
    QString path = out + "/" + name + ".png";
    dialog.grab().save(path);
    std::printf("%s\n", qPrintable(path));
    dialog.reject();
  };
  if (lw::Animation* a = window.CurrentAnimation()) {
    lw::CountGlobalColorUse(*a, a->colorUse, true);
    if (a->globalPalette) {
      lw::SetPreference(lw::kPrefFlags, lw::GetPreference(lw::kPrefFlags) | lw::kPrefShowColorsInUse);
      lw::app::ShowPaletteDialog palette(*a->globalPalette, &a->colorUse, &window);
      dialogShot(palette, "show-palette", [] { return true; });
    }
    if (lw::Frame* f = lw::NthFrame(*a, 1)) {
      lw::SetPreference(lw::kPrefFlags, lw::GetPreference(lw::kPrefFlags) | lw::kPrefShowColorInfo);
      lw::app::PickTransparencyDialog pick(*f, lw::IsTransparent(*f) ? f->transparentIndex : 0, &window);
      dialogShot(pick, "pick-transparency", [] { return true; });
    }
    // Optimize with a lossy level, then with a size to fit under (30 % below the file as it is).
    lw::app::OptimizeDialog optimize(*a, &window);
    optimize.findChild<QSlider*>(QString::number(lw::app::kOptLossy))->setValue(40);
    dialogShot(optimize, "optimize-animation", [&] { return !optimize.Waiting(); });
    const uint32_t size = lw::ComputeFileSize(*a, false, nullptr);
    lw::app::OptimizeDialog fit(*a, &window);
    fit.findChild<QLineEdit*>(QString::number(lw::app::kOptFitUnder))
        ->setText(QString::number(size / 10 * 7 / 1024));
    dialogShot(fit, "optimize-fit-under", [&] { return !fit.Waiting(); });
    lw::app::ReducePaletteDialog reduce(*a, &window);
    dialogShot(reduce, "reduce-palette", [&] { return reduce.Job().HasResult(); });
  }
  window.SetModified(false);
  window.close();
  lw::SetUiHooks(nullptr);
  return 0;
}
