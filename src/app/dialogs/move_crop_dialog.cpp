#include "app/dialogs/move_crop_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <new>

#include "app/dialogs/center_window.h"
#include "edit/move_crop.h"
#include "model/animation.h"
#include "platform/ui_hooks.h"

namespace lw::app {
namespace {

constexpr int kIdWidth = 1017, kIdHeight = 1016, kIdX = 1018, kIdY = 1019;
constexpr int kFieldIds[4] = {kIdWidth, kIdHeight, kIdX, kIdY};
// A typed value may go this far; OK refuses what lies outside the ranges it checks.
constexpr int kTypedLimit = 999999;

struct AlignButtonInfo {
  int id;
  const char* tip;
  int row, column;
};
const AlignButtonInfo kAlignButtons[] = {
    {kAlignTop, "Align Top", 0, 2},
    {kAlignLeft, "Align Left", 1, 0},
    {kAlignCenterHorizontally, "Center Horizontally", 1, 1},
    {kAlignCenter, "Center", 1, 2},
    {kAlignCenterVertically, "Center Vertically", 1, 3},
    {kAlignRight, "Align Right", 1, 4},
    {kAlignBottom, "Align Bottom", 2, 2},
};

// The button's picture: a box on a line (left, right, top, bottom) or between two (centres).
QIcon AlignIcon(int id) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(QPen(Qt::black, 1));
  QRect box(5, 5, 6, 6);
  switch (id) {
    case kAlignLeft:
      p.drawLine(1, 1, 1, 14), box.moveLeft(3);
      break;
    case kAlignRight:
      p.drawLine(14, 1, 14, 14), box.moveRight(12);
      break;
    case kAlignTop:
      p.drawLine(1, 1, 14, 1), box.moveTop(3);
      break;
    case kAlignBottom:
      p.drawLine(1, 14, 14, 14), box.moveBottom(12);
      break;
    case kAlignCenterHorizontally:
      p.drawLine(1, 1, 1, 14), p.drawLine(14, 1, 14, 14);
      break;
    case kAlignCenterVertically:
      p.drawLine(1, 1, 14, 1), p.drawLine(1, 14, 14, 14);
      break;
    default:
      p.drawRect(1, 1, 13, 13);
      break;
  }
  p.fillRect(box, QColor(0x2c, 0x6b, 0xd1));
  return QIcon(pixmap);
}

}  // namespace

void AlignFrame(int alignId, int32_t screenWidth, int32_t screenHeight, int32_t width, int32_t height,
                int32_t& left, int32_t& top) {
  switch (alignId) {
    case kAlignLeft:
      left = 0;
      break;
    case kAlignRight:
      left = screenWidth - width;
      break;
    case kAlignTop:
      top = 0;
      break;
    case kAlignBottom:
      top = screenHeight - height;
      break;
    case kAlignCenterHorizontally:
      left = (screenWidth - width) / 2;
      break;
    case kAlignCenterVertically:
      top = (screenHeight - height) / 2;
      break;
    case kAlignCenter:
      left = (screenWidth - width) / 2;
      top = (screenHeight - height) / 2;
      break;
    default:
      break;
  }
}

// ---- The fields ----

MoveCropField::MoveCropField(int id, int spinMin, int spinMax, int value, bool* spinChange, QWidget* parent)
    : QSpinBox(parent), spinMin_(spinMin), spinMax_(spinMax), spinChange_(spinChange) {
  setObjectName(QString::number(id));
  setRange(-kTypedLimit, kTypedLimit);
  setValue(value);
  setMinimumWidth(80);
}

void MoveCropField::stepBy(int steps) {
  int target = std::clamp(value() + steps, spinMin_, spinMax_);
  if (target == value()) return;
  *spinChange_ = true;
  setValue(target);
}

// ---- The picture ----

class MoveCropPicture : public QWidget {
 public:
  explicit MoveCropPicture(MoveCropDialog* dialog) : QWidget(dialog), dialog_(dialog) {
    setObjectName("1132");
    setMinimumSize(320, 220);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const MoveCropDialog& d = *dialog_;
    if (d.picture_.isNull()) {
      p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, "The logical screen is too large to show.");
      return;
    }
    // The whole screen at the largest zoom that fits, centred; pixels stay square and sharp.
    QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);
    qreal zoom = std::min(area.width() / d.screenWidth_, area.height() / d.screenHeight_);
    QSizeF shown(d.screenWidth_ * zoom, d.screenHeight_ * zoom);
    QPointF origin(area.x() + (area.width() - shown.width()) / 2,
                   area.y() + (area.height() - shown.height()) / 2);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRectF(origin, shown), d.picture_);
    p.setPen(QPen(QColor(0, 0, 255), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(origin, shown));
    // The frame's outline, dotted, in the colour that shows on any picture.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1, Qt::DotLine));
    p.drawRect(QRectF(origin.x() + d.newLeft_ * zoom, origin.y() + d.newTop_ * zoom, d.newWidth_ * zoom,
                      d.newHeight_ * zoom));
  }

 private:
  MoveCropDialog* dialog_;
};

