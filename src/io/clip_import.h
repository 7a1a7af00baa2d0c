// Movies through the clip encoder: one palette across the clip, still areas kept still, frames trimmed
// to what changed, lossy as far as the quality allows. The AVI import's messages and progress.
#pragma once

#include <string>

#include "io/clip_encoder.h"
#include "model/animation.h"
#include "platform/video_source.h"

namespace lw {

struct ClipImportOptions {
  ClipSettings settings;
  VideoLimit limit;  // window, frame rate and size of what is read
  // When set, the frames of a full-colour movie go here as they are made and no Animation is given back
  // (8-bit movies still come back whole, without calling it).
  ClipFrameOutput* output = nullptr;
};

// 0 failure (after the message; no Animation), 1 success, 2 stopped by the user (no Animation either: a
// clip stopped half way is of no use, and the document stays as it was). 8-bit movies keep their own
// palettes and come in through the AVI import. A failing output has said why; ImportClip adds nothing.
int ImportClip(const std::string& path, AnimationPtr* out, const ClipImportOptions& options = {});

}  // namespace lw
