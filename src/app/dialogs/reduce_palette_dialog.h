// "Reduce Palette": the animation before and after its palettes are reduced to a chosen number of colours,
// side by side and stepped or played together, with both file sizes and the saving. Each choice reduces a
// fresh copy of the document in the background; OK hands the copy of the last choice to the caller.
#pragma once

#include <QDialog>
#include <QScrollArea>
#include <QTimer>

#include "app/dialogs/preview_job.h"
#include "edit/preview_composer.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QSlider;
class QToolBar;

namespace lw::app {

enum ReduceControl : int {
  kReduceLeftPane = 1040,
  kReduceRightPane = 1041,
  kReduceFullColors = 1169,
  kReduceReducedColors = 1170,
  kReduceFullSize = 1171,
  kReduceReducedSize = 1172,
  kReduceSavings = 1173,
  kReduceFrameLabel = 1098,
  kReduceSlider = 1100,
  kReduceCombo = 1174,
  kReduceDither = 1175,
  kReduceBar = 1156,
  kReduceStatus = 1157,
};

// "Savings: %s bytes (%.1f%%)", "Savings: None" when the reduced file is not smaller, empty when either
// size is unknown.
QString SavingsLine(uint32_t full, uint32_t reduced);

// The composed picture of one side, in a scroll area of its own.
class ComposedPane : public QWidget {
  Q_OBJECT

 public:
  explicit ComposedPane(QWidget* parent = nullptr);
  // Another animation (or none), shown at frame n (1-based).
  void SetAnimation(const Animation* a, int n);
  void GoTo(int n);
  const Animation* Shown() const { return composer_.PreviewAnimation(); }
  QImage Picture() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PreviewComposer composer_;
};

class ReducePaletteDialog : public QDialog {
  Q_OBJECT

 public:
  // The largest palette's entry count over the global and every local palette.
  static int LargestPalette(const Animation& a);
  // Whether the animation has a palette to reduce; says why not in a message box when it has none.
  static bool CanReduce(const Animation& a);

  ReducePaletteDialog(Animation& a, QWidget* owner);
  ~ReducePaletteDialog() override;

  // After OK: the reduced copy that takes the document's place.
  AnimationPtr TakeResult() { return std::move(committed_); }
  PreviewJob& Job() { return job_; }
  QComboBox* Combo() const { return combo_; }
  QCheckBox* Dither() const { return dither_; }
  ComposedPane* Left() const { return left_; }
  ComposedPane* Right() const { return right_; }
  QSlider* Slider() const { return slider_; }
  bool IsPlaying() const { return playTimer_.isActive(); }
  void Command(int id);  // the toolbar's play, stop, first, previous, next, last (1060 … 1065)
  int Runs() const { return runs_; }

 public slots:
  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RunReduction();
  void ReductionEnded();
  void ShowProgress();
  void Commit();
  void ShowFrame(int n);
  void PlayTick();

  Animation& animation_;
  PreviewJob job_;
  QTimer poll_;
  QTimer playTimer_;
  ComposedPane* left_;
  ComposedPane* right_;
  QScrollArea* leftArea_;
  QScrollArea* rightArea_;
  QLabel* fullColors_;
  QLabel* reducedColors_;
  QLabel* fullSize_;
  QLabel* reducedSize_;
  QLabel* savings_;
  QLabel* frameLabel_;
  QSlider* slider_;
  QToolBar* toolbar_;
  QComboBox* combo_;
  QCheckBox* dither_;
  QProgressBar* bar_;
  QLabel* status_;
  bool started_ = false;
  bool okWaiting_ = false;
  int lastBits_ = 0;
  bool lastDither_ = false;
  int runs_ = 0;
  uint32_t documentSize_ = kUnknownFileSize;
  AnimationPtr committed_;
};

}  // namespace lw::app