// ---- The dialog ----

MoveCropDialog::MoveCropDialog(Animation& a, int frameIndex, QWidget* owner)
    : QDialog(owner), animation_(a), frame_(NthFrame(a, frameIndex)) {
  setWindowTitle("Move/Crop Frame");
  setObjectName("MoveCropFrame");
  Frame& f = *frame_;
  newLeft_ = f.left;
  newTop_ = f.top;
  newWidth_ = f.width;
  newHeight_ = f.height;
  screenWidth_ = a.screenWidth;
  screenHeight_ = a.screenHeight;

  auto* grid = new QGridLayout(this);
  view_ = new MoveCropPicture(this);
  grid->addWidget(view_, 0, 0, 1, 3);
  fields_[0] = new MoveCropField(kIdWidth, 0, f.width, f.width, &spinChange_, this);
  fields_[1] = new MoveCropField(kIdHeight, 0, f.height, f.height, &spinChange_, this);
  fields_[2] = new MoveCropField(kIdX, -f.width, screenWidth_ + 1, f.left, &spinChange_, this);
  fields_[3] = new MoveCropField(kIdY, -f.height, screenHeight_ + 1, f.top, &spinChange_, this);
  auto* values = new QGridLayout;
  values->addWidget(new QLabel("Size:"), 0, 0);
  values->addWidget(fields_[0], 0, 1);
  values->addWidget(new QLabel("x"), 0, 2);
  values->addWidget(fields_[1], 0, 3);
  values->addWidget(new QLabel("Offset:"), 1, 0);
  values->addWidget(fields_[2], 1, 1);
  values->addWidget(new QLabel(","), 1, 2);
  values->addWidget(fields_[3], 1, 3);
  reset_ = new QPushButton("Reset");
  reset_->setObjectName("1190");
  values->addWidget(reset_, 2, 1);
  grid->addLayout(values, 1, 0);

  // The alignment buttons as a cross.
  auto* cross = new QGridLayout;
  cross->setSpacing(0);
  for (const AlignButtonInfo& info : kAlignButtons) {
    auto* button = new QPushButton(AlignIcon(info.id), QString());
    button->setObjectName(QString::number(info.id));
    button->setToolTip(info.tip);
    button->setAutoDefault(false);
    button->setFixedSize(24, 24);
    button->setIconSize(QSize(16, 16));
    cross->addWidget(button, info.row, info.column);
    int id = info.id;
    connect(button, &QPushButton::clicked, this, [this, id] { Align(id); });
    alignButtons_.push_back(button);
  }
  grid->addLayout(cross, 1, 1, Qt::AlignCenter);

  auto* ghosts = new QVBoxLayout;
  showPrevious_ = new QCheckBox("Show Previous");
  showPrevious_->setObjectName("1083");
  showNext_ = new QCheckBox("Show Next");
  showNext_->setObjectName("1133");
  showFirst_ = new QCheckBox("Show First");
  showFirst_->setObjectName("1084");
  showFirst_->setEnabled(frameIndex != 0);
  for (QCheckBox* box : {showPrevious_, showNext_, showFirst_}) {
    ghosts->addWidget(box);
    connect(box, &QCheckBox::toggled, this, &MoveCropDialog::GhostsChanged);
  }
  grid->addLayout(ghosts, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  ok_ = new QPushButton("OK");
  ok_->setObjectName("1");
  ok_->setDefault(true);
  auto* cancel = new QPushButton("Cancel");
  cancel->setObjectName("2");
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, 2, 0, 1, 3);
  connect(ok_, &QPushButton::clicked, this, &MoveCropDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(reset_, &QPushButton::clicked, this, &MoveCropDialog::Reset);
  for (int i = 0; i < 4; ++i) {
    int id = kFieldIds[i];
    connect(fields_[i], &QSpinBox::valueChanged, this, [this, id] { FieldChanged(id); });
  }
  timer_.setSingleShot(true);
  timer_.setInterval(700);
  connect(&timer_, &QTimer::timeout, this, [this] {
    int id = pending_;
    pending_ = 0;
    if (id) ApplyField(id);
  });

  // The picture and the ghosts each take 4 bytes per screen pixel: a screen beyond the bound is not
  // pictured rather than asking for gigabytes.
  int64_t pixels = int64_t{screenWidth_} * screenHeight_;
  if (screenWidth_ > 0 && screenHeight_ > 0 && pixels <= kMaxMoveCropPicturePixels)
    picture_ = QImage(screenWidth_, screenHeight_, QImage::Format_RGB32);
  if (picture_.isNull()) {
    ShowError("Not enough memory to picture a logical screen of %d x %d pixels", screenWidth_, screenHeight_);
    for (QCheckBox* box : {showPrevious_, showNext_, showFirst_}) box->setEnabled(false);
  }
  Compose();
  reset_->setEnabled(false);
  adjustSize();
  CenterWindow(this, owner);
  initialised_ = true;
}

MoveCropField* MoveCropDialog::Field(int id) const {
  for (int i = 0; i < 4; ++i)
    if (kFieldIds[i] == id) return fields_[i];
  return nullptr;
}

QPushButton* MoveCropDialog::AlignButton(int id) const {
  for (QPushButton* b : alignButtons_)
    if (b->objectName() == QString::number(id)) return b;
  return nullptr;
}

void MoveCropDialog::SetMoveCropValues(int32_t a, int32_t b, int mask) {
  bool changed = false;
  auto take = [&changed](int32_t& field, int32_t value) {
    changed |= field != value;
    field = value;
  };
  if (mask & 1) take(newLeft_, a);
  if (mask & 2) take(newTop_, b);
  if (mask & 4) take(newWidth_, a);
  if (mask & 8) take(newHeight_, b);
  if (mask & 16) {
    const int32_t shown[4] = {newWidth_, newHeight_, newLeft_, newTop_};
    for (int i = 0; i < 4; ++i) {
      QSignalBlocker block(fields_[i]);
      fields_[i]->setValue(shown[i]);
    }
  }
  if (!changed) return;
  Compose();
  reset_->setEnabled(true);
}

void MoveCropDialog::FieldChanged(int id) {
  if (!initialised_) return;
  if (pending_) {
    timer_.stop();
    int other = pending_;
    pending_ = 0;
    if (other != id) ApplyField(other);
  }
  if (spinChange_) {
    spinChange_ = false;
    ApplyField(id);
    return;
  }
  pending_ = id;
  timer_.start();
}

void MoveCropDialog::ApplyField(int id) {
  MoveCropField* field = Field(id);
  if (!field) return;
  int32_t v = field->value();
  switch (id) {
    case kIdWidth:
      SetMoveCropValues(v, 0, 4);
      break;
    case kIdHeight:
      SetMoveCropValues(0, v, 8);
      break;
    case kIdX:
      SetMoveCropValues(v, 0, 1);
      break;
    case kIdY:
      SetMoveCropValues(0, v, 2);
      break;
    default:
      break;
  }
}

void MoveCropDialog::Align(int id) {
  int32_t left = newLeft_, top = newTop_;
  AlignFrame(id, screenWidth_, screenHeight_, newWidth_, newHeight_, left, top);
  SetMoveCropValues(left, top, 1 | 2 | 16);
}

void MoveCropDialog::Reset() {
  SetMoveCropValues(frame_->left, frame_->top, 1 | 2 | 16);
  SetMoveCropValues(frame_->width, frame_->height, 4 | 8 | 16);
  reset_->setDefault(false);
  ok_->setDefault(true);
  ok_->setFocus();
  reset_->setEnabled(false);
}

void MoveCropDialog::GhostsChanged() {
  int flags = (showFirst_->isChecked() ? 4 : 0) | (showPrevious_->isChecked() ? 1 : 0) |
              (showNext_->isChecked() ? 2 : 0);
  if (flags == ghostFlags_ || picture_.isNull()) return;
  ghostFlags_ = flags;
  if (flags) {
    try {
      ghost_.assign(static_cast<size_t>(screenWidth_) * static_cast<size_t>(screenHeight_) * 4, 0);
    } catch (const std::bad_alloc&) {
      ShowError("Not enough memory to show the other frames");
      ghostFlags_ = 0;
      ghost_.clear();
    }
    // Previous (the last before the first), next (the first after the last), first; each weighs as
    // much as those added before it together.
    int added = 0;
    if (ghostFlags_ & 1) {
      const Frame* prev = PrevFrame(frame_);
      if (!prev) {
        for (const Frame* g = FirstFrame(animation_); g; g = NextFrame(g)) prev = g;
      }
      if (prev) AddGhost(*prev, ++added);
    }
    if (ghostFlags_ & 2) {
      const Frame* next = NextFrame(frame_);
      if (!next) next = FirstFrame(animation_);
      if (next) AddGhost(*next, ++added);
    }
    if (ghostFlags_ & 4) {
      if (const Frame* first = FirstFrame(animation_)) AddGhost(*first, ++added);
    }
  }
  Compose();
}

void MoveCropDialog::AddGhost(const Frame& g, int weight) {
  if (!g.bitmap || !g.palette || ghost_.empty()) return;
  const Palette& pal = *g.palette;
  bool transparent = IsTransparent(g);
  int x0 = std::max(0, -g.left), x1 = std::min(g.width, screenWidth_ - g.left);
  int y0 = std::max(0, -g.top), y1 = std::min(g.height, screenHeight_ - g.top);
  for (int y = y0; y < y1; ++y) {
    const uint8_t* row = g.Row(y);
    uint8_t* out = ghost_.data() + (static_cast<size_t>(g.top + y) * static_cast<size_t>(screenWidth_) +
                                    static_cast<size_t>(g.left + x0)) *
                                       4;
    for (int x = x0; x < x1; ++x, out += 4) {
      uint8_t index = row[x];
      if (transparent && index == g.transparentIndex) continue;
      PaletteEntry c = index < pal.Count() ? pal[index] : PaletteEntry{};
      if (!out[3]) {
        out[0] = c.blue, out[1] = c.green, out[2] = c.red, out[3] = 1;
      } else {
        out[0] = static_cast<uint8_t>((out[0] * (weight - 1) + c.blue) / weight);
        out[1] = static_cast<uint8_t>((out[1] * (weight - 1) + c.green) / weight);
        out[2] = static_cast<uint8_t>((out[2] * (weight - 1) + c.red) / weight);
      }
    }
  }
}

void MoveCropDialog::Compose() {
  if (view_) view_->update();
  if (picture_.isNull()) return;
  picture_.fill(palette().color(QPalette::Button));
  const Frame& f = *frame_;
  if (f.bitmap && f.palette) {
    // Never more than the frame's own pixels, whatever was typed.
    int w = std::clamp(newWidth_, 0, f.width), h = std::clamp(newHeight_, 0, f.height);
    int x0 = std::max(0, -newLeft_),
        x1 = static_cast<int>(std::min<int64_t>(w, int64_t{screenWidth_} - newLeft_));
    int y0 = std::max(0, -newTop_),
        y1 = static_cast<int>(std::min<int64_t>(h, int64_t{screenHeight_} - newTop_));
    const Palette& pal = *f.palette;
    bool transparent = IsTransparent(f);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* row = f.Row(y);
      auto* out = reinterpret_cast<QRgb*>(picture_.scanLine(newTop_ + y));
      for (int x = x0; x < x1; ++x) {
        uint8_t index = row[x];
        if (transparent && index == f.transparentIndex) continue;
        PaletteEntry c = index < pal.Count() ? pal[index] : PaletteEntry{};
        out[newLeft_ + x] = qRgb(c.red, c.green, c.blue);
      }
    }
  }
  if (ghostFlags_ && !ghost_.empty()) {
    for (int y = 0; y < screenHeight_; ++y) {
      auto* out = reinterpret_cast<QRgb*>(picture_.scanLine(y));
      const uint8_t* g = ghost_.data() + static_cast<size_t>(y) * static_cast<size_t>(screenWidth_) * 4;
      for (int x = 0; x < screenWidth_; ++x, g += 4) {
        if (!g[3]) continue;
        QRgb p = out[x];
        out[x] = qRgb((6 * qRed(p) + 4 * g[2]) / 10, (6 * qGreen(p) + 4 * g[1]) / 10,
                      (6 * qBlue(p) + 4 * g[0]) / 10);
      }
    }
  }
}

