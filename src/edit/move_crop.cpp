#include "edit/move_crop.h"

#include <algorithm>

#include "platform/ui_hooks.h"

namespace lw {

int ApplyMoveCrop(Frame& f, int64_t newLeft, int64_t newTop, int64_t newWidth, int64_t newHeight) {
  if (!f.bitmap) return 0;
  // Check everything before anything changes.
  if (newLeft < -65535 || newLeft > 65535) {
    Hooks().MessageBox("Bad X Offset Value", "The X offset must be in the range from -65535 to 65535",
                       MsgButtons::Ok, MsgIcon::Exclamation);
    return 0;
  }
  if (newTop < -65535 || newTop > 65535) {
    Hooks().MessageBox("Bad Y Offset Value", "The Y offset must be in the range from -65535 to 65535",
                       MsgButtons::Ok, MsgIcon::Exclamation);
    return 0;
  }
  // Cropping can only take pixels away: a larger size keeps the frame's own, and an empty frame cannot be.
  if (newWidth < 1) {
    ShowError("The width must be in the range from 1 to %d", f.width);
    return 0;
  }
  if (newHeight < 1) {
    ShowError("The height must be in the range from 1 to %d", f.height);
    return 0;
  }
  const int32_t width = static_cast<int32_t>(std::min<int64_t>(newWidth, f.width));
  const int32_t height = static_cast<int32_t>(std::min<int64_t>(newHeight, f.height));

  bool changed = false;
  if (newLeft != f.left || newTop != f.top) {
    SetFramePosition(f, static_cast<int32_t>(newLeft), static_cast<int32_t>(newTop));
    changed = true;
  }
  if (width == f.width && height == f.height) return changed ? 1 : 0;
  if (!CropFrame(f, 0, 0, width, height)) {
    ShowError("Not enough memory to crop the frame");
    return changed ? 1 : 0;
  }
  return 1;
}

}  // namespace lw
