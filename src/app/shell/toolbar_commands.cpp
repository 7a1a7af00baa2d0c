// The frame toolbar's commands: removal method, transparency, local palette, interlace, the frame-name
// list and the delay and iterations boxes.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

#include "app/shell/main_window.h"
#include "app/shell/toolbars.h"
#include "color/palette_ops.h"
#include "platform/ui_hooks.h"

namespace lw::app {
namespace {

constexpr uint32_t kMaxBoxValue = 65535;

// The box's value as the box gives it: its first nine characters as a decimal number, 0 when they are not
// one. Negative for text that does not fit (only digits can be typed, so that means too large).
int64_t BoxValue(const QLineEdit* box) {
  bool ok = false;
  qlonglong value = box->text().left(9).toLongLong(&ok);
  return ok ? static_cast<int64_t>(value) : 0;
}

}  // namespace

uint32_t MainWindow::CmdRemoval(int id) {
  Frame* f = toolbars_->CurrentFrame();
  if (!f) return kFollowNone;
  int disposal = id == kCmdRemovalBackground ? 2 : id == kCmdRemovalPrevious ? 3 : 1;
  // Pressing the method the frame already has is no change.
  return SetDisposal(*f, disposal) != disposal ? kFollowModified : kFollowNone;
}

uint32_t MainWindow::CmdInterlace(int) {
  Frame* f = toolbars_->CurrentFrame();
  if (!f) return kFollowNone;
  bool on = toolbars_->IsPressed(kCmdInterlace);
  if (SetInterlaced(*f, on) == on) return kFollowNone;
  return kFollowModified | kFollowSizeJobDrop;
}

uint32_t MainWindow::PickTransparentColor() {
  Frame* f = toolbars_->CurrentFrame();
  if (!f) return kFollowNone;
  int current = IsTransparent(*f) ? f->transparentIndex : -1;
  int chosen = services_.pickTransparency ? services_.pickTransparency(*f, current) : -1;
  uint32_t steps = kFollowNone;
  // Cancel, the very index the frame already uses, or an index no palette has change nothing.
  if (chosen >= 0 && chosen <= 255 && chosen != current) {
    // The old index shows its own colour again before the new one takes the display colour.
    ShowTransparentColor(*f, false);
    SetTransparentIndex(*f, static_cast<uint8_t>(chosen));
    SetTransparent(*f, true);
    ShowTransparentColor(*f, true);
    steps = kFollowModified | kFollowRepaintFrame;
  }
  toolbars_->PressButton(kCmdToggleTransparency, IsTransparent(*f));
  return steps;
}

uint32_t MainWindow::CmdToggleTransparency(int) {
  Frame* f = toolbars_->CurrentFrame();
  if (!f) return kFollowNone;
  if (toolbars_->IsPressed(kCmdToggleTransparency)) return PickTransparentColor();
  uint32_t steps = kFollowNone;
  if (IsTransparent(*f)) {
    // The colour table gets the palette's own colour back.
    ShowTransparentColor(*f, false);
    SetTransparent(*f, false);
    steps = kFollowModified | kFollowRepaintFrame;
  }
  toolbars_->PressButton(kCmdToggleTransparency, IsTransparent(*f));
  return steps;
}

uint32_t MainWindow::CmdPickTransparency(int) {
  return PickTransparentColor();
}

uint32_t MainWindow::CmdLocalPalette(int) {
  Frame* f = toolbars_->CurrentFrame();
  if (!f || !animation_) return kFollowNone;
  if (!f->localPalette) {
    toolbars_->PressButton(kCmdLocalPalette, false);
    return kFollowNone;
  }
  // The local colours go into unused global entries: the count must be whole.
  jobs_.CompleteColorCount(animation_.get());
  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool removed = RemoveLocalPalette(*animation_, *f);
  QApplication::restoreOverrideCursor();
  if (!removed) {
    // Failed or cancelled: the frame keeps its palette, and the button says so.
    toolbars_->PressButton(kCmdLocalPalette, true);
    return kFollowNone;
  }
  toolbars_->EnableButton(kCmdLocalPalette, false);
  toolbars_->PressButton(kCmdLocalPalette, false);
  toolbars_->EnableButton(kCmdShowLocalPalette, false);
  return kFollowModified | kFollowRepaintFrame | kFollowPaletteButton | kFollowSizeJobDrop;
}

uint32_t MainWindow::CmdFrameNameList(int) {
  if (!animation_) return kFollowNone;
  int entry = toolbars_->NameList()->currentIndex();
  // Entry 0, "[None]", selects no frame.
  int index = entry >= 1 && entry <= animation_->frameCount ? entry - 1 : -1;
  SelectFrame(index);
  if (index >= 0) filmstrip_->ScrollSelectionIntoView();
  return kFollowNone;
}

uint32_t MainWindow::CmdDelayBox(int) {
  Frame* f = toolbars_->CurrentFrame();
  if (!f) return kFollowNone;
  int64_t value = BoxValue(toolbars_->DelayBox());
  if (value < 0 || value > kMaxBoxValue) {
    Hooks().MessageBox("Invalid Delay Value", "The delay must be in the range from 0 to 65535.",
                       MsgButtons::Ok, MsgIcon::Exclamation);
    // The new text comes back here and is taken.
    toolbars_->DelayBox()->setText("65535");
    return kFollowNone;
  }
  if (static_cast<uint32_t>(value) == f->delay) return kFollowNone;
  SetDelay(*f, static_cast<uint32_t>(value));
  // The delay's two bytes are written whatever their value: the saved size stays as it is.
  return kFollowModified | kFollowRunningTime;
}

uint32_t MainWindow::CmdIterationsBox(int) {
  if (!animation_) return kFollowNone;
  int64_t value = BoxValue(toolbars_->IterationsBox());
  if (value < 0 || value > kMaxBoxValue) {
    Hooks().MessageBox("Invalid Iteration Value",
                       "The number of iterations must be in the range from 0 to 65535. Recall that 0 means "
                       "continuous loop.",
                       MsgButtons::Ok, MsgIcon::Exclamation);
    toolbars_->IterationsBox()->setText("65535");
    return kFollowNone;
  }
  if (!SetLoopCount(*animation_, static_cast<uint32_t>(value))) return kFollowNone;
  // A count of 1 drops the looping block from the file and any other brings it back: the size changes.
  return kFollowModified | kFollowSizeJobDrop;
}

}  // namespace lw::app
