// "Preferences": the four pages that edit preference slots 0 and 1 ("Animation"), 3 ("Palette Conflict"),
// 4 ("High Color Mapping") and 2 ("Size Conflict"). Nothing is stored before OK; on OK each page stores
// only its own slots, and only when the user changed what the page shows.
#pragma once

#include <QDialog>
#include <QWidget>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QTabWidget;

namespace lw::app {

// "Animation": default delay and default number of iterations.
class AnimationPrefsPage : public QWidget {
  Q_OBJECT

 public:
  AnimationPrefsPage();
  QLineEdit* Delay() const { return delay_; }
  QLineEdit* Iterations() const { return iterations_; }
  // Refuses an out-of-range value with its message, the focus on its box; true when both are good.
  bool Check();
  // Puts the focus back on the box the last check refused.
  void FocusRefused();
  void Store();

 private:
  QLineEdit* refused_ = nullptr;
  QLineEdit* delay_;
  QLineEdit* iterations_;
  uint32_t shownDelay_, shownIterations_;
};

// "Palette Conflict" (slot 3) and "High Color Mapping" (slot 4): one approach, dithering, and for the
// second the adaptive palette's size; or "Always ask".
class ApproachPrefsPage : public QWidget {
  Q_OBJECT

 public:
  explicit ApproachPrefsPage(int slot);
  QRadioButton* UseApproach() const { return use_; }
  QRadioButton* AlwaysAsk() const { return ask_; }
  QListWidget* Approaches() const { return approaches_; }
  QCheckBox* Dither() const { return dither_; }
  QComboBox* Sizes() const { return sizes_; }
  QLabel* SizesLabel() const { return sizesLabel_; }
  // The slot's value as the page stands.
  uint32_t Value() const;
  void Store();

 private:
  void UpdateEnabling();

  int slot_;
  QRadioButton* use_;
  QRadioButton* ask_;
  QListWidget* approaches_;
  QCheckBox* dither_;
  QLabel* sizesLabel_ = nullptr;
  QComboBox* sizes_ = nullptr;
  uint32_t shown_;
};

// "Size Conflict" (slot 2): clip, grow, or ask.
class SizePrefsPage : public QWidget {
  Q_OBJECT

 public:
  SizePrefsPage();
  QRadioButton* Clip() const { return clip_; }
  QRadioButton* Grow() const { return grow_; }
  QRadioButton* AlwaysAsk() const { return ask_; }
  uint32_t Value() const;
  void Store();

 private:
  QRadioButton* clip_;
  QRadioButton* grow_;
  QRadioButton* ask_;
  uint32_t shown_;
};

class PreferencesDialog : public QDialog {
  Q_OBJECT

 public:
  explicit PreferencesDialog(QWidget* owner);
  QTabWidget* Pages() const { return tabs_; }
  AnimationPrefsPage* AnimationPage() const { return animation_; }
  ApproachPrefsPage* PalettePage() const { return palette_; }
  ApproachPrefsPage* HighColorPage() const { return highColor_; }
  SizePrefsPage* SizePage() const { return size_; }

 public slots:
  void accept() override;

 private:
  QTabWidget* tabs_;
  AnimationPrefsPage* animation_;
  ApproachPrefsPage* palette_;
  ApproachPrefsPage* highColor_;
  SizePrefsPage* size_;
  int current_ = 0;
};

}  // namespace lw::app
