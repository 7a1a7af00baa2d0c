// Device-independent bitmaps (DIBs) as they come from BMP files and the clipboard: the header fields the
// colour code needs, and a checked reading of a packed DIB (information header, masks, colour table, rows).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/palette.h"

namespace lw {

enum DibCompression : uint32_t {
  kDibRgb = 0,
  kDibRle8 = 1,
  kDibRle4 = 2,
  kDibBitFields = 3,
};

// Information header sizes: the classic one, and the V4 and V5 ones that carry their masks inside.
constexpr uint32_t kDibInfoHeaderSize = 40;
constexpr uint32_t kDibV4HeaderSize = 108;
constexpr uint32_t kDibV5HeaderSize = 124;

struct DibHeader {
  uint32_t size = kDibInfoHeaderSize;
  int32_t width = 0;
  int32_t height = 0;  // positive: rows bottom-up; negative: top-down
  uint16_t planes = 1;
  uint16_t bitCount = 0;
  uint32_t compression = kDibRgb;
  uint32_t imageSize = 0;
  uint32_t colorsUsed = 0;
  // Channel masks red, green, blue; used for 16 and 32 bits with bit fields.
  std::array<uint32_t, 3> masks{};

  int AbsHeight() const { return height < 0 ? -height : height; }
  bool TopDown() const { return height < 0; }
};

// Bytes per row of a DIB: bits rounded up to whole 32-bit words. 0 when absurd (over 2^31).
size_t DibStride(int32_t width, int bitCount);

// The channel masks in force for 16 and 32 bits: the header's with bit fields, else 5-5-5 or 8-8-8.
std::array<uint32_t, 3> DibMasks(const DibHeader& header);

// How one channel is taken out of a 16- or 32-bit pixel: (pixel & mask) >> shift, then brought to 8 bits
// (a narrow channel is shifted up, so 5 bits give 0…248; a wide one keeps its top 8 bits).
struct ChannelMask {
  uint32_t mask = 0;
  int shift = 0;  // position of the lowest set bit
  int up = 0;     // left shift to 8 bits (8 - bits) when the channel is narrower than 8 bits
  int down = 0;   // right shift to 8 bits (bits - 8) when it is wider
  explicit ChannelMask(uint32_t m = 0);
  uint8_t Extract(uint32_t pixel) const {
    uint32_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>((v << up) >> down);
  }
};

// A packed DIB that has been checked against the bytes it came in.
struct DibView {
  DibHeader header;
  // Colour table as stored (4-byte blue, green, red, reserved); tableCount entries are present.
  const uint8_t* colorTable = nullptr;
  uint32_t tableCount = 0;
  // The rows (or the run-length stream) and the bytes there are from them to the end of the data.
  const uint8_t* bits = nullptr;
  size_t bitsSize = 0;
};

// What was wrong with a packed DIB.
enum class DibError {
  kNone,
  kHeaderType,  // not a 40, 108 or 124-byte information header, or a bit count we do not read
  kCompressed,  // a compression we do not decode
  kDamaged,     // sizes, counts or offsets that do not fit the data
  kTooLarge,    // more pixels than the engine agrees to hold
};

// Checks a packed DIB of size bytes. pixelOffset, when not 0, is where the rows start counted from the
// start of the DIB (a BMP file header says so); it is used when it lies at or after the end of the colour
// table and inside the data, else the rows are taken to follow the table. On success fills view.
DibError ReadDib(const uint8_t* data, size_t size, size_t pixelOffset, DibView* view);

// The message the user is shown for a refused DIB.
std::string DibErrorMessage(DibError error);

// Expands a run-length encoded bitmap (RLE8 or RLE4, bottom-up) into 8-bit indices in memory order of an
// uncompressed bottom-up DIB: row 0 is the picture's bottom row, rows stride8 bytes apart. Pixels the
// stream skips (delta and end-of-line codes) stay 0; a stream that stops early leaves the rest 0; runs
// past the right edge or past the top are dropped.
void DecodeDibRle(const DibView& view, uint8_t* dst, size_t stride8);

// The colour table's entries as a palette of count entries (red, green, blue, flags 0).
PalettePtr DibTablePalette(const DibView& view, int count);

}  // namespace lw
