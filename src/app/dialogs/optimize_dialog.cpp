#include "app/dialogs/optimize_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/dialogs/center_window.h"
#include "app/dialogs/dialog_buttons.h"
#include "gif/gif_writer.h"
#include "io/files.h"
#include "model/preferences.h"
#include "optimize/best.h"
#include "optimize/lossy.h"
#include "platform/ui_hooks.h"

namespace lw::app {
namespace {

constexpr const char* kNoMemoryText =
    "There is insufficient memory to experiment with optimization settings.\n\nTo optimize the animation, "
    "please choose the settings you desire and hit OK.";

template <typename Box>
Box* Control(int id, const char* text) {
  auto* box = new Box(text);
  box->setObjectName(QString::number(id));
  return box;
}

// The largest size the field takes, in kilobytes: what a saved size can be.
constexpr int kMaxFitKilobytes = static_cast<int>(0xFFFFFFFEu / 1024);

QString LossyValueText(int level) {
  return level ? QString::number(level) : QString("Off");
}

QLabel* Value(int id) {
  auto* label = new QLabel;
  label->setObjectName(QString::number(id));
  label->setMinimumWidth(110);
  return label;
}

}  // namespace

OptimizeDialog::OptimizeDialog(Animation& a, QWidget* owner)
    : QDialog(owner),
      animation_(a),
      job_(kJobOptimizePreview),
      shrinkPalettes_(Control<QCheckBox>(kOptShrinkPalettes, "Shrink palettes (global and local)")),
      removeLocal_(Control<QCheckBox>(kOptRemoveLocal, "Remove local palettes")),
      cleanMerge_(Control<QRadioButton>(kOptCleanMerge, "Only remove if clean merge")),
      mapToGlobal_(Control<QRadioButton>(kOptMapToGlobal, "Map to global")),
      shrinkFrames_(Control<QCheckBox>(kOptShrinkFrames, "Shrink frames to smallest needed rectangle")),
      duplicates_(Control<QCheckBox>(kOptDuplicates, "Replace duplicate pixels with transparency")),
      removeFrames_(Control<QCheckBox>(kOptRemoveFrames, "Remove unnecessary frames")),
      best_(Control<QCheckBox>(kOptBest, "Best (slower)")),
      lossy_(new QSlider(Qt::Horizontal)),
      lossyValue_(new QLabel),
      fitUnder_(new QLineEdit),
      fitResult_(new QLabel),
      currentSize_(Value(kOptCurrentSize)),
      newSize_(Value(kOptNewSize)),
      saving_(Value(kOptSaving)),
      percent_(Value(kOptPercent)),
      bar_(new QProgressBar),
      status_(Value(kOptStatus)) {
  setWindowTitle("Optimize Animation");
  setObjectName("OptimizeAnimation");
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(
      "Optimization gains can be made in several different ways. Which combination of techniques would you "
      "like to employ?");
  intro->setWordWrap(true);
  layout->addWidget(intro);

  auto* palettes = new QGroupBox("Palettes");
  auto* pg = new QGridLayout(palettes);
  pg->addWidget(shrinkPalettes_, 0, 0, 1, 2);
  pg->addWidget(removeLocal_, 1, 0, 1, 2);
  pg->addWidget(cleanMerge_, 2, 1);
  pg->addWidget(mapToGlobal_, 3, 1);
  pg->setColumnMinimumWidth(0, 16);
  layout->addWidget(palettes);
  auto* frames = new QGroupBox("Frame reduction");
  auto* fg = new QGridLayout(frames);
  fg->addWidget(shrinkFrames_, 0, 0, 1, 2);
  fg->addWidget(duplicates_, 1, 1);
  fg->addWidget(removeFrames_, 2, 1);
  fg->setColumnMinimumWidth(0, 16);
  layout->addWidget(frames);
  best_->setToolTip("Encodes the animation afresh from the pictures it shows, trying every technique");
  layout->addWidget(best_);

  // Loss on top of the techniques: each pixel may take a colour up to the level away where that
  // compresses better; or the least loss (then fewer colours) that brings the file under a size.
  auto* loss = new QGroupBox("Lossy compression");
  auto* lg = new QGridLayout(loss);
  lossy_->setObjectName(QString::number(kOptLossy));
  lossy_->setRange(0, kMaxLossyLevel);
  lossy_->setPageStep(10);
  lossy_->setTracking(false);
  lossy_->setToolTip("The colour error a pixel may take where that compresses better (0: none)");
  lossyValue_->setObjectName(QString::number(kOptLossyValue));
  lossyValue_->setMinimumWidth(30);
  lossyValue_->setText(LossyValueText(0));
  fitUnder_->setObjectName(QString::number(kOptFitUnder));
  fitUnder_->setValidator(new QIntValidator(1, kMaxFitKilobytes, fitUnder_));
  fitUnder_->setPlaceholderText("Off");
  fitUnder_->setMaximumWidth(90);
  fitUnder_->setToolTip(
      "Finds the least loss, then the fewest colours taken away, that makes the file at most "
      "this many kilobytes (1 KB = 1,024 bytes); empty: no limit");
  fitResult_->setObjectName(QString::number(kOptFitResult));
  fitResult_->setWordWrap(true);
  lg->addWidget(new QLabel("Lossy:"), 0, 0);
  lg->addWidget(lossy_, 0, 1, 1, 2);
  lg->addWidget(lossyValue_, 0, 3);
  lg->addWidget(new QLabel("Fit under:"), 1, 0);
  lg->addWidget(fitUnder_, 1, 1);
  lg->addWidget(new QLabel("KB"), 1, 2);
  lg->addWidget(fitResult_, 2, 0, 1, 4);
  lg->setColumnStretch(2, 1);
  layout->addWidget(loss);

  auto* sizes = new QGridLayout;
  sizes->addWidget(new QLabel("Current Size:"), 0, 0);
  sizes->addWidget(currentSize_, 0, 1);
  sizes->addWidget(new QLabel("Optimized Size:"), 1, 0);
  sizes->addWidget(newSize_, 1, 1);
  sizes->addWidget(new QLabel("Savings:"), 2, 0);
  sizes->addWidget(saving_, 2, 1);
  sizes->addWidget(percent_, 2, 2);
  sizes->setColumnStretch(3, 1);
  layout->addLayout(sizes);
  bar_->setObjectName(QString::number(kOptBar));
  bar_->setTextVisible(false);
  bar_->setRange(0, 1);
  bar_->setValue(0);
  layout->addWidget(bar_);
  layout->addWidget(status_);
  layout->addWidget(OkCancelButtons(this));

  // The boxes from the stored techniques; a box whose parent technique is off is disabled but keeps its
  // state.
  uint32_t stored = GetPreference(kPrefOptimize);
  shrinkPalettes_->setChecked(stored & kShrinkPalettes);
  mapToGlobal_->setChecked(stored & kMapToGlobal);
  cleanMerge_->setChecked(!(stored & kMapToGlobal));
  removeLocal_->setChecked(stored & kRemoveLocalPalettes);
  shrinkFrames_->setChecked(stored & kShrinkFrames);
  duplicates_->setChecked(stored & kDuplicatesToTransparency);
  removeFrames_->setChecked(stored & kRemoveUnneededFrames);
  for (const Frame* f = FirstFrame(a); f && !anyLocal_; f = NextFrame(f))
    anyLocal_ = f->localPalette != nullptr;
  EnableControls();

  for (QCheckBox* box : {shrinkPalettes_, duplicates_, best_})
    connect(box, &QCheckBox::toggled, this, [this] {
      EnableControls();
      StartExperiment();
    });
  for (QCheckBox* box : {removeLocal_, shrinkFrames_})
    connect(box, &QCheckBox::toggled, this, [this] {
      EnableControls();
      StartExperiment();
    });
  for (QRadioButton* radio : {cleanMerge_, mapToGlobal_})
    connect(radio, &QRadioButton::toggled, this, [this](bool on) {
      if (on) StartExperiment();
    });
  connect(removeFrames_, &QCheckBox::toggled, this, &OptimizeDialog::RemoveFramesToggled);
  // The slider's value shows as it moves; the run starts once it or the typing pauses.
  connect(lossy_, &QSlider::sliderMoved, this,
          [this](int level) { lossyValue_->setText(LossyValueText(level)); });
  connect(lossy_, &QSlider::valueChanged, this, &OptimizeDialog::LossChanged);
  connect(fitUnder_, &QLineEdit::textChanged, this, &OptimizeDialog::LossChanged);
  settle_.setSingleShot(true);
  settle_.setInterval(300);
  connect(&settle_, &QTimer::timeout, this, &OptimizeDialog::StartExperiment);
  connect(&job_, &PreviewJob::Finished, this, &OptimizeDialog::ExperimentEnded);
  poll_.setInterval(50);
  connect(&poll_, &QTimer::timeout, this, &OptimizeDialog::ShowProgress);
  CenterWindow(this, owner);
}

OptimizeDialog::~OptimizeDialog() {
  if (okWaiting_) QApplication::restoreOverrideCursor();
  job_.Stop();
}

OptimizeOptions OptimizeDialog::Options() const {
  OptimizeOptions options = 0;
  if (shrinkFrames_->isChecked()) options |= kShrinkFrames;
  if (duplicates_->isChecked()) options |= kDuplicatesToTransparency;
  if (removeFrames_->isChecked()) options |= kRemoveUnneededFrames;
  if (removeLocal_->isChecked()) options |= kRemoveLocalPalettes;
  if (mapToGlobal_->isChecked()) options |= kMapToGlobal;
  if (shrinkPalettes_->isChecked()) options |= kShrinkPalettes;
  return options;
}

bool OptimizeDialog::Best() const {
  return best_->isChecked();
}

int OptimizeDialog::LossyLevel() const {
  return lossy_->value();
}

uint32_t OptimizeDialog::FitUnderBytes() const {
  bool ok = false;
  int kilobytes = fitUnder_->text().toInt(&ok);
  return ok && kilobytes > 0 && kilobytes <= kMaxFitKilobytes ? static_cast<uint32_t>(kilobytes) * 1024u : 0;
}

bool OptimizeDialog::Waiting() const {
  return settle_.isActive() || job_.IsBusy() || !job_.HasResult();
}

void OptimizeDialog::LossChanged() {
  lossyValue_->setText(LossyValueText(lossy_->value()));
  EnableControls();
  if (!started_ || noCopy_) return;
  // The shown result is for the old choice from now on.
  newSize_->clear();
  saving_->clear();
  percent_->clear();
  fitResult_->clear();
  settle_.start();
}

void OptimizeDialog::EnableControls() {
  bool own = !best_->isChecked() && !okWaiting_;
  shrinkPalettes_->setEnabled(own);
  removeLocal_->setEnabled(own && anyLocal_);
  cleanMerge_->setEnabled(own && anyLocal_ && removeLocal_->isChecked());
  mapToGlobal_->setEnabled(own && anyLocal_ && removeLocal_->isChecked());
  shrinkFrames_->setEnabled(own);
  duplicates_->setEnabled(own && shrinkFrames_->isChecked());
  removeFrames_->setEnabled(own && shrinkFrames_->isChecked());
  best_->setEnabled(!okWaiting_);
  // The fit finds its own level; it needs copies to try, so not when memory ran out for one.
  fitUnder_->setEnabled(!okWaiting_ && !noCopy_);
  lossy_->setEnabled(!okWaiting_ && (FitUnderBytes() == 0 || noCopy_));
  lossyValue_->setEnabled(lossy_->isEnabled());
  // A fit that could not be reached is no result to take.
  const PreviewResult& shown = job_.Result();
  bool unreached = job_.HasResult() && shown.fitLimit && !shown.fit.fits;
  if (auto* ok = findChild<QPushButton*>("1")) ok->setEnabled(!okWaiting_ && !unreached);
}

void OptimizeDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  // The document's size as the status bar last had it; the experiment measures it when unknown.
  documentSize_ = animation_.fileSize.load();
  currentSize_->setText(SizeText(documentSize_));
  StartExperiment();
}

