// The nine-slot preference record, kept in memory and stored whole as the 36-byte "Pref" value.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace lw {

class SettingsStore;

enum PrefSlot : int {
  kPrefDefaultDelay = 0,       // hundredths of a second for frames that have none
  kPrefDefaultIterations = 1,  // iterations given to an animation that grows to two frames (0 = for ever)
  kPrefSizeConflict = 2,       // 1 ask, 2 clip the inserted frame, 3 grow the current size
  kPrefPaletteConflict = 3,    // PaletteChoice for palette conflicts
  kPrefHighColor = 4,          // PaletteChoice for full-colour pictures
  kPrefOptimize = 5,           // OptimizeOptions
  kPrefFlags = 6,              // see PrefFlag
  kPrefTransparencyView = 7,   // top byte the mode, low 24 bits the custom colour 0x00BBGGRR
  kPrefReduce = 8,             // bits 0-15 bits per pixel, bit 16 dither
};
constexpr int kPrefCount = 9;

enum PrefFlag : uint32_t {
  kPrefShowColorsInUse = 1,
  kPrefClipWithoutAsking = 4,
  kPrefNoSignature = 8,
  kPrefVerticalStrips = 16,
  kPrefHorizontalStrips = 32,
  kPrefShowColorInfo = 64,
};

using PreferenceRecord = std::array<uint32_t, kPrefCount>;

PreferenceRecord DefaultPreferences();

// Sets the defaults, then reads "Pref" from the store (a shorter value replaces only the leading bytes, a
// longer one is ignored) and deletes the older single values. The store is kept for SetPreference; null
// keeps the record in memory only.
void ReadPreferences(SettingsStore* store);
uint32_t GetPreference(int slot);
// Stores the value and writes the whole record at once (only memory changes without a store).
void SetPreference(int slot, uint32_t value);
PreferenceRecord GetPreferenceRecord();
// Changes a slot for this run only, without storing the record (command-line flags that override a
// stored choice).
void OverridePreference(int slot, uint32_t value);
// The store given to ReadPreferences (null when there is none), for the few values kept beside the
// record ("Sig", the recent files …). Used from the user-interface thread only.
SettingsStore* PreferenceStore();
// What a slot means, for people reading `loopwright-cli prefs`.
std::string DescribePreference(int slot, uint32_t value);

}  // namespace lw