void MoveCropDialog::accept() {
  // A value still waiting for its timer counts.
  if (pending_) {
    timer_.stop();
    int id = pending_;
    pending_ = 0;
    ApplyField(id);
  }
  // Checked as the property dialogs check offsets; a size is at least 1 and at most the frame's own.
  auto refuse = [](int field, const char* caption, const char* text) {
    Hooks().MessageBox(caption, text, MsgButtons::Ok, MsgIcon::Exclamation);
    return field;
  };
  int bad = 0;
  if (newLeft_ < -65535 || newLeft_ > 65535)
    bad = refuse(kIdX, "Bad X Offset Value", "The X offset must be in the range from -65535 to 65535");
  else if (newTop_ < -65535 || newTop_ > 65535)
    bad = refuse(kIdY, "Bad Y Offset Value", "The Y offset must be in the range from -65535 to 65535");
  else if (newWidth_ < 1 || newWidth_ > frame_->width)
    ShowError("The width must be in the range from 1 to %d", frame_->width), bad = kIdWidth;
  else if (newHeight_ < 1 || newHeight_ > frame_->height)
    ShowError("The height must be in the range from 1 to %d", frame_->height), bad = kIdHeight;
  if (bad) {
    Field(bad)->setFocus();
    Field(bad)->selectAll();
    return;
  }
  done(ApplyMoveCrop(*frame_, newLeft_, newTop_, newWidth_, newHeight_));
}

}  // namespace lw::app
