// An exact LZW string table, (prefix code, next value) -> code, for coders that need every string found
// (the encoder that keeps a full table, and the optimizer's size estimates).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lw {

// An open-addressed hash of (prefix code << 8 | value) << 12 | code, 0 for a free slot (a code is never
// 0). The slots in use are listed, so emptying the table costs what filling it did.
struct LzwStringTable {
  static constexpr size_t kSize = 8192;  // at least twice the 4096 codes
  uint32_t slot[kSize] = {};
  std::vector<uint16_t> used;

  LzwStringTable() { used.reserve(4096); }
  static uint32_t Key(int prefix, int value) {
    return static_cast<uint32_t>(prefix) << 8 | static_cast<uint32_t>(value);
  }
  static size_t Hash(uint32_t k) { return (k * 2654435761u) >> 19; }  // 13 bits
  int Find(uint32_t k) const {
    for (size_t i = Hash(k);; i = (i + 1) & (kSize - 1)) {
      const uint32_t e = slot[i];
      if (e == 0) return -1;
      if ((e >> 12) == k) return static_cast<int>(e & 0xFFF);
    }
  }
  void Add(uint32_t k, int c) {
    size_t i = Hash(k);
    while (slot[i] != 0) i = (i + 1) & (kSize - 1);
    slot[i] = k << 12 | static_cast<uint32_t>(c);
    used.push_back(static_cast<uint16_t>(i));
  }
  void Clear() {
    for (uint16_t i : used) slot[i] = 0;
    used.clear();
  }
};

}  // namespace lw
