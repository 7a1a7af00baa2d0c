// The document: one animated GIF held in memory as a list of blocks in file order.
//
// The Animation owns its blocks and its global palette; a frame owns its bitmap, mask and local palette
// and holds one reference to its name atom. A frame's `palette` is the palette in effect: its own local
// palette, or the Animation's global palette (borrowed). Graphic control extensions and the trailer are
// not kept as blocks; the writer produces them again.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/frame_bitmap.h"
#include "model/palette.h"
#include "platform/atoms.h"

namespace lw {

struct ProgressRecord;

enum BlockKind : uint8_t {
  kPlainTextBlock = 0x01,
  kOtherExtensionBlock = 0x21,  // '!': an extension of a label the program does not know, kept as read
  kHeadBlock = 0x2A,            // '*'
  kImageBlock = 0x2C,           // ','
  kCommentBlock = 0xFE,
  kApplicationBlock = 0xFF,
};

constexpr uint32_t kUnknownFileSize = 0xFFFFFFFF;

struct GifBlock {
  const uint8_t kind;
  GifBlock* next = nullptr;
  GifBlock* prev = nullptr;

  virtual ~GifBlock() = default;
  GifBlock(const GifBlock&) = delete;
  GifBlock& operator=(const GifBlock&) = delete;

 protected:
  explicit GifBlock(uint8_t k) : kind(k) {}
};

using BlockPtr = std::unique_ptr<GifBlock>;

struct HeadBlock : GifBlock {
  HeadBlock() : GifBlock(kHeadBlock) {}
};

// Comment, plain-text, application and unknown extensions, kept as the file had them.
struct ExtensionBlock : GifBlock {
  // The body exactly as in the file: data sub-blocks (length 1-255 and that many bytes) closed by a zero
  // length byte. A new block holds just the closing zero.
  std::vector<uint8_t> subBlocks{0};
  // The label written after the extension introducer: the kind, except for kOtherExtensionBlock.
  uint8_t label;
  explicit ExtensionBlock(uint8_t k) : GifBlock(k), label(k) {}
};

// Graphic control flags and image flags.
enum : uint8_t {
  kControlTransparent = 0x01,
  kControlUserInput = 0x02,
  kImageLocalTable = 0x80,
  kImageInterlaced = 0x40,
  kImageSorted = 0x20,
  kScreenGlobalTable = 0x80,
};

struct Frame : GifBlock {
  int32_t left = 0, top = 0;
  int32_t width = 0, height = 0;
  Atom nameAtom = 0;
  Palette* palette = nullptr;  // in effect: localPalette when there is one, else the global palette
  PalettePtr localPalette;
  uint32_t delay = 0;        // hundredths of a second
  uint8_t controlFlags = 0;  // bit 0 transparent, bit 1 user input, bits 2-4 disposal; others kept
  uint8_t transparentIndex = 0;
  uint8_t imageFlags = 0;  // bit 7 local table, bit 6 interlaced, bit 5 sort, bits 0-2 table size
  // The LZW minimum code size to write the pixels with (raised to what they need); 0 = the palette's. The
  // stronger optimizer sets it, since narrower codes make a frame whose indices are all small smaller.
  uint8_t codeSize = 0;
  // Written with a string table that, once full, is kept to the end instead of starting again; the
  // stronger optimizer sets it where that makes the frame smaller.
  bool keepFullTable = false;
  FrameBitmapPtr bitmap;
  MaskPtr mask;  // built while transparent; dropped when the pixels change

  Frame() : GifBlock(kImageBlock) {}
  ~Frame() override;

  const uint8_t* Bits() const { return bitmap ? bitmap->Bits() : nullptr; }
  const uint8_t* Row(int y) const { return bitmap->Row(y); }
  int Stride() const { return bitmap ? bitmap->Stride() : 0; }
  // The pixels for writing (the buffer is made this frame's own first); drops the mask, which is rebuilt
  // when next asked for. Null without a bitmap or when memory runs out.
  uint8_t* MutableBits();
};

using FramePtr = std::unique_ptr<Frame>;

struct Animation {
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  uint32_t loopCount = 0;  // 1 = no looping block; 0 = loop for ever
  int32_t frameCount = 0;
  GifBlock* head = nullptr;  // owned, with every block after it
  PalettePtr globalPalette;
  uint8_t screenFlags = 0;
  uint8_t backgroundIndex = 0;
  uint8_t aspectByte = 0;
  std::atomic<uint32_t> fileSize{kUnknownFileSize};
  std::array<uint32_t, 256> colorUse{};

