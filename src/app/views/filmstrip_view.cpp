#include "app/views/filmstrip_view.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>
#include <climits>

#include "app/shell/ids.h"
#include "model/animation.h"

namespace lw::app {
namespace {

constexpr int kBandWidth = 14;   // the sprocket band across a strip
constexpr int kTileLength = 16;  // one perforation along it
constexpr int kArrowSize = 8;

int ClampToInt(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, INT_MIN / 2, INT_MAX / 2));
}

}  // namespace

QImage MakeSprocketTile(bool vertical, const QColor& face) {
  int w = vertical ? kBandWidth : kTileLength;
  int h = vertical ? kTileLength : kBandWidth;
  QImage tile(w, h, QImage::Format_RGB32);
  tile.fill(QColor(46, 36, 30));
  QPainter p(&tile);
  p.setRenderHint(QPainter::Antialiasing, true);
  // A darker edge line where the band meets the cells, and a rounded perforation showing the window.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(28, 22, 18));
  if (vertical)
    p.drawRect(w - 2, 0, 2, h);
  else
    p.drawRect(0, h - 2, w, 2);
  QRectF hole = vertical ? QRectF(3.5, 4, 6, 8) : QRectF(4, 3.5, 8, 6);
  p.setBrush(face);
  p.drawRoundedRect(hole, 1.6, 1.6);
  p.setPen(QPen(QColor(90, 74, 60), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(hole.adjusted(-0.5, -0.5, 0.5, 0.5), 2, 2);
  return tile;
}

FilmstripView::FilmstripView(FilmstripHost* host, QWidget* parent)
    : QAbstractScrollArea(parent), host_(host) {
  setObjectName(kFilmstripId);
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setFocusPolicy(Qt::NoFocus);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent, true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  autoScroll_.setInterval(kAutoScrollMs);
  connect(&autoScroll_, &QTimer::timeout, this, &FilmstripView::OnAutoScroll);
  connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { OnBarAction(horizontalScrollBar(), action); });
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { OnBarAction(verticalScrollBar(), action); });
  Remeasure();
  LayoutFilmstrip(true);
}

QScrollBar* FilmstripView::MainBar() const {
  return geometry_.Vertical() ? horizontalScrollBar() : verticalScrollBar();
}

QScrollBar* FilmstripView::CrossBar() const {
  return geometry_.Vertical() ? verticalScrollBar() : horizontalScrollBar();
}

int FilmstripView::MainPosition() const {
  return MainBar()->value();
}

int FilmstripView::CrossPosition() const {
  return CrossBar()->value();
}

void FilmstripView::SetFilmstripAnimation(Animation* a) {
  if (dragging_) EndDrag(false);
  animation_ = a;
  selected_ = -1;
  cache_.Clear();
  if (a) {
    laidWidth_ = a->screenWidth;
    laidHeight_ = a->screenHeight;
    if (!(orientation_ & kOrientChosenBit))
      orientation_ = a->screenWidth > a->screenHeight ? kOrientVerticalBit : kOrientHorizontalBit;
  }
  Remeasure();
  LayoutFilmstrip(true);
}

void FilmstripView::RefitFilmstrip() {
  if (animation_ && (animation_->screenWidth != laidWidth_ || animation_->screenHeight != laidHeight_)) {
    int keep = selected_;
    SetFilmstripAnimation(animation_);
    selected_ = keep;
  }
}

void FilmstripView::SetFilmstripOrientation(int value) {
  int old = orientation_;
  if (value == 0) {
    if (orientation_ & kOrientChosenBit) {
      orientation_ = animation_ && animation_->screenWidth <= animation_->screenHeight ? kOrientHorizontalBit
                                                                                       : kOrientVerticalBit;
    }
  } else {
    orientation_ = value;
  }
  if ((old & 3) != (orientation_ & 3)) {
    Remeasure();
    LayoutFilmstrip(true);
  }
}

