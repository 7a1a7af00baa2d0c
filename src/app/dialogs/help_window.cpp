#include "app/dialogs/help_window.h"

#include <QFile>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

namespace lw::app {

bool ShowHelpWindow(QWidget* owner, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  file.close();
  QWidget* window = owner ? owner->findChild<QWidget*>("helpWindow", Qt::FindDirectChildrenOnly) : nullptr;
  QTextBrowser* browser = nullptr;
  if (window) {
    browser = window->findChild<QTextBrowser*>();
  } else {
    window = new QWidget(owner, Qt::Window);
    window->setObjectName("helpWindow");
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle("Loopwright Help");
    browser = new QTextBrowser(window);
    browser->setObjectName("helpBrowser");
    browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    window->resize(640, 560);
  }
  browser->setSource(QUrl::fromLocalFile(path));
  window->show();
  window->raise();
  window->activateWindow();
  return true;
}

}  // namespace lw::app
