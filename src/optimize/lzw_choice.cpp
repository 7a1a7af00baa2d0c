#include "optimize/lzw_choice.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lw {

namespace {

// The forward sweep of the fewest-runs programme: for each pixel, bits 0-1 say which state of the pixel
// before gave each state its fewest changes with ties to the first value, bits 2-3 with ties to the
// second (the counts themselves do not depend on the ties). Gives the final counts.
std::pair<uint32_t, uint32_t> Sweep(const uint8_t* first, const uint8_t* second, size_t n, uint8_t* from) {
  uint32_t c0 = 0, c1 = 0;
  from[0] = 0;
  for (size_t i = 1; i < n; ++i) {
    if (first[i] == second[i] && first[i - 1] == second[i - 1]) {
      // A stretch of fixed pixels: one state, a change wherever the value changes.
      uint32_t c = std::min(c0, c1);
      for (; i < n && first[i] == second[i]; ++i) {
        c += first[i] != first[i - 1];
        from[i] = 0;
      }
      c0 = c1 = c;
      if (i >= n) break;
    }
    const uint8_t u0 = first[i - 1], u1 = second[i - 1], v0 = first[i], v1 = second[i];
    const uint32_t a0 = c0 + (u0 != v0), b0 = c1 + (u1 != v0);
    const uint32_t a1 = c0 + (u0 != v1), b1 = c1 + (u1 != v1);
    from[i] = static_cast<uint8_t>((b0 < a0) | (b1 < a1) << 1 | (b0 <= a0) << 2 | (b1 <= a1) << 3);
    c0 = std::min(a0, b0);
    c1 = std::min(a1, b1);
  }
  return {c0, c1};
}

void Back(const uint8_t* first, const uint8_t* second, size_t n, const uint8_t* from, int shift, int s,
          uint8_t* out) {
  for (size_t i = n; i-- > 0;) {
    out[i] = s ? second[i] : first[i];
    s = (from[i] >> (shift + s)) & 1;
  }
}

}  // namespace

void PickFewestRuns(const uint8_t* first, const uint8_t* second, size_t n, bool preferSecond, uint8_t* out,
                    std::vector<uint8_t>& scratch) {
  if (n == 0) return;
  // Dynamic programme over "pixel i took first" (state 0) / "took second" (state 1): the fewest value
  // changes so far in each state, and for each pixel which state of the pixel before gave them. A fixed
  // pixel has both states alike, so it needs no case of its own.
  if (scratch.size() < n) scratch.resize(n);
  auto [c0, c1] = Sweep(first, second, n, scratch.data());
  Back(first, second, n, scratch.data(), preferSecond ? 2 : 0, c1 < c0 || (c1 == c0 && preferSecond) ? 1 : 0,
       out);
}

void PickFewestRunsBoth(const uint8_t* first, const uint8_t* second, size_t n, uint8_t* tiesToFirst,
                        uint8_t* tiesToSecond, std::vector<uint8_t>& scratch) {
  if (n == 0) return;
  if (scratch.size() < n) scratch.resize(n);
  auto [c0, c1] = Sweep(first, second, n, scratch.data());
  Back(first, second, n, scratch.data(), 0, c1 < c0 ? 1 : 0, tiesToFirst);
  Back(first, second, n, scratch.data(), 2, c1 <= c0 ? 1 : 0, tiesToSecond);
}

LzwChooser::LzwChooser() : t_(std::make_unique<LzwStringTable>()) {}
LzwChooser::~LzwChooser() = default;

uint64_t LzwChooser::Choose(const uint8_t* first, const uint8_t* second, size_t n, int minCodeSize,
                            bool preferSecond, uint8_t* out, uint64_t limit, const uint8_t* flip) {
  // The second value of pixel i.
  auto otherOf = [&](size_t i) -> int { return flip && first[i] != flip[i] ? flip[i] : second[i]; };
  // The code bits that would make the data larger than the limit (the sub-block lengths included).
  const uint64_t bitLimit = limit == UINT64_MAX ? UINT64_MAX : limit * 8;
  minCodeSize = std::clamp(minCodeSize, 2, 8);
  const int initBits = minCodeSize + 1;
  const int clear = 1 << minCodeSize;
  int codeBits = initBits;
  int maxCode = (1 << codeBits) - 1;
  int next = clear + 2;
  bool clearPending = false;
  uint64_t bits = 0;
  LzwStringTable& t = *t_;
  t.Clear();
  auto key = LzwStringTable::Key;
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
  // The string that starts at pixel i with the given value: at each further pixel the preferred value
  // when the table continues the string with it, else the other. Its picks go to picks[0 …]. Says
  // whether it passes through the code `pending` (the table entry about to be added hangs there).
  struct Walk {
    size_t end;  // the first pixel after the string
    int code;    // the string's code
    bool touchesPending;
  };
  auto walk = [&](size_t i, int value, int pending, uint8_t* picks) -> Walk {
    int code = value;
    bool touches = code == pending;
    picks[0] = static_cast<uint8_t>(value);
    size_t j = i + 1;
    for (; j < n; ++j) {
      const int a = first[j], b = otherOf(j);
      const int p = preferSecond ? b : a, o = preferSecond ? a : b;
      int c = t.Find(key(code, p));
      int v = p;
      if (c < 0 && a != b) {
        c = t.Find(key(code, o));
        v = o;
      }
      if (c < 0) break;
      picks[j - i] = static_cast<uint8_t>(v);
      code = c;
      touches |= code == pending;
    }
    return {j, code, touches};
  };
  walkA_.resize(4097);
  walkB_.resize(4097);

  output();      // the clear code that opens the data
  int ent = -1;  // the code of the string before, not yet followed by its table entry
  size_t i = 0;
  while (i < n) {
    // A new string: it starts with whichever value gives the longer one.
    const int a = first[i], b = otherOf(i);
    const int preferred = preferSecond ? b : a, other = preferSecond ? a : b;
    Walk w = walk(i, preferred, ent, walkA_.data());
    uint8_t* picks = walkA_.data();
    int value = preferred;
    if (a != b) {
      Walk wo = walk(i, other, ent, walkB_.data());
      if (wo.end > w.end) {
        w = wo;
        picks = walkB_.data();
        value = other;
      }
    }
    // The entry for the string before: it plus this value (or, with the table full, a clear code).
    bool again = false;
    if (ent >= 0) {
      if (next < 4096) {
        t.Add(key(ent, value), next++);
        again = w.touchesPending;  // the new entry may lengthen this string
      } else if (!keepFullTable_) {
        t.Clear();
        next = clear + 2;
        clearPending = true;
        output();  // clear
        again = true;
      }
    }
    if (again) w = walk(i, value, -1, picks);
    if (out) std::memcpy(out + i, picks, w.end - i);
    ent = w.code;
    i = w.end;
    output();  // ent (the last one included)
    if (bits > bitLimit) return UINT64_MAX;
  }
  output();  // end

  const uint64_t codeBytes = (bits + 7) / 8;
  const uint64_t size = 1 + codeBytes + (codeBytes + 253) / 254 + 1;
  return size > limit ? UINT64_MAX : size;
}

}  // namespace lw
