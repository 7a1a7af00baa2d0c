// The arithmetic of the filmstrip: cell sizes, strips, scroll extents, hit testing and the insertion
// position of a drag. Kept apart from the widget so that it can be checked number by number.
//
// A strip is a column of cells with the sprocket band at its left (vertical strips) or a row of cells with
// the band above it (horizontal strips). Frames run along a strip first, then on to the next strip. The
// "main" axis is the one along which strips are stacked (x for vertical strips), the "cross" axis runs
// along a strip.
#pragma once

#include <cstdint>

namespace lw::app {

struct FilmstripInsertion {
  int index = -1;      // insertion index 0 .. frame count, -1 when the pointer gives none
  int strip = 0;       // where the marker goes: the gap before cell `cell` of `strip` (cell may equal the
  int cell = 0;        // cells per strip: after the strip's last cell)
  int autoScroll = 0;  // -1 scroll back, +1 scroll on, 0 no scrolling
};

class FilmstripGeometry {
 public:
  static constexpr int kMargin = 5;

  // Re-measure after a change of document, zoom or orientation. bandWidth and bandHeight are the sprocket
  // tile's size.
  void Measure(bool vertical, int numerator, int denominator, int screenWidth, int screenHeight,
               int bandWidth, int bandHeight);
  // Strips for a client area and a frame count. Gives whether the cells per strip changed.
  bool Layout(int clientWidth, int clientHeight, int frameCount);

  bool Vertical() const { return vertical_; }
  int Numerator() const { return num_; }
  int Denominator() const { return den_; }
  // The logical screen as shown.
  int CellWidth() const { return cellWidth_; }
  int CellHeight() const { return cellHeight_; }
  int Pitch() const { return pitch_; }
  int Thickness() const { return thickness_; }
  int SprocketOffset() const { return sprocketOffset_; }
  int CellsPerStrip() const { return cellsPerStrip_; }
  int StripCount() const { return stripCount_; }
  int FrameCount() const { return frameCount_; }
  // Cells in one strip (the last may hold fewer).
  int CellsInStrip(int strip) const;

  // Scroll extents (position runs 0 .. extent - page) and pages.
  int64_t MainExtent() const { return static_cast<int64_t>(pitch_) * stripCount_; }
  int MainPage() const { return vertical_ ? clientWidth_ : clientHeight_; }
  int CrossExtent() const { return thickness_ + 2 * kMargin; }
  int CrossPage() const { return vertical_ ? clientHeight_ : clientWidth_; }
  // Along the strips / across them, for the client area of the last layout.
  int ClientAlong() const { return vertical_ ? clientHeight_ : clientWidth_; }
  int ClientAcross() const { return vertical_ ? clientWidth_ : clientHeight_; }

  // Where frame i's cell starts before scrolling.
  struct Point {
    int64_t x = 0, y = 0;
  };
  Point CellOrigin(int index) const;
  // The rectangle of a whole strip slot (pitch by thickness) of frame i, before scrolling.
  // x, y, width, height.
  struct Rect {
    int64_t x = 0, y = 0, width = 0, height = 0;
  };
  Rect CellSlot(int index) const;

  // The frame under a client point, or -1: the sprocket band, the margins and cells past the last frame
  // hit nothing.
  int HitTest(int x, int y, int mainPos, int crossPos) const;

  // The insertion position for a drag pointer at a client point. mainMax is the largest value the main
  // scroll position can take.
  FilmstripInsertion Insertion(int x, int y, int mainPos, int crossPos, int mainMax) const;

  // Scroll steps: a line is client / 16 + 1, a page client / 2 + 1.
  static int LineStep(int clientLength) { return clientLength / 16 + 1; }
  static int PageStep(int clientLength) { return clientLength / 2 + 1; }

 private:
  bool vertical_ = true;
  int num_ = 1, den_ = 1;
  int cellWidth_ = 0, cellHeight_ = 0;
  int pitch_ = 1, thickness_ = 1, sprocketOffset_ = 0;
  int clientWidth_ = 0, clientHeight_ = 0;
  int cellsPerStrip_ = 1, stripCount_ = 0, frameCount_ = 0;
};

// The zoom ratio of a zoom step (-4 .. 3): s + 1 over 1, or 1 over 1 - s; and its percentage.
struct ZoomRatio {
  int numerator = 1, denominator = 1;
};
ZoomRatio ZoomForStep(int step);
int ZoomPercent(int step);

}  // namespace lw::app
