// Writing an Animation as a GIF89a file, the check before a save, and the saved size.
#pragma once

#include <cstdint>

#include "gif/gif_sink.h"
#include "model/animation.h"
#include "platform/progress.h"

namespace lw {

// Writes the whole file into the sink: 1 written, 0 a write failed (or a frame cannot be stored in a
// GIF file), 2 the user stopped it. Shows no message: the caller words the failure. Raises the colour
// resolution field of the screen flags to cover every local palette.
int WriteGif(GifSink& sink, Animation& a, ProgressRecord* progress);

// Writes a GIF one frame at a time, so that an animation made frame by frame need never hold them all: the
// same bytes as WriteGif gives for the animation with those frames, as long as every frame covers the
// screen or comes after the first, has a transparent index or leaves its pixels in place, and has no
// local table larger than the global one (else WriteFrame fails and the writer is spent).
class GifStreamWriter {
 public:
  explicit GifStreamWriter(GifSink& sink) : sink_(sink) {}
  // The header from the animation's screen, global palette and loop count (its frames, if any, are not
  // written); stores the colour resolution in its screen flags as WriteGif does.
  bool Begin(Animation& a);
  bool WriteFrame(const Animation& a, const Frame& f);
  bool End();  // the trailer
  bool Begun() const { return begun_; }

 private:
  GifSink& sink_;
  bool begun_ = false, ok_ = false;
  int globalTableBits_ = 0;
  int frames_ = 0;
};

// The question before a save: frames that stick out of the logical screen are clipped (without asking
// when the preferences say so). False when the user declines or a frame cannot be clipped.
bool CheckClippingBeforeSave(Animation& a);

// The size of the file the Animation would be saved as; the cached fileSize unless forced.
// kUnknownFileSize when it cannot be computed or the progress record stops it.
uint32_t ComputeFileSize(Animation& a, bool force, ProgressRecord* progress);

// The LZW minimum code size a frame is written with: enough bits for its palette (or its own code size
// when it has one) and for every pixel value it holds, at least 2. tableBits, when not 0, is the size of
// the table the frame is written with (2^bits entries), which may be larger than the palette: the code
// size follows what a reader of the file will see, so reading and writing again keeps the same bytes.
int MinimumCodeSize(const Frame& f, int tableBits = 0);

}  // namespace lw
