// The Animation menu: resize, crop, reverse, speed, dropping frames and removing repeated ones. Each runs
// through EditDocument as one step (the command table marks them as edits).
#include <QApplication>

#include "app/dialogs/resize_dialog.h"
#include "app/dialogs/timing_dialogs.h"
#include "app/shell/main_window.h"
#include "edit/transforms/transforms.h"
#include "platform/progress.h"
#include "platform/ui_hooks.h"

namespace lw::app {

uint32_t MainWindow::AfterWholeAnimationEdit(bool changed) {
  if (!changed) return kFollowNone;
  // The saved size is that of the frames before the edit.
  return ShowNewFrameRecords(selected_) | kFollowModified | kFollowSizeJobDrop;
}

uint32_t MainWindow::CmdResizeAnimation(int) {
  if (!animation_) return kFollowNone;
  ResizeDialog dialog(*animation_, this);
  if (RunDialog(dialog) != QDialog::Accepted) return kFollowNone;
  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool done = ResizeAnimation(*animation_, dialog.Options(), progress.get());
  QApplication::restoreOverrideCursor();
  EndProgress(progress);
  return AfterWholeAnimationEdit(done);
}

uint32_t MainWindow::CmdCropAnimation(int) {
  if (!animation_) return kFollowNone;
  CropScreenDialog dialog(*animation_, this);
  if (RunDialog(dialog) != QDialog::Accepted) return kFollowNone;
  return AfterWholeAnimationEdit(
      CropScreen(*animation_, dialog.Value(0), dialog.Value(1), dialog.Value(2), dialog.Value(3)));
}

uint32_t MainWindow::CmdReverseAnimation(int) {
  if (!animation_) return kFollowNone;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool done = ReverseAnimation(*animation_);
  QApplication::restoreOverrideCursor();
  return AfterWholeAnimationEdit(done);
}

uint32_t MainWindow::CmdChangeSpeed(int) {
  if (!animation_) return kFollowNone;
  SpeedDialog dialog(this);
  if (RunDialog(dialog) != QDialog::Accepted) return kFollowNone;
  const SpeedResult r = ChangeSpeed(*animation_, dialog.Factor());
  if (r.fastFrames)
    Hooks().MessageBox(
        "Change Speed",
        std::to_string(r.fastFrames) +
            " frame(s) now have a delay under 2/100 second. Most web browsers show such frames "
            "for 1/10 second instead, so the animation will play slower there.",
        MsgButtons::Ok, MsgIcon::Information);
  if (!r.changed) return kFollowNone;
  // Only the delays changed: the frames are the same records.
  return kFollowModified | kFollowRunningTime | kFollowFrameToolbar | kFollowSizeJobDrop;
}

uint32_t MainWindow::CmdDropFrames(int) {
  if (!animation_) return kFollowNone;
  DropFramesDialog dialog(this);
  if (RunDialog(dialog) != QDialog::Accepted) return kFollowNone;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool done = dialog.ByEvery() ? DropEveryNthFrame(*animation_, dialog.Every())
                                     : DropToFrameRate(*animation_, dialog.Fps());
  QApplication::restoreOverrideCursor();
  return AfterWholeAnimationEdit(done);
}

uint32_t MainWindow::CmdRemoveDuplicates(int) {
  if (!animation_) return kFollowNone;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const int before = animation_->frameCount;
  const bool done = RemoveDuplicateFrames(*animation_);
  QApplication::restoreOverrideCursor();
  if (!done && before == animation_->frameCount)
    Hooks().MessageBox("Remove Duplicate Frames", "No frame shows the same picture as the frame before it.",
                       MsgButtons::Ok, MsgIcon::Information);
  return AfterWholeAnimationEdit(done);
}

}  // namespace lw::app
