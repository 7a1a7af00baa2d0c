// The steps the whole-animation edits share: every frame made the full picture it shows before frames are
// moved, dropped or resampled, and the animation made small again afterwards.
#pragma once

#include <functional>

#include "model/animation.h"

namespace lw {

struct ProgressRecord;

// Whether screen-sized pictures of every frame fit the engine's limits; when not, says so with a message.
bool ComposedFramesFit(const Animation& a, int32_t width, int32_t height);

// Runs the edit on a copy of the animation (pixels shared until written) and takes the copy only when
// the edit succeeds, so that a refusal or a failure part-way leaves the animation as it was.
bool EditOnCopy(Animation& a, const std::function<bool(Animation&)>& edit);

// Unoptimizes the animation (every frame the whole screen, as shown). False, after a message, when it
// cannot be done.
bool ComposeAllFrames(Animation& a);

// After frames were reordered or dropped: a frame is cleared away before a frame with transparent pixels
// (where nothing is drawn), left in place otherwise; then the frames are cut down to what changes.
void ReoptimizeComposed(Animation& a, ProgressRecord* progress);

}  // namespace lw
