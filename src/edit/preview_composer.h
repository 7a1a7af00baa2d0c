// What the animation preview shows: the frames composed one after the other on a picture of the logical
// screen's size, each in its own palette in effect, the way the editor plays them (not the way a web
// browser does). The picture starts in the window colour; a frame's transparent pixels are left out;
// disposal 2 fills the frame's rectangle with the window colour (the background index is not used);
// disposal 3 puts back exactly what lay under the frame; 0, 1 and the undefined methods leave it. Frames
// that stick out of the screen are clipped. Playing always loops: after the last frame the first is drawn
// over the disposed last one.
//
// Each step costs the area of the frames involved, not the screen's: the picture before a disposal-3
// frame is saved only where that frame lies, and only that rectangle is put back.
#pragma once

#include <cstdint>
#include <vector>

#include "model/animation.h"

namespace lw {

// 0xFFRRGGBB, the layout the screen takes (Qt's RGB32).
using ScreenPixel = uint32_t;

constexpr ScreenPixel MakeScreenPixel(uint8_t red, uint8_t green, uint8_t blue) {
  return 0xFF000000u | uint32_t{red} << 16 | uint32_t{green} << 8 | blue;
}

// The composed picture and the disposal still owed by the frame drawn last.
class PreviewPicture {
 public:
  // Makes the picture width × height in the background colour. False, with no picture, when a side is not
  // positive, the size is over the frame pixel limit or memory runs out.
  bool Make(int32_t width, int32_t height, ScreenPixel background);
  void Discard();
  bool Exists() const { return !pixels_.empty(); }

  // Fills the whole picture with the background colour and forgets the pending disposal.
  void Clear();
  // Settles the pending disposal of the frame drawn last: the picture is then what the next frame is drawn
  // over.
  void Settle();
  // Settles the pending disposal of the frame drawn before, then draws f (saving what lies under it
  // first when its own disposal is 3). Nothing without a picture.
  void Draw(const Frame& f);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  const ScreenPixel* Pixels() const { return pixels_.data(); }
  ScreenPixel At(int32_t x, int32_t y) const {
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  }
  ScreenPixel Background() const { return background_; }
  void SetBackground(ScreenPixel background) { background_ = background; }
  // Pixels read or written by Draw so far (to check that a step costs the frame's area).
  uint64_t PixelsTouched() const { return touched_; }

 private:
  struct Rect {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
  };
  Rect Clip(const Frame& f) const;
  void Fill(const Rect& r, ScreenPixel color);

  int32_t width_ = 0, height_ = 0;
  ScreenPixel background_ = MakeScreenPixel(0xF0, 0xF0, 0xF0);
  std::vector<ScreenPixel> pixels_;
  // The frame drawn last: its clipped rectangle and disposal method; for disposal 3 what lay beneath.
  int pendingDisposal_ = 0;
  Rect pendingRect_;
  std::vector<ScreenPixel> saved_;
  uint64_t touched_ = 0;
};

// Which frame the preview shows and the picture composed up to it. Frames are found by their number on
// every step, so a document changed behind the preview's back can never leave it with a freed frame; a
// change is told with AnimationChanged all the same, so that the picture is composed afresh.
class PreviewComposer {
 public:
  explicit PreviewComposer(const Animation* a = nullptr,
                           ScreenPixel background = MakeScreenPixel(0xF0, 0xF0, 0xF0));

  const Animation* PreviewAnimation() const { return animation_; }
  // Another document (or none): back to no frame, the picture made again for its screen.
  void SetPreviewAnimation(const Animation* a);
  void SetBackground(ScreenPixel background);

  // The next frame, after the last the first (drawn over the disposed last frame), composed. Nothing
  // without an animation or frames.
  void PreviewAdvance();
  // Shows frame n (1-based) by composing every frame from the first when going backwards, from the current
  // one otherwise, so that the disposal methods on the way take effect. 0 forgets the current frame
  // without drawing. A number beyond the frame count means the last frame.
  void PreviewGoTo(int n);
  // No frame shown, the picture in the background colour: the next advance starts at frame 1.
  void Restart();
  // The document changed: a new screen size gets a new picture; the picture is composed afresh up to the
  // frame shown before (or the new last frame when fewer remain), or from frame 1 when restart is set.
  void AnimationChanged(bool restart);

  // 1-based number of the frame shown, 0 for none.
  int Number() const { return number_; }
  // The frame shown (null for none).
  const Frame* Current() const;
  // Its delay in milliseconds for the frame timer: delay × 10, or 1 for a delay of 0.
  int CurrentDelayMs() const;
  bool UserInput() const { return userInput_; }

  // The picture; it does not exist when the screen is empty or too large to hold (nothing is composed).
  const PreviewPicture& Picture() const { return picture_; }
  // Frames composed so far (a wrap or a step back shows in it).
  uint64_t FramesComposed() const { return composed_; }

 private:
  const Frame* AdvanceFrom(const Frame* current);
  void MakePicture();

  const Animation* animation_ = nullptr;
  PreviewPicture picture_;
  ScreenPixel background_;
  int number_ = 0;
  bool userInput_ = false;
  uint64_t composed_ = 0;
};

}  // namespace lw
