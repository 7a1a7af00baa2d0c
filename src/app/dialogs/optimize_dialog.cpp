#include "app/dialogs/optimize_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/dialogs/center_window.h"
#include "app/dialogs/dialog_buttons.h"
#include "gif/gif_writer.h"
#include "model/preferences.h"
#include "optimize/best.h"
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
  if (auto* ok = findChild<QPushButton*>("1")) ok->setEnabled(!okWaiting_);
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
  newSize_->clear();
  saving_->clear();
  percent_->clear();
  ++runs_;
  Animation* doc = &animation_;
  OptimizeOptions options = Options();
  bool best = Best();
  job_.Start([doc, options, best](ProgressRecord* progress) {
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
    SetProgressText(progress, "Calculating file size...");
    r.size = ComputeFileSize(*r.copy, true, progress);
    r.documentSize = ComputeFileSize(*doc, false, progress);
    return r;
  });
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
  if (!job_.IsBusy()) {
    poll_.stop();
    status_->clear();
    bar_->setRange(0, 1);
    bar_->setValue(0);
    return;
  }
  PreviewProgress p = job_.Progress();
  status_->setText(p.text);
  bar_->setRange(0, static_cast<int>(std::max<uint32_t>(p.range, 1)));
  bar_->setValue(static_cast<int>(std::min(p.position, std::max<uint32_t>(p.range, 1))));
}

void OptimizeDialog::ExperimentEnded() {
  ShowProgress();
  PreviewResult& r = job_.Result();
  if (r.outOfMemory || !r.copy) {
    noCopy_ = true;
    ShowError("%s", kNoMemoryText);
  } else {
    if (r.documentSize != kUnknownFileSize) documentSize_ = r.documentSize;
    currentSize_->setText(SizeText(documentSize_));
    newSize_->setText(SizeText(r.size));
    saving_->setText(SavingText(documentSize_, r.size));
    percent_->setText(SavingPercentText(documentSize_, r.size));
  }
  if (okWaiting_) Commit();
}

void OptimizeDialog::accept() {
  if (!noCopy_ && (job_.IsBusy() || !job_.HasResult())) {
    // OK waits for the run under way and then commits its result.
    if (!okWaiting_) QApplication::setOverrideCursor(Qt::WaitCursor);
    okWaiting_ = true;
    EnableControls();
    if (!job_.IsBusy()) {
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
  if (r.size != kUnknownFileSize && r.size == documentSize_) {
    // The optimized file would be exactly as large: nothing worth a change.
    done(0);
    return;
  }
  committed_ = std::move(r.copy);
  done(committed_ ? 1 : 0);
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
