// Moving frames from one palette to another without losing their look: palette
// conflicts when one animation is inserted into another, removal of local
// palettes, remapping through index maps, merging.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "color/palette_choice.h"
#include "model/animation.h"

namespace lw {

struct ProgressRecord;

// Old palette index -> new index; kNoTarget where there is none. Pixels
// rewritten through a map store the low byte only, so kNoTarget writes 255.
using IndexMap = std::array<uint16_t, 256>;
constexpr uint16_t kNoTarget = 0xFFFF;
IndexMap EmptyIndexMap();

// MergePalettes result bits.
enum : uint32_t { kMergeClean = 0x1, kMergeChanged = 0x2, kMergeTookZeroSlot = 0x4 };

// ApplyNewPalette steps.
enum : uint32_t {
  kStepDestKeepIndices = 0x01,
  kStepDestNearest = 0x02,
  kStepDestDither = 0x04,
  kStepIncomingMap = 0x10,
  kStepIncomingNearest = 0x20,
  kStepIncomingDither = 0x40,
  kStepAddIncomingCounts = 0x100,
  kStepRecountDest = 0x200,
};

using PaletteEntries = std::vector<PaletteEntry>;
PaletteEntries EntriesOf(const Palette* palette);

// Squared distance, lowest index on ties, stops at the first exact match.
// Empty: 0, not exact.
int FindNearestEntry(const PaletteEntry* entries, int count, PaletteEntry color, bool* exact);
// For every old entry the nearest new one; indices from the old count up are
// kNoTarget.
void BuildNearestMap(const Palette* oldPalette, const Palette& newPalette, IndexMap& map);
// Places every used incoming colour into the destination: an exact entry, else
// a slot whose count is 0, else a new entry while there are fewer than 256,
// else the nearest entry (and the merge is not clean).
uint32_t MergePalettes(PaletteEntries& destination, const PaletteEntries& incoming, IndexMap& map,
                       ColorCounts& destinationCounts, const ColorCounts& incomingCounts);
// Whether every used incoming colour could be placed without loss (the counts
// are a copy and change).
bool CanMergeCleanly(const Palette* destination, ColorCounts destinationCounts, const Palette& incoming,
                     const ColorCounts& incomingCounts);

// One frame onto a palette: pixels through the map (if any), colour table and
// palette in effect set, the transparent index carried through the map.
void RemapFrame(Frame& f, Palette* palette, const IndexMap* map);
// Every frame without a local palette. A transparent index that would share its
// slot with a visible colour is moved to a free slot when the palette has one.
bool RemapFrames(Animation& a, Palette* palette, const IndexMap* map);
// As RemapFrames, but transparent frames send their transparent index to the
// given slot.
bool RemapFramesReservingSlot(Animation& a, Palette* palette, const IndexMap* map, int slot,
                              ProgressRecord* progress);
// Frames without a local palette take the palette as theirs (indices
// unchanged).
void ShareGlobalPalette(Animation& a, Palette* palette);
// Frames without a local palette get a copy of the global palette as their
// local palette.
bool MakeLocalPalettes(Animation& a);

// The common back end of the conflict choices: optional new palette entries
// (null: the destination's global palette), the index map for kStepIncomingMap,
// and the steps to run.
bool ApplyNewPalette(const PaletteEntries* record, Animation& destination, Animation& incoming,
                     const IndexMap* map, uint32_t steps);
// Puts the incoming frames and the destination's global palette into agreement
// (mode kConflictInsert or kConflictRemoveLocal). False when the user cancelled
// or something failed (message shown).
bool ResolvePaletteConflict(Animation& destination, Animation& incoming, uint32_t mode);
// Moves a frame from its local palette to the global palette, in place. On
// failure or cancel the frame is back as it was.
bool RemoveLocalPalette(Animation& a, Frame& f);

}  // namespace lw
