#include "app/dialogs/frame_size_conflict_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "app/dialogs/center_window.h"

namespace lw::app {

FrameSizeConflictDialog::FrameSizeConflictDialog(QWidget* owner)
    : QDialog(owner),
      clip_(new QRadioButton("Clip inserted frame to current size")),
      grow_(new QRadioButton("Change current size to fit inserted frame")),
      makeDefault_(new QCheckBox("Make this the default and don't ask again")) {
  setWindowTitle("Frame Size Conflict");
  setObjectName("108");
  clip_->setObjectName("1111");
  grow_->setObjectName("1112");
  makeDefault_->setObjectName("1083");
  clip_->setChecked(true);

  auto* icon = new QLabel;
  icon->setObjectName("1030");
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  auto* text = new QLabel(
      "The frame to be inserted is larger than the current animation size. How should this be handled?");
  text->setWordWrap(true);
  text->setMinimumWidth(320);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, Qt::AlignTop);
  grid->addWidget(text, 0, 1);
  grid->addWidget(clip_, 1, 1);
  grid->addWidget(grow_, 2, 1);
  grid->addWidget(makeDefault_, 3, 1);
  grid->addWidget(buttons, 4, 0, 1, 2);
}

UiHooks::FrameSizeAnswer FrameSizeConflictDialog::Answer() const {
  return {grow_->isChecked() ? 3 : 2, makeDefault_->isChecked()};
}

UiHooks::FrameSizeAnswer FrameSizeConflictDialog::Ask(QWidget* owner) {
  FrameSizeConflictDialog dialog(owner);
  dialog.adjustSize();
  CenterWindow(&dialog, owner);
  if (dialog.exec() != QDialog::Accepted) return {0, false};
  return dialog.Answer();
}

}  // namespace lw::app
