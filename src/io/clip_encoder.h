// The clip encoder: a movie (or any run of full-colour pictures of one size) made into a small animation
// that looks like it. One palette for the whole clip from the full 24-bit colours of sampled frames, of as
// many colours as the quality needs, with the colours many pixels share kept exactly; pixels that stay
// still keep their index from frame to frame; each frame holds only the rectangle that changed, pixels
// that changed less than the quality allows transparent where that is smaller; and the lossy LZW
// treatment as far as the quality setting allows.
//
// Two passes over the pictures: first SampleFrame on some or all of them (the palette's colours), then
// MakePalette, then AddFrame on every one of them in order, then Finish. Only the previous picture is kept in
// full colour; the frames are held in 8 bits.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "color/best_quantize.h"
#include "model/animation.h"

namespace lw {

constexpr int kDefaultClipQuality = 90;

struct ClipSettings {
  int quality = kDefaultClipQuality;  // 1…100: 100 maps every pixel to its nearest colour, losslessly
  int threads = 2;                    // threads that map a frame's rows
};

// How a quality setting is carried out.
struct ClipTolerances {
  double keep = 0;  // a pixel keeps its shown colour while that is at most this much farther than the nearest
  double free = 0;  // a pixel whose shown colour is this close to its own may go on showing it (become
                    // transparent) where that lets the LZW string under way go on
  int lossy = 0;    // the lossy LZW's level (colour distance)
  double palettePsnr = 0;  // the palette has as few colours as keep it this close (dB); 0: all of them
};
// flatShare: the share of the pixels the 8 commonest colours hold (near 1 for a screen recording, where
// errors show on flat areas and text, so the loss is smaller there).
ClipTolerances ClipTolerancesFor(int quality, double flatShare = 0);

// Takes a clip's frames as they are made, when the animation is not to hold them all (a long full-HD movie
// is gigabytes even in 8 bits).
class ClipFrameOutput {
 public:
  virtual ~ClipFrameOutput() = default;
  // Before the first frame: the animation with its screen, palette and loop count, but no frames.
  virtual bool Begin(Animation& header) = 0;
  // Each frame in turn, which the encoder drops afterwards. False stops the encoder.
  virtual bool Take(const Animation& header, const Frame& frame) = 0;
};

class ClipEncoder {
 public:
  // Pictures of width x height pixels (each within the engine's limits, checked by the caller).
  ClipEncoder(int width, int height, const ClipSettings& settings = {});
  ~ClipEncoder();
  ClipEncoder(const ClipEncoder&) = delete;
  ClipEncoder& operator=(const ClipEncoder&) = delete;

  // Pass one: the colours of one picture (width x height 0xRRGGBB values, rows top-down). Large pictures
  // are sampled. Throws std::bad_alloc when memory runs out.
  void SampleFrame(const uint32_t* rgb);
  // Builds the palette from what was sampled. False when nothing was, or memory ran out.
  bool MakePalette();
  const Palette* GetPalette() const { return palette_; }

  // Pass two: the next picture and how long it shows (hundredths). False when memory ran out (the
  // frames so far stay; Finish still gives them).
  bool AddFrame(const uint32_t* rgb, uint32_t delay);
  int FrameCount() const { return animation_ ? animation_->frameCount : 0; }
  // From now on the frames go to the output as they are made (the animation Finish gives then has none),
  // with this loop count. AddFrame is false when the output refuses one; OutputFailed says so.
  void SendFramesTo(ClipFrameOutput* output, uint32_t loopCount);
  bool OutputFailed() const { return outputFailed_; }
  // The animation made (null before any frame). The encoder is spent afterwards.
  AnimationPtr Finish(uint32_t loopCount);

 private:
  struct Cache;
  void MapRows(const uint32_t* rgb, int y0, int y1, Cache& cache);
  bool WriteFrame(uint32_t delay);
  void SetScreen(uint32_t loopCount);

  int width_, height_;
  ClipSettings settings_;
  ClipTolerances tolerances_;
  ColourHistogram histogram_;
  Palette* palette_ = nullptr;  // the animation's: the colours, then the transparent slot, padding
  int colours_ = 0;             // entries in use; the transparent index is this one
  int codeSize_ = 8;            // the LZW minimum code size the frames are written with
  std::unique_ptr<NearestColour> nearest_;
  std::vector<Cache> caches_;       // one per mapping thread
  std::vector<uint32_t> previous_;  // the previous picture in full colour
  std::vector<uint8_t> target_;     // this picture in palette indices
  std::vector<uint8_t> canvas_;     // the screen as the frames so far compose it
  bool started_ = false;
  AnimationPtr animation_;
  ClipFrameOutput* output_ = nullptr;
  uint32_t loopCount_ = 0;
  bool outputFailed_ = false;
};

}  // namespace lw
