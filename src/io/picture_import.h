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

struct PictureImportOptions {
  PaletteChoice highColorChoice = 0;  // 0 asks (or takes the stored default)
  // Above 0: an animation (several frames or files) goes through the clip encoder at this quality
  // without asking, as a movie does. At 0 it does so when the choice is "Best for video", at its quality.
  int clipQuality = 0;
};

// 0 failure (after the message; no Animation), 1 success, 2 stopped by the user (the frames read so far are
// given back; through the clip encoder nothing is). currentGlobal is the open document's global palette,
// or null. An animation whose frames need the high-colour choice, answered "Best for video", goes through
// the clip encoder (one palette across the frames, still areas kept still) unless a frame has transparent
// pixels or the pictures differ in size: then each frame gets the high-quality adaptive palette.
int ImportPictures(const std::vector<std::string>& paths, AnimationPtr* out, const Palette* currentGlobal,
                   const PictureImportOptions& options);

inline int ImportPictures(const std::vector<std::string>& paths, AnimationPtr* out,
                          const Palette* currentGlobal, PaletteChoice highColorChoice = 0) {
  return ImportPictures(paths, out, currentGlobal, PictureImportOptions{highColorChoice, 0});
}

inline int ImportPicture(const std::string& path, AnimationPtr* out, const Palette* currentGlobal,
                         PaletteChoice highColorChoice = 0) {
  return ImportPictures({path}, out, currentGlobal, highColorChoice);
}

}  // namespace lw
