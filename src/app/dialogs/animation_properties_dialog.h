// "Animation Properties": the file name and frame count, the iteration count, the global palette and the
// logical screen size with "Auto Size". OK checks the size (only when it was edited) and the iterations
// before it stores anything; it ends with 0 (nothing changed), 1 (iterations changed) or 2 (the screen
// size was set). Frames are not clipped here.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace lw {
struct Animation;
}

namespace lw::app {

class AnimationPropertiesDialog : public QDialog {
  Q_OBJECT

 public:
  AnimationPropertiesDialog(Animation& a, const std::string& path, QWidget* owner);
  QLineEdit* Iterations() const { return iterations_; }
  QLineEdit* ScreenWidth() const { return width_; }
  QLineEdit* ScreenHeight() const { return height_; }
  QPushButton* AutoSizeButton() const { return autoSize_; }

 public slots:
  void accept() override;

 private:
  Animation& animation_;
  QLineEdit* iterations_;
  QLineEdit* width_;
  QLineEdit* height_;
  QPushButton* autoSize_;
  bool sizeEdited_ = false;
};

}  // namespace lw::app
