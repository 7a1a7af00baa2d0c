// Lowering the number of colours of every palette of an animation to a power of
// two.
#pragma once

#include "color/palette_ops.h"
#include "model/animation.h"

namespace lw {

struct ProgressRecord;

// Appends black, then white, while the entries are fewer than the target count
// (two entries at most).
void PadPalette(PaletteEntries& entries, int targetCount);

// Reduces the global palette and every local palette that needs more than
// `bits` (3..7) bits per pixel to at most 2^bits colours (one of them a black
// slot reserved for transparent pixels when the palette serves transparent
// frames), mapping the pixels by dithering or by nearest colour. Changes the
// animation in place; false only when memory runs out.
bool ReducePalettes(Animation& a, int bits, bool dither, ProgressRecord* progress);

}  // namespace lw
