#include "optimize/lzw_choice.h"

#include <algorithm>
#include <vector>

namespace lw {

// The string table: (prefix code, next value) -> code, in an open-addressed hash whose entries carry the
// number of the table generation they belong to, so a clear code empties it without touching memory.
struct LzwChooser::Table {
  static constexpr size_t kSize = 8192;  // at least twice the 4096 codes
  uint32_t key[kSize];
  uint32_t generation[kSize];
  uint16_t code[kSize];
  uint32_t current = 1;

  Table() { std::fill(generation, generation + kSize, 0u); }
  static size_t Hash(uint32_t k) { return (k * 2654435761u) >> 19; }  // 13 bits
  int Find(uint32_t k) const {
    for (size_t i = Hash(k);; i = (i + 1) & (kSize - 1)) {
      if (generation[i] != current) return -1;
      if (key[i] == k) return code[i];
    }
  }
  void Add(uint32_t k, int c) {
    size_t i = Hash(k);
    while (generation[i] == current) i = (i + 1) & (kSize - 1);
    generation[i] = current;
    key[i] = k;
    code[i] = static_cast<uint16_t>(c);
  }
  void Clear() {
    if (++current == 0) {
      std::fill(generation, generation + kSize, 0u);
      current = 1;
    }
  }
};

void PickFewestRuns(const uint8_t* first, const uint8_t* second, size_t n, bool preferSecond, uint8_t* out) {
  if (n == 0) return;
  // Dynamic programme over "pixel i took first" / "took second": the fewest value changes so far, and
  // which choice at i - 1 gave it.
  std::vector<uint8_t> from(2 * n);
  uint32_t cost[2] = {0, 0};
  for (size_t i = 1; i < n; ++i) {
    uint32_t next[2];
    for (int s = 0; s < 2; ++s) {
      const uint8_t v = s ? second[i] : first[i];
      uint32_t best = UINT32_MAX;
      uint8_t arg = 0;
      for (int p = 0; p < 2; ++p) {
        if (p == 1 && first[i - 1] == second[i - 1]) continue;
        const uint32_t c = cost[p] + ((p ? second[i - 1] : first[i - 1]) != v);
        if (c < best || (c == best && (p == 1) == preferSecond)) {
          best = c;
          arg = static_cast<uint8_t>(p);
        }
      }
      next[s] = best;
      from[2 * i + static_cast<size_t>(s)] = arg;
    }
    cost[0] = next[0];
    cost[1] = first[i] == second[i] ? next[0] : next[1];
  }
  int s =
      (cost[1] < cost[0] || (cost[1] == cost[0] && preferSecond)) && first[n - 1] != second[n - 1] ? 1 : 0;
  for (size_t i = n; i-- > 0;) {
    const int prev = i ? from[2 * i + static_cast<size_t>(s)] : 0;
    out[i] = s ? second[i] : first[i];
    s = prev;
  }
}

LzwChooser::LzwChooser() : t_(std::make_unique<Table>()) {}
LzwChooser::~LzwChooser() = default;

uint64_t LzwChooser::Choose(const uint8_t* first, const uint8_t* second, size_t n, int minCodeSize,
                            bool preferSecond, uint8_t* out) {
  minCodeSize = std::clamp(minCodeSize, 2, 8);
  const int initBits = minCodeSize + 1;
  const int clear = 1 << minCodeSize;
  int codeBits = initBits;
  int maxCode = (1 << codeBits) - 1;
  int next = clear + 2;
  bool clearPending = false;
  uint64_t bits = 0;
  Table& t = *t_;
  t.Clear();
  auto key = [](int prefix, int value) {
    return static_cast<uint32_t>(prefix) << 8 | static_cast<uint32_t>(value);
  };
  // Bits of one code, and the width rule of the encoder: it grows once the next code no longer fits.
  auto output = [&]() {
    bits += static_cast<uint64_t>(codeBits);
    if (next > maxCode || clearPending) {
      if (clearPending) {
        codeBits = initBits;
        maxCode = (1 << codeBits) - 1;
        clearPending = false;
      } else {
        ++codeBits;
        maxCode = codeBits == 12 ? 4096 : (1 << codeBits) - 1;
      }
    }
  };
  // How many pixels from i on a string starting with value continues through the table, taking at each
  // pixel the preferred value when the table has it, else the other.
  auto reach = [&](size_t i, int value) -> size_t {
    size_t j = i + 1;
    int code = value;
    for (; j < n; ++j) {
      const int a = first[j], b = second[j];
      const int p = preferSecond ? b : a, o = preferSecond ? a : b;
      int c = t.Find(key(code, p));
      if (c < 0 && a != b) c = t.Find(key(code, o));
      if (c < 0) break;
      code = c;
    }
    return j - i;
  };
  // Which of the two values to start a new string with: the one whose string runs longer.
  auto start = [&](size_t i) -> int {
    const int a = first[i], b = second[i];
    const int preferred = preferSecond ? b : a, other = preferSecond ? a : b;
    if (a == b || i + 1 >= n) return preferred;
    return reach(i, other) > reach(i, preferred) ? other : preferred;
  };

  output();  // the clear code that opens the data
  if (n == 0) {
    output();  // end
  } else {
    int value = start(0);
    if (out) out[0] = static_cast<uint8_t>(value);
    int ent = value;
    for (size_t i = 1; i < n; ++i) {
      const int a = first[i], b = second[i];
      const int preferred = preferSecond ? b : a, other = preferSecond ? a : b;
      int code = t.Find(key(ent, preferred));
      int picked = preferred;
      if (code < 0 && a != b) {
        code = t.Find(key(ent, other));
        picked = other;
      }
      if (code >= 0) {
        ent = code;
        if (out) out[i] = static_cast<uint8_t>(picked);
        continue;
      }
      output();  // ent
      picked = start(i);
      if (out) out[i] = static_cast<uint8_t>(picked);
      if (next < 4096) {
        t.Add(key(ent, picked), next++);
      } else {
        t.Clear();
        next = clear + 2;
        clearPending = true;
        output();  // clear
      }
      ent = picked;
    }
    output();  // ent
    output();  // end
  }
  const uint64_t codeBytes = (bits + 7) / 8;
  return 1 + codeBytes + (codeBytes + 253) / 254 + 1;
}

}  // namespace lw
