// The 'AVI Compression' question before an AVI export: the frames are stored as they are, or compressed
// with RLE8. Its answer is 0 (Cancel), 1 (no compression) or 2 (RLE8).
#pragma once

#include <QDialog>

class QRadioButton;

namespace lw::app {

class AviCompressionDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AviCompressionDialog(QWidget* owner);
  int Choice() const;
  static int Ask(QWidget* owner);

 private:
  QRadioButton* none_;
  QRadioButton* rle8_;
};

}  // namespace lw::app
