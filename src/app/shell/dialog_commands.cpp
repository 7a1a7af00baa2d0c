// The commands of the frame editing dialogs: Frame Properties, Global Frame Properties, Animation
// Properties and Move/Crop. Each runs inside one step of the history (the command table marks them as
// edits), with the background jobs stopped.
#include <QDialog>

#include "app/dialogs/animation_properties_dialog.h"
#include "app/dialogs/frame_properties_dialog.h"
#include "app/dialogs/global_frame_properties_dialog.h"
#include "app/dialogs/move_crop_dialog.h"
#include "app/shell/main_window.h"
#include "app/shell/toolbars.h"
#include "app/views/preview_window.h"

namespace lw::app {

int MainWindow::RunDialog(QDialog& dialog) {
  return services_.runDialog ? services_.runDialog(dialog) : dialog.exec();
}

uint32_t MainWindow::CmdFrameProperties(int) {
  Frame* f = animation_ && selected_ >= 0 ? NthFrame(*animation_, selected_) : nullptr;
  if (!f) return kFollowNone;
  // Removing the local palette merges it into the global one, which needs the whole colour count.
  if (f->localPalette) jobs_.CompleteColorCount(animation_.get());
  FramePropertiesDialog dialog(*animation_, *f, services_.pickTransparency, this);
  if (RunDialog(dialog) != 1) return kFollowNone;
  toolbars_->SetFrameNameEntry(selected_, Toolbars::FrameEntryText(selected_, *f));
  return kFollowModified | kFollowRepaintFrame | kFollowRunningTime | kFollowFrameToolbar |
         kFollowPaletteButton | kFollowSizeJobDrop;
}

uint32_t MainWindow::CmdGlobalFrameProperties(int) {
  if (!animation_) return kFollowNone;
  bool anyLocal = false;
  for (const Frame* f = FirstFrame(*animation_); f && !anyLocal; f = NextFrame(f))
    anyLocal = f->localPalette != nullptr;
  if (anyLocal) jobs_.CompleteColorCount(animation_.get());
  GlobalFramePropertiesDialog dialog(*animation_, services_.pickTransparency, this);
  int result = RunDialog(dialog);
  // A removal that failed part-way put back copies of the frames: no cell, and not the preview, may keep
  // the old ones.
  RelayoutFilmstrip();
  if (preview_) preview_->AnimationChanged();
  if (result != 1) return kFollowNone;
  return kFollowModified | kFollowRepaintAll | kFollowRunningTime | kFollowFrameToolbar |
         kFollowPaletteButton | kFollowSizeJobDrop;
}

uint32_t MainWindow::CmdAnimationProperties(int) {
  if (!animation_) return kFollowNone;
  // "Show..." marks the global palette's colours in use: the count must be whole.
  if (animation_->globalPalette) jobs_.CompleteColorCount(animation_.get());
  AnimationPropertiesDialog dialog(*animation_, path_, this);
  int result = RunDialog(dialog);
  if (result != 1 && result != 2) return kFollowNone;
  toolbars_->RefreshAnimationToolbar(animation_.get());
  toolbars_->RefreshFrameToolbar(selected_);
  // The looping block and the screen descriptor change the saved size: the cached one is stale.
  return kFollowModified | (result == 2 ? kFollowRebuild : kFollowNone) | kFollowSizeJobDrop;
}

uint32_t MainWindow::CmdMoveCrop(int) {
  if (!animation_ || selected_ < 0 || !NthFrame(*animation_, selected_)) return kFollowNone;
  MoveCropDialog dialog(*animation_, selected_, this);
  if (RunDialog(dialog) != 1) return kFollowNone;
  // A moved or cropped frame changes the saved size: the cached one is stale.
  return kFollowModified | kFollowRepaintFrame | kFollowSizeJobDrop;
}

}  // namespace lw::app
