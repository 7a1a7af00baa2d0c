#include "app/dialogs/frame_properties_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/dialogs/center_window.h"
#include "app/dialogs/palette_dialogs.h"
#include "color/palette_ops.h"
#include "edit/properties.h"
#include "model/animation.h"

namespace lw::app {

FramePropertiesDialog::FramePropertiesDialog(Animation& a, Frame& f, TransparencyPicker pick, QWidget* owner)
    : QDialog(owner), animation_(a), frame_(f), pick_(std::move(pick)), name_(new QLineEdit) {
  setWindowTitle("Frame Properties");
  setObjectName("FrameProperties");
  auto* grid = new QGridLayout(this);
  name_->setObjectName(QString::number(kIdName));
  name_->setMaxLength(260);
  grid->addWidget(new QLabel("Name:"), 0, 0);
  grid->addWidget(name_, 0, 1);
  fields_ =
      AddFrameFields(this, grid, 1, true, "1/100th seconds delay after frame", "before drawing next frame");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
  connect(buttons, &QDialogButtonBox::accepted, this, &FramePropertiesDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  grid->addWidget(buttons, 3, 0, 1, 2);

  name_->setText(QString::fromStdString(GetFrameName(f)));
  fields_.interlaced->setChecked(IsInterlaced(f));
  fields_.transparent->setChecked(IsTransparent(f));
  fields_.localPalette->setChecked(f.localPalette != nullptr);
  fields_.localPalette->setEnabled(f.localPalette != nullptr);
  fields_.width->setText(QString::number(f.width));
  fields_.height->setText(QString::number(f.height));
  fields_.left->setText(QString::number(f.left));
  fields_.top->setText(QString::number(f.top));
  fields_.delay->setText(QString::number(f.delay));
  int disposal = GetDisposal(f);
  fields_.disposal->setCurrentIndex(disposal <= 3 ? disposal : -1);
  fields_.editTransparent->setEnabled(static_cast<bool>(pick_));
  if (fields_.showPalette) {
    fields_.showPalette->setEnabled(f.localPalette != nullptr);
    connect(fields_.showPalette, &QPushButton::clicked, this, [this] {
      if (!frame_.localPalette) return;
      ColorCounts counts{};
      CountFrameColorUse(frame_, counts, true);
      ShowPaletteDialog(*frame_.localPalette, &counts, this).exec();
    });
  }
  connect(fields_.transparent, &QCheckBox::clicked, this, &FramePropertiesDialog::TransparentClicked);
  connect(fields_.editTransparent, &QPushButton::clicked, this, [this] { Pick(false); });
  adjustSize();
  CenterWindow(this, owner);
}

bool FramePropertiesDialog::Pick(bool fromBox) {
  int current = chosenIndex_ >= 0 ? chosenIndex_ : IsTransparent(frame_) ? frame_.transparentIndex : -1;
  int index = pick_ ? pick_(frame_, current) : -1;
  if (index >= 0 && index <= 255) {
    chosenIndex_ = index;
    fields_.transparent->setChecked(true);
    return true;
  }
  if (fromBox) fields_.transparent->setChecked(false);
  return false;
}

void FramePropertiesDialog::TransparentClicked(bool checked) {
  // Ticking the box of an opaque frame asks for the colour; unticking asks nothing.
  if (checked && !IsTransparent(frame_) && chosenIndex_ < 0) Pick(true);
}

void FramePropertiesDialog::accept() {
  FrameValues v;
  v.left = ReadNumber(fields_.left, false);
  v.top = ReadNumber(fields_.top, false);
  v.delay = ReadNumber(fields_.delay, false);
  if (!CheckFrameFields(animation_, v, &frame_, fields_)) return;
  bool changed = false;
  if (fields_.localPalette->isEnabled() && !fields_.localPalette->isChecked()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool removed = RemoveLocalPalette(animation_, frame_);
    QApplication::restoreOverrideCursor();
    if (!removed) return;
    fields_.localPalette->setEnabled(false);
    changed = true;
  }
  // An unnamed frame shows an empty name: leaving it empty is no change.
  if (std::string name = name_->text().toStdString(); name != GetFrameName(frame_)) v.name = name;
  v.transparent = fields_.transparent->isChecked();
  if (chosenIndex_ >= 0) v.transparentIndex = static_cast<uint8_t>(chosenIndex_);
  v.interlaced = fields_.interlaced->isChecked();
  if (fields_.disposal->currentIndex() >= 0) v.disposal = fields_.disposal->currentIndex();
  // The display colour moves with the transparent index.
  ShowTransparentColor(frame_, false);
  changed |= ApplyFrameValues(frame_, v);
  ShowTransparentColor(frame_, true);
  done(changed ? 1 : 0);
}

}  // namespace lw::app
