// Pictures that come in as device-independent bitmaps (BMP/DIB files, the clipboard) become one-frame
// Animations; full-colour ones are mapped down to at most 256 colours as the user's high-colour choice says.
#pragma once

#include <cstddef>
#include <cstdint>

#include "color/dib.h"
#include "color/palette_choice.h"
#include "model/animation.h"

namespace lw {

// The high-colour choice: the stored preference (slot 4), or the 'Palette Conflict' question when it says
// "always ask" or names the current global palette while there is none. 0 when the user cancelled. Only
// a movie's pictures (movie true) keep "Best for video"; others get the high-quality adaptive palette for it.
PaletteChoice GetHighColorChoice(const Palette* currentGlobal, bool movie = false);

// The program's own copy of a frame (from its private clipboard data): when given, the new Animation takes
// the animation's header fields and the frame takes the frame's fields and name; only the pixels and the
// palette come from the DIB.
struct OwnFrameRecord {
  const Animation* animation = nullptr;
  const Frame* frame = nullptr;
};

// The pixels of a 16-, 24- or 32-bit DIB onto the palette as the choice says: the high-quality mapping
// with 0x40, the classic one otherwise, dithered with 0x80 (pictures whose colours the palette holds are
// mapped exactly either way). Rows in memory order, StrideFor8Bit(width) apart. False after a message
// when memory runs out.
bool ConvertDibByChoice(const DibHeader& header, uint8_t* dst, const uint8_t* src, const Palette& palette,
                        PaletteChoice choice);

// A new one-frame Animation from a packed DIB of size bytes (information header, masks, colour table,
// rows). pixelOffset, when not 0, is where a file header says the rows start (from the start of the DIB).
// highColorChoice, when not 0, is used for a full-colour picture instead of asking for the user's choice
// (the command-line tool's flags). Null after a message when the DIB is refused or memory runs out, or
// silently when the user cancelled.
AnimationPtr ConvertDibToAnimation(const OwnFrameRecord* own, const uint8_t* dib, size_t size,
                                   const Palette* currentGlobal, size_t pixelOffset = 0,
                                   PaletteChoice highColorChoice = 0);

}  // namespace lw
