// The values the frame and animation property dialogs edit: their checks (with the dialogs' messages and
// questions) and how they are applied. The dialogs and the command-line tool both go through here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/animation.h"

namespace lw {

// Which value a check refused (the dialog puts the focus on its field).
enum class PropertyField { kNone, kOffsetX, kOffsetY, kDelay, kScreenWidth, kScreenHeight, kIterations };

// Values for one frame, or for all frames at once. An empty value is left as it is. Numbers are as typed
// (signed, unchecked); the check below refuses those out of range.
struct FrameValues {
  std::optional<std::string> name;  // one frame only
  std::optional<int64_t> left, top;
  std::optional<int64_t> delay;
  std::optional<int> disposal;  // 0 none, 1 leave alone, 2 background colour, 3 restore previous
  // Transparency off, or on with the chosen transparent index. On without an index keeps the frame's.
  std::optional<bool> transparent;
  std::optional<uint8_t> transparentIndex;
  std::optional<bool> interlaced;
  std::optional<bool> userInput;  // one frame only
};

// What OK checks before it applies anything: X offset, Y offset (each with the clipping question when
// the new offset puts the frame wholly off the screen: X at or past the screen's width, or X plus the
// frame's width at or before 0; for all frames when only is null, asked once when any frame would be),
// the user-input caution, then the delay. Shows the message of the first refused value and gives its
// field; kNone when everything may be applied.
PropertyField CheckFrameValues(const Animation& a, const FrameValues& v, const Frame* only);

// Applies checked values to one frame in the dialog's order (name, transparency, interlace, position,
// disposal, delay, user input). Gives whether anything changed.
bool ApplyFrameValues(Frame& f, const FrameValues& v);

// The same values for every frame; name and user input are never changed this way. Gives whether any
// frame changed.
bool ApplyFrameValuesToAll(Animation& a, const FrameValues& v);

// Values of the animation: the iteration count (0 = loop for ever, 1 = no looping block) and the logical
// screen size (both sides, when the size was edited).
struct AnimationValues {
  std::optional<int64_t> iterations;
  std::optional<int64_t> screenWidth, screenHeight;
};

// Width (range, then the question when frames would be clipped), height likewise, then iterations.
PropertyField CheckAnimationValues(const Animation& a, const AnimationValues& v);

// Gives 0 when nothing changed, 1 when the iteration count changed, 2 when the screen size was set.
// Frames are not clipped here.
int ApplyAnimationValues(Animation& a, const AnimationValues& v);

// The frames' extent, the size "Auto Size" proposes.
inline Extent AutoScreenSize(const Animation& a) {
  return GetExtent(a);
}

}  // namespace lw
