// Full-colour RGBA frames (PNG, JPEG, WebP, APNG pictures) made into GIF frames. Alpha becomes GIF
// transparency at a threshold: a pixel with alpha of 128 or more is drawn opaque in its colour, one below
// is transparent. A frame whose colours (plus a transparent entry when it needs one) fit 256 entries gets
// exactly those colours; others go through the high-colour choice like full-colour BMP files. When every
// frame was exact and all of them together fit 256 entries, they share one global palette.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "color/palette_choice.h"
#include "model/animation.h"

namespace lw {

constexpr uint8_t kOpaqueAlpha = 128;

// What Add gives when the high-colour choice for an animation is "Best for video": the frame was not added,
// and the pictures are for the clip encoder to take from the start.
constexpr int kWantsClipEncoder = 2;

// Milliseconds of frames into delays in hundredths on the running time line, so that rounding never adds
// up over many frames. A frame of 0 ms gets 0.
class DelayClock {
 public:
  uint32_t Next(uint32_t durationMs);

 private:
  uint64_t elapsedMs_ = 0;
  uint32_t elapsedHundredths_ = 0;
};

class PictureFrameBuilder {
 public:
  // currentGlobal: the open document's palette for the "current global palette" choice (may be null);
  // highColorChoice: 0 to ask the user (once, at the first frame that needs it). For an animation the
  // question offers "Best for video" first; for a still that choice means the high-quality adaptive palette.
  PictureFrameBuilder(const Palette* currentGlobal, PaletteChoice highColorChoice, bool animation = false);

  // Adds a frame of width × height RGBA pixels (rows top-down) shown for durationMs. Frames smaller than
  // the screen sit at its top left. 1 added, 0 failed after a message, -1 the user cancelled the question,
  // kWantsClipEncoder (animations only) as said above.
  int Add(const uint8_t* rgba, int32_t width, int32_t height, uint32_t durationMs);

  // Hands over the Animation (null when no frame was added).
  AnimationPtr Finish(uint32_t loopCount);

 private:
  PalettePtr FramePalette(const uint8_t* rgba, size_t pixels, std::vector<uint8_t>* indices,
                          int* transparent);
  PalettePtr ConvertByChoice(const uint8_t* rgba, int32_t width, int32_t height,
                             std::vector<uint8_t>* indices, bool hasTransparent, int* transparent);
  void MergeIntoUnion(const Palette& palette, int transparent);
  void ShareGlobalPalette();

  AnimationPtr animation_;
  const Palette* currentGlobal_;
  PaletteChoice choice_;
  bool animation_pictures_;
  DelayClock clock_;
  uint64_t totalPixels_ = 0;
  bool anyTransparent_ = false;
  // Every colour of every frame so far, while all of them fit one palette.
  bool unionPossible_ = true;
  std::unordered_map<uint32_t, uint8_t> unionColors_;
  std::vector<PaletteEntry> unionEntries_;
};

}  // namespace lw
