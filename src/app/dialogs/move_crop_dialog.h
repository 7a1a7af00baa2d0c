// "Move/Crop Frame": places one frame on the logical screen and cuts it down to its top-left part. The
// frame is drawn at its new place on a picture of the screen, over faint images of the previous, next
// and first frames when asked, at a zoom that fits and without smoothing. Typed values are taken 700 ms
// after the last keystroke (at once when another field changes, a spinner moves or OK is pressed); the
// seven alignment buttons act on the dialog alone. Nothing touches the frame before OK; it ends with 1
// when the frame changed.
#pragma once

#include <QDialog>
#include <QImage>
#include <QSpinBox>
#include <QTimer>
#include <cstdint>
#include <vector>

class QCheckBox;
class QPushButton;

namespace lw {
struct Animation;
struct Frame;
}  // namespace lw

namespace lw::app {

// Ids of the alignment buttons (the dialog's own: they are not main window commands).
enum AlignId : int {
  kAlignLeft = 40070,
  kAlignRight = 40071,
  kAlignTop = 40072,
  kAlignBottom = 40073,
  kAlignCenterHorizontally = 40074,
  kAlignCenterVertically = 40075,
  kAlignCenter = 40076,
};

// Where an alignment button puts a frame of the given size on the screen; left and top in, new values out.
void AlignFrame(int alignId, int32_t screenWidth, int32_t screenHeight, int32_t width, int32_t height,
                int32_t& left, int32_t& top);

// The screens larger than this many pixels are not pictured (the picture and ghost buffers would take
// more than 32 MiB each).
constexpr int64_t kMaxMoveCropPicturePixels = int64_t{1} << 23;

// A field with a spinner: the spinner stops at its range, typing does not (OK checks typed values).
class MoveCropField : public QSpinBox {
  Q_OBJECT

 public:
  MoveCropField(int id, int spinMin, int spinMax, int value, bool* spinChange, QWidget* parent);
  void stepBy(int steps) override;

 private:
  int spinMin_, spinMax_;
  bool* spinChange_;
};

class MoveCropDialog : public QDialog {
  Q_OBJECT

 public:
  MoveCropDialog(Animation& a, int frameIndex, QWidget* owner);

  struct Values {
    int32_t left, top, width, height;
  };
  Values Edited() const { return {newLeft_, newTop_, newWidth_, newHeight_}; }
  // The field whose typed value waits for its timer (0: none).
  int PendingField() const { return pending_; }
  MoveCropField* Field(int id) const;
  QPushButton* AlignButton(int id) const;
  QPushButton* ResetButton() const { return reset_; }
  QCheckBox* ShowPrevious() const { return showPrevious_; }
  QCheckBox* ShowNext() const { return showNext_; }
  QCheckBox* ShowFirst() const { return showFirst_; }
  // The composed picture of the screen (null when the screen is too large to picture).
  const QImage& Picture() const { return picture_; }

 public slots:
  void accept() override;

 private:
  friend class MoveCropPicture;
  // Sets the edited values named by mask (1 left, 2 top, 4 width, 8 height; 16 also writes the fields);
  // a change composes the picture again and enables "Reset".
  void SetMoveCropValues(int32_t a, int32_t b, int mask);
  void FieldChanged(int id);
  void ApplyField(int id);
  void Align(int id);
  void Reset();
  void GhostsChanged();
  void AddGhost(const Frame& g, int weight);
  void Compose();

  Animation& animation_;
  Frame* frame_;
  int32_t newLeft_, newTop_, newWidth_, newHeight_;
  int32_t screenWidth_, screenHeight_;
  QImage picture_;
  std::vector<uint8_t> ghost_;  // blue, green, red, coverage per screen pixel
  int ghostFlags_ = 0;
  int pending_ = 0;
  bool spinChange_ = false;
  bool initialised_ = false;
  QTimer timer_;
  QWidget* view_ = nullptr;
  MoveCropField* fields_[4] = {};  // width, height, X, Y
  QPushButton* reset_ = nullptr;
  QPushButton* ok_ = nullptr;
  QCheckBox* showPrevious_ = nullptr;
  QCheckBox* showNext_ = nullptr;
  QCheckBox* showFirst_ = nullptr;
  std::vector<QPushButton*> alignButtons_;
};

}  // namespace lw::app