void OptimizeDialog::StartExperiment() {
  if (!started_ || noCopy_) return;
  settle_.stop();
  newSize_->clear();
  saving_->clear();
  percent_->clear();
  fitResult_->clear();
  ++runs_;
  Animation* doc = &animation_;
  OptimizeOptions options = Options();
  bool best = Best();
  uint32_t fitLimit = FitUnderBytes();
  int lossy = fitLimit ? 0 : LossyLevel();
  job_.Start([doc, options, best, fitLimit, lossy](ProgressRecord* progress) {
    PreviewResult r;
    SetProgressText(progress, "Copying animation...");
    r.copy = CopyAnimation(*doc, progress);
    if (!r.copy) {
      r.outOfMemory = true;
      return r;
    }
    if (!RunGoesOn(progress)) return r;
    if (best)
      OptimizeAnimationBest(*r.copy, progress);
    else
      OptimizeAnimation(*r.copy, options, progress);
    if (!RunGoesOn(progress)) return r;
    // The loss comes after the lossless techniques, as the command line's optimize does it.
    if (fitLimit) {
      SetProgressText(progress, "Fitting under the size...");
      r.fitLimit = fitLimit;
      r.fit = FitToSize(r.copy, fitLimit, progress);
    } else if (lossy) {
      SetProgressText(progress, "Applying lossy compression...");
      LossyAnimation(*r.copy, lossy, progress);
    }
    if (!RunGoesOn(progress)) return r;
    SetProgressText(progress, "Calculating file size...");
    // The fit measured its result already.
    r.size = ComputeFileSize(*r.copy, fitLimit == 0, progress);
    r.documentSize = ComputeFileSize(*doc, false, progress);
    return r;
  });
  // A fit that could not be reached no longer holds OK back: the new run decides.
  EnableControls();
  poll_.start();
  ShowProgress();
}

