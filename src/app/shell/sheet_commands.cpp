// The commands of the settings and comment dialogs and of the HTML code: Preferences, Signature Comment,
// GIF Comments and HTML. Only GIF Comments changes the document; it runs inside one step of the history.
#include "app/dialogs/comments_dialog.h"
#include "app/dialogs/html_code_dialog.h"
#include "app/dialogs/preferences_dialog.h"
#include "app/dialogs/signature_dialog.h"
#include "app/shell/main_window.h"

namespace lw::app {

uint32_t MainWindow::CmdPreferences(int) {
  PreferencesDialog dialog(this);
  RunDialog(dialog);
  return kFollowNone;
}

uint32_t MainWindow::CmdSignature(int) {
  SignatureDialog dialog(this);
  if (RunDialog(dialog) != 1 || !animation_) return kFollowNone;
  // The next save writes another signature: the file on disk no longer matches, whatever Undo does.
  history_.ForgetSavedPoint();
  return kFollowModified | kFollowSizeJobDrop;
}

uint32_t MainWindow::CmdComments(int) {
  if (!animation_) return kFollowNone;
  CommentsDialog dialog(*animation_, services_.editComment ? services_.editComment : RunCommentDialog, this);
  RunDialog(dialog);
  // The list changes the document as the user goes: what counts is whether it did, however it was closed.
  return dialog.Changed() ? kFollowModified | kFollowSizeJobDrop : kFollowNone;
}

uint32_t MainWindow::CmdHtml(int) {
  if (!animation_) return kFollowNone;
  HtmlCodeDialog dialog(*animation_, path_, this);
  RunDialog(dialog);
  return kFollowNone;
}

}  // namespace lw::app
