// The About box: the program's name and version, a little film running through its gate, and where to
// find updates and support.
#pragma once

#include <QDialog>
#include <QTimer>
#include <QWidget>

namespace lw::app {

// The about box's animation: a strip of film running through, frame by frame.
class FilmClip : public QWidget {
  Q_OBJECT

 public:
  explicit FilmClip(QWidget* parent = nullptr);
  QSize sizeHint() const override { return {96, 64}; }
  int Phase() const { return phase_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QTimer timer_;
  int phase_ = 0;
};

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* owner);

  static constexpr const char* kVersion = "2.03";
};

}  // namespace lw::app