void OptimizeDialog::RemoveFramesToggled() {
  const PreviewResult& shown = job_.Result();
  if (best_->isChecked() || job_.IsBusy() || !job_.HasResult() || !shown.copy) {
    StartExperiment();
    return;
  }
  // The result shown stays right when the box cannot change it: no frame was removed, or no frame was
  // cut down to a single pixel for changing nothing.
  if (!removeFrames_->isChecked()) {
    status_->setText("Checking for removed frames...");
    bool removed = shown.copy->frameCount != animation_.frameCount;
    status_->clear();
    if (removed) StartExperiment();
    return;
  }
  status_->setText("Checking for removable frames...");
  bool removable = false;
  for (const Frame* f = FirstFrame(*shown.copy); f && !removable; f = NextFrame(f))
    removable = f->width == 1 && f->height == 1;
  status_->clear();
  if (removable) StartExperiment();
}

void OptimizeDialog::ShowProgress() {
  ShowJobProgress(job_, poll_, status_, bar_);
}

void OptimizeDialog::ExperimentEnded() {
  ShowProgress();
  PreviewResult& r = job_.Result();
  if (r.outOfMemory || !r.copy) {
    noCopy_ = true;
    fitUnder_->clear();
    ShowError("%s", kNoMemoryText);
  } else {
    if (r.documentSize != kUnknownFileSize) documentSize_ = r.documentSize;
    currentSize_->setText(SizeText(documentSize_));
    newSize_->setText(SizeText(r.size));
    saving_->setText(SavingText(documentSize_, r.size));
    percent_->setText(SavingPercentText(documentSize_, r.size));
    fitResult_->setText(FitText(r.fitLimit, r));
  }
  EnableControls();
  if (okWaiting_) Commit();
}

