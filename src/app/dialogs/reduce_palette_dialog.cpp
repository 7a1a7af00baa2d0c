#include "app/dialogs/reduce_palette_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QToolBar>
#include <algorithm>
#include <utility>

#include "app/dialogs/center_window.h"
#include "app/dialogs/dialog_buttons.h"
#include "app/views/preview_window.h"
#include "color/reduce_palettes.h"
#include "gif/gif_writer.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"

namespace lw::app {
namespace {

// Panes larger than this scroll.
constexpr int kPaneWidth = 360;
constexpr int kPaneHeight = 280;

QLabel* Text(int id, bool bold = false) {
  auto* label = new QLabel;
  label->setObjectName(QString::number(id));
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  return label;
}

QString ColorsText(int bits) {
  return QString::asprintf("(%d colors)", 1 << bits);
}

QString FileSizeText(uint32_t size) {
  return size == kUnknownFileSize ? QString() : "File Size: " + SizeText(size);
}

}  // namespace

QString SavingsLine(uint32_t full, uint32_t reduced) {
  if (full == kUnknownFileSize || reduced == kUnknownFileSize || full == 0) return {};
  if (reduced >= full) return "Savings: None";
  return "Savings: " + SizeText(full - reduced) + " " + SavingPercentText(full, reduced);
}

// ---- Pane ----

ComposedPane::ComposedPane(QWidget* parent) : QWidget(parent) {}

void ComposedPane::SetAnimation(const Animation* a, int n) {
  QColor window = palette().color(QPalette::Window);
  composer_.SetBackground(MakeScreenPixel(static_cast<uint8_t>(window.red()),
                                          static_cast<uint8_t>(window.green()),
                                          static_cast<uint8_t>(window.blue())));
  composer_.SetPreviewAnimation(a);
  if (a) {
    setFixedSize(std::max(1, a->screenWidth), std::max(1, a->screenHeight));
    composer_.PreviewGoTo(n);
  }
  update();
}

void ComposedPane::GoTo(int n) {
  if (!composer_.PreviewAnimation() || n == composer_.Number()) return;
  composer_.PreviewGoTo(n);
  update();
}

QImage ComposedPane::Picture() const {
  const PreviewPicture& p = composer_.Picture();
  if (!composer_.PreviewAnimation() || !p.Exists()) return {};
  return QImage(reinterpret_cast<const uchar*>(p.Pixels()), p.Width(), p.Height(), p.Width() * 4,
                QImage::Format_RGB32);
}

void ComposedPane::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QImage picture = Picture();
  if (picture.isNull())
    painter.fillRect(rect(), palette().color(QPalette::Window));
  else
    painter.drawImage(0, 0, picture);
}

// ---- Dialog ----

int ReducePaletteDialog::LargestPalette(const Animation& a) {
  int largest = a.globalPalette ? a.globalPalette->Count() : 0;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f))
    if (f->localPalette) largest = std::max(largest, f->localPalette->Count());
  return largest;
}

bool ReducePaletteDialog::CanReduce(const Animation& a) {
  if (LargestPalette(a) >= 9) return true;
  Hooks().MessageBox("Non-reducible Palette",
                     "The animation's palette contains 8 or fewer colors and cannot be further reduced.",
                     MsgButtons::Ok, MsgIcon::Exclamation);
  return false;
}

