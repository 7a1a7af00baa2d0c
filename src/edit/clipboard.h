// The clipboard data of a frame: the program's own block, which keeps every frame and animation field so
// that a paste into another window gives the frame back exactly, and an 8-bit device-independent bitmap of
// its pixels for other programs. Both come back from the clipboard as outside data: every size, count and
// field is checked before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/animation.h"

namespace lw {

// The clipboard type of the own block, and the name it was registered under.
constexpr char kFrameClipboardMime[] = "application/x-loopwright-frame-v2";
constexpr char kFrameClipboardName[] = "Loopwright Frame (v2)";

// The own block: 1120 bytes of animation and frame fields, the frame's name with its terminator and three
// zero bytes; 1124 + n bytes for a name of n bytes. Fields that held addresses of the writing process are
// written as zeros and never read.
constexpr size_t kFrameBlockFixedSize = 1120;
constexpr size_t kFrameBlockMaxName = 259;
constexpr size_t kFrameBlockMaxSize = kFrameBlockFixedSize + kFrameBlockMaxName + 4;

// The own block of frame f of a. Empty when memory runs out.
std::vector<uint8_t> BuildFrameBlock(const Animation& a, const Frame& f);

// The frame as a packed 8-bit DIB: a 40-byte information header (rows bottom-up), room for 256 colour
// entries of which the palette in effect fills the first, then the rows padded to 4 bytes. Empty when
// memory runs out.
std::vector<uint8_t> BuildFrameDib(const Frame& f);
// The same DIB behind a 14-byte BMP file header, as other programs take "image/bmp".
std::vector<uint8_t> BuildFrameBmp(const Frame& f);

// The fields an own block carries, checked. The animation holds the header fields, the frame its fields
// and name (no pixels, no palette).
struct FrameBlock {
  AnimationPtr animation;
  FramePtr frame;
};
// Checks a block (size, terminated name, image kind, sizes and offsets within what a GIF can hold) and
// gives its fields; false when anything is wrong.
bool ParseFrameBlock(const uint8_t* data, size_t size, FrameBlock* out);

// The picture of a packed DIB, or of a BMP file (a 14-byte header starting "BM" is taken off and its
// pixel offset kept), as ConvertDibToAnimation wants it.
struct DibBytes {
  const uint8_t* dib = nullptr;
  size_t size = 0;
  size_t pixelOffset = 0;
};
DibBytes LocateDib(const uint8_t* data, size_t size);

// What Paste made of the clipboard's data.
enum class PasteResult {
  kPasted,    // *out holds a one-frame animation
  kUnusable,  // the picture cannot be read: nothing shown, another format may be tried
  kFailed,    // refused after a message, or cancelled by the user
};

// A one-frame animation from the clipboard's own block (may be null) and its picture (a DIB or BMP file).
// The block's fields are taken only when it is sound and its width and height are the picture's;
// otherwise the picture pastes as one from another program ("[Unnamed]", the default delay). Palettes and
// table flags come from the colours really read; full-colour pictures go through the high-colour choice.
PasteResult PasteFrameData(const uint8_t* block, size_t blockSize, const uint8_t* picture, size_t pictureSize,
                           const Palette* currentGlobal, AnimationPtr* out);

}  // namespace lw
