#include "app/dialogs/filmstrip_export_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>

#include "app/dialogs/center_window.h"
#include "io/filmstrip.h"

namespace lw::app {

FilmstripExportDialog::FilmstripExportDialog(const Animation& a, QWidget* owner)
    : QDialog(owner),
      animation_(a),
      horizontal_(new QRadioButton("Horizontal")),
      vertical_(new QRadioButton("Vertical")),
      perStrip_(new QSpinBox),
      result_(new QLabel) {
  setWindowTitle("Exporting GIF Filmstrip");
  setObjectName("178");
  horizontal_->setObjectName("1073");
  vertical_->setObjectName("1074");
  perStrip_->setObjectName("1069");
  result_->setObjectName("1160");
  auto* icon = new QLabel;
  icon->setObjectName("1149");
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  auto* total = new QLabel(QString("(of %1 total)").arg(a.frameCount));
  total->setObjectName("1161");

  // The field takes any number so that too large a one can be answered with a beep.
  perStrip_->setRange(0, 65535);
  perStrip_->setValue(a.frameCount);
  (DefaultFilmstripOrientation(a) == FilmstripOrientation::kHorizontal ? horizontal_ : vertical_)
      ->setChecked(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setObjectName("1");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(perStrip_, &QSpinBox::valueChanged, this, [this](int value) {
    if (value > animation_.frameCount) {
      QApplication::beep();
      perStrip_->setValue(animation_.frameCount);
      return;
    }
    Recompute();
  });
  connect(horizontal_, &QRadioButton::toggled, this, [this] { Recompute(); });

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(new QLabel("The animation can be exported as a collection of one of more filmstrips."), 0,
                  1, 1, 3);
  grid->addWidget(new QLabel("Filmstrip orientation:"), 1, 1);
  grid->addWidget(horizontal_, 1, 2);
  grid->addWidget(vertical_, 1, 3);
  grid->addWidget(new QLabel("Number of frames per strip:"), 2, 1);
  grid->addWidget(perStrip_, 2, 2);
  grid->addWidget(total, 2, 3);
  grid->addWidget(result_, 3, 1, 1, 3);
  grid->addWidget(buttons, 4, 0, 1, 4);
  Recompute();
}

void FilmstripExportDialog::Recompute() {
  int n = perStrip_->value();
  // Nothing to show, and nothing to export, while the field holds 0.
  ok_->setEnabled(n >= 1);
  if (n < 1) {
    result_->clear();
    return;
  }
  FilmstripLayout layout = ComputeFilmstripLayout(
      animation_, n,
      horizontal_->isChecked() ? FilmstripOrientation::kHorizontal : FilmstripOrientation::kVertical);
  result_->setText(QString("for total of %1 strip(s) and %2x%3 pixels.")
                       .arg(layout.strips)
                       .arg(layout.width)
                       .arg(layout.height));
}

uint32_t FilmstripExportDialog::Choice() const {
  int n = perStrip_->value();
  if (n < 1) return 0;
  return static_cast<uint32_t>(n) << 16 | (horizontal_->isChecked() ? 1u : 2u);
}

uint32_t FilmstripExportDialog::Ask(const Animation& a, QWidget* owner) {
  FilmstripExportDialog dialog(a, owner);
  dialog.adjustSize();
  CenterWindow(&dialog, owner);
  return dialog.exec() == QDialog::Accepted ? dialog.Choice() : 0;
}

}  // namespace lw::app
