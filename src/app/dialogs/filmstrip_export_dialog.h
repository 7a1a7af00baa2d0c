// The 'Exporting GIF Filmstrip' dialog: how the frames are to stand side by side in one picture. Its
// result packs the frames per strip in the high 16 bits and the orientation (1 horizontal, 2 vertical) in
// the low 16 bits; 0 means Cancel.
#pragma once

#include <QDialog>

namespace lw {
struct Animation;
}

class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace lw::app {

class FilmstripExportDialog : public QDialog {
  Q_OBJECT

 public:
  FilmstripExportDialog(const Animation& a, QWidget* owner);
  uint32_t Choice() const;
  static uint32_t Ask(const Animation& a, QWidget* owner);

 private:
  void Recompute();

  const Animation& animation_;
  QRadioButton* horizontal_;
  QRadioButton* vertical_;
  QSpinBox* perStrip_;
  QLabel* result_;
  QPushButton* ok_;
};

}  // namespace lw::app
