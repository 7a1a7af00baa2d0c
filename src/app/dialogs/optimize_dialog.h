// "Optimize Animation": the techniques of the optimizer, plus the stronger optimizer as "Best (slower)",
// a lossy level and a size to fit under, with the saving of the chosen combination measured on a copy in
// the background as the user chooses. OK hands the measured copy to the caller; Cancel leaves the
// document untouched.
#pragma once

#include <QDialog>
#include <QTimer>

#include "app/dialogs/preview_job.h"
#include "optimize/optimizer.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QSlider;

namespace lw::app {

// Control ids, kept as objectNames.
enum OptimizeControl : int {
  kOptShrinkPalettes = 1083,
  kOptRemoveLocal = 1124,
  kOptCleanMerge = 1073,
  kOptMapToGlobal = 1074,
  kOptShrinkFrames = 1121,
  kOptDuplicates = 1122,
  kOptRemoveFrames = 1125,
  kOptBest = 1130,
  kOptCurrentSize = 1153,
  kOptNewSize = 1154,
  kOptSaving = 1155,
  kOptPercent = 1158,
  kOptBar = 1156,
  kOptStatus = 1157,
  kOptLossy = 1160,
  kOptLossyValue = 1161,
  kOptFitUnder = 1162,
  kOptFitResult = 1163,
};

// What the fit under a size reached, as the dialog words it: "" when no fit was asked.
QString FitText(uint32_t limitBytes, const PreviewResult& r);

class OptimizeDialog : public QDialog {
  Q_OBJECT

 public:
  OptimizeDialog(Animation& a, QWidget* owner);
  ~OptimizeDialog() override;

  // The techniques the boxes stand for, whether or not a box is enabled.
  OptimizeOptions Options() const;
  bool Best() const;
  // The lossy level of the slider (0: no loss); ignored while a size to fit under is given.
  int LossyLevel() const;
  // The size to fit under in bytes, from the field's kilobytes (0: none).
  uint32_t FitUnderBytes() const;
  // Whether the preview is still to come for the newest choice (a run going, or a change waiting to
  // settle before it starts one).
  bool Waiting() const;
  // After OK: the optimized copy to take the document's place (null: optimize the document itself, the
  // copy could not be made).
  AnimationPtr TakeResult() { return std::move(committed_); }
  PreviewJob& Job() { return job_; }
  // Runs since the dialog opened (a choice that cannot change the result starts none).
  int Runs() const { return runs_; }

 public slots:
  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void StartExperiment();
  void LossChanged();
  void RemoveFramesToggled();
  void ExperimentEnded();
  void ShowProgress();
  void Commit();
  void EnableControls();

  Animation& animation_;
  PreviewJob job_;
  QTimer poll_;
  QTimer settle_;  // a slider drag or typing starts one run when it pauses
  QCheckBox* shrinkPalettes_;
  QCheckBox* removeLocal_;
  QRadioButton* cleanMerge_;
  QRadioButton* mapToGlobal_;
  QCheckBox* shrinkFrames_;
  QCheckBox* duplicates_;
  QCheckBox* removeFrames_;
  QCheckBox* best_;
  QSlider* lossy_;
  QLabel* lossyValue_;
  QLineEdit* fitUnder_;
  QLabel* fitResult_;
  QLabel* currentSize_;
  QLabel* newSize_;
  QLabel* saving_;
  QLabel* percent_;
  QProgressBar* bar_;
  QLabel* status_;
  bool anyLocal_ = false;
  bool started_ = false;
  bool okWaiting_ = false;
  bool noCopy_ = false;  // memory ran out for the copy: OK optimizes the document itself
  int runs_ = 0;
  uint32_t documentSize_ = kUnknownFileSize;
  AnimationPtr committed_;
};

}  // namespace lw::app
