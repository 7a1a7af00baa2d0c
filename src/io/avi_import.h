// AVI import: every frame of a movie's video stream becomes a frame of a new Animation, each delay taken
// from the stream's timing. Other movie files the video source reads come in the same way.
#pragma once

#include <string>

#include "color/palette_choice.h"
#include "model/animation.h"
#include "platform/video_source.h"

namespace lw {

struct AviImportOptions {
  PaletteChoice highColorChoice = 0;  // 0: the user's choice (asked when it says so)
  VideoLimit limit;
};

// 0 failure (after the message; no Animation), 1 success, 2 stopped by the user (the frames read so far
// are given back). currentGlobal is the open document's global palette, or null.
int ImportAvi(const std::string& path, AnimationPtr* out, const Palette* currentGlobal,
              const AviImportOptions& options = {});

}  // namespace lw