  Animation();
  ~Animation();
  Animation(const Animation&) = delete;
  Animation& operator=(const Animation&) = delete;
};

using AnimationPtr = std::unique_ptr<Animation>;

// ---- List walking (all accept null and then give null) ----
inline GifBlock* NextBlock(const GifBlock* b) {
  return b ? b->next : nullptr;
}
inline GifBlock* PrevBlock(const GifBlock* b) {
  return b ? b->prev : nullptr;
}
inline Frame* AsFrame(GifBlock* b) {
  return b && b->kind == kImageBlock ? static_cast<Frame*>(b) : nullptr;
}
inline const Frame* AsFrame(const GifBlock* b) {
  return b && b->kind == kImageBlock ? static_cast<const Frame*>(b) : nullptr;
}
inline ExtensionBlock* AsExtension(GifBlock* b) {
  return b && (b->kind == kPlainTextBlock || b->kind == kCommentBlock || b->kind == kApplicationBlock ||
               b->kind == kOtherExtensionBlock)
             ? static_cast<ExtensionBlock*>(b)
             : nullptr;
}
inline const ExtensionBlock* AsExtension(const GifBlock* b) {
  return AsExtension(const_cast<GifBlock*>(b));
}
Frame* NextFrame(const GifBlock* b);
Frame* PrevFrame(const GifBlock* b);
Frame* FirstFrame(const Animation& a);
Frame* NthFrame(const Animation& a, int n);
GifBlock* LastBlock(const Animation& a);
// The 0-based position of a frame among the frames, -1 when it is not one of a's.
int FrameIndex(const Animation& a, const Frame* f);

// ---- List editing (frameCount is the caller's to keep) ----
void LinkBlocks(GifBlock* a, GifBlock* b);
// Puts b between a and a's old next; gives b.
GifBlock* InsertBlockAfter(GifBlock* a, BlockPtr b);
// Appends at the end of a's list; gives the block.
GifBlock* AppendBlock(Animation& a, BlockPtr b);
// Takes b out of its list and hands it over.
BlockPtr UnlinkBlock(GifBlock* b);
void UnlinkAndFreeBlock(GifBlock* b);

// ---- Creation ----
std::unique_ptr<ExtensionBlock> NewExtensionBlock(uint8_t kind);
// With the 4 data bytes of a graphic control extension (packed, delay low, high, transparent index), or
// without (default delay of the preferences, no flags).
FramePtr NewFrameBlock(const uint8_t* graphicControl = nullptr);
AnimationPtr NewAnimation();
// Header fields and colorUse of a, a fresh list, no global palette.
AnimationPtr CloneAnimationHeader(const Animation& a);
// A deep copy; a frame without a local palette takes the given palette (the target's global palette).
// Pixels are shared until written. Null when memory runs out.
BlockPtr CopyBlock(const GifBlock& b, Palette* palette);
// The whole document. When the progress record stops the copy, what was copied so far is given back.
AnimationPtr CopyAnimation(const Animation& a, ProgressRecord* progress = nullptr);
void SwapAnimations(Animation& a, Animation& b);

// ---- Animation values ----
// Returns whether the value changed.
bool SetLoopCount(Animation& a, uint32_t loopCount);
void SetScreenSize(Animation& a, int32_t width, int32_t height);
int32_t SetFrameCount(Animation& a, int32_t count);  // gives the old count
int32_t AddFrameCount(Animation& a, int32_t delta);  // gives the new count
// Installs the global palette: screenFlags becomes 0x80 | n << 4 | n (n = BitsForCount - 1), or 0 for
// none. Frames that used the old palette keep pointing at it until their palette is set: the old one is
// handed back to the caller.
PalettePtr SetGlobalPalette(Animation& a, PalettePtr palette);
// Raises the colour resolution field to cover the global table size and every local palette.
void UpdateColorResolution(Animation& a);
struct Extent {
  int32_t width = 0, height = 0;
};
Extent GetExtent(const Animation& a);

// ---- Frame values (each set gives the previous value) ----
struct Point {
  int32_t x = 0, y = 0;
};
Extent SetFrameSize(Frame& f, int32_t width, int32_t height);
Point SetFramePosition(Frame& f, int32_t left, int32_t top);
uint32_t SetDelay(Frame& f, uint32_t delay);
inline int GetDisposal(const Frame& f) {
  return (f.controlFlags >> 2) & 7;
}
int SetDisposal(Frame& f, int disposal);
inline bool GetUserInput(const Frame& f) {
  return f.controlFlags & kControlUserInput;
}
bool SetUserInput(Frame& f, bool on);
inline bool IsTransparent(const Frame& f) {
  return f.controlFlags & kControlTransparent;
}
// Drops the mask; on: sets the flag and builds the mask; off: clears it (the colour table gets the
// palette's own colour back).
void SetTransparent(Frame& f, bool on);
uint8_t SetTransparentIndex(Frame& f, uint8_t index);
inline bool IsInterlaced(const Frame& f) {
  return f.imageFlags & kImageInterlaced;
}
bool SetInterlaced(Frame& f, bool on);
Palette* SetFramePalette(Frame& f, Palette* palette);
// With a palette: it becomes the local palette and the palette in effect, the table bits are set. With
// null: the table bits are cleared and `palette` is left for the caller to set. Gives the old local palette.
PalettePtr SetLocalPalette(Frame& f, PalettePtr palette);
std::string GetFrameName(const Frame& f);
// Gives whether the name changed (a name equal but for letter case is no change).
bool SetFrameName(Frame& f, const std::string& name);

// ---- Comments ----
// The text of a comment block (its sub-blocks' data joined); empty for other kinds.
std::string GetCommentText(const GifBlock& b);
// Makes the comment one sub-block holding the text (at most 255 bytes are kept). False (with a message)
// for a block that is not a comment.
bool SetCommentText(GifBlock& b, const std::string& text);

// ---- Pixels ----
// Installs a bitmap: the old one goes; the mask is rebuilt for a transparent frame.
void SetFrameBitmap(Frame& f, FrameBitmapPtr bitmap);
// Writes the display colour (forDisplay) or the palette's own colour into the colour-table entry of the
// transparent index. Nothing for a frame that is not transparent.
void ShowTransparentColor(Frame& f, bool forDisplay);
// The display colour for transparent pixels (0x00BBGGRR) that the transparency view preference gives, or
// kShowFrameColor when the frame's own colour is to be shown.
constexpr uint32_t kShowFrameColor = 0xFFFFFFFF;
uint32_t TransparentDisplayColor();
void BuildMask(Frame& f);
void DropMask(Frame& f);
// The mask of a transparent frame, built when missing; null for an opaque frame.
const MaskBitmap* GetMask(Frame& f);
// Cuts the frame to the rectangle at (x0, y0) of the given size (clamped to the frame's pixels), moving
// its position by (x0, y0). False when the rectangle is empty or memory runs out (frame unchanged).
bool CropFrame(Frame& f, int32_t x0, int32_t y0, int32_t newWidth, int32_t newHeight);
bool FrameNeedsClipping(const Frame& f, int32_t screenWidth, int32_t screenHeight);
bool ClipFrame(Frame& f, int32_t screenWidth, int32_t screenHeight);
bool ClipAllFrames(Animation& a);

// ---- Colour use ----
using ColorCounts = std::array<uint32_t, 256>;
void CountFrameColorUse(const Frame& f, ColorCounts& table, bool clear);
void CountFrameOpaqueColorUse(const Frame& f, ColorCounts& table, bool clear);
// Frames without a local palette; stops early (giving false) when the colour-use job is cancelled.
bool CountGlobalColorUse(const Animation& a, ColorCounts& table, bool clear);
bool CountGlobalOpaqueColorUse(const Animation& a, ColorCounts& table, bool clear);

}  // namespace lw
