// How a palette conflict or a full-colour picture is to be handled: the bits the 'Palette Conflict'
// question answers with and the preferences keep (slot 3 for conflicts, slot 4 for full-colour pictures).
#pragma once

#include <cstdint>

namespace lw {

// A choice value: one approach bit, the dither bit, the ask bit and the adaptive colour bits.
using PaletteChoice = uint32_t;

constexpr uint32_t kChoiceMerge = 0x0001;
constexpr uint32_t kChoiceAdaptive = 0x0002;
constexpr uint32_t kChoiceGlobalOnly = 0x0004;
constexpr uint32_t kChoiceWebCube = 0x0008;
constexpr uint32_t kChoiceWebCubeAll = 0x0010;
constexpr uint32_t kChoiceImagePalette = 0x0020;
// With the adaptive choice: the high-quality quantizer and nearest-colour mapping instead of median cut
// on the 15-bit histogram (slower, much closer to the picture).
constexpr uint32_t kChoiceBest = 0x0040;
constexpr uint32_t kChoiceDither = 0x0080;
constexpr uint32_t kChoiceAlwaysAsk = 0x0100;
// "Best for video": a movie goes through the clip encoder (one palette across the clip, still areas kept
// still, frames trimmed to what changed). Other full-colour pictures take it as the high-quality adaptive
// palette.
constexpr uint32_t kChoiceVideo = 0x0200;

// Flags of the question beside the offered choice bits.
constexpr uint32_t kConflictInsert = 0x1000;
constexpr uint32_t kConflictRemoveLocal = 0x2000;
constexpr uint32_t kConflictHighColor = 0x4000;
constexpr uint32_t kConflictHideMakeDefault = 0x8000;
// The full-colour pictures are a movie's: "Best for video" is offered, and preselected.
constexpr uint32_t kConflictMovie = 0x0400;

// The adaptive palette's bits per pixel (2^n colours) kept in bits 16-23.
constexpr int kChoiceBitsShift = 16;
inline int ChoiceAdaptiveBits(uint32_t choice) {
  return static_cast<int>((choice >> kChoiceBitsShift) & 0xFF);
}
constexpr uint32_t ChoiceWithBits(uint32_t choice, int bits) {
  return (choice & 0xFFFF) | static_cast<uint32_t>(bits) << kChoiceBitsShift;
}

// Asks the 'Palette Conflict' question with these flags. When the answer comes with "Make this the default
// and don't ask again" (and the box was shown), the choice is stored without the ask bit: in slot 4 for a
// full-colour picture (0x4000), else in slot 3. Gives the choice, 0 for Cancel.
PaletteChoice AskPaletteChoice(uint32_t flags);

}  // namespace lw
