// The progress dialog of long operations on the interface thread (reading, writing, importing,
// exporting, unoptimizing): a bar, one line of text and Cancel. While it is up the rest of the program
// takes no input, the wait cursor shows, and every step of the operation lets pending events through, so
// that Esc or Cancel stops the operation at its next step.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>

#include "platform/progress.h"

class QLabel;
class QProgressBar;

namespace lw::app {

class ProgressDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ProgressDialog(QWidget* owner);
  QProgressBar* Bar() const { return bar_; }
  QLabel* Text() const { return text_; }
  bool Cancelled() const { return cancelled_; }

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QProgressBar* bar_;
  QLabel* text_;
  bool cancelled_ = false;
};

// The display of one progress record: the dialog is made on first use and goes when the record ends.
class ProgressDialogSink : public ProgressSink {
 public:
  explicit ProgressDialogSink(QWidget* owner) : owner_(owner) {}
  ~ProgressDialogSink() override;
  void SetText(const std::string& text) override;
  void SetRange(uint32_t total) override;
  void SetPosition(uint32_t position) override;
  bool Pump() override;
  void Close() override;
  void Focus() override;

  ProgressDialog* Dialog() const { return dialog_; }

 private:
  ProgressDialog* Ensure();

  QPointer<QWidget> owner_;
  QPointer<ProgressDialog> dialog_;
  bool cursorSet_ = false;
  bool closed_ = false;
};

}  // namespace lw::app
