// Gives the keyboard back to the main window whenever one of its modal dialogs or message boxes closes.
// Without a window manager (and with some) nothing activates the window again, and the menu keys and
// shortcuts stay dead until the user clicks into it.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace lw::app {

class FocusKeeper : public QObject {
  Q_OBJECT

 public:
  // target takes the focus (inside window) once a modal dialog owned by window (or by nobody) has closed
  // and no other modal dialog is up.
  FocusKeeper(QWidget* window, QWidget* target);
  ~FocusKeeper() override;

  // Puts the focus back now (after a file was opened, for instance), unless a modal dialog is up.
  void Restore();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> window_;
  QPointer<QWidget> target_;
};

}  // namespace lw::app
