#include "app/dialogs/timing_dialogs.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "app/dialogs/dialog_buttons.h"
#include "model/animation.h"

namespace lw::app {

SpeedDialog::SpeedDialog(QWidget* owner) : QDialog(owner), factor_(new QDoubleSpinBox) {
  setWindowTitle("Change Speed");
  setObjectName("ChangeSpeed");
  factor_->setObjectName("factor");
  factor_->setRange(0.01, 100);
  factor_->setDecimals(2);
  factor_->setValue(2);
  factor_->setSuffix(" \u00D7");
  auto* form = new QFormLayout(this);
  form->addRow(new QLabel("Every delay is divided by the factor: 2 plays twice as fast, 0.5 half as fast."));
  form->addRow("&Speed factor:", factor_);
  form->addRow(OkCancelButtons(this));
}

double SpeedDialog::Factor() const {
  return factor_->value();
}

DropFramesDialog::DropFramesDialog(QWidget* owner)
    : QDialog(owner),
      everyChoice_(new QRadioButton("Drop one frame in &every")),
      fpsChoice_(new QRadioButton("Keep at most (frames per &second)")),
      every_(new QSpinBox),
      fps_(new QDoubleSpinBox) {
  setWindowTitle("Drop Frames");
  setObjectName("DropFrames");
  everyChoice_->setObjectName("byEvery");
  fpsChoice_->setObjectName("byFps");
  every_->setObjectName("every");
  fps_->setObjectName("fps");
  every_->setRange(2, 1000);
  every_->setValue(2);
  every_->setSuffix(" frames");
  fps_->setRange(0.1, 100);
  fps_->setValue(10);
  everyChoice_->setChecked(true);
  auto* form = new QFormLayout(this);
  form->addRow(
      new QLabel("The delays of dropped frames go to the frames before them: the running time stays."));
  form->addRow(everyChoice_, every_);
  form->addRow(fpsChoice_, fps_);
  form->addRow(OkCancelButtons(this));
  auto sync = [this] {
    every_->setEnabled(everyChoice_->isChecked());
    fps_->setEnabled(!everyChoice_->isChecked());
  };
  connect(everyChoice_, &QRadioButton::toggled, this, sync);
  sync();
}

bool DropFramesDialog::ByEvery() const {
  return everyChoice_->isChecked();
}
int DropFramesDialog::Every() const {
  return every_->value();
}
double DropFramesDialog::Fps() const {
  return fps_->value();
}

CropScreenDialog::CropScreenDialog(const Animation& a, QWidget* owner) : QDialog(owner) {
  setWindowTitle("Crop Animation");
  setObjectName("CropAnimation");
  const char* names[4] = {"x", "y", "width", "height"};
  const char* labels[4] = {"&Left:", "&Top:", "&Width:", "&Height:"};
  const int values[4] = {0, 0, a.screenWidth, a.screenHeight};
  auto* form = new QFormLayout(this);
  form->addRow(
      new QLabel(QString("The rectangle of the %1 \u00D7 %2 screen to keep; every frame is cut with it.")
                     .arg(a.screenWidth)
                     .arg(a.screenHeight)));
  for (int i = 0; i < 4; ++i) {
    boxes_[i] = new QSpinBox;
    boxes_[i]->setObjectName(names[i]);
    boxes_[i]->setRange(i < 2 ? 0 : 1, std::max(1, i % 2 ? a.screenHeight : a.screenWidth));
    boxes_[i]->setValue(values[i]);
    form->addRow(labels[i], boxes_[i]);
  }
  const int32_t w = a.screenWidth, h = a.screenHeight;
  auto limit = [this, w, h] {
    // The size can never reach past the screen's edge from where the rectangle starts.
    boxes_[2]->setMaximum(std::max(1, w - boxes_[0]->value()));
    boxes_[3]->setMaximum(std::max(1, h - boxes_[1]->value()));
  };
  connect(boxes_[0], &QSpinBox::valueChanged, this, limit);
  connect(boxes_[1], &QSpinBox::valueChanged, this, limit);
  form->addRow(OkCancelButtons(this));
}

int CropScreenDialog::Value(int i) const {
  return boxes_[i]->value();
}

}  // namespace lw::app
