#include "app/dialogs/resize_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/dialogs/dialog_buttons.h"

namespace lw::app {

ResizeDialog::ResizeDialog(const Animation& a, QWidget* owner)
    : QDialog(owner),
      animation_(a),
      byPercent_(new QRadioButton("By &percentage:")),
      bySize_(new QRadioButton("To &size:")),
      percent_(new QDoubleSpinBox),
      width_(new QSpinBox),
      height_(new QSpinBox),
      keepAspect_(new QCheckBox("&Keep proportions")),
      filter_(new QComboBox),
      dither_(new QCheckBox("&Dither the new colours")) {
  setWindowTitle("Resize Animation");
  setObjectName("ResizeAnimation");
  byPercent_->setObjectName("byPercent");
  bySize_->setObjectName("bySize");
  percent_->setObjectName("percent");
  width_->setObjectName("width");
  height_->setObjectName("height");
  keepAspect_->setObjectName("keepAspect");
  filter_->setObjectName("filter");
  dither_->setObjectName("dither");
  percent_->setRange(1, 10000);
  percent_->setDecimals(1);
  percent_->setSuffix(" %");
  percent_->setValue(50);
  for (QSpinBox* s : {width_, height_}) {
    s->setRange(1, 65535);
    s->setSuffix(" px");
  }
  keepAspect_->setChecked(true);
  byPercent_->setChecked(true);
  filter_->addItem("Smooth (Lanczos, linear light)");
  filter_->addItem("Nearest neighbour (pixel art)");
  dither_->setToolTip("Spread the colour error of filtered pixels that the palette lacks");

  auto* grid = new QGridLayout;
  grid->addWidget(byPercent_, 0, 0);
  grid->addWidget(percent_, 0, 1);
  grid->addWidget(bySize_, 1, 0);
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(width_);
  sizeRow->addWidget(new QLabel("\u00D7"));
  sizeRow->addWidget(height_);
  grid->addLayout(sizeRow, 1, 1);
  grid->addWidget(keepAspect_, 2, 1);
  auto* form = new QFormLayout;
  form->addRow("&Filter:", filter_);
  form->addRow("", dither_);
  auto* now = new QLabel(
      QString("Now %1 \u00D7 %2 pixels, %3 frames").arg(a.screenWidth).arg(a.screenHeight).arg(a.frameCount));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(now);
  layout->addLayout(grid);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));

  connect(percent_, &QDoubleSpinBox::valueChanged, this, [this] { PercentChanged(); });
  connect(width_, &QSpinBox::valueChanged, this, [this] { SideChanged(true); });
  connect(height_, &QSpinBox::valueChanged, this, [this] { SideChanged(false); });
  connect(byPercent_, &QRadioButton::toggled, this, [this] { ModeChanged(); });
  connect(keepAspect_, &QCheckBox::toggled, this, [this] { SideChanged(true); });
  connect(filter_, &QComboBox::currentIndexChanged, this,
          [this](int index) { dither_->setEnabled(index == 0); });
  PercentChanged();
  ModeChanged();
}

void ResizeDialog::PercentChanged() {
  if (updating_) return;
  updating_ = true;
  const Extent e = ScaledSize(animation_, percent_->value());
  width_->setValue(e.width);
  height_->setValue(e.height);
  updating_ = false;
}

void ResizeDialog::SideChanged(bool widthChanged) {
  if (updating_ || !keepAspect_->isChecked()) return;
  updating_ = true;
  if (widthChanged)
    height_->setValue(HeightForWidth(animation_, width_->value()));
  else
    width_->setValue(WidthForHeight(animation_, height_->value()));
  updating_ = false;
}

void ResizeDialog::ModeChanged() {
  const bool percent = byPercent_->isChecked();
  percent_->setEnabled(percent);
  width_->setEnabled(!percent);
  height_->setEnabled(!percent);
  keepAspect_->setEnabled(!percent);
  if (percent) PercentChanged();
}

ResizeOptions ResizeDialog::Options() const {
  ResizeOptions o;
  if (byPercent_->isChecked()) {
    const Extent e = ScaledSize(animation_, percent_->value());
    o.width = e.width;
    o.height = e.height;
  } else {
    o.width = width_->value();
    o.height = height_->value();
  }
  o.filter = filter_->currentIndex() == 1 ? ResizeFilter::kNearest : ResizeFilter::kLanczos;
  o.dither = dither_->isChecked() && o.filter == ResizeFilter::kLanczos;
  return o;
}

}  // namespace lw::app
