// The filmstrip export: every frame of an animation side by side in one still GIF image, in cells the
// size of the logical screen, a chosen number of frames per strip, the strips stacked across or down.
#pragma once

#include <cstdint>
#include <string>

#include "model/animation.h"

namespace lw {

enum class FilmstripOrientation { kHorizontal = 1, kVertical = 2 };

struct FilmstripLayout {
  int32_t strips = 0;
  int64_t width = 0, height = 0;  // of the composed image
};

// Horizontal: the frames of a strip run left to right and the strips are stacked downwards; vertical:
// down, and the strips stand left to right. perStrip must be at least 1.
FilmstripLayout ComputeFilmstripLayout(const Animation& a, int32_t perStrip, FilmstripOrientation o);

// The orientation the export dialog proposes: horizontal for a screen higher than wide.
FilmstripOrientation DefaultFilmstripOrientation(const Animation& a);

// Whether the frames can be put in one filmstrip: one transparency state for all (none transparent, or
// all with the same index) and no local palette. Shows the refusal otherwise.
bool CheckFilmstripFrames(const Animation& a);

// The one-frame animation holding the composed image (loop count, background and aspect carried over,
// no extension blocks). A frame reaching outside the logical screen is cut to its cell. Null, with a
// message, when perStrip is below 1, the image would be too large for a GIF, or memory runs out.
AnimationPtr BuildFilmstrip(const Animation& a, int32_t perStrip, FilmstripOrientation o);

// The export: the checks, the composed image, written to the file through a temporary file (the target is
// untouched unless the whole file was written). 1 written, 0 not (the reason was shown).
int ExportFilmstrip(const std::string& path, const Animation& a, int32_t perStrip, FilmstripOrientation o);

}  // namespace lw
