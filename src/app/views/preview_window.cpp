#include "app/views/preview_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSlider>
#include <QToolBar>
#include <algorithm>

#include "app/dialogs/center_window.h"
#include "app/dialogs/progress_dialog.h"

namespace lw::app {
namespace {

// Stalls longer than this (a busy interface thread) restart the frame clock from now rather than
// hurrying through the frames that were missed.
constexpr int64_t kResyncNs = 250'000'000;
// While a long operation shows its progress dialog, the preview waits this long between looks.
constexpr int kHoldMs = 50;

struct ButtonInfo {
  int id;
  const char* tooltip;
};
const ButtonInfo kButtons[] = {
    {kPreviewPlay, "Play Animation Loop"},
    {kPreviewStop, "Stop Animation Loop"},
    {0, nullptr},  // separator
    {kPreviewFirst, "First Frame"},
    {kPreviewPrevious, "Previous Frame"},
    {kPreviewNext, "Next Frame"},
    {kPreviewLast, "Last Frame"},
};

QPolygonF Triangle(bool right, qreal x0, qreal x1, qreal top, qreal bottom) {
  const qreal mid = (top + bottom) / 2;
  if (right) return QPolygonF({QPointF(x0, top), QPointF(x1, mid), QPointF(x0, bottom)});
  return QPolygonF({QPointF(x1, top), QPointF(x0, mid), QPointF(x1, bottom)});
}

// One button's glyph on a 16-unit square, scaled to the pixmap.
QPixmap DrawButton(int id, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.scale(size / 16.0, size / 16.0);
  const QColor navy(0x24, 0x48, 0x86), navyEdge(0x12, 0x26, 0x4c);
  QPainterPath path;
  QColor fill = navy, edge = navyEdge;
  switch (id) {
    case kPreviewPlay:
      fill = QColor(0x2e, 0x9a, 0x3c);
      edge = QColor(0x17, 0x5c, 0x22);
      path.addPolygon(Triangle(true, 3.5, 13.5, 2.0, 14.0));
      break;
    case kPreviewStop:
      fill = QColor(0xc4, 0x3a, 0x2f);
      edge = QColor(0x7a, 0x1d, 0x16);
      path.addRoundedRect(QRectF(3.0, 3.0, 10.0, 10.0), 1.2, 1.2);
      break;
    case kPreviewFirst:
      path.addRect(QRectF(1.5, 3.0, 2.0, 10.0));
      path.addPolygon(Triangle(false, 4.0, 9.0, 3.0, 13.0));
      path.addPolygon(Triangle(false, 9.0, 14.5, 3.0, 13.0));
      break;
    case kPreviewPrevious:
      path.addPolygon(Triangle(false, 3.0, 10.5, 3.0, 13.0));
      path.addRect(QRectF(11.5, 3.0, 2.0, 10.0));
      break;
    case kPreviewNext:
      path.addRect(QRectF(2.5, 3.0, 2.0, 10.0));
      path.addPolygon(Triangle(true, 5.5, 13.0, 3.0, 13.0));
      break;
    case kPreviewLast:
      path.addPolygon(Triangle(true, 1.5, 7.0, 3.0, 13.0));
      path.addPolygon(Triangle(true, 7.0, 12.0, 3.0, 13.0));
      path.addRect(QRectF(12.5, 3.0, 2.0, 10.0));
      break;
    default:
      break;
  }
  for (QPolygonF& polygon : path.toSubpathPolygons()) {
    QPainterPath sub;
    sub.addPolygon(polygon);
    sub.closeSubpath();
    p.fillPath(sub, fill);
    // A one-pixel edge at any scale keeps the shape sharp against light and dark toolbars.
    p.setPen(QPen(edge, 16.0 / size, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(sub);
  }
  return pixmap;
}

}  // namespace

QIcon PreviewButtonIcon(int id) {
  QIcon icon;
  for (int size : {16, 20, 24, 32, 40, 48, 64, 96, 128}) icon.addPixmap(DrawButton(id, size));
  return icon;
}

// ---- Picture area ----

PreviewPictureArea::PreviewPictureArea(PreviewWindow* owner) : QFrame(owner), owner_(owner) {
  setObjectName(QString::number(kPreviewPictureId));
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
}

void PreviewPictureArea::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (owner_->waitingFirst_) return;
  const QImage image = owner_->PictureImage();
  if (image.isNull()) return;
  QPainter p(this);
  p.setClipRect(contentsRect().adjusted(1, 1, -1, -1));
  p.drawImage(QPoint(kPreviewOrigin, kPreviewOrigin), image);
}

void PreviewPictureArea::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) owner_->PictureClicked();
  QFrame::mousePressEvent(event);
}

// ---- The window ----

