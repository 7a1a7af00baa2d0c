// The animation preview: a small modeless window that plays the document frame after frame with each
// frame's delay and disposal method, always looping, and lets the user stop it and step through the
// frames with a toolbar and a slider. The main window makes it, tells it of every change of the document
// (AnimationChanged) and closes it; its close box and Esc ask the main window to do so (CloseRequested).
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QTimer>

#include "edit/preview_composer.h"

class QAction;
class QLabel;
class QSlider;
class QToolBar;

namespace lw::app {

// Control ids, kept as the widgets' objectNames.
enum PreviewControl : int {
  kPreviewPictureId = 1040,
  kPreviewSliderId = 1100,
  kPreviewLabelId = 1098,
  kPreviewToolbarId = 1,
};
// The toolbar's buttons.
enum PreviewButton : int {
  kPreviewPlay = 1060,
  kPreviewStop = 1061,
  kPreviewFirst = 1062,
  kPreviewPrevious = 1063,
  kPreviewNext = 1064,
  kPreviewLast = 1065,
};

// Where the picture is drawn inside the picture area.
constexpr int kPreviewOrigin = 5;
// Picture areas larger than this are clipped: windows beyond it cannot be made on every display.
constexpr int kPreviewMaxArea = 16384;

// The icon of a toolbar button, drawn for every size it is asked at (sharp at any scale).
QIcon PreviewButtonIcon(int id);

class PreviewWindow;

// The sunken frame that shows the composed picture.
class PreviewPictureArea : public QFrame {
  Q_OBJECT

 public:
  explicit PreviewPictureArea(PreviewWindow* owner);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  PreviewWindow* owner_;
};

class PreviewWindow : public QDialog {
  Q_OBJECT

 public:
  // Starts playing: the first frame shows a millisecond after the window is made.
  PreviewWindow(Animation* a, QWidget* owner);
  ~PreviewWindow() override;

  // The document changed: a new screen size lays the window out again; a new frame count sets the
  // slider's range; playing goes on from the first frame, stopped keeps the frame number shown (or takes
  // the new last frame).
  void AnimationChanged();
  // The main window lets go of it: no more ticks, no document.
  void Detach();

  // A toolbar command (1060 … 1065), as the buttons send them.
  void PreviewCommand(int id);
  // A press on the picture: while playing, a frame that waits for user input ends at once.
  void PictureClicked();

  bool IsPlaying() const { return playing_; }
  int Number() const { return composer_.Number(); }
  const PreviewComposer& Composer() const { return composer_; }
  Animation* PreviewAnimation() const { return animation_; }
  // The interval the frame timer was last started with, in milliseconds.
  int LastInterval() const { return lastInterval_; }
  bool WaitingFirst() const { return waitingFirst_; }
  QWidget* PictureArea() const;
  QSlider* Slider() const { return slider_; }
  QLabel* Label() const { return label_; }
  QToolBar* Toolbar() const { return toolbar_; }
  QAction* Button(int id) const;
  // The composed picture as the screen shows it (null before the first frame or without a picture).
  QImage PictureImage() const;
  // The window colour the picture starts in and disposal 2 restores.
  QColor WindowColour() const;

 signals:
  // The close box or Esc: the owner closes the preview.
  void CloseRequested();
  // A tick showed this frame (for measuring the timing).
  void FrameShown(int number);

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void PreviewShow();
  void PreviewTick();
  void PreviewStop();
  void PreviewGoTo(int n);
  void PreviewLayout();
  void Play();
  void StartTimer(int delayMs, bool fromNow);
  void OnTimer();
  void OnSliderAction(int action);
  int FrameCount() const;

  Animation* animation_;
  PreviewComposer composer_;
  PreviewPictureArea* picture_ = nullptr;
  QSlider* slider_ = nullptr;
  QLabel* label_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QTimer timer_;
  QElapsedTimer clock_;
  int64_t dueNs_ = 0;  // when the frame timer is due, on clock_
  int lastInterval_ = 0;
  bool playing_ = false;
  bool waitingFirst_ = false;
  bool showing_ = false;  // the slider is being set by the preview itself
  int laidWidth_ = -1, laidHeight_ = -1;
  int frameCount_ = 0;

  friend class PreviewPictureArea;
};

}  // namespace lw::app