void FilmstripView::SetFilmstripZoom(int numerator, int denominator) {
  if (numerator == numerator_ && denominator == denominator_) return;
  numerator_ = std::max(numerator, 1);
  denominator_ = std::max(denominator, 1);
  Remeasure();
  LayoutFilmstrip(true);
}

void FilmstripView::Remeasure() {
  // Before the first document the orientation is 0; it measures like horizontal strips.
  bool vertical = orientation_ & kOrientVerticalBit;
  sprocket_ = MakeSprocketTile(vertical, palette().color(QPalette::Button));
  int sw = animation_ ? animation_->screenWidth : 0;
  int sh = animation_ ? animation_->screenHeight : 0;
  bool wasVertical = geometry_.Vertical();
  geometry_.Measure(vertical, numerator_, denominator_, sw, sh, sprocket_.width(), sprocket_.height());
  if (wasVertical != vertical) {
    // The bars change roles: start the new orientation at its beginning.
    inLayout_ = true;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    inLayout_ = false;
  }
}

void FilmstripView::ApplyBar(QScrollBar* bar, int64_t extent, int page, bool* repaint) {
  int pos = bar->value();
  int maxPos = ClampToInt(std::max<int64_t>(0, extent - page));
  if (page >= extent) {
    if (pos > 0) *repaint = true;
    pos = 0;
  } else if (pos > maxPos) {
    pos = maxPos;
    *repaint = true;
  }
  bar->setRange(0, maxPos);
  bar->setPageStep(std::max(page, 1));
  bar->setSingleStep(FilmstripGeometry::LineStep(page));
  bar->setValue(pos);
}

void FilmstripView::LayoutFilmstrip(bool repaint) {
  if (inLayout_) {
    layoutAgain_ = true;
    return;
  }
  inLayout_ = true;
  // Showing or hiding a scroll bar changes the client area, which asks for another layout; a few rounds
  // settle it.
  for (int round = 0; round < 4; ++round) {
    layoutAgain_ = false;
    QSize client = viewport()->size();
    if (!animation_) {
      geometry_.Layout(client.width(), client.height(), 0);
      for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        bar->setRange(0, 0);
        bar->setValue(0);
      }
    } else {
      int frames = std::max(animation_->frameCount, 0);
      if (geometry_.Layout(client.width(), client.height(), frames)) repaint = true;
      ApplyBar(CrossBar(), geometry_.CrossExtent(), geometry_.CrossPage(), &repaint);
      ApplyBar(MainBar(), geometry_.MainExtent(), geometry_.MainPage(), &repaint);
    }
    if (!layoutAgain_) break;
  }
  inLayout_ = false;
  viewport()->update();
}

void FilmstripView::SelectInFilmstrip(int index) {
  int old = selected_;
  selected_ = index;
  if (old != -1) RepaintFilmstripCell(old);
  if (index != -1) RepaintFilmstripCell(index);
}

QRect FilmstripView::CellRect(int index) const {
  FilmstripGeometry::Rect r = geometry_.CellSlot(index);
  int hx = horizontalScrollBar()->value(), vy = verticalScrollBar()->value();
  return QRect(ClampToInt(r.x - hx), ClampToInt(r.y - vy), ClampToInt(r.width), ClampToInt(r.height));
}

void FilmstripView::RepaintFilmstripCell(int index) {
  if (!animation_ || index < 0 || index >= geometry_.FrameCount()) return;
  viewport()->update(CellRect(index));
}

void FilmstripView::RepaintFilmstrip() {
  viewport()->update();
}

void FilmstripView::ScrollSelectionIntoView() {
  if (selected_ < 0 || !animation_) return;
  int64_t strip = selected_ / geometry_.CellsPerStrip();
  QScrollBar* bar = MainBar();
  int target = ClampToInt(std::min<int64_t>(strip * geometry_.Pitch(), bar->maximum()));
  if (target != bar->value()) {
    bar->setValue(target);
    viewport()->update();
  }
}

void FilmstripView::SetFilmstripBackground() {
  // The frames' colour tables carry the new display colour; the cache notices and converts again.
  viewport()->update();
}

