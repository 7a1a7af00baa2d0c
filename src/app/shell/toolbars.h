// The main window's two toolbars: the main toolbar of document commands and the frame toolbar, which shows
// and edits the selected frame (name list, delay, removal method, transparency, local palette, interlace)
// and the animation's iteration count. Every button and box sends its command id to the window's
// dispatcher; the window tells the toolbars what changed (document, selection, orientation, preview).
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QWidget>
#include <map>

#include "app/shell/ids.h"

class QAction;
class QComboBox;
class QLineEdit;
class QToolBar;

namespace lw {
struct Animation;
struct Frame;
}  // namespace lw

namespace lw::app {

class MainWindow;

// Control ids of the toolbars themselves (objectNames).
constexpr const char* kMainToolbarId = "2";
constexpr const char* kFrameToolbarId = "3";

// The tooltip of a tool id (a command or a frame-toolbar control), at most 79 characters; empty for an id
// without one.
QString TooltipText(int id);

// A picture on the toolbar with its own disabled look (the embossed one of the platform's disabled
// buttons), centred in the widget and repainted when enabled or disabled.
class StaticPicture : public QWidget {
  Q_OBJECT

 public:
  StaticPicture(int pictureId, int width, QWidget* parent);
  QSize sizeHint() const override;
  // The image painted in the current state, at the given device pixel ratio.
  QImage CurrentImage(qreal ratio) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  int pictureId_;
  int width_;
};

// A vertical etched line through the middle of its area.
class VerticalEdge : public QWidget {
  Q_OBJECT

 public:
  VerticalEdge(int width, QWidget* parent);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int width_;
};

class Toolbars : public QObject {
  Q_OBJECT

 public:
  // Builds both toolbars into the window (the main toolbar above the frame toolbar).
  explicit Toolbars(MainWindow* window);

  QToolBar* MainToolbar() const { return main_; }
  QToolBar* FrameToolbar() const { return frame_; }
  // The button of a command id on either toolbar (null when neither has one).
  QAction* Button(int id) const;
  bool IsPressed(int id) const;
  bool IsButtonEnabled(int id) const;
  QComboBox* NameList() const { return names_; }
  QLineEdit* DelayBox() const { return delay_; }
  QLineEdit* IterationsBox() const { return iterations_; }
  StaticPicture* ClockPicture() const { return clock_; }
  StaticPicture* LoopPicture() const { return loop_; }

  // ---- The frame toolbar ----
  // The frame at index (-1: none) becomes the current frame; buttons, name entry and delay follow it.
  void RefreshFrameToolbar(int index);
  // The animation's fields: properties button, name list, iterations box and picture, global palette.
  void RefreshAnimationToolbar(Animation* a);
  void RebuildFrameNames(Animation* a);
  // Replaces and selects the list entry of frame index.
  void SetFrameNameEntry(int index, const QString& text);
  // "Show Global Palette" is enabled exactly when the animation has a global palette.
  void RefreshPaletteButton(Animation* a);
  // The frame the frame toolbar shows, or null.
  Frame* CurrentFrame() const;
  int CurrentIndex() const { return currentIndex_; }
  // Programmatic box texts (no command is sent).
  void ShowDelay(const QString& text);
  void ShowIterations(const QString& text);

  // ---- Button states the window sets ----
  void ShowDocumentButtons(bool document);
  void ShowSelectionButtons(bool frameSelected);
  void ShowOrientation(int orientationValue);
  void ShowPreviewButtons(bool open);
  void ShowPasteButton(bool available);
  void PressButton(int id, bool pressed);
  void EnableButton(int id, bool enabled);

  // The entry text of a frame in the name list.
  static QString FrameEntryText(int index, const Frame& f);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* AddButton(QToolBar* bar, int id, bool checkable, bool enabled);
  void AddGap(QToolBar* bar, int width);
  void ButtonTriggered(int id);
  bool IsAvailable(int id) const;
  void GrowDropDown(const QString& text);

  MainWindow* window_;
  QToolBar* main_ = nullptr;
  QToolBar* frame_ = nullptr;
  QComboBox* names_ = nullptr;
  QLineEdit* delay_ = nullptr;
  QLineEdit* iterations_ = nullptr;
  StaticPicture* clock_ = nullptr;
  StaticPicture* loop_ = nullptr;
  std::map<int, QAction*> buttons_;
  int currentIndex_ = -1;
  int dropDownWidth_ = 0;
  bool previewShownSet_ = false;
};

}  // namespace lw::app
