#include "app/dialogs/about_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <cmath>

#include "app/dialogs/center_window.h"

namespace lw::app {

FilmClip::FilmClip(QWidget* parent) : QWidget(parent) {
  setObjectName("1179");
  setFixedSize(sizeHint());
  timer_.setInterval(80);
  connect(&timer_, &QTimer::timeout, this, [this] {
    phase_ = (phase_ + 1) % 48;
    update();
  });
  timer_.start();
}

void FilmClip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, true);
  const int w = width(), h = height();
  const int cell = 40, band = 10;
  p.fillRect(rect(), QColor(46, 36, 30));
  // The film moves left by two pixels a tick; each cell shows a ball at its own moment of a bounce.
  int shift = (phase_ * 2) % cell;
  for (int x = -shift, k = 0; x < w; x += cell, ++k) {
    for (int y : {2, h - band + 2}) {
      p.setBrush(QColor(236, 228, 210));
      p.setPen(Qt::NoPen);
      for (int hx = x + 4; hx < x + cell; hx += 12) p.drawRoundedRect(QRectF(hx, y, 6, band - 4), 1.5, 1.5);
    }
    QRectF frame(x + 3, band, cell - 6, h - 2 * band);
    p.setBrush(QColor(250, 246, 236));
    p.drawRect(frame);
    double t = ((phase_ / 2 + k * 3) % 12) / 12.0;
    double bounce = std::abs(std::sin(t * 3.14159265358979));
    double by = frame.bottom() - 7 - bounce * (frame.height() - 16);
    p.setBrush(QColor(214, 64, 48));
    p.drawEllipse(QPointF(frame.center().x(), by), 6, 6);
  }
}

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner) {
  setObjectName("100");
  setWindowTitle("About Loopwright");
  auto* clip = new FilmClip;

  auto* name = new QLabel(QString("Loopwright") + QChar(0x2122) + " " + kVersion);
  name->setObjectName("1186");
  QFont big("Arial");
  big.setPointSizeF(font().pointSizeF() * 4.0 / 3.0);
  big.setWeight(QFont::Bold);
  name->setFont(big);

  auto* about =
      new QLabel("An editor for animated GIF files.\nCopyright \u00A9 Tessaly. All rights reserved.");
  QFont bold = font();
  bold.setWeight(QFont::Bold);
  auto* updates = new QLabel("https://loopwright.example/updates");
  updates->setObjectName("1187");
  updates->setFont(bold);
  updates->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* support = new QLabel("support@loopwright.example");
  support->setObjectName("1188");
  support->setFont(bold);
  support->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* grid = new QGridLayout(this);
  grid->addWidget(clip, 0, 0, 3, 1, Qt::AlignTop);
  grid->addWidget(name, 0, 1, 1, 2);
  grid->addWidget(about, 1, 1, 1, 2);
  grid->addWidget(new QLabel("Updates:"), 3, 1);
  grid->addWidget(updates, 3, 2);
  grid->addWidget(new QLabel("Support:"), 4, 1);
  grid->addWidget(support, 4, 2);
  grid->addWidget(buttons, 5, 0, 1, 3);
  adjustSize();
  CenterWindow(this, owner);
}

}  // namespace lw::app
