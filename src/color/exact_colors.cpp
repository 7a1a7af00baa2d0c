#include "color/exact_colors.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include "color/dib_rows.h"
#include "model/frame_bitmap.h"

namespace lw {
namespace {

// An open-addressed table of at most 256 colours, each with a value (a count or an index).
class ColourSlots {
 public:
  static constexpr size_t kSlots = 1024;  // a quarter full at most: short probes
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;

  ColourSlots() { keys_.fill(kEmpty); }

  // The slot of the colour: its own, or the empty one where it would go.
  size_t Find(uint32_t rgb) const {
    size_t slot = (rgb * 0x9E3779B1u) >> 22;
    while (keys_[slot] != kEmpty && keys_[slot] != rgb) slot = (slot + 1) & (kSlots - 1);
    return slot;
  }
  bool Has(size_t slot) const { return keys_[slot] != kEmpty; }
  void Put(size_t slot, uint32_t rgb, uint32_t value) {
    keys_[slot] = rgb;
    values_[slot] = value;
  }
  uint32_t& Value(size_t slot) { return values_[slot]; }

 private:
  std::array<uint32_t, kSlots> keys_;
  std::array<uint32_t, kSlots> values_{};
};

}  // namespace

int ExactDibColors(const DibHeader& header, const uint8_t* bits, PaletteEntry* out, int maxColors) {
  DibRowReader reader(header);
  maxColors = std::min(maxColors, 256);
  if (!reader.Valid() || maxColors <= 0) return 0;
  ColourSlots table;
  std::vector<uint32_t> colors, counts;  // in order of first appearance
  uint32_t last = ColourSlots::kEmpty;
  size_t lastSlot = 0;
  for (int y = 0; y < header.AbsHeight(); ++y) {
    const uint32_t* row = reader.Row(bits, y);
    for (int x = 0; x < header.width; ++x) {
      const uint32_t rgb = row[x];
      if (rgb != last) {
        last = rgb;
        lastSlot = table.Find(rgb);
        if (!table.Has(lastSlot)) {
          if (static_cast<int>(colors.size()) == maxColors) return 0;
          table.Put(lastSlot, rgb, static_cast<uint32_t>(colors.size()));
          colors.push_back(rgb);
          counts.push_back(0);
        }
      }
      ++counts[table.Value(lastSlot)];
    }
  }
  std::vector<size_t> order(colors.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return counts[a] > counts[b]; });
  for (size_t i = 0; i < order.size(); ++i) {
    const uint32_t rgb = colors[order[i]];
    out[i] = {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 0};
  }
  return static_cast<int>(colors.size());
}

bool MapDibExactly(const DibHeader& header, const uint8_t* src, uint8_t* dst, const Palette& palette) {
  DibRowReader reader(header);
  if (!reader.Valid() || palette.Count() <= 0) return false;
  ColourSlots table;
  for (int i = palette.Count() - 1; i >= 0; --i) {  // the lowest index of a colour is put last and stands
    const PaletteEntry& e = palette[i];
    const uint32_t rgb = static_cast<uint32_t>(e.red) << 16 | static_cast<uint32_t>(e.green) << 8 | e.blue;
    table.Put(table.Find(rgb), rgb, static_cast<uint32_t>(i));
  }
  const size_t dstStride = static_cast<size_t>(StrideFor8Bit(header.width));
  for (int y = 0; y < header.AbsHeight(); ++y, dst += dstStride) {
    const uint32_t* row = reader.Row(src, y);
    uint32_t last = ColourSlots::kEmpty;
    uint8_t index = 0;
    for (int x = 0; x < header.width; ++x) {
      if (row[x] != last) {
        last = row[x];
        const size_t slot = table.Find(last);
        if (!table.Has(slot)) return false;
        index = static_cast<uint8_t>(table.Value(slot));
      }
      dst[x] = index;
    }
  }
  return true;
}

}  // namespace lw
