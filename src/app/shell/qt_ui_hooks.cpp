#include "app/shell/qt_ui_hooks.h"

#include <QApplication>
#include <QMessageBox>
#include <QPalette>

#include "app/dialogs/frame_size_conflict_dialog.h"
#include "app/dialogs/palette_conflict_dialog.h"
#include "app/dialogs/progress_dialog.h"

namespace lw::app {

void QtUiHooks::Error(const std::string& text) {
  // No owner: the message stands on its own, like the failures it reports.
  MessageBox("", text, MsgButtons::Ok, MsgIcon::Exclamation);
}

MsgResult QtUiHooks::MessageBox(const std::string& caption, const std::string& text, MsgButtons buttons,
                                MsgIcon icon) {
  QMessageBox box(owner_);
  box.setWindowTitle(caption.empty() ? kDefaultCaption : QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  switch (icon) {
    case MsgIcon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case MsgIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case MsgIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case MsgIcon::Exclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case MsgIcon::Stop:
      box.setIcon(QMessageBox::Critical);
      break;
  }
  switch (buttons) {
    case MsgButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Ok);
      break;
    case MsgButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case MsgButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setEscapeButton(QMessageBox::No);
      break;
    case MsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes:
      return MsgResult::Yes;
    case QMessageBox::No:
      return MsgResult::No;
    case QMessageBox::Cancel:
      return MsgResult::Cancel;
    default:
      return MsgResult::Ok;
  }
}

UiHooks::PaletteConflictAnswer QtUiHooks::AskPaletteConflict(uint32_t flags) {
  return PaletteConflictDialog::Ask(flags, owner_);
}

UiHooks::FrameSizeAnswer QtUiHooks::AskFrameSizeConflict() {
  return FrameSizeConflictDialog::Ask(owner_);
}

std::unique_ptr<ProgressSink> QtUiHooks::CreateProgressDialog() {
  return std::make_unique<ProgressDialogSink>(owner_);
}

uint32_t QtUiHooks::ButtonFaceColor() {
  QColor face = QApplication::palette().color(QPalette::Button);
  return static_cast<uint32_t>(face.red()) | static_cast<uint32_t>(face.green()) << 8 |
         static_cast<uint32_t>(face.blue()) << 16;
}

}  // namespace lw::app
