// A logical palette of 1 to 256 entries.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace lw {

struct PaletteEntry {
  uint8_t red = 0, green = 0, blue = 0, flags = 0;
  bool operator==(const PaletteEntry&) const = default;
};

// The number of bits (1 to 8) a colour table of this many entries needs; every GIF table-size field is
// this minus one.
constexpr int BitsForCount(int count) {
  int bits = 1;
  while (bits < 8 && (1 << bits) < count) ++bits;
  return bits;
}

class Palette {
 public:
  Palette() = default;
  explicit Palette(std::vector<PaletteEntry> entries) : entries_(std::move(entries)) {}

  // From red-green-blue triples in file order (count entries of 3 bytes). Null when count is not 1..256.
  static std::unique_ptr<Palette> FromRgb(const uint8_t* rgb, int count);

  int Count() const { return static_cast<int>(entries_.size()); }
  const PaletteEntry& operator[](int i) const { return entries_[static_cast<size_t>(i)]; }
  PaletteEntry& operator[](int i) { return entries_[static_cast<size_t>(i)]; }
  const std::vector<PaletteEntry>& Entries() const { return entries_; }
  std::vector<PaletteEntry>& Entries() { return entries_; }

  // The index of an entry closest to the colour (squared distance, lowest index on ties); 0 when empty.
  int NearestIndex(uint8_t red, uint8_t green, uint8_t blue) const;

  bool operator==(const Palette& other) const { return entries_ == other.entries_; }

 private:
  std::vector<PaletteEntry> entries_;
};

using PalettePtr = std::unique_ptr<Palette>;

// A new palette with the same entries; null for null.
PalettePtr CopyPalette(const Palette* palette);

// The palette that stands in when an image has no table of its own: the 20 colours of the classic
// system palette.
const Palette& DefaultPalette();

}  // namespace lw
