// The palette display's pieces: a grid of a palette's colours (16 to a row) that can mark the colours in
// use and let the user select one, a frame's picture whose pixels can be clicked for their colour index,
// and the small hint window that follows the pointer and names the colour under it. A pixel or a cell
// whose index lies beyond the palette is "no colour": no hint, no selection, no click.
#pragma once

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "model/animation.h"

namespace lw::app {

// The hint text for a palette entry: "#%d: R=%d, G=%d, B=%d" counted from 1, empty for no colour.
QString ColorHintText(const Palette* palette, int index);

// A borderless popup beside the pointer (20 pixels right, 24 up) with a line of text; hidden when the
// text is empty.
class HintWindow : public QLabel {
  Q_OBJECT

 public:
  HintWindow();
  static constexpr int kOffsetX = 20;
  static constexpr int kOffsetY = -24;
  // Shows the text near the pointer's global position, or hides the window for an empty text.
  void ShowAt(const QString& text, const QPoint& globalPos);
};

class ColorGrid : public QWidget {
  Q_OBJECT

 public:
  explicit ColorGrid(int cellSize, QWidget* parent = nullptr);

  // The palette (null: none) and, optionally, how often each index is used.
  void SetPalette(const Palette* palette, const ColorCounts* counts);
  void SetShowInUse(bool on);
  bool ShowInUse() const { return showInUse_; }
  void SetSelectable(bool on);
  // Moves the selection (selectable grids only); an index without an entry selects none.
  void Select(int index);
  int Selected() const { return selected_; }
  // The hint window to feed, or null for none (its text is cleared when it goes).
  void SetHint(HintWindow* hint);
  // The entry under a point of the grid, -1 for none.
  int EntryAt(const QPoint& pos) const;
  int CellSize() const { return cell_; }
  int EntryCount() const { return static_cast<int>(entries_.size()); }

 signals:
  // The user clicked an entry other than the selected one.
  void EntryClicked(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  Palette palette_;
  std::vector<PaletteEntry> entries_;
  std::optional<ColorCounts> counts_;
  int cell_;
  bool showInUse_ = false;
  bool selectable_ = false;
  int selected_ = -1;
  QPointer<HintWindow> hint_;
};

// A frame's pixels in its palette's colours, shown as they are (no transparency).
class FrameIndexImage : public QWidget {
  Q_OBJECT

 public:
  explicit FrameIndexImage(QWidget* parent = nullptr);

  void SetFrame(const Frame& f);
  // The index of the pixel under a point of the widget, -1 outside the frame or beyond its palette.
  int IndexAt(const QPoint& pos) const;
  // Shows every pixel of the index as it would look transparent on the dialog: white for a moment, then
  // the button face; the index highlighted before gets its colour back. An index without an entry
  // highlights none.
  void Highlight(int index);
  int Highlighted() const { return highlighted_; }
  void SetHint(HintWindow* hint);
  const QImage& Picture() const { return image_; }
  QSize sizeHint() const override { return image_.size(); }

 signals:
  // The user clicked a pixel whose index is not the highlighted one.
  void IndexClicked(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void SetTableEntry(int index, QRgb color);

  Palette palette_;
  int entries_ = 0;
  QImage image_;
  int highlighted_ = -1;
  uint64_t flash_ = 0;  // which highlight a pending flash end belongs to
  QPointer<HintWindow> hint_;
};

}  // namespace lw::app
