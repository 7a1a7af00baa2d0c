// The editor's entry point: settings and preferences, the main window, the file named on the command
// line, then the event loop.
#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

#include "app/shell/command_line.h"
#include "app/shell/main_window.h"
#include "app/shell/qt_ui_hooks.h"
#include "model/preferences.h"
#include "platform/settings_store.h"

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Loopwright");
  QApplication::setOrganizationName("Tessaly");
  QApplication::setApplicationVersion(LW_VERSION);

  std::vector<std::string> args;
  for (const QString& arg : QApplication::arguments().mid(1)) args.push_back(arg.toStdString());
  std::string file = lw::app::FileFromCommandLine(args);

  lw::SettingsStore store(lw::SettingsStore::DefaultPath());
  store.Load();
  lw::ReadPreferences(&store);

  lw::app::QtUiHooks hooks;
  lw::SetUiHooks(&hooks);
  int code = 0;
  {
    lw::app::MainWindow window(&store);
    hooks.SetOwner(&window);
    // LOOPWRIGHT_FIRST_PAINT=print|exit reports how long start-up took until the filmstrip first showed
    // frames (used by the start-up benchmark).
    QByteArray report = qgetenv("LOOPWRIGHT_FIRST_PAINT");
    double openStartMs = 0, openEndMs = 0;
    if (!report.isEmpty()) {
      window.Filmstrip()->SetFirstPaintCallback([&sinceStart, &openStartMs, &openEndMs, report] {
        // CPU time as well: on a busy machine it says more than the wall clock.
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        double cpuMs = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
        std::printf("first-paint-ms %.1f cpu-ms %.1f open-ms %.1f..%.1f\n",
                    static_cast<double>(sinceStart.nsecsElapsed()) / 1e6, cpuMs, openStartMs, openEndMs);
        std::fflush(stdout);
        if (report == "exit") QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
      });
    }
    window.RestorePlacement();
    window.show();
    openStartMs = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;
    if (!file.empty()) window.OpenDocument(&file);
    openEndMs = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;
    code = QApplication::exec();
    hooks.SetOwner(nullptr);
  }
  lw::SetUiHooks(nullptr);
  return code;
}