PreviewWindow::PreviewWindow(Animation* a, QWidget* owner) : QDialog(owner), animation_(a) {
  setWindowTitle("Loopwright Animation");
  setObjectName("112");
  setModal(false);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  composer_.SetBackground(MakeScreenPixel(static_cast<uint8_t>(WindowColour().red()),
                                          static_cast<uint8_t>(WindowColour().green()),
                                          static_cast<uint8_t>(WindowColour().blue())));
  composer_.SetPreviewAnimation(a);
  clock_.start();

  picture_ = new PreviewPictureArea(this);
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName(QString::number(kPreviewSliderId));
  slider_->setSingleStep(1);
  slider_->setFocusPolicy(Qt::StrongFocus);
  connect(slider_, &QSlider::actionTriggered, this, &PreviewWindow::OnSliderAction);
  label_ = new QLabel(this);
  label_->setObjectName(QString::number(kPreviewLabelId));
  label_->setAlignment(Qt::AlignCenter);
  // Wide enough for the largest frame number, so that the label keeps its size.
  label_->setFixedSize(label_->fontMetrics().horizontalAdvance("Frame 000000") + 4,
                       label_->fontMetrics().height() + 2);
  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName(QString::number(kPreviewToolbarId));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setIconSize(QSize(16, 16));
  for (const ButtonInfo& b : kButtons) {
    if (!b.id) {
      toolbar_->addSeparator();
      continue;
    }
    QAction* action = toolbar_->addAction(PreviewButtonIcon(b.id), QString());
    action->setObjectName(QString::number(b.id));
    action->setToolTip(b.tooltip);
    action->setCheckable(b.id == kPreviewPlay);
    const int id = b.id;
    connect(action, &QAction::triggered, this, [this, id] { PreviewCommand(id); });
  }
  Button(kPreviewStop)->setEnabled(false);

  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &PreviewWindow::OnTimer);

  PreviewLayout();
  CenterWindow(this, owner);
  frameCount_ = FrameCount();
  slider_->setRange(1, std::max(frameCount_, 1));
  slider_->setPageStep(std::max(frameCount_ / 5, 1));
  PreviewCommand(kPreviewPlay);
  waitingFirst_ = true;
  slider_->setFocus(Qt::OtherFocusReason);
}

PreviewWindow::~PreviewWindow() {
  timer_.stop();
}

QWidget* PreviewWindow::PictureArea() const {
  return picture_;
}

QAction* PreviewWindow::Button(int id) const {
  return toolbar_->findChild<QAction*>(QString::number(id));
}

QColor PreviewWindow::WindowColour() const {
  return palette().color(QPalette::Window);
}

QImage PreviewWindow::PictureImage() const {
  const PreviewPicture& picture = composer_.Picture();
  if (!picture.Exists()) return {};
  // The composed pixels are already in the screen's layout: the image only looks at them.
  return QImage(reinterpret_cast<const uchar*>(picture.Pixels()), picture.Width(), picture.Height(),
                static_cast<qsizetype>(picture.Width()) * 4, QImage::Format_RGB32);
}

int PreviewWindow::FrameCount() const {
  return animation_ ? std::max(animation_->frameCount, 0) : 0;
}

void PreviewWindow::Detach() {
  timer_.stop();
  playing_ = false;
  animation_ = nullptr;
  composer_.SetPreviewAnimation(nullptr);
}

// ---- Layout ----

void PreviewWindow::PreviewLayout() {
  const int w = animation_ ? std::clamp(animation_->screenWidth, 0, kPreviewMaxArea) : 0;
  const int h = animation_ ? std::clamp(animation_->screenHeight, 0, kPreviewMaxArea) : 0;
  laidWidth_ = animation_ ? animation_->screenWidth : 0;
  laidHeight_ = animation_ ? animation_->screenHeight : 0;
  const QSize pictureSize(w + 12, h + 12);
  const QSize bar = toolbar_->sizeHint();
  const int sliderHeight = slider_->sizeHint().height();
  const int contentWidth = std::max(pictureSize.width(), bar.width());
  const int clientWidth = contentWidth + 16;
  const int sliderTop = pictureSize.height() + 16;
  const int labelTop = sliderTop + sliderHeight + 4;
  const int toolbarTop = labelTop + label_->height() + 8;
  picture_->setGeometry((clientWidth - pictureSize.width()) / 2, 8, pictureSize.width(),
                        pictureSize.height());
  slider_->setGeometry((clientWidth - bar.width()) / 2, sliderTop, bar.width(), sliderHeight);
  label_->move((clientWidth - label_->width()) / 2, labelTop);
  toolbar_->setGeometry((clientWidth - bar.width()) / 2, toolbarTop, bar.width(), bar.height());
  // The top-left corner stays where it is.
  setFixedSize(clientWidth, toolbarTop + bar.height() + 8);
  update();
}

// ---- Playing and stepping ----

