// Making an animation's saved file smaller: shrinking palettes, cutting every frame down to the pixels it
// changes, turning repeated pixels into transparency and dropping frames that change nothing.
#pragma once

#include <array>
#include <cstdint>

#include "color/palette_ops.h"
#include "model/animation.h"
#include "platform/progress.h"

namespace lw {

// The techniques, as stored in preference slot 5.
enum OptimizeOption : uint32_t {
  kShrinkFrames = 2,              // the frame pass; the two options below act only inside it
  kDuplicatesToTransparency = 4,  // unchanged pixels become transparent
  kRemoveLocalPalettes = 8,       // palette pass, part A
  kMapToGlobal = 16,              // part A removes every local palette, not only clean merges
  kShrinkPalettes = 32,           // palette pass, part B
  kRemoveUnneededFrames = 64,     // frames that change no pixel go, their delay to the frame before
};
using OptimizeOptions = uint32_t;

// One run: clip every frame to the screen, then the palette pass, then the frame pass, each when its
// options ask for it. Stops at a frame boundary when the progress record is stopped (Esc, Cancel or a
// cancel request for its job); what was done so far stays. Gives whether anything changed.
bool OptimizeAnimation(Animation& a, OptimizeOptions options, ProgressRecord* progress);

// The palette pass: removes local palettes (those that merge cleanly into the global one, or all of them
// with kMapToGlobal), then shrinks the global palette and every local palette to the entries in use.
// While local palettes are removed, palette conflicts are settled by merging without asking (the stored
// choice is put back afterwards, also when the pass is stopped).
bool OptimizePalettes(Animation& a, OptimizeOptions options, ProgressRecord* progress);

// The frame pass (kShrinkFrames with its two sub-options).
bool OptimizeFrameImages(Animation& a, OptimizeOptions options, ProgressRecord* progress);

// Turns runs of unchanged pixels (mask value 0) into transparency. The mask holds one byte per pixel of
// the frame before it was cut; the frame's pixel (x, y) stands at mask position (x0 + x, y0 + y).
bool ReplaceDuplicatePixels(Frame& f, const uint8_t* mask, int x0, int y0, int maskStride);

// Moves the used entries (nonzero counts) to the front, keeping their order. When that makes the palette
// smaller, gives true with the new palette (a power of two of at least 2 entries, the rest black), the
// table from old to new index (kNoTarget for unused entries) and the counts moved to the new indices.
bool CompactPalette(const Palette& palette, std::array<uint32_t, 256>& counts, PalettePtr& newPalette,
                    IndexMap& table);

}  // namespace lw
