// The 'Frame Size Conflict' dialog: a frame to be inserted is larger than the animation. The answer is 2
// to clip the inserted frames to the current size, 3 to make the animation large enough, 0 for Cancel.
#pragma once

#include <QDialog>

#include "platform/ui_hooks.h"

class QCheckBox;
class QRadioButton;

namespace lw::app {

class FrameSizeConflictDialog : public QDialog {
  Q_OBJECT

 public:
  explicit FrameSizeConflictDialog(QWidget* owner);
  UiHooks::FrameSizeAnswer Answer() const;
  static UiHooks::FrameSizeAnswer Ask(QWidget* owner);

 private:
  QRadioButton* clip_;
  QRadioButton* grow_;
  QCheckBox* makeDefault_;
};

}  // namespace lw::app
