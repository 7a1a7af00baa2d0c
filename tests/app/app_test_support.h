// Helpers shared by the editor tests: a private settings store, scripted dialogs and hooks, documents
// made in memory.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "app/shell/main_window.h"
#include "gif/gif_sink.h"
#include "gif/gif_writer.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"
#include "platform/settings_store.h"
#include "support/builders.h"

namespace lw::test {

// A settings store in a folder of its own, with fresh preferences read from it; the defaults come back
// (in memory only) when it goes.
class ScopedSettings {
 public:
  ScopedSettings() : store_(dir_.filePath("2.0.conf").toStdString()) {
    store_.Load();
    ReadPreferences(&store_);
  }
  ~ScopedSettings() { ReadPreferences(nullptr); }
  SettingsStore& Store() { return store_; }
  QString Folder() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  SettingsStore store_;
};

// A main window whose file and colour dialogs answer from scripts and whose messages are recorded.
class TestShell {
 public:
  TestShell() : hooks_(&recorder), window(&settings.Store()) {
    auto& services = window.DialogServices();
    services.openFiles = [this](const QString& title, const QString& folder, bool multiple) {
      openTitles.push_back(title);
      openFolders.push_back(folder);
      openMultiple.push_back(multiple);
      if (openAnswers.empty()) return QStringList();
      QStringList answer = openAnswers.front();
      openAnswers.pop_front();
      return answer;
    };
    services.saveFile = [this](app::SaveKind kind, const QString& folder, const QString& name) {
      saveKinds.push_back(kind);
      saveProposals.push_back(folder + "|" + name);
      if (saveAnswers.empty()) return QString();
      QString answer = saveAnswers.front();
      saveAnswers.pop_front();
      return answer;
    };
    services.chooseColor = [this](const QColor&) -> std::optional<QColor> {
      if (colorAnswers.empty()) return std::nullopt;
      std::optional<QColor> answer = colorAnswers.front();
      colorAnswers.pop_front();
      return answer;
    };
    // The transparency picker answers from its script too (Cancel when it runs out).
    services.pickTransparency = [this](Frame&, int current) {
      pickStarts.push_back(current);
      if (pickAnswers.empty()) return -1;
      int answer = pickAnswers.front();
      pickAnswers.pop_front();
      return answer;
    };
    services.openHelp = [this](const QString& path) {
      helpOpened.push_back(path);
      return true;
    };
  }

  ScopedSettings settings;
  RecordingUiHooks recorder;

 private:
  ScopedUiHooks hooks_;

 public:
  app::MainWindow window;
  std::deque<QStringList> openAnswers;
  std::deque<QString> saveAnswers;
  std::deque<std::optional<QColor>> colorAnswers;
  std::deque<int> pickAnswers;
  std::vector<int> pickStarts;
  QStringList openTitles, openFolders, saveProposals, helpOpened;
  std::vector<bool> openMultiple;
  std::vector<app::SaveKind> saveKinds;
};

// The bytes the document saves as now (empty when it cannot be written), with any message kept quiet.
inline std::vector<uint8_t> SavedBytes(Animation& a) {
  MemorySink sink;
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  if (WriteGif(sink, a, nullptr) != 1) return {};
  return sink.bytes;
}

}  // namespace lw::test
