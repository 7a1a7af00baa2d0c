// "Resize Animation": the new size by percentage or in pixels (the proportions kept while the lock is on),
// the filter, and whether the filtered colours are dithered onto the palettes. Nothing changes before OK;
// the caller resizes with Options().
#pragma once

#include <QDialog>

#include "edit/transforms/transforms.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QRadioButton;
class QSpinBox;

namespace lw::app {

class ResizeDialog : public QDialog {
  Q_OBJECT

 public:
  ResizeDialog(const Animation& a, QWidget* owner);
  ResizeOptions Options() const;

  QRadioButton* ByPercent() const { return byPercent_; }
  QRadioButton* BySize() const { return bySize_; }
  QDoubleSpinBox* Percent() const { return percent_; }
  QSpinBox* Width() const { return width_; }
  QSpinBox* Height() const { return height_; }
  QCheckBox* KeepAspect() const { return keepAspect_; }
  QComboBox* Filter() const { return filter_; }
  QCheckBox* Dither() const { return dither_; }

 private:
  void PercentChanged();
  void SideChanged(bool widthChanged);
  void ModeChanged();

  const Animation& animation_;
  QRadioButton* byPercent_;
  QRadioButton* bySize_;
  QDoubleSpinBox* percent_;
  QSpinBox* width_;
  QSpinBox* height_;
  QCheckBox* keepAspect_;
  QComboBox* filter_;
  QCheckBox* dither_;
  bool updating_ = false;
};

}  // namespace lw::app
