// The editor's answers to the engine's messages and questions: message boxes, the Palette Conflict and
// Frame Size Conflict dialogs, and progress dialogs.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/ui_hooks.h"

namespace lw::app {

class QtUiHooks : public UiHooks {
 public:
  // Dialogs are owned by the given window (the main window) while it exists.
  void SetOwner(QWidget* owner) { owner_ = owner; }
  QWidget* Owner() const { return owner_; }

  void Error(const std::string& text) override;
  MsgResult MessageBox(const std::string& caption, const std::string& text, MsgButtons buttons,
                       MsgIcon icon) override;
  PaletteConflictAnswer AskPaletteConflict(uint32_t flags) override;
  FrameSizeAnswer AskFrameSizeConflict() override;
  std::unique_ptr<ProgressSink> CreateProgressDialog() override;
  uint32_t ButtonFaceColor() override;

  // The caption of a box that names none, as the desktop's own message boxes have it.
  static constexpr const char* kDefaultCaption = "Error";

 private:
  QPointer<QWidget> owner_;
};

}  // namespace lw::app
