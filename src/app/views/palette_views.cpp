#include "app/views/palette_views.h"

#include <qdrawutil.h>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace lw::app {
namespace {

QRgb ButtonFace(const QWidget* w) {
  return w->palette().color(QPalette::Button).rgb();
}

QRgb EntryColor(const PaletteEntry& e) {
  return qRgb(e.red, e.green, e.blue);
}

}  // namespace

QString ColorHintText(const Palette* palette, int index) {
  if (!palette || index < 0 || index >= palette->Count()) return {};
  const PaletteEntry& e = (*palette)[index];
  return QString::asprintf("#%d: R=%d, G=%d, B=%d", index + 1, e.red, e.green, e.blue);
}

// ---- Hint window ----

HintWindow::HintWindow() : QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint) {
  setObjectName("Hint");
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setMargin(1);
  QPalette p = palette();
  QColor text = p.color(QPalette::ToolTipText), base = p.color(QPalette::ToolTipBase);
  // Black on white when the theme gives both the same colour.
  if (text == base) {
    text = Qt::black;
    base = Qt::white;
  }
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Window, base);
  setPalette(p);
  setAutoFillBackground(true);
}

void HintWindow::ShowAt(const QString& text, const QPoint& globalPos) {
  if (text.isEmpty()) {
    setText({});
    hide();
    return;
  }
  if (text != this->text()) {
    setText(text);
    adjustSize();
  }
  move(globalPos + QPoint(kOffsetX, kOffsetY));
  if (!isVisible()) show();
}

// ---- Colour grid ----

ColorGrid::ColorGrid(int cellSize, QWidget* parent) : QWidget(parent), cell_(cellSize) {
  setFixedSize(16 * cell_, 16 * cell_);
  setMouseTracking(true);
}

void ColorGrid::SetPalette(const Palette* palette, const ColorCounts* counts) {
  entries_ = palette ? palette->Entries() : std::vector<PaletteEntry>{};
  palette_ = Palette(entries_);
  if (counts)
    counts_ = *counts;
  else
    counts_.reset();
  if (selected_ >= EntryCount()) selected_ = -1;
  update();
}

void ColorGrid::SetShowInUse(bool on) {
  if (on == showInUse_) return;
  showInUse_ = on;
  update();
}

void ColorGrid::SetSelectable(bool on) {
  selectable_ = on;
  if (!on) selected_ = -1;
  update();
}

void ColorGrid::Select(int index) {
  if (!selectable_) return;
  selected_ = index >= 0 && index < EntryCount() ? index : -1;
  update();
}

void ColorGrid::SetHint(HintWindow* hint) {
  if (hint_ && hint_ != hint) hint_->ShowAt({}, {});
  hint_ = hint;
}

int ColorGrid::EntryAt(const QPoint& pos) const {
  if (pos.x() < 0 || pos.y() < 0) return -1;
  int column = pos.x() / cell_, row = pos.y() / cell_;
  if (column >= 16 || row >= 16) return -1;
  int index = row * 16 + column;
  return index < EntryCount() ? index : -1;
}

void ColorGrid::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(ButtonFace(this)));
  for (int i = 0; i < EntryCount(); ++i) {
    QRect cell((i % 16) * cell_, (i / 16) * cell_, cell_, cell_);
    p.fillRect(cell, QColor(EntryColor(entries_[static_cast<size_t>(i)])));
    if (showInUse_ && counts_ && (*counts_)[static_cast<size_t>(i)] != 0) {
      // A small square in the inverse colour marks a colour some pixel uses.
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      p.fillRect(QRect(cell.center() - QPoint(2, 2), QSize(4, 4)), Qt::white);
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    qDrawShadePanel(&p, cell, palette(), true, 1);
  }
  if (selected_ >= 0) {
    QRect cell((selected_ % 16) * cell_, (selected_ / 16) * cell_, cell_, cell_);
    p.setPen(QPen(Qt::red, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(cell.adjusted(1, 1, -1, -1));
  }
}

void ColorGrid::mouseMoveEvent(QMouseEvent* event) {
  int index = EntryAt(event->position().toPoint());
  setCursor(index >= 0 ? Qt::CrossCursor : Qt::ArrowCursor);
  if (hint_) hint_->ShowAt(ColorHintText(&palette_, index), event->globalPosition().toPoint());
}

void ColorGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !selectable_) return;
  int index = EntryAt(event->position().toPoint());
  if (index >= 0 && index != selected_) emit EntryClicked(index);
}

void ColorGrid::leaveEvent(QEvent*) {
  if (hint_) hint_->ShowAt({}, {});
}

// ---- Frame picture ----

FrameIndexImage::FrameIndexImage(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
}

void FrameIndexImage::SetFrame(const Frame& f) {
  palette_ = f.palette ? Palette(f.palette->Entries()) : Palette();
  entries_ = palette_.Count();
  highlighted_ = -1;
  image_ = QImage();
  const uint8_t* bits = f.Bits();
  if (bits && f.width > 0 && f.height > 0) {
    image_ = QImage(f.width, f.height, QImage::Format_Indexed8);
    if (image_.isNull()) return;
    // Every index has a colour: those beyond the palette show as the background.
    QList<QRgb> table(256, ButtonFace(this));
    for (int i = 0; i < entries_; ++i) table[i] = EntryColor(palette_[i]);
    image_.setColorTable(table);
    for (int y = 0; y < f.height; ++y)
      std::copy_n(f.Row(y), static_cast<size_t>(f.width), image_.scanLine(y));
  }
  setFixedSize(image_.isNull() ? QSize(1, 1) : image_.size());
  update();
}

int FrameIndexImage::IndexAt(const QPoint& pos) const {
  if (image_.isNull() || !image_.rect().contains(pos)) return -1;
  int index = image_.pixelIndex(pos);
  return index < entries_ ? index : -1;
}

void FrameIndexImage::SetTableEntry(int index, QRgb color) {
  if (image_.isNull() || index < 0 || index >= entries_) return;
  image_.setColor(index, color);
}

void FrameIndexImage::Highlight(int index) {
  if (index == highlighted_ || index < 0 || index >= entries_) return;
  if (highlighted_ >= 0) SetTableEntry(highlighted_, EntryColor(palette_[highlighted_]));
  highlighted_ = index;
  SetTableEntry(index, qRgb(255, 255, 255));
  repaint();
  // The flash ends without holding up the interface thread.
  uint64_t flash = ++flash_;
  QTimer::singleShot(100, this, [this, flash, index] {
    if (flash != flash_ || highlighted_ != index) return;
    SetTableEntry(index, ButtonFace(this));
    update();
  });
}

void FrameIndexImage::SetHint(HintWindow* hint) {
  if (hint_ && hint_ != hint) hint_->ShowAt({}, {});
  hint_ = hint;
}

void FrameIndexImage::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!image_.isNull()) p.drawImage(0, 0, image_);
}

void FrameIndexImage::mouseMoveEvent(QMouseEvent* event) {
  int index = IndexAt(event->position().toPoint());
  setCursor(index >= 0 ? Qt::CrossCursor : Qt::ArrowCursor);
  if (hint_) hint_->ShowAt(ColorHintText(&palette_, index), event->globalPosition().toPoint());
}

void FrameIndexImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  int index = IndexAt(event->position().toPoint());
  if (index >= 0 && index != highlighted_) emit IndexClicked(index);
}

void FrameIndexImage::leaveEvent(QEvent*) {
  if (hint_) hint_->ShowAt({}, {});
}

}  // namespace lw::app
