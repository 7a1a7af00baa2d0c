// Mapping pixels onto a target palette of at most 256 colours: the inverse colour map (the nearest target
// entry for every 15-bit colour, cached for the last target palette), Floyd–Steinberg error diffusion with a
// 4×4 ordered offset in the 15-bit reduction, and the drivers that run it over frames and DIBs.
//
// The map and the error rows are one set for the whole program. The drivers hold the dither lock while they
// use them; code that calls PrepareDither and the row operations itself takes a DitherLock first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "color/dib.h"
#include "model/animation.h"

namespace lw {

struct ProgressRecord;

constexpr int kInverseMapCells = 32768;

// Holds the dither state for one user at a time.
class DitherLock {
 public:
  DitherLock();

 private:
  std::unique_lock<std::mutex> lock_;
};

// Builds the map for the target palette (or keeps it when the palette is the cached one, every byte of every
// entry equal) and grows the error rows to width pixels. False, with a message, when memory runs out.
bool PrepareDither(const Palette& target, int width);
// The map and the two error rows (pointers to pixel 0) as the last PrepareDither left them.
const uint8_t* InverseColorMap();
int32_t* DitherCurrentRow();
int32_t* DitherNextRow();
// How many times the map has been built (not reused) so far.
uint32_t InverseMapBuildCount();
// Frees the map and the error rows; the next PrepareDither starts afresh.
void ReleaseDitherBuffers();
// Makes PrepareDither behave as if the error rows could not be allocated (for tests of the failure paths).
void SimulateDitherAllocationFailure(bool on);

// The nearest entry (squared RGB distance to the cell centre 8·c + 4, lowest index on ties) for every cell
// (r5 << 10) | (g5 << 5) | b5. Any count from 1 to 256.
void BuildInverseColorMap(const PaletteEntry* entries, int count, uint8_t* map);

// The ordered offset for a row phase and column, and the 5-bit cell coordinate of an 8-bit value with it.
int OrderedOffset(int rowPhase, int x);
int ReduceTo5Bits(int value, int offset);

// The row operations. Entry arrays hold 256 entries (pad short palettes). Strides are bytes per row.
// Both error rows are cleared over the processed span first, so each call starts an image afresh.
void DitherIndexedRows(uint8_t* dst, const uint8_t* src, size_t dstStride, size_t srcStride,
                       const PaletteEntry* sourceEntries, const PaletteEntry* targetEntries,
                       const uint8_t* map, int32_t* currentRow, int32_t* nextRow, int firstX, int count,
                       int firstRowPhase, int rowCount);
void DitherIndexedRowsTransparent(uint8_t* dst, const uint8_t* src, size_t dstStride, size_t srcStride,
                                  const PaletteEntry* sourceEntries, const PaletteEntry* targetEntries,
                                  const uint8_t* map, int32_t* currentRow, int32_t* nextRow, int firstX,
                                  int count, int firstRowPhase, int rowCount, uint8_t sourceTransparent,
                                  uint8_t destTransparent);
// 24- and 32-bit sources, bytes blue, green, red (and one ignored).
void DitherTrueColorRows(uint8_t* dst, const uint8_t* src, size_t dstStride, size_t srcStride,
                         int bytesPerPixel, const PaletteEntry* targetEntries, const uint8_t* map,
                         int32_t* currentRow, int32_t* nextRow, int firstX, int count, int firstRowPhase,
                         int rowCount);
// 16-bit sources read through channel masks (null: 5-5-5). With bytesPerPixel 4 the same for 32-bit bit
// fields.
void DitherHighColorRows(uint8_t* dst, const uint8_t* src, size_t dstStride, size_t srcStride,
                         const uint32_t* masks, const PaletteEntry* targetEntries, const uint8_t* map,
                         int32_t* currentRow, int32_t* nextRow, int firstX, int count, int firstRowPhase,
                         int rowCount, int bytesPerPixel = 2);

// Without dithering: each channel cut to 5 bits and looked up. 16, 24 and 32 bits; others do nothing.
void MapTrueColorRows(uint8_t* dst, const uint8_t* src, const DibHeader& header, const uint8_t* map);

// The whole picture of a 16-, 24- or 32-bit DIB onto the palette, rows in memory order; dst rows are
// StrideFor8Bit(width) apart. False (after the message) when the dither buffers cannot be had.
bool ConvertDibTo8Bit(const DibHeader& header, uint8_t* dst, const uint8_t* src, const Palette& palette,
                      bool dither);

// Dithers every frame without a local palette from the global palette onto the new one, in place. A
// transparent frame's transparent pixels go to destTransparent, or with -1 to the new palette's nearest
// colour of the old transparent colour. The palettes themselves are left to the caller.
bool RemapGlobalFrames(Animation& animation, const Palette& newPalette, int destTransparent,
                       ProgressRecord* progress);
// The same for one frame with a local palette, from that palette. False when it has none.
bool RemapLocalFrame(Frame& frame, const Palette& newPalette, int destTransparent);

}  // namespace lw