ReducePaletteDialog::ReducePaletteDialog(Animation& a, QWidget* owner)
    : QDialog(owner),
      animation_(a),
      job_(kJobReducePreview),
      left_(new ComposedPane),
      right_(new ComposedPane),
      leftArea_(new QScrollArea),
      rightArea_(new QScrollArea),
      fullColors_(Text(kReduceFullColors)),
      reducedColors_(Text(kReduceReducedColors)),
      fullSize_(Text(kReduceFullSize, true)),
      reducedSize_(Text(kReduceReducedSize, true)),
      savings_(Text(kReduceSavings)),
      frameLabel_(Text(kReduceFrameLabel)),
      slider_(new QSlider(Qt::Horizontal)),
      toolbar_(new QToolBar),
      combo_(new QComboBox),
      dither_(new QCheckBox("Dither to palette")),
      bar_(new QProgressBar),
      status_(Text(kReduceStatus)) {
  setWindowTitle("Reduce Palette");
  setObjectName("ReducePalette");
  auto* grid = new QGridLayout(this);
  auto heading = [](const char* text, QLabel* colors) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(text));
    row->addWidget(colors);
    row->addStretch(1);
    return row;
  };
  grid->addLayout(heading("Full Palette", fullColors_), 0, 0);
  grid->addLayout(heading("Reduced Palette", reducedColors_), 0, 1);
  int paneWidth = std::min(kPaneWidth, std::max(1, a.screenWidth)) + 2 * leftArea_->frameWidth();
  int paneHeight = std::min(kPaneHeight, std::max(1, a.screenHeight)) + 2 * leftArea_->frameWidth();
  int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const std::pair<QScrollArea*, ComposedPane*> sides[] = {{leftArea_, left_}, {rightArea_, right_}};
  for (const auto& [area, pane] : sides) {
    area->setObjectName(QString::number(pane == left_ ? kReduceLeftPane : kReduceRightPane));
    area->setWidget(pane);
    area->setAlignment(Qt::AlignCenter);
    area->setFixedSize(paneWidth + (a.screenHeight > kPaneHeight ? bar : 0),
                       paneHeight + (a.screenWidth > kPaneWidth ? bar : 0));
  }
  grid->addWidget(leftArea_, 1, 0);
  grid->addWidget(rightArea_, 1, 1);
  // The panes scroll together.
  const std::pair<QScrollArea*, QScrollArea*> links[] = {{leftArea_, rightArea_}, {rightArea_, leftArea_}};
  for (const auto& [from, to] : links) {
    connect(from->horizontalScrollBar(), &QScrollBar::valueChanged, to->horizontalScrollBar(),
            &QScrollBar::setValue);
    connect(from->verticalScrollBar(), &QScrollBar::valueChanged, to->verticalScrollBar(),
            &QScrollBar::setValue);
  }
  grid->addWidget(fullSize_, 2, 0);
  grid->addWidget(reducedSize_, 2, 1);
  grid->addWidget(savings_, 3, 1);

  auto* frameRow = new QHBoxLayout;
  frameRow->addWidget(frameLabel_);
  slider_->setObjectName(QString::number(kReduceSlider));
  slider_->setRange(1, std::max(1, a.frameCount));
  slider_->setSingleStep(1);
  slider_->setPageStep(1);
  frameRow->addWidget(slider_, 1);
  toolbar_->setObjectName("1");
  for (int id : {kPreviewPlay, kPreviewStop, kPreviewFirst, kPreviewPrevious, kPreviewNext, kPreviewLast}) {
    QAction* action = toolbar_->addAction(PreviewButtonIcon(id), QString());
    action->setObjectName(QString::number(id));
    connect(action, &QAction::triggered, this, [this, id] { Command(id); });
  }
  frameRow->addWidget(toolbar_);
  grid->addLayout(frameRow, 4, 0, 1, 2);

  auto* choiceRow = new QHBoxLayout;
  choiceRow->addWidget(new QLabel("Number of colors in reduced palette:"));
  combo_->setObjectName(QString::number(kReduceCombo));
  choiceRow->addWidget(combo_);
  dither_->setObjectName(QString::number(kReduceDither));
  choiceRow->addWidget(dither_);
  choiceRow->addStretch(1);
  grid->addLayout(choiceRow, 5, 0, 1, 2);
  bar_->setObjectName(QString::number(kReduceBar));
  bar_->setTextVisible(false);
  bar_->setRange(0, 1);
  bar_->setValue(0);
  grid->addWidget(bar_, 6, 0);
  grid->addWidget(status_, 6, 1);
  grid->addWidget(OkCancelButtons(this), 7, 0, 1, 2);

  // One item per depth below what the largest palette needs, down to 8 colours. A stored depth without an
  // item (the settings may hold anything) selects the first.
  int needed = BitsForCount(LargestPalette(a));
  for (int b = needed - 1; b >= 3; --b)
    combo_->addItem(QString::asprintf("%d  (%d bits/pixel)", 1 << b, b), b);
  uint32_t stored = GetPreference(kPrefReduce);
  int storedBits = static_cast<int>(stored & 0xFFFF);
  int item = combo_->findData(storedBits);
  combo_->setCurrentIndex(item >= 0 ? item : 0);
  dither_->setChecked(stored & 0x10000);
  fullColors_->setText(ColorsText(needed));

  left_->SetAnimation(&a, 1);
  ShowFrame(1);
  connect(slider_, &QSlider::valueChanged, this, &ReducePaletteDialog::ShowFrame);
  connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
    // Single steps wrap round at both ends.
    int n = slider_->value(), last = slider_->maximum();
    if (action == QAbstractSlider::SliderSingleStepAdd && n == last && slider_->sliderPosition() == last)
      slider_->setSliderPosition(1);
    else if (action == QAbstractSlider::SliderSingleStepSub && n == 1 && slider_->sliderPosition() == 1)
      slider_->setSliderPosition(last);
  });
  connect(combo_, &QComboBox::currentIndexChanged, this, &ReducePaletteDialog::RunReduction);
  connect(dither_, &QCheckBox::toggled, this, &ReducePaletteDialog::RunReduction);
  connect(&job_, &PreviewJob::Finished, this, &ReducePaletteDialog::ReductionEnded);
  poll_.setInterval(50);
  connect(&poll_, &QTimer::timeout, this, &ReducePaletteDialog::ShowProgress);
  playTimer_.setSingleShot(true);
  connect(&playTimer_, &QTimer::timeout, this, &ReducePaletteDialog::PlayTick);
  adjustSize();
  CenterWindow(this, owner);
}

