#include "edit/properties.h"

#include "platform/ui_hooks.h"

namespace lw {

namespace {

void Refuse(const char* caption, const char* text) {
  Hooks().MessageBox(caption, text, MsgButtons::Ok, MsgIcon::Exclamation);
}

bool Confirm(const char* caption, const char* text) {
  return Hooks().MessageBox(caption, text, MsgButtons::YesNo, MsgIcon::Exclamation) == MsgResult::Yes;
}

constexpr char kCompleteClipping[] =
    "This offset will clip the frame completely. Are you sure that you want to do this?";

// Whether a frame at offset on an axis lies wholly outside 0 .. screen on it: its first pixel at or past
// the screen's end, or its last one before the start.
bool WhollyOff(int64_t offset, int64_t size, int64_t screen) {
  return offset >= screen || offset + size <= 0;
}

bool AnyWhollyOff(const Animation& a, const Frame* only, int64_t offset, bool horizontal) {
  int64_t screen = horizontal ? a.screenWidth : a.screenHeight;
  for (const Frame* f = only ? only : FirstFrame(a); f; f = only ? nullptr : NextFrame(f))
    if (WhollyOff(offset, horizontal ? f->width : f->height, screen)) return true;
  return false;
}

}  // namespace

PropertyField CheckFrameValues(const Animation& a, const FrameValues& v, const Frame* only) {
  if (v.left) {
    if (*v.left < -65535 || *v.left > 65535) {
      Refuse("Bad X Offset Value", "The X offset must be in the range from -65535 to 65535");
      return PropertyField::kOffsetX;
    }
    if (AnyWhollyOff(a, only, *v.left, true) && !Confirm("Complete Clipping", kCompleteClipping))
      return PropertyField::kOffsetX;
  }
  if (v.top) {
    if (*v.top < -65535 || *v.top > 65535) {
      Refuse("Bad Y Offset Value", "The Y offset must be in the range from -65535 to 65535");
      return PropertyField::kOffsetY;
    }
    if (AnyWhollyOff(a, only, *v.top, false) && !Confirm("Complete Clipping", kCompleteClipping))
      return PropertyField::kOffsetY;
  }
  if (v.userInput && *v.userInput)
    Hooks().MessageBox("User Input Caution",
                       "Please note that no current Web browsers handle \"user input\" during an animation.",
                       MsgButtons::Ok, MsgIcon::Information);
  if (v.delay && (*v.delay < 0 || *v.delay > 65535)) {
    Refuse("Invalid Delay Value", "The delay must be in the range from 0 to 65535.");
    return PropertyField::kDelay;
  }
  return PropertyField::kNone;
}

namespace {

bool ApplyShared(Frame& f, const FrameValues& v) {
  bool changed = false;
  if (v.transparent) {
    if (!*v.transparent) {
      if (IsTransparent(f)) {
        SetTransparent(f, false);
        changed = true;
      }
    } else if (v.transparentIndex && (f.transparentIndex != *v.transparentIndex || !IsTransparent(f))) {
      SetTransparentIndex(f, *v.transparentIndex);
      SetTransparent(f, true);
      changed = true;
    }
  }
  if (v.interlaced) changed |= SetInterlaced(f, *v.interlaced) != *v.interlaced;
  if (v.left || v.top) {
    Point to{v.left ? static_cast<int32_t>(*v.left) : f.left, v.top ? static_cast<int32_t>(*v.top) : f.top};
    Point old = SetFramePosition(f, to.x, to.y);
    changed |= old.x != to.x || old.y != to.y;
  }
  if (v.disposal && *v.disposal >= 0 && *v.disposal <= 3)
    changed |= SetDisposal(f, *v.disposal) != *v.disposal;
  if (v.delay) {
    auto delay = static_cast<uint32_t>(*v.delay);
    changed |= SetDelay(f, delay) != delay;
  }
  return changed;
}

}  // namespace

bool ApplyFrameValues(Frame& f, const FrameValues& v) {
  bool changed = false;
  if (v.name) changed |= SetFrameName(f, *v.name);
  changed |= ApplyShared(f, v);
  if (v.userInput) changed |= SetUserInput(f, *v.userInput) != *v.userInput;
  return changed;
}

bool ApplyFrameValuesToAll(Animation& a, const FrameValues& v) {
  bool changed = false;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) changed |= ApplyShared(*f, v);
  return changed;
}

PropertyField CheckAnimationValues(const Animation& a, const AnimationValues& v) {
  if (v.screenWidth || v.screenHeight) {
    Extent extent = GetExtent(a);
    if (v.screenWidth) {
      if (*v.screenWidth < 0 || *v.screenWidth > 65535) {
        Refuse("Bad Width Value", "The width must be in the range from 0 to 65535");
        return PropertyField::kScreenWidth;
      }
      if (extent.width > *v.screenWidth &&
          !Confirm("Image Clipping",
                   "This width will clip some frames. Are you sure that you want to do this?"))
        return PropertyField::kScreenWidth;
    }
    if (v.screenHeight) {
      if (*v.screenHeight < 0 || *v.screenHeight > 65535) {
        Refuse("Bad Height Value", "The height must be in the range from 0 to 65535");
        return PropertyField::kScreenHeight;
      }
      if (extent.height > *v.screenHeight &&
          !Confirm("Image Clipping",
                   "This height will clip some frames. Are you sure that you want to do this?"))
        return PropertyField::kScreenHeight;
    }
  }
  if (v.iterations && (*v.iterations < 0 || *v.iterations > 65535)) {
    Refuse("Bad Iteration Value", "The number of iterations must be in the range from 0 to 65535");
    return PropertyField::kIterations;
  }
  return PropertyField::kNone;
}

int ApplyAnimationValues(Animation& a, const AnimationValues& v) {
  int result = 0;
  if (v.iterations && SetLoopCount(a, static_cast<uint32_t>(*v.iterations))) result = 1;
  if (v.screenWidth || v.screenHeight) {
    SetScreenSize(a, v.screenWidth ? static_cast<int32_t>(*v.screenWidth) : a.screenWidth,
                  v.screenHeight ? static_cast<int32_t>(*v.screenHeight) : a.screenHeight);
    result = 2;
  }
  return result;
}

}  // namespace lw
