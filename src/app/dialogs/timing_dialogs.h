// The small dialogs of the Animation menu: "Change Speed", "Drop Frames" and "Crop Animation". Each only
// collects its values; the caller makes the change.
#pragma once

#include <QDialog>

class QDoubleSpinBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace lw {
struct Animation;
}

namespace lw::app {

class SpeedDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SpeedDialog(QWidget* owner);
  double Factor() const;
  QDoubleSpinBox* FactorBox() const { return factor_; }

 private:
  QDoubleSpinBox* factor_;
};

class DropFramesDialog : public QDialog {
  Q_OBJECT

 public:
  explicit DropFramesDialog(QWidget* owner);
  bool ByEvery() const;
  int Every() const;
  double Fps() const;
  QRadioButton* EveryChoice() const { return everyChoice_; }
  QRadioButton* FpsChoice() const { return fpsChoice_; }
  QSpinBox* EveryBox() const { return every_; }
  QDoubleSpinBox* FpsBox() const { return fps_; }

 private:
  QRadioButton* everyChoice_;
  QRadioButton* fpsChoice_;
  QSpinBox* every_;
  QDoubleSpinBox* fps_;
};

class CropScreenDialog : public QDialog {
  Q_OBJECT

 public:
  CropScreenDialog(const Animation& a, QWidget* owner);
  // x, y, width, height
  QSpinBox* Box(int i) const { return boxes_[i]; }
  int Value(int i) const;

 private:
  QSpinBox* boxes_[4] = {};
};

}  // namespace lw::app
