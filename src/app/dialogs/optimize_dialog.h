// "Optimize Animation": the techniques of the optimizer, plus the stronger optimizer as "Best (slower)",
// with the saving of the chosen combination measured on a copy in the background as the user chooses.
// OK hands the measured copy to the caller; Cancel leaves the document untouched.
#pragma once

#include <QDialog>
#include <QTimer>

#include "app/dialogs/preview_job.h"
#include "optimize/optimizer.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QRadioButton;

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
};

class OptimizeDialog : public QDialog {
  Q_OBJECT

 public:
  OptimizeDialog(Animation& a, QWidget* owner);
  ~OptimizeDialog() override;

  // The techniques the boxes stand for, whether or not a box is enabled.
  OptimizeOptions Options() const;
  bool Best() const;
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
  void RemoveFramesToggled();
  void ExperimentEnded();
  void ShowProgress();
  void Commit();
  void EnableControls();

  Animation& animation_;
  PreviewJob job_;
  QTimer poll_;
  QCheckBox* shrinkPalettes_;
  QCheckBox* removeLocal_;
  QRadioButton* cleanMerge_;
  QRadioButton* mapToGlobal_;
  QCheckBox* shrinkFrames_;
  QCheckBox* duplicates_;
  QCheckBox* removeFrames_;
  QCheckBox* best_;
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
