#include "app/dialogs/avi_compression_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "app/dialogs/center_window.h"

namespace lw::app {

AviCompressionDialog::AviCompressionDialog(QWidget* owner)
    : QDialog(owner),
      none_(new QRadioButton("No Compression")),
      rle8_(new QRadioButton("RLE8 Compression (Recommended)")) {
  setWindowTitle("AVI Compression");
  setObjectName("AviCompression");
  none_->setObjectName("none");
  rle8_->setObjectName("rle8");
  rle8_->setChecked(true);
  auto* icon = new QLabel;
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  auto* text = new QLabel(
      "The AVI (Audio Video Interleaved) format is designed to accomodate a variety of video compression "
      "techniques. Which one would you like to use?");
  text->setWordWrap(true);
  text->setMinimumWidth(340);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, Qt::AlignTop);
  grid->addWidget(text, 0, 1);
  grid->addWidget(none_, 1, 1);
  grid->addWidget(rle8_, 2, 1);
  grid->addWidget(buttons, 3, 0, 1, 2);
}

int AviCompressionDialog::Choice() const {
  return none_->isChecked() ? 1 : 2;
}

int AviCompressionDialog::Ask(QWidget* owner) {
  AviCompressionDialog dialog(owner);
  dialog.adjustSize();
  CenterWindow(&dialog, owner);
  return dialog.exec() == QDialog::Accepted ? dialog.Choice() : 0;
}

}  // namespace lw::app
