#include "app/dialogs/center_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

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
  // A window not shown yet has no size from its layout: it takes it now, or a tall dialog would be
  // placed by a guessed size and run off the screen.
  if (!window->isVisible()) window->adjustSize();
  QSize size = window->frameGeometry().size();
  QPoint at = over.center() - QPoint(size.width() / 2, size.height() / 2);
  // Its top-left corner stays on the screen, where the title bar is.
  if (QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
    QRect room = screen->availableGeometry();
    at.setX(std::max(room.left(), std::min(at.x(), room.right() - size.width())));
    at.setY(std::max(room.top(), std::min(at.y(), room.bottom() - size.height())));
  }
  window->move(at);
}

}  // namespace lw::app
