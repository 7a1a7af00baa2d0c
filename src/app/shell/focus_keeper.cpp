#include "app/shell/focus_keeper.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace lw::app {

FocusKeeper::FocusKeeper(QWidget* window, QWidget* target)
    : QObject(window), window_(window), target_(target) {
  qApp->installEventFilter(this);
}

FocusKeeper::~FocusKeeper() {
  qApp->removeEventFilter(this);
}

void FocusKeeper::Restore() {
  if (!window_ || !target_ || QApplication::activeModalWidget() || !window_->isVisible()) return;
  window_->raise();
  window_->activateWindow();
  target_->setFocus(Qt::OtherFocusReason);
}

bool FocusKeeper::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Hide) {
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (dialog && dialog->isModal()) {
      QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
      // After the dialog has gone: the event loop may still be unwinding its exec().
      if (!owner || owner == window_) QTimer::singleShot(0, this, [this] { Restore(); });
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lw::app