ReducePaletteDialog::~ReducePaletteDialog() {
  if (okWaiting_) QApplication::restoreOverrideCursor();
  right_->SetAnimation(nullptr, 0);
  job_.Stop();
}

void ReducePaletteDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  documentSize_ = animation_.fileSize.load();
  fullSize_->setText(FileSizeText(documentSize_));
  RunReduction();
}

void ReducePaletteDialog::ShowFrame(int n) {
  n = std::clamp(n, 1, std::max(1, animation_.frameCount));
  frameLabel_->setText(QString::asprintf("Frame %d", n));
  if (slider_->value() != n) slider_->setValue(n);
  left_->GoTo(n);
  right_->GoTo(n);
}

void ReducePaletteDialog::Command(int id) {
  int count = std::max(1, animation_.frameCount), n = slider_->value();
  if (id != kPreviewPlay) playTimer_.stop();
  switch (id) {
    case kPreviewPlay:
      if (!playTimer_.isActive()) PlayTick();
      break;
    case kPreviewFirst:
      ShowFrame(1);
      break;
    case kPreviewPrevious:
      ShowFrame(n > 1 ? n - 1 : count);
      break;
    case kPreviewNext:
      ShowFrame(n < count ? n + 1 : 1);
      break;
    case kPreviewLast:
      ShowFrame(count);
      break;
    default:
      break;
  }
}

void ReducePaletteDialog::PlayTick() {
  int count = std::max(1, animation_.frameCount), n = slider_->value();
  ShowFrame(n < count ? n + 1 : 1);
  const Frame* f = NthFrame(animation_, slider_->value() - 1);
  int delay = f && f->delay ? static_cast<int>(f->delay) * 10 : 10;
  playTimer_.start(delay);
}