int FilmstripView::HitTestFilmstrip(int x, int y) const {
  if (!animation_) return -1;
  return geometry_.HitTest(x, y, MainPosition(), CrossPosition());
}

void FilmstripView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  LayoutFilmstrip(false);
}

void FilmstripView::scrollContentsBy(int dx, int dy) {
  if (inLayout_) return;  // the layout repaints everything anyway
  viewport()->scroll(dx, dy);
}

void FilmstripView::OnBarAction(QScrollBar* bar, int action) {
  // A page is half the client plus one, whatever the size of the thumb.
  int client = bar == horizontalScrollBar() ? viewport()->width() : viewport()->height();
  int step = FilmstripGeometry::PageStep(client);
  if (action == QAbstractSlider::SliderPageStepAdd)
    bar->setSliderPosition(std::min(bar->value() + step, bar->maximum()));
  else if (action == QAbstractSlider::SliderPageStepSub)
    bar->setSliderPosition(std::max(bar->value() - step, bar->minimum()));
}

void FilmstripView::ScrollMainBy(int delta) {
  QScrollBar* bar = MainBar();
  bar->setValue(std::clamp(bar->value() + delta, bar->minimum(), bar->maximum()));
}

bool FilmstripView::HandleKey(int key) {
  auto scroll = [](QScrollBar* bar, int delta) {
    if (bar->maximum() <= bar->minimum()) return;
    bar->setValue(std::clamp(bar->value() + delta, bar->minimum(), bar->maximum()));
  };
  int w = viewport()->width(), h = viewport()->height();
  switch (key) {
    case Qt::Key_Escape:
      if (!dragging_) return false;
      EndDrag(false);
      return true;
    case Qt::Key_PageUp:
      scroll(verticalScrollBar(), -FilmstripGeometry::PageStep(h));
      return true;
    case Qt::Key_PageDown:
      scroll(verticalScrollBar(), FilmstripGeometry::PageStep(h));
      return true;
    case Qt::Key_Home:
      scroll(horizontalScrollBar(), -FilmstripGeometry::PageStep(w));
      return true;
    case Qt::Key_End:
      scroll(horizontalScrollBar(), FilmstripGeometry::PageStep(w));
      return true;
    case Qt::Key_Up:
      scroll(verticalScrollBar(), -FilmstripGeometry::LineStep(h));
      return true;
    case Qt::Key_Down:
      scroll(verticalScrollBar(), FilmstripGeometry::LineStep(h));
      return true;
    case Qt::Key_Left:
      scroll(horizontalScrollBar(), -FilmstripGeometry::LineStep(w));
      return true;
    case Qt::Key_Right:
      scroll(horizontalScrollBar(), FilmstripGeometry::LineStep(w));
      return true;
    default:
      return false;
  }
}

void FilmstripView::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(event->key())) QAbstractScrollArea::keyPressEvent(event);
}

// ---- Painting ----

void FilmstripView::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  const QRect update = event->rect();
  p.fillRect(update, palette().color(QPalette::Button));
  cellsDrawn_ = 0;
  if (!animation_ || geometry_.StripCount() == 0) return;

  const int64_t mainPos = MainPosition();
  const int pitch = geometry_.Pitch();
  int64_t lo = (geometry_.Vertical() ? update.left() : update.top()) + mainPos;
  int64_t hi = (geometry_.Vertical() ? update.right() : update.bottom()) + mainPos;
  int first = static_cast<int>(std::max<int64_t>(lo, 0) / pitch);
  int last =
      static_cast<int>(std::min<int64_t>(std::max<int64_t>(hi, 0) / pitch, geometry_.StripCount() - 1));
  if (first > last) return;
  for (int s = first; s <= last; ++s) DrawStrip(p, s, update);

  const int cps = geometry_.CellsPerStrip();
  int begin = first * cps;
  int end = std::min(geometry_.FrameCount(), (last + 1) * cps);
  const Frame* f = NthFrame(*animation_, begin);
  for (int i = begin; i < end && f; ++i, f = NextFrame(f)) {
    QRect slot = CellRect(i);
    if (!slot.intersects(update)) continue;
    DrawCell(p, *f, i, slot.x() + (geometry_.Vertical() ? geometry_.SprocketOffset() : 0),
             slot.y() + (geometry_.Vertical() ? 0 : geometry_.SprocketOffset()));
    ++cellsDrawn_;
  }
  if (dragging_ && insertion_.index >= 0) DrawMarker(p, insertion_);
  if (firstPaint_ && cellsDrawn_ > 0) {
    auto callback = std::move(firstPaint_);
    firstPaint_ = nullptr;
    callback();
  }
}

