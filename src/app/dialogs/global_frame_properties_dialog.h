// "Global Frame Properties": the values of Frame Properties for every frame at once. A value the frames
// do not share shows as a blank field, a grayed box or no disposal selection, and is left as each frame
// has it unless the user sets it. A local-palette removal that fails part-way puts every frame back as it
// was, so the document is never left changed without a step to undo. Ends with 1 when any frame changed.
#pragma once

#include <QDialog>

#include "app/dialogs/frame_fields.h"
#include "app/dialogs/frame_properties_dialog.h"
#include "model/animation.h"

namespace lw::app {

class GlobalFramePropertiesDialog : public QDialog {
  Q_OBJECT

 public:
  GlobalFramePropertiesDialog(Animation& a, TransparencyPicker pick, QWidget* owner);
  const FrameFields& Fields() const { return fields_; }

 public slots:
  void accept() override;

 private:
  void Pick(bool fromBox);

  Animation& animation_;
  TransparencyPicker pick_;
  FrameFields fields_;
  int chosenIndex_ = -1;
  // The frames a rollback took out: views (the preview's timer among them) may still hold them until
  // the command refreshes them after the dialog.
  AnimationPtr rolledBack_;
};

}  // namespace lw::app
