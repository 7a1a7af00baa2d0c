// The "&Animation Preview" command: opens the preview window on the document, or closes it.
#include <QAction>
#include <QApplication>

#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app/shell/toolbars.h"
#include "app/views/preview_window.h"

namespace lw::app {

uint32_t MainWindow::CmdPreview(int) {
  if (preview_) {
    ClosePreview();
    return kFollowNone;
  }
  if (!animation_) {
    QApplication::beep();
    if (QAction* a = Action(kCmdPreview)) a->setChecked(false);
    return kFollowNone;
  }
  preview_ = new PreviewWindow(animation_.get(), this);
  connect(preview_, &PreviewWindow::CloseRequested, this, [this] { DispatchCommand(kCmdPreview); });
  preview_->show();
  if (QAction* a = Action(kCmdPreview)) a->setChecked(true);
  if (QAction* a = Action(kCmdStopPreview)) a->setEnabled(true);
  toolbars_->ShowPreviewButtons(true);
  return kFollowNone;
}

}  // namespace lw::app