void FilmstripView::DrawStrip(QPainter& p, int strip, const QRect& update) {
  const bool vertical = geometry_.Vertical();
  const int margin = FilmstripGeometry::kMargin;
  int hx = horizontalScrollBar()->value(), vy = verticalScrollBar()->value();
  int64_t across0 = static_cast<int64_t>(strip) * geometry_.Pitch();
  int64_t length = static_cast<int64_t>(geometry_.CellsInStrip(strip)) * geometry_.Thickness();
  // The sprocket band, 4 pixels in from the strip's start, from the margin for the cells' length; the
  // last tile is cut to fit.
  auto toView = [&](int64_t along, int64_t across, int64_t alongLen, int64_t acrossLen) {
    return vertical ? QRect(ClampToInt(across - hx), ClampToInt(along - vy), ClampToInt(acrossLen),
                            ClampToInt(alongLen))
                    : QRect(ClampToInt(along - hx), ClampToInt(across - vy), ClampToInt(alongLen),
                            ClampToInt(acrossLen));
  };
  int tileLen = vertical ? sprocket_.height() : sprocket_.width();
  int tileAcross = vertical ? sprocket_.width() : sprocket_.height();
  QRect band = toView(margin, across0 + 4, length, tileAcross);
  QRect visibleBand = band.intersected(update);
  if (!visibleBand.isEmpty()) {
    // Tiles from the band's start; only those the update touches.
    int bandStart = vertical ? band.top() : band.left();
    int visStart = vertical ? visibleBand.top() : visibleBand.left();
    int visEnd = vertical ? visibleBand.bottom() : visibleBand.right();
    int firstTile = std::max(0, (visStart - bandStart) / tileLen);
    p.save();
    p.setClipRect(band);
    for (int pos = bandStart + firstTile * tileLen; pos <= visEnd; pos += tileLen) {
      if (vertical)
        p.drawImage(band.left(), pos, sprocket_);
      else
        p.drawImage(pos, band.top(), sprocket_);
    }
    p.restore();
  }
  // A raised edge round the strip.
  QRect edge = toView(1, across0 + 1, length + 2 * margin - 2, geometry_.Pitch() - 2);
  if (!edge.intersects(update)) return;
  const QPalette& pal = palette();
  auto line = [&](int x, int y, int w, int h, const QColor& c) { p.fillRect(x, y, w, h, c); };
  int l = edge.left(), t = edge.top(), r = edge.right(), b = edge.bottom();
  line(l, t, edge.width() - 1, 1, pal.color(QPalette::Midlight));
  line(l, t, 1, edge.height() - 1, pal.color(QPalette::Midlight));
  line(l, b, edge.width(), 1, pal.color(QPalette::Shadow));
  line(r, t, 1, edge.height(), pal.color(QPalette::Shadow));
  line(l + 1, t + 1, edge.width() - 3, 1, pal.color(QPalette::Light));
  line(l + 1, t + 1, 1, edge.height() - 3, pal.color(QPalette::Light));
  line(l + 1, b - 1, edge.width() - 2, 1, pal.color(QPalette::Dark));
  line(r - 1, t + 1, 1, edge.height() - 2, pal.color(QPalette::Dark));
}

