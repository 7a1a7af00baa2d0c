// The Tools menu's Optimize Animation and Reduce Palettes, and the palette display of the frame toolbar.
// Both tools work on a copy in their dialogs; OK swaps the copy's contents into the document inside the
// command's history step, so the old contents become the Undo step at no cost.
#include <QApplication>

#include "app/dialogs/optimize_dialog.h"
#include "app/dialogs/palette_dialogs.h"
#include "app/dialogs/reduce_palette_dialog.h"
#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app/shell/toolbars.h"
#include "model/preferences.h"
#include "optimize/lossy.h"
#include "optimize/optimizer.h"

namespace lw::app {

uint32_t MainWindow::TakeRebuiltCopy(AnimationPtr copy) {
  SwapAnimations(*animation_, *copy);
  // The frames are other records now: every cell and the name list are made again, and the display
  // colour of transparent pixels follows the view chosen.
  for (Frame* f = FirstFrame(*animation_); f; f = NextFrame(f)) ShowTransparentColor(*f, true);
  toolbars_->RefreshAnimationToolbar(animation_.get());
  RebuildFilmstrip();
  // A selection beyond the frames that remain goes.
  SelectFrame(selected_ < animation_->frameCount ? selected_ : -1);
  // The copy carries the size it was measured at, which is the new contents' size.
  return kFollowModified | kFollowRelayout | kFollowRepaintAll | kFollowRunningTime | kFollowFrameToolbar |
         kFollowPaletteButton | kFollowColorJob | kFollowSizeJobKeep;
}

uint32_t MainWindow::CmdOptimize(int) {
  if (!animation_) return kFollowNone;
  // The palette pass reads the colour count: it must be whole.
  jobs_.CompleteColorCount(animation_.get());
  ClosePreview();
  OptimizeDialog dialog(*animation_, this);
  if (RunDialog(dialog) != 1) return kFollowNone;
  if (AnimationPtr copy = dialog.TakeResult()) return TakeRebuiltCopy(std::move(copy));
  // No copy could be made: the document itself is optimized.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  bool changed = OptimizeAnimation(*animation_, dialog.Options(), progress.get());
  if (dialog.LossyLevel() && ProgressContinues(progress.get()))
    changed |= LossyAnimation(*animation_, dialog.LossyLevel(), progress.get()) > 0;
  EndProgress(progress);
  QApplication::restoreOverrideCursor();
  if (!changed) return kFollowNone;
  animation_->fileSize = kUnknownFileSize;
  RebuildFilmstrip();
  SelectFrame(selected_ < animation_->frameCount ? selected_ : -1);
  return kFollowModified | kFollowRelayout | kFollowRepaintAll | kFollowRunningTime | kFollowFrameToolbar |
         kFollowPaletteButton | kFollowColorJob | kFollowSizeJobDrop;
}

uint32_t MainWindow::CmdReducePalettes(int) {
  if (!animation_) return kFollowNone;
  // The global palette's weights are the colour count.
  jobs_.CompleteColorCount(animation_.get());
  if (!ReducePaletteDialog::CanReduce(*animation_)) return kFollowNone;
  ClosePreview();
  ReducePaletteDialog dialog(*animation_, this);
  if (RunDialog(dialog) != 1) return kFollowNone;
  AnimationPtr copy = dialog.TakeResult();
  return copy ? TakeRebuiltCopy(std::move(copy)) : kFollowNone;
}

uint32_t MainWindow::CmdShowPalette(int id) {
  if (!animation_) return kFollowNone;
  if (id == kCmdShowGlobalPalette) {
    if (!animation_->globalPalette) return kFollowNone;
    jobs_.CompleteColorCount(animation_.get());
    ShowPaletteDialog dialog(*animation_->globalPalette, &animation_->colorUse, this);
    RunDialog(dialog);
    return kFollowNone;
  }
  const Frame* f = toolbars_->CurrentFrame();
  // A frame without a local palette has nothing to show.
  if (!f || !f->localPalette) return kFollowNone;
  ColorCounts counts{};
  CountFrameColorUse(*f, counts, true);
  ShowPaletteDialog dialog(*f->localPalette, &counts, this);
  RunDialog(dialog);
  return kFollowNone;
}

}  // namespace lw::app
