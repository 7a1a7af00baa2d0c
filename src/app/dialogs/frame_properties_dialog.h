// "Frame Properties": one frame's name, offset, transparency, interlacing, local palette, delay and
// disposal. Nothing changes until OK, which checks every value first (the field of a refused one gets
// the focus and the dialog stays), then applies them in order. Ends with 1 when the frame changed.
#pragma once

#include <QDialog>
#include <functional>

#include "app/dialogs/frame_fields.h"

namespace lw {
struct Animation;
struct Frame;
}  // namespace lw

namespace lw::app {

// The 'Pick Transparency Index' dialog: the chosen index for a frame and the index shown first (-1 for
// none), or -1 when cancelled.
using TransparencyPicker = std::function<int(Frame& f, int current)>;

class FramePropertiesDialog : public QDialog {
  Q_OBJECT

 public:
  FramePropertiesDialog(Animation& a, Frame& f, TransparencyPicker pick, QWidget* owner);
  const FrameFields& Fields() const { return fields_; }
  QLineEdit* NameField() const { return name_; }

 public slots:
  void accept() override;

 private:
  void TransparentClicked(bool checked);
  bool Pick(bool fromBox);

  Animation& animation_;
  Frame& frame_;
  TransparencyPicker pick_;
  FrameFields fields_;
  QLineEdit* name_;
  int chosenIndex_ = -1;
};

}  // namespace lw::app