void OptimizeDialog::accept() {
  if (!noCopy_ && Waiting()) {
    // OK waits for the run under way and then commits its result.
    if (!okWaiting_) QApplication::setOverrideCursor(Qt::WaitCursor);
    okWaiting_ = true;
    EnableControls();
    if (settle_.isActive() || !job_.IsBusy()) {
      started_ = true;
      StartExperiment();
    }
    return;
  }
  Commit();
}

void OptimizeDialog::Commit() {
  if (okWaiting_) {
    QApplication::restoreOverrideCursor();
    okWaiting_ = false;
  }
  SetPreference(kPrefOptimize, Options());
  if (noCopy_) {
    done(1);
    return;
  }
  PreviewResult& r = job_.Result();
  if (r.fitLimit && !r.fit.fits) {
    // The size asked for cannot be reached: the dialog stays for another choice.
    EnableControls();
    return;
  }
  if (r.size != kUnknownFileSize && r.size == documentSize_) {
    // The optimized file would be exactly as large: nothing worth a change.
    done(0);
    return;
  }
  committed_ = std::move(r.copy);
  done(committed_ ? 1 : 0);
}

QString FitText(uint32_t limitBytes, const PreviewResult& r) {
  if (!limitBytes) return {};
  const QString limit = QString::fromStdString(FormatThousands(limitBytes / 1024)) + " KB";
  // The loss it took: the level, and the palettes' colours when they had to be reduced as well.
  QString loss = QString("lossy %1").arg(r.fit.level);
  if (r.fit.bits < 8) loss += QString(" and palettes of %1 colours").arg(1 << r.fit.bits);
  if (!r.fit.fits)
    return QString("Cannot fit under %1: the smallest reached is %2 (%3).")
        .arg(limit, SizeText(r.size), loss);
  if (r.fit.level == 0 && r.fit.bits == 8) return QString("Fits under %1 without loss.").arg(limit);
  return QString("Fits under %1 with %2, mean PSNR %3 dB.").arg(limit, loss).arg(r.fit.psnr, 0, 'f', 2);
}

void OptimizeDialog::reject() {
  if (okWaiting_) {
    QApplication::restoreOverrideCursor();
    okWaiting_ = false;
  }
  job_.Stop();
  QDialog::reject();
}

}  // namespace lw::app