void ReducePaletteDialog::RunReduction() {
  if (!started_ || combo_->count() == 0) return;
  int bits = combo_->currentData().toInt();
  bool dither = dither_->isChecked();
  if (runs_ > 0 && bits == lastBits_ && dither == lastDither_) return;
  lastBits_ = bits;
  lastDither_ = dither;
  ++runs_;
  reducedColors_->clear();
  reducedSize_->clear();
  savings_->clear();
  // The pane lets go of the copy the new run replaces.
  right_->SetAnimation(nullptr, 0);
  Animation* doc = &animation_;
  // Every run reduces a fresh copy of the document, never the previous result.
  job_.Start([doc, bits, dither](ProgressRecord* progress) {
    PreviewResult r;
    SetProgressText(progress, "Duplicating Animation...");
    r.copy = CopyAnimation(*doc, progress);
    if (!r.copy) {
      r.outOfMemory = true;
      return r;
    }
    if (!RunGoesOn(progress)) return r;
    SetProgressText(progress, "Reducing Palette(s)...");
    if (!ReducePalettes(*r.copy, bits, dither, progress)) {
      r.copy.reset();
      return r;
    }
    if (!RunGoesOn(progress)) return r;
    SetProgressText(progress, "Calculating File Size...");
    r.size = ComputeFileSize(*r.copy, true, progress);
    r.documentSize = ComputeFileSize(*doc, false, progress);
    return r;
  });
  poll_.start();
  ShowProgress();
}

void ReducePaletteDialog::ShowProgress() {
  ShowJobProgress(job_, poll_, status_, bar_);
}

void ReducePaletteDialog::ReductionEnded() {
  ShowProgress();
  PreviewResult& r = job_.Result();
  if (r.outOfMemory) {
    ShowError("Not enough memory to reduce palette(s)");
    reject();
    return;
  }
  if (r.documentSize != kUnknownFileSize) documentSize_ = r.documentSize;
  fullSize_->setText(FileSizeText(documentSize_));
  if (r.copy) {
    right_->SetAnimation(r.copy.get(), slider_->value());
    reducedColors_->setText(ColorsText(lastBits_));
    reducedSize_->setText(FileSizeText(r.size));
    savings_->setText(SavingsLine(documentSize_, r.size));
  }
  if (okWaiting_) Commit();
}

void ReducePaletteDialog::accept() {
  playTimer_.stop();
  if (job_.IsBusy() || !job_.HasResult()) {
    // OK takes the result of the run under way once it ends; nothing else acts meanwhile.
    if (!okWaiting_) QApplication::setOverrideCursor(Qt::WaitCursor);
    okWaiting_ = true;
    for (QWidget* w : {static_cast<QWidget*>(combo_), static_cast<QWidget*>(dither_)}) w->setEnabled(false);
    if (auto* ok = findChild<QPushButton*>("1")) ok->setEnabled(false);
    if (!job_.IsBusy()) {
      started_ = true;
      runs_ = 0;
      RunReduction();
    }
    return;
  }
  Commit();
}

void ReducePaletteDialog::Commit() {
  if (okWaiting_) {
    QApplication::restoreOverrideCursor();
    okWaiting_ = false;
  }
  uint32_t setting = static_cast<uint32_t>(lastBits_) | (lastDither_ ? 0x10000u : 0u);
  SetPreference(kPrefReduce, setting);
  right_->SetAnimation(nullptr, 0);
  committed_ = std::move(job_.Result().copy);
  done(committed_ ? 1 : 0);
}

void ReducePaletteDialog::reject() {
  playTimer_.stop();
  if (okWaiting_) {
    QApplication::restoreOverrideCursor();
    okWaiting_ = false;
  }
  right_->SetAnimation(nullptr, 0);
  job_.Stop();
  QDialog::reject();
}

}  // namespace lw::app