void FilmstripView::DrawCell(QPainter& p, const Frame& f, int index, int x, int y) {
  const int w = geometry_.CellWidth(), h = geometry_.CellHeight();
  QColor bar = index == selected_ ? QColor(255, 0, 0) : palette().color(QPalette::Button);
  p.fillRect(x + 1, y + 1, w + 4, 2, bar);
  p.fillRect(x + 1, y + 1, 2, h + 4, bar);
  p.fillRect(x + w + 5, y + 1, 2, h + 4, bar);
  p.fillRect(x + 1, y + h + 5, w + 6, 2, bar);
  p.fillRect(x + 3, y + 3, w + 1, 1, Qt::black);
  p.fillRect(x + 3, y + 3, 1, h + 1, Qt::black);
  p.fillRect(x + w + 4, y + 3, 1, h + 1, Qt::black);
  p.fillRect(x + 3, y + h + 4, w + 2, 1, Qt::black);
  if (w <= 0 || h <= 0) return;
  p.save();
  p.setClipRect(QRect(x + 4, y + 4, w, h), Qt::IntersectClip);
  // A true-colour display: the frame is drawn opaque; its colour table already shows the transparent
  // index in the colour the transparency view asks for.
  DrawFrame(p, cache_, f, x + 4, y + 4, numerator_, denominator_, false);
  p.restore();
}

// ---- Dragging ----

QRect FilmstripView::MarkerRect(const FilmstripInsertion& at) const {
  const bool vertical = geometry_.Vertical();
  int64_t along = FilmstripGeometry::kMargin + static_cast<int64_t>(at.cell) * geometry_.Thickness() - 1;
  int64_t across = static_cast<int64_t>(at.strip) * geometry_.Pitch() + geometry_.SprocketOffset() + 4;
  int64_t length = vertical ? geometry_.CellWidth() : geometry_.CellHeight();
  int hx = horizontalScrollBar()->value(), vy = verticalScrollBar()->value();
  // The line with room for an arrow at each end.
  int64_t a0 = across - kArrowSize, aLen = length + 2 * kArrowSize;
  int64_t l0 = along + 1 - kArrowSize / 2;
  return vertical ? QRect(ClampToInt(a0 - hx), ClampToInt(l0 - vy), ClampToInt(aLen), kArrowSize)
                  : QRect(ClampToInt(l0 - hx), ClampToInt(a0 - vy), kArrowSize, ClampToInt(aLen));
}

void FilmstripView::DrawMarker(QPainter& p, const FilmstripInsertion& at) {
  QRect r = MarkerRect(at);
  const bool vertical = geometry_.Vertical();
  p.save();
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  // The 2-pixel line in the gap, as long as the frame is shown.
  if (vertical)
    p.drawRect(r.left() + kArrowSize, r.top() + kArrowSize / 2 - 1, r.width() - 2 * kArrowSize, 2);
  else
    p.drawRect(r.left() + kArrowSize / 2 - 1, r.top() + kArrowSize, 2, r.height() - 2 * kArrowSize);
  // An 8 × 8 arrow at each end, pointing into the gap.
  auto arrow = [&](QPoint tip, QPoint base1, QPoint base2) {
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(base1);
    path.lineTo(base2);
    path.closeSubpath();
    p.fillPath(path, Qt::white);
  };
  if (vertical) {
    int cy = r.top() + kArrowSize / 2;
    arrow({r.left() + kArrowSize, cy}, {r.left(), r.top()}, {r.left(), r.top() + kArrowSize});
    arrow({r.right() - kArrowSize + 1, cy}, {r.right() + 1, r.top()}, {r.right() + 1, r.top() + kArrowSize});
  } else {
    int cx = r.left() + kArrowSize / 2;
    arrow({cx, r.top() + kArrowSize}, {r.left(), r.top()}, {r.left() + kArrowSize, r.top()});
    arrow({cx, r.bottom() - kArrowSize + 1}, {r.left(), r.bottom() + 1},
          {r.left() + kArrowSize, r.bottom() + 1});
  }
  p.restore();
}