void PreviewWindow::PreviewShow() {
  const int number = std::max(composer_.Number(), 1);
  label_->setText(QString("Frame %1").arg(number));
  showing_ = true;
  slider_->setValue(number);
  showing_ = false;
  // Once a frame is shown there is something to paint, whichever way it came.
  waitingFirst_ = false;
  picture_->update();
}

void PreviewWindow::StartTimer(int delayMs, bool fromNow) {
  const int64_t now = clock_.nsecsElapsed();
  // Each due time follows the one before, so that the timer's own lateness never adds up; after a stall
  // the count starts again from now.
  if (fromNow || dueNs_ == 0 || now - dueNs_ > kResyncNs) dueNs_ = now;
  dueNs_ += int64_t{delayMs} * 1'000'000;
  const int64_t wait = std::max<int64_t>(dueNs_ - now, 0);
  lastInterval_ = delayMs;
  timer_.start(static_cast<int>(std::min<int64_t>((wait + 999'999) / 1'000'000, 0x7FFFFFFF)));
}

void PreviewWindow::PreviewTick() {
  timer_.stop();
  if (!animation_) return;
  composer_.PreviewAdvance();
  PreviewShow();
  if (composer_.Number() == 0) return;  // no frames: the next change starts the clock again
  emit FrameShown(composer_.Number());
  if (playing_) StartTimer(composer_.CurrentDelayMs(), false);
}

void PreviewWindow::OnTimer() {
  // A long operation pumps events while it changes the document: the preview waits until it is done.
  if (qobject_cast<ProgressDialog*>(QApplication::activeModalWidget())) {
    dueNs_ = 0;
    timer_.start(kHoldMs);
    return;
  }
  waitingFirst_ = false;
  PreviewTick();
}

void PreviewWindow::PictureClicked() {
  // The frame that waits for user input ends on a click; otherwise it ends when its delay runs out.
  if (!playing_ || !composer_.UserInput()) return;
  dueNs_ = 0;
  PreviewTick();
}

void PreviewWindow::PreviewStop() {
  if (!playing_) return;
  timer_.stop();
  Button(kPreviewPlay)->setChecked(false);
  Button(kPreviewStop)->setEnabled(false);
  playing_ = false;
}

void PreviewWindow::Play() {
  if (playing_) {
    PreviewStop();
    return;
  }
  playing_ = true;
  Button(kPreviewPlay)->setChecked(true);
  Button(kPreviewStop)->setEnabled(true);
  StartTimer(1, true);
}

void PreviewWindow::PreviewGoTo(int n) {
  if (!animation_ || n == composer_.Number()) return;
  composer_.PreviewGoTo(n);
  if (n > 0) PreviewShow();
}

void PreviewWindow::PreviewCommand(int id) {
  if (!animation_) return;
  const int count = FrameCount();
  const int number = composer_.Number();
  switch (id) {
    case kPreviewPlay:
      Play();
      break;
    case kPreviewStop:
      PreviewStop();
      break;
    case kPreviewFirst:
      PreviewStop();
      PreviewGoTo(1);
      break;
    case kPreviewPrevious:
      PreviewStop();
      PreviewGoTo(number - 1 < 1 ? count : number - 1);
      break;
    case kPreviewNext:
      PreviewStop();
      PreviewGoTo(number + 1 > count ? 1 : number + 1);
      break;
    case kPreviewLast:
      PreviewStop();
      PreviewGoTo(count);
      break;
    default:
      break;
  }
}

void PreviewWindow::OnSliderAction(int action) {
  if (showing_ || !animation_) return;
  PreviewStop();
  const int count = std::max(FrameCount(), 1);
  // The position has moved already, the value not yet: a step past either end wraps round.
  const int old = slider_->value();
  int target = slider_->sliderPosition();
  if (action == QAbstractSlider::SliderSingleStepAdd && old >= slider_->maximum())
    target = 1;
  else if (action == QAbstractSlider::SliderSingleStepSub && old <= slider_->minimum())
    target = count;
  target = std::clamp(target, 1, count);
  slider_->setSliderPosition(target);
  PreviewGoTo(target);
}

void PreviewWindow::AnimationChanged() {
  if (!animation_) return;
  if (animation_->screenWidth != laidWidth_ || animation_->screenHeight != laidHeight_) PreviewLayout();
  if (FrameCount() != frameCount_) {
    frameCount_ = FrameCount();
    showing_ = true;
    slider_->setRange(1, std::max(frameCount_, 1));
    slider_->setPageStep(std::max(frameCount_ / 5, 1));
    showing_ = false;
  }
  // Composed afresh: from the first frame while playing, else up to the frame number shown.
  composer_.AnimationChanged(playing_);
  if (playing_) {
    dueNs_ = 0;
    PreviewTick();
  } else {
    PreviewShow();
  }
}

// ---- Closing ----

void PreviewWindow::reject() {
  emit CloseRequested();
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  emit CloseRequested();
}

}  // namespace lw::app
