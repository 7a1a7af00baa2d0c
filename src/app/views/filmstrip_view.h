// The filmstrip: the main window's work area. Every frame of the document is a cell of a strip of film,
// strips run vertically or horizontally, eight zoom steps, the selected frame framed in red. Presses
// select, a double-click opens the properties, a right press the context menu, and a drag moves a frame.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "app/views/filmstrip_geometry.h"
#include "app/views/frame_drawing.h"

class QMimeData;

namespace lw {
struct Animation;
}

namespace lw::app {

// What the filmstrip asks of the shell.
class FilmstripHost {
 public:
  virtual ~FilmstripHost() = default;
  virtual void FilmstripSelect(int index) = 0;
  virtual void FilmstripContextMenu(const QPoint& globalPos, bool frameSelected) = 0;
  virtual void FilmstripCommand(int id) = 0;
  // Whether frames can be moved by dragging, and the move itself (to insertion position target).
  virtual bool FilmstripCanMove() const = 0;
  virtual void FilmstripMove(int target, int from) = 0;
  // Files dropped from a file manager.
  virtual bool FilmstripAcceptsDrop(const QStringList& files) const = 0;
  virtual void FilmstripDrop(const QPoint& pos, const QStringList& files) = 0;
  virtual void FilmstripFocusMain() = 0;
};

class FilmstripView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit FilmstripView(FilmstripHost* host, QWidget* parent = nullptr);

  void SetFilmstripAnimation(Animation* a);
  // Lays out afresh when the document's logical screen size changed since the last layout.
  void RefitFilmstrip();
  // 0 keeps the orientation unless the user had chosen one (then it follows the frame shape again);
  // any other value (1, 2, 4097, 4098) is stored as it is.
  void SetFilmstripOrientation(int value);
  void SetFilmstripZoom(int numerator, int denominator);
  void LayoutFilmstrip(bool repaint);
  void SelectInFilmstrip(int index);
  void RepaintFilmstripCell(int index);
  void RepaintFilmstrip();
  void ScrollSelectionIntoView();
  // The transparency view changed: the frames' images are made again when next drawn.
  void SetFilmstripBackground();
  int HitTestFilmstrip(int x, int y) const;

  // Key presses the main window forwards (scrolling, Esc during a drag). Gives whether it was used.
  bool HandleKey(int key);

  int Orientation() const { return orientation_; }
  const FilmstripGeometry& Geometry() const { return geometry_; }
  Animation* CurrentAnimation() const { return animation_; }
  int SelectedIndex() const { return selected_; }
  bool IsDragging() const { return dragging_; }
  const FilmstripInsertion& DragInsertion() const { return insertion_; }
  FrameImageCache& ImageCache() { return cache_; }
  int MainPosition() const;
  int CrossPosition() const;
  // The sprocket band's tile for the current orientation.
  const QImage& SprocketTile() const { return sprocket_; }
  // Called once, after the first paint that showed a document (start-up measurement).
  void SetFirstPaintCallback(std::function<void()> callback) { firstPaint_ = std::move(callback); }
  // Cells drawn by the last paint (tests check that scrolling repaints only what it shows).
  int CellsDrawnLastPaint() const { return cellsDrawn_; }

  static constexpr int kDragThreshold = 3;
  static constexpr int kAutoScrollMs = 100;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QScrollBar* MainBar() const;
  QScrollBar* CrossBar() const;
  void Remeasure();
  void ApplyBar(QScrollBar* bar, int64_t extent, int page, bool* repaint);
  void OnBarAction(QScrollBar* bar, int action);
  void ScrollMainBy(int delta);
  QRect CellRect(int index) const;  // the cell's slot in viewport coordinates
  QRect MarkerRect(const FilmstripInsertion& at) const;
  void DrawStrip(QPainter& p, int strip, const QRect& update);
  void DrawCell(QPainter& p, const Frame& f, int index, int x, int y);
  void DrawMarker(QPainter& p, const FilmstripInsertion& at);
  void UpdateMarker(const QPoint& pos);
  void EndDrag(bool move);
  void OnAutoScroll();
  QStringList DroppedFiles(const QMimeData* mime) const;

  FilmstripHost* host_;
  Animation* animation_ = nullptr;
  int orientation_ = 0;
  int numerator_ = 1, denominator_ = 1;
  int laidWidth_ = 0, laidHeight_ = 0;
  int selected_ = -1;
  FilmstripGeometry geometry_;
  QImage sprocket_;
  FrameImageCache cache_;

  bool inLayout_ = false;
  bool layoutAgain_ = false;
  bool armed_ = false;
  bool dragging_ = false;
  QPoint pressPoint_;
  FilmstripInsertion insertion_;
  QTimer autoScroll_;
  std::function<void()> firstPaint_;
  int cellsDrawn_ = 0;
};

// The sprocket band tiles: a strip of film base with perforations; vertical strips get a tall tile, the
// band of horizontal strips a wide one.
QImage MakeSprocketTile(bool vertical, const QColor& face);

}  // namespace lw::app