void FilmstripView::UpdateMarker(const QPoint& pos) {
  FilmstripInsertion next =
      geometry_.Insertion(pos.x(), pos.y(), MainPosition(), CrossPosition(), MainBar()->maximum());
  if (next.autoScroll != 0) {
    if (!autoScroll_.isActive()) autoScroll_.start();
  } else {
    autoScroll_.stop();
  }
  if (next.index == insertion_.index && next.strip == insertion_.strip && next.cell == insertion_.cell) {
    insertion_.autoScroll = next.autoScroll;
    return;
  }
  if (insertion_.index >= 0) viewport()->update(MarkerRect(insertion_));
  insertion_ = next;
  if (insertion_.index >= 0) viewport()->update(MarkerRect(insertion_));
}

void FilmstripView::OnAutoScroll() {
  if (!dragging_) {
    autoScroll_.stop();
    return;
  }
  QPoint pos = viewport()->mapFromGlobal(QCursor::pos());
  int along = geometry_.Vertical() ? pos.x() : pos.y();
  int line = FilmstripGeometry::LineStep(geometry_.MainPage());
  if (insertion_.index >= 0) viewport()->update(MarkerRect(insertion_));
  ScrollMainBy(along >= geometry_.MainPage() ? line : -line);
  insertion_ = FilmstripInsertion{};
  UpdateMarker(pos);
}

void FilmstripView::EndDrag(bool move) {
  FilmstripInsertion at = insertion_;
  bool wasDragging = dragging_;
  armed_ = false;
  dragging_ = false;
  autoScroll_.stop();
  if (insertion_.index >= 0) viewport()->update(MarkerRect(insertion_));
  insertion_ = FilmstripInsertion{};
  if (wasDragging) unsetCursor();
  if (!move || at.index < 0 || selected_ < 0) return;
  // Dropping a frame just before or just after itself leaves the order as it is.
  if (at.index == selected_ || at.index == selected_ + 1) return;
  host_->FilmstripMove(at.index, selected_);
}

void FilmstripView::mousePressEvent(QMouseEvent* event) {
  if (!animation_ || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)) return;
  host_->FilmstripFocusMain();
  pressPoint_ = event->position().toPoint();
  host_->FilmstripSelect(HitTestFilmstrip(pressPoint_.x(), pressPoint_.y()));
  if (event->button() == Qt::RightButton) {
    host_->FilmstripContextMenu(event->globalPosition().toPoint(), selected_ != -1);
    return;
  }
  armed_ = selected_ != -1 && host_->FilmstripCanMove();
}

void FilmstripView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  QPoint pos = event->position().toPoint();
  if (armed_ && !dragging_) {
    QPoint d = pos - pressPoint_;
    if (std::abs(d.x()) < kDragThreshold && std::abs(d.y()) < kDragThreshold) return;
    dragging_ = true;
    setCursor(Qt::SizeAllCursor);
    insertion_ = FilmstripInsertion{};
  }
  if (dragging_) UpdateMarker(pos);
}

void FilmstripView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (dragging_)
    EndDrag(true);
  else
    armed_ = false;
}

void FilmstripView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!animation_ || event->button() != Qt::LeftButton) return;
  host_->FilmstripFocusMain();
  pressPoint_ = event->position().toPoint();
  host_->FilmstripSelect(HitTestFilmstrip(pressPoint_.x(), pressPoint_.y()));
  host_->FilmstripCommand(selected_ != -1 ? kCmdFrameProperties : kCmdAnimationProperties);
}

// ---- Files dropped from a file manager ----

QStringList FilmstripView::DroppedFiles(const QMimeData* mime) const {
  QStringList files;
  if (!mime || !mime->hasUrls()) return files;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  return files;
}

void FilmstripView::dragEnterEvent(QDragEnterEvent* event) {
  QStringList files = DroppedFiles(event->mimeData());
  if (!files.isEmpty() && host_->FilmstripAcceptsDrop(files)) event->acceptProposedAction();
}

void FilmstripView::dragMoveEvent(QDragMoveEvent* event) {
  event->acceptProposedAction();
}

void FilmstripView::dropEvent(QDropEvent* event) {
  QStringList files = DroppedFiles(event->mimeData());
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  host_->FilmstripDrop(event->position().toPoint(), files);
}

}  // namespace lw::app
