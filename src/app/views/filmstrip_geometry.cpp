#include "app/views/filmstrip_geometry.h"

#include <algorithm>

namespace lw::app {

void FilmstripGeometry::Measure(bool vertical, int numerator, int denominator, int screenWidth,
                                int screenHeight, int bandWidth, int bandHeight) {
  vertical_ = vertical;
  num_ = std::max(numerator, 1);
  den_ = std::max(denominator, 1);
  cellWidth_ = static_cast<int>(static_cast<int64_t>(std::max(screenWidth, 0)) * num_ / den_);
  cellHeight_ = static_cast<int>(static_cast<int64_t>(std::max(screenHeight, 0)) * num_ / den_);
  if (vertical_) {
    pitch_ = bandWidth + (cellWidth_ + 8) + 8;
    thickness_ = cellHeight_ + 8;
    sprocketOffset_ = bandWidth + 4;
  } else {
    pitch_ = bandHeight + (cellHeight_ + 8) + 8;
    thickness_ = cellWidth_ + 8;
    sprocketOffset_ = bandHeight + 4;
  }
}

bool FilmstripGeometry::Layout(int clientWidth, int clientHeight, int frameCount) {
  clientWidth_ = std::max(clientWidth, 0);
  clientHeight_ = std::max(clientHeight, 0);
  frameCount_ = std::max(frameCount, 0);
  int cells = (ClientAlong() - 2 * kMargin) / thickness_;
  if (cells < 2) cells = 1;
  bool changed = cells != cellsPerStrip_;
  cellsPerStrip_ = cells;
  stripCount_ = (frameCount_ + cellsPerStrip_ - 1) / cellsPerStrip_;
  return changed;
}

int FilmstripGeometry::CellsInStrip(int strip) const {
  if (strip < 0 || strip >= stripCount_) return 0;
  if (strip == stripCount_ - 1) return frameCount_ - cellsPerStrip_ * strip;
  return cellsPerStrip_;
}

FilmstripGeometry::Point FilmstripGeometry::CellOrigin(int index) const {
  int64_t strip = index / cellsPerStrip_, cell = index % cellsPerStrip_;
  int64_t across = strip * pitch_ + sprocketOffset_;
  int64_t along = kMargin + cell * thickness_;
  return vertical_ ? Point{across, along} : Point{along, across};
}

FilmstripGeometry::Rect FilmstripGeometry::CellSlot(int index) const {
  int64_t strip = index / cellsPerStrip_, cell = index % cellsPerStrip_;
  int64_t across = strip * pitch_;
  int64_t along = kMargin + cell * thickness_;
  return vertical_ ? Rect{across, along, pitch_, thickness_} : Rect{along, across, thickness_, pitch_};
}

int FilmstripGeometry::HitTest(int x, int y, int mainPos, int crossPos) const {
  int64_t stack = static_cast<int64_t>(vertical_ ? x : y) + mainPos;
  int64_t along = static_cast<int64_t>(vertical_ ? y : x) + crossPos;
  if (stack < 0) return -1;
  int64_t strip = stack / pitch_, offset = stack % pitch_;
  if (strip >= stripCount_ || offset <= sprocketOffset_ || along <= kMargin) return -1;
  int64_t cell = (along - kMargin) / thickness_;
  if (cell >= cellsPerStrip_) return -1;
  int64_t index = strip * cellsPerStrip_ + cell;
  return index < frameCount_ ? static_cast<int>(index) : -1;
}

FilmstripInsertion FilmstripGeometry::Insertion(int x, int y, int mainPos, int crossPos, int mainMax) const {
  FilmstripInsertion result;
  if (stripCount_ == 0) return result;
  int stackCoord = vertical_ ? x : y;
  int alongCoord = vertical_ ? y : x;
  int64_t strip;
  if (stackCoord < 0) {
    // Before the client's start: scroll back while that is possible, else it is the first strip.
    if (mainPos > 0) {
      result.autoScroll = -1;
      return result;
    }
    strip = 0;
  } else if (stackCoord >= MainPage()) {
    if (mainPos < mainMax) {
      result.autoScroll = 1;
      return result;
    }
    strip = stripCount_ - 1;
  } else {
    strip = (static_cast<int64_t>(stackCoord) + mainPos) / pitch_;
    if (strip >= stripCount_) return result;
  }
  int64_t cell = (static_cast<int64_t>(alongCoord) + crossPos + thickness_ / 2) / thickness_;
  cell = std::clamp<int64_t>(cell, 0, cellsPerStrip_);
  result.strip = static_cast<int>(strip);
  result.cell = static_cast<int>(cell);
  result.index = static_cast<int>(std::min<int64_t>(strip * cellsPerStrip_ + cell, frameCount_));
  // An index past the last frame draws its marker after the last cell.
  if (result.index == frameCount_) {
    result.strip = stripCount_ - 1;
    result.cell = CellsInStrip(result.strip);
  }
  return result;
}

ZoomRatio ZoomForStep(int step) {
  step = std::clamp(step, -4, 3);
  return step >= 0 ? ZoomRatio{step + 1, 1} : ZoomRatio{1, 1 - step};
}

int ZoomPercent(int step) {
  ZoomRatio r = ZoomForStep(step);
  return 100 * r.numerator / r.denominator;
}

}  // namespace lw::app
