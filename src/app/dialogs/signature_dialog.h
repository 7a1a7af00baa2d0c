// "Edit Signature Comment": the comment added to every animation when it is saved, and whether to add it.
// OK refuses a text over 255 bytes; it stores the text when it was edited and the off flag (preference
// slot 6, flag 8) when it changed, and ends with 1 when anything changed, else 0.
#pragma once

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;

namespace lw::app {

class SignatureDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SignatureDialog(QWidget* owner);
  QCheckBox* AlwaysAdd() const { return always_; }
  QPlainTextEdit* Text() const { return text_; }

 public slots:
  void accept() override;

 private:
  QCheckBox* always_;
  QPlainTextEdit* text_;
  bool edited_ = false;
};

}  // namespace lw::app
