#include "app/dialogs/center_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace lw::app {

void CenterWindow(QWidget* window, const QWidget* owner) {
  if (!window) return;
  QRect over;
  if (owner && owner->isVisible()) {
    over = owner->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    over = screen->availableGeometry();
  }
  if (over.isNull()) return;
  QSize size = window->frameGeometry().size();
  window->move(over.center() - QPoint(size.width() / 2, size.height() / 2));
}

}  // namespace lw::app
