// The one way the document changes: every edit runs through EditDocument, which keeps the document as it
// was for Undo; Undo and Redo swap it back in and refresh what an edit refreshes.
#include <QAction>
#include <new>

#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app/shell/toolbars.h"
#include "platform/settings_store.h"
#include "platform/ui_hooks.h"

namespace lw::app {

std::string MainWindow::StepName(const CommandRow& row) {
  switch (row.id) {
    case kCmdDelayBox:
      return "Delay";
    case kCmdIterationsBox:
      return "Number of Iterations";
    case kCmdLocalPalette:
      return "Remove Local Palette";
    case kCmdToggleTransparency:
    case kCmdPickTransparency:
      return "Transparency";
    default:
      break;
  }
  // The menu text without its mnemonic, accelerator and dots.
  std::string name;
  for (const char* c = row.label; *c && *c != '\t'; ++c)
    if (*c != '&') name += *c;
  while (!name.empty() && name.back() == '.') name.pop_back();
  return name;
}

int64_t MainWindow::MergeKey(int id) const {
  // Keystrokes in the delay box merge while they are for the same frame; in the iterations box always.
  if (id == kCmdDelayBox) return int64_t{id} << 32 | static_cast<uint32_t>(selected_ + 1);
  if (id == kCmdIterationsBox) return int64_t{id} << 32;
  return 0;
}

uint32_t MainWindow::EditDocument(const std::string& name, const std::function<uint32_t()>& change,
                                  int64_t mergeKey) {
  Animation* doc = animation_.get();
  if (!doc) return change();
  // The copy reads every frame: no job may be building a mask or counting meanwhile.
  jobs_.StopJobs();
  AnimationPtr before = CopyAnimation(*doc);
  if (!before) {
    ShowError("Not enough memory to keep this change for Undo");
    return kFollowNone;
  }
  int selectedBefore = selected_;
  uint32_t steps = kFollowNone;
  try {
    steps = change();
  } catch (const std::bad_alloc&) {
    // Memory ran out part-way through the change: the document goes back to what it was, as after an
    // undo, and nothing is recorded.
    if (animation_.get() == doc) {
      SwapAnimations(*doc, *before);
      steps = TakeSwappedDocument(selectedBefore);
    }
    ShowError("Not enough memory to complete the command.");
    RefreshUndoCommands();
    return steps;
  }
  // A change that made another document current (an insertion into nothing opens the file) starts a
  // new history there.
  if ((steps & kFollowModified) && animation_.get() == doc) {
    history_.Push(name, std::move(before), selectedBefore, mergeKey, *doc);
    SetModified(true);
  }
  RefreshUndoCommands();
  return steps;
}

void MainWindow::RefreshUndoCommands() {
  bool document = animation_ != nullptr;
  bool canUndo = document && history_.CanUndo();
  bool canRedo = document && history_.CanRedo();
  QString undoName = QString::fromStdString(history_.UndoName());
  QString redoName = QString::fromStdString(history_.RedoName());
  if (QAction* a = Action(kCmdUndo)) {
    a->setText(canUndo ? "&Undo " + undoName + "\tCtrl+Z" : QString("&Undo\tCtrl+Z"));
    a->setEnabled(canUndo);
  }
  if (QAction* a = Action(kCmdRedo)) {
    a->setText(canRedo ? "&Redo " + redoName + "\tCtrl+Y" : QString("&Redo\tCtrl+Y"));
    a->setEnabled(canRedo);
  }
  if (!toolbars_) return;
  toolbars_->EnableButton(kCmdUndo, canUndo);
  toolbars_->EnableButton(kCmdRedo, canRedo);
  if (QAction* b = toolbars_->Button(kCmdUndo)) b->setToolTip(canUndo ? "Undo " + undoName : "Undo");
  if (QAction* b = toolbars_->Button(kCmdRedo)) b->setToolTip(canRedo ? "Redo " + redoName : "Redo");
}

uint32_t MainWindow::CmdUndoRedo(int id) {
  if (!animation_) return kFollowNone;
  std::optional<int> selected =
      id == kCmdUndo ? history_.Undo(*animation_, selected_) : history_.Redo(*animation_, selected_);
  if (!selected) return kFollowNone;
  return TakeSwappedDocument(*selected);
}

uint32_t MainWindow::TakeSwappedDocument(int selected) {
  SetModified(!history_.AtSavedPoint());
  // The copy carries the saved size it had, which is that state's size.
  return ShowNewFrameRecords(selected) | kFollowSizeJobKeep;
}

uint32_t MainWindow::ShowNewFrameRecords(int selected) {
  // The frames are other records now: every cell and the name list are made again, and the display
  // colour of transparent pixels follows the view chosen since.
  for (Frame* f = FirstFrame(*animation_); f; f = NextFrame(f)) ShowTransparentColor(*f, true);
  toolbars_->RefreshAnimationToolbar(animation_.get());
  RebuildFilmstrip();
  selected_ = std::min(selected, animation_->frameCount - 1);
  RelayoutFilmstrip();
  SelectFrame(selected_);
  filmstrip_->RepaintFilmstrip();
  return kFollowRepaintAll | kFollowRunningTime | kFollowFrameToolbar | kFollowPaletteButton |
         kFollowColorJob;
}

}  // namespace lw::app
