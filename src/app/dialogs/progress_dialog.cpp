#include "app/dialogs/progress_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/dialogs/center_window.h"

namespace lw::app {

ProgressDialog::ProgressDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint), bar_(new QProgressBar), text_(new QLabel) {
  setObjectName("166");
  bar_->setObjectName("1117");
  text_->setObjectName("1118");
  bar_->setTextVisible(false);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  text_->setMinimumWidth(320);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
  connect(buttons, &QDialogButtonBox::rejected, this, &ProgressDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(bar_);
  layout->addWidget(buttons);
  setWindowModality(Qt::ApplicationModal);
}

void ProgressDialog::reject() {
  // Esc or Cancel: the operation sees it at its next step and closes the dialog itself.
  cancelled_ = true;
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
  cancelled_ = true;
  event->ignore();
}

ProgressDialogSink::~ProgressDialogSink() {
  Close();
}

ProgressDialog* ProgressDialogSink::Ensure() {
  if (dialog_ || closed_) return dialog_;
  dialog_ = new ProgressDialog(owner_);
  dialog_->setAttribute(Qt::WA_DeleteOnClose, false);
  dialog_->adjustSize();
  CenterWindow(dialog_, owner_);
  dialog_->show();
  if (!cursorSet_) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cursorSet_ = true;
  }
  return dialog_;
}

void ProgressDialogSink::SetText(const std::string& text) {
  if (ProgressDialog* d = Ensure()) d->Text()->setText(QString::fromStdString(text));
}

void ProgressDialogSink::SetRange(uint32_t total) {
  if (ProgressDialog* d = Ensure()) {
    d->Bar()->setRange(0, static_cast<int>(total));
    d->Bar()->setValue(0);
  }
}

void ProgressDialogSink::SetPosition(uint32_t position) {
  if (ProgressDialog* d = Ensure())
    d->Bar()->setValue(std::min(static_cast<int>(position), d->Bar()->maximum()));
}

bool ProgressDialogSink::Pump() {
  ProgressDialog* d = Ensure();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return !(d && d->Cancelled());
}

void ProgressDialogSink::Focus() {
  if (ProgressDialog* d = Ensure()) {
    d->activateWindow();
    d->setFocus();
  }
}

void ProgressDialogSink::Close() {
  if (closed_) return;
  closed_ = true;
  if (cursorSet_) {
    QApplication::restoreOverrideCursor();
    cursorSet_ = false;
  }
  if (dialog_) {
    dialog_->hide();
    delete dialog_.data();
  }
}

}  // namespace lw::app
