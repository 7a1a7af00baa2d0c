// The form in which the writer stores each frame so that every decoder shows the same pictures.
//
// Decoders read three cases differently when the frame involved has no transparent index: the screen area
// that the first frame leaves uncovered (browsers and giflib show it transparent, Pillow paints palette
// entry 0, ImageMagick the background colour), "restore to background" (browsers, giflib and ImageMagick
// clear to transparent, Pillow paints the background colour), and "restore to previous" on the first frame
// (browsers clear to transparent, Pillow keeps the frame, ImageMagick paints the background colour). All of
// them clear to transparent once the frame has a transparent index, so such a frame is written with one
// that none of its pixels uses: a free entry of its colour table, or, when every entry is in use, the first
// entry of the table grown by one bit. The pictures stay those a browser shows; the document itself is
// not changed.
#pragma once

#include <cstdint>
#include <vector>

#include "model/animation.h"

namespace lw {

struct FrameWriteForm {
  bool addTransparent = false;  // written with the transparent flag and this index
  uint8_t transparentIndex = 0;
  int localTableBits = 0;  // the local table is written with 2^bits entries (0: none)
};

struct GifWriteForm {
  int globalTableBits = 0;             // the global table is written with 2^bits entries (0: none)
  std::vector<FrameWriteForm> frames;  // in frame order
};

// The bits of the colour table a palette is written as (2^bits entries; 0 without a palette).
int TableBitsFor(const Palette* p);

// Whether decoders would disagree about a frame unless it has a transparent index.
bool NeedsTransparentIndex(const Animation& a, const Frame& f, bool first);

GifWriteForm PlanGifWrite(const Animation& a);

// True when every decoder reads the animation's frames the same as they stand (no frame needs a
// transparent index added).
bool DecodersAgree(const Animation& a);

}  // namespace lw
