// PNG, APNG, JPEG and WebP files (stills and animations) made into a new Animation, and a list of picture
// files made into one Animation with a frame per picture (every frame of an animated one) in the order
// given. The pictures come through the picture source; their colours as picture_frames.h says.
#pragma once

#include <string>
#include <vector>

#include "color/palette_choice.h"
#include "model/animation.h"

namespace lw {

// The most frames one import takes (as many as the GIF reader agrees to hold).
constexpr uint32_t kMaxPictureFrames = 65535;

// Whether the name ends in one of the picture extensions (png, apng, jpg, jpeg, jpe, jfif, webp).
bool IsPictureFileName(const std::string& path);

// 0 failure (after the message; no Animation), 1 success, 2 stopped by the user (the frames read so far are
// given back). currentGlobal is the open document's global palette, or null; highColorChoice 0 asks.
int ImportPictures(const std::vector<std::string>& paths, AnimationPtr* out, const Palette* currentGlobal,
                   PaletteChoice highColorChoice = 0);

inline int ImportPicture(const std::string& path, AnimationPtr* out, const Palette* currentGlobal,
                         PaletteChoice highColorChoice = 0) {
  return ImportPictures({path}, out, currentGlobal, highColorChoice);
}

}  // namespace lw
