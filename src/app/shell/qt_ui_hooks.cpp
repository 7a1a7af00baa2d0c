#include "app/shell/qt_ui_hooks.h"

#include <QApplication>
#include <QMessageBox>
#include <QPalette>
#include <QThread>

#include "app/dialogs/frame_size_conflict_dialog.h"
#include "app/dialogs/palette_conflict_dialog.h"
#include "app/dialogs/progress_dialog.h"

namespace lw::app {

namespace {

bool OffInterfaceThread() {
  return QCoreApplication::instance() && QThread::currentThread() != QCoreApplication::instance()->thread();
}

}  // namespace

void QtUiHooks::Error(const std::string& text) {
  // A background job's failure is shown by the interface thread; the job goes on to its end meanwhile, so
  // an interface thread that waits for it can never block it.
  if (OffInterfaceThread()) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this, text] { Error(text); }, Qt::QueuedConnection);
    return;
  }
  // No owner: the message stands on its own, like the failures it reports.
  MessageBox("", text, MsgButtons::Ok, MsgIcon::Exclamation);
}

MsgResult QtUiHooks::MessageBox(const std::string& caption, const std::string& text, MsgButtons buttons,
                                MsgIcon icon) {
  // A background job's message is shown by the interface thread; the job waits for its answer there (the
  // dialogs that stop such a job serve events while they wait).
  if (OffInterfaceThread()) {
    MsgResult result = MsgResult::Ok;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { result = MessageBox(caption, text, buttons, icon); },
        Qt::BlockingQueuedConnection);
    return result;
  }
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
