#include "gif/gif_lzw.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "gif/lzw_string_table.h"
#include "platform/temp_file.h"

namespace lw {

// ---- Sinks ----

bool FileSink::Write(const uint8_t* data, size_t size) {
  if (failed_) return false;
  if (buffer_.size() + size > kBufferSize && !Flush()) return false;
  if (size >= kBufferSize) {
    if (!WriteAll(fd_, data, size)) failed_ = true;
    return !failed_;
  }
  buffer_.insert(buffer_.end(), data, data + size);
  return true;
}

bool FileSink::Flush() {
  if (!failed_ && !buffer_.empty() && !WriteAll(fd_, buffer_.data(), buffer_.size())) failed_ = true;
  buffer_.clear();
  return !failed_;
}

std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(static_cast<size_t>(std::max(height, 0)));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
  return rows;
}

// ---- Decoder ----
//
// Every table entry keeps its prefix code and last pixel, as the classic decoder does, so that a string
// can always be unwound through the pixel stack. A "clean" entry - one built from strings the decoder
// has already written out whole, which is every entry of a sound stream - also remembers where its
// string stands in the output and how long it is: it is then copied from there in one go instead of
// being unwound pixel by pixel. Entries of damaged streams (a first code at or above the clear code, or
// a code beyond the next free one) are unwound the slow way, with the same results and the same
// overflow check.

namespace {
constexpr int kTableSize = 4096;
constexpr int kStackSize = 8192;
}  // namespace

struct LzwDecoder::Tables {
  uint16_t prefix[kTableSize];
  uint8_t suffix[kTableSize];
  uint16_t length[kTableSize];  // 0: not clean
  uint32_t position[kTableSize];
  uint8_t stack[kStackSize];
};

LzwDecoder::LzwDecoder() : t_(new Tables()) {}
LzwDecoder::~LzwDecoder() = default;

uint64_t LzwDecoder::MaxPixelsFor(int minCodeSize, size_t dataBytes) {
  // A code yields at most one pixel more than the number of codes since the last clear, plus the pixels
  // of a broken chain (two) and of a code beyond the table (one), and never more than the pixel stack.
  uint64_t codes = static_cast<uint64_t>(dataBytes) * 8 / static_cast<uint64_t>(minCodeSize + 1);
  uint64_t ramp = std::min<uint64_t>(codes, kStackSize - 4);
  uint64_t total = ramp * (ramp + 1) / 2 + ramp * 4;
  if (codes > ramp) total += (codes - ramp) * kStackSize;
  return total;
}

bool LzwDecoder::Decode(int minCodeSize, const uint8_t* data, size_t dataBytes, uint8_t* out, size_t count) {
  if (minCodeSize < 0 || minCodeSize > kLzwMaxCodeSize) return false;
  if (count == 0) return true;
  Tables& t = *t_;
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  // Roots are clean strings of length 1; the clear and end entries, and every entry not yet made, have
  // length 0, so a code is clean exactly when its length is not 0. Only what an earlier image may have
  // written is cleared, so that small images cost little.
  for (int i = 0; i < clear; ++i) {
    t.prefix[i] = 0;
    t.suffix[i] = static_cast<uint8_t>(i);
    t.length[i] = 1;
  }
  for (int i = clear; i < dirtyEnd_; ++i) {
    t.prefix[i] = 0;
    t.suffix[i] = 0;
    t.length[i] = 0;
  }
  int next = clear + 2;
  struct Tidy {
    int& dirtyEnd;
    const int& next;
    int clear;
    ~Tidy() { dirtyEnd = std::max(next, clear); }
  } tidy{dirtyEnd_, next, clear};
  const uint64_t totalBits = static_cast<uint64_t>(dataBytes) * 8;
  uint64_t bit = 0;
  int codeSize = minCodeSize + 1;
  int sizeLimit = 2 * clear;
  int old = 0;
  uint32_t oldLength = 0;  // length of the old code's string when it is clean, else 0
  uint8_t firstCode = 0;
  size_t prevStart = 0;  // where the string of the old code starts in out
  size_t pos = 0;

  auto readCode = [&](int* code) {
    if (bit + static_cast<uint64_t>(codeSize) > totalBits) return false;
    uint64_t word;
    std::memcpy(&word, data + (bit >> 3), sizeof word);
    *code = static_cast<int>((word >> (bit & 7)) & ((uint64_t{1} << codeSize) - 1));
    bit += static_cast<uint64_t>(codeSize);
    return true;
  };
  // At the start and after a clear: further clears are skipped, and the first other code is a pixel of
  // its own, whatever its value (its low 8 bits).
  auto firstAfterClear = [&]() {
    int code;
    do {
      if (!readCode(&code)) return false;
    } while (code == clear);
    out[pos] = static_cast<uint8_t>(code);
    prevStart = pos++;
    old = code;
    oldLength = t.length[code];
    firstCode = static_cast<uint8_t>(code);
    return true;
  };

  if (!firstAfterClear()) return false;
  while (pos < count) {
    int code;
    if (!readCode(&code)) return false;
    const size_t start = pos;
    const size_t room = count - pos;
    size_t length = t.length[code];
    if (length == 1) {
      out[pos] = t.suffix[code];
    } else if (length > 1) {
      const uint8_t* src = out + t.position[code];
      uint8_t* dst = out + pos;
      if (length + 8 <= room) {
        // Whole 8-byte words; the bytes past the string are overwritten by the strings that follow.
        for (size_t i = 0; i < length; i += 8) {
          uint64_t w;
          std::memcpy(&w, src + i, 8);
          std::memcpy(dst + i, &w, 8);
        }
      } else {
        std::memmove(dst, src, std::min(length, room));
      }
    } else if (code == clear) {
      for (int i = clear; i < next; ++i) {
        t.prefix[i] = 0;
        t.suffix[i] = 0;
        t.length[i] = 0;
      }
      codeSize = minCodeSize + 1;
      sizeLimit = 2 * clear;
      next = clear + 2;
      if (!firstAfterClear()) return false;
      continue;
    } else if (code == end) {
      return false;  // the data ends before the image does
    } else if (code >= next && oldLength) {
      // The string not yet in the table: the old string followed by its first pixel.
      if (oldLength == 1)
        out[pos] = t.suffix[old];
      else
        std::memmove(out + pos, out + t.position[old], std::min<size_t>(oldLength, room));
      if (oldLength < room) out[pos + oldLength] = firstCode;
      length = oldLength + 1;
    } else {
      // A damaged stream: unwound through the pixel stack, exactly as the table says.
      int depth = 0;
      int c = code;
      if (c >= next) {
        t.stack[depth++] = firstCode;
        c = old;
      }
      while (c >= clear) {
        if (depth >= kStackSize - 1) return false;
        t.stack[depth++] = t.suffix[c];
        c = t.prefix[c];
      }
      t.stack[depth++] = t.suffix[c];
      length = static_cast<size_t>(depth);
      size_t n = std::min(length, room);
      for (size_t i = 0; i < n; ++i) out[pos + i] = t.stack[static_cast<size_t>(depth) - 1 - i];
    }
    const uint8_t newFirst = out[pos];
    pos += std::min(length, room);

    if (next < kTableSize) {
      t.prefix[next] = static_cast<uint16_t>(old);
      t.suffix[next] = newFirst;
      t.length[next] = static_cast<uint16_t>(oldLength ? oldLength + 1 : 0);
      t.position[next] = static_cast<uint32_t>(prevStart);
      ++next;
      if (next >= sizeLimit && sizeLimit < kTableSize) {
        sizeLimit *= 2;
        ++codeSize;
      }
    }
    old = code;
    oldLength = t.length[code];
    firstCode = newFirst;
    prevStart = start;
  }
  return true;
}

// ---- Encoder ----
//
// The open-addressing LZW of the compress family: a 5003-slot hash table probed with a secondary step,
// codes of up to 12 bits, a clear code whenever the table is full. The probe treats a slot holding the
// key 0 as free, as that family always has, so the table (and with it the code stream) is exactly the
// one those encoders build.
//
// Most pixels extend the current string by a hit in the first slot they look at, or end it in an empty
// slot there; which of the two cannot be foreseen, so both go without a branch and only a collision
// (a first slot holding another key) branches off to probe on. What bounds the speed is then the chain
// from one pixel's slot to the next: the key and code are kept in separate arrays, so that the hit test
// is one comparison, and the next pixel's slot is chosen from the two it can be (after a hit or after a
// new string) rather than computed after the choice.

namespace {
constexpr uint32_t kHashSize = 5003;
constexpr uint32_t kHashShift = 4;
constexpr uint32_t kMaxCodes = 4096;
constexpr size_t kPacket = 254;
constexpr size_t kFlushAt = kPacket * 256;
// Pixels between looks at the code buffer: each adds at most one 12-bit code, and at most two clear
// codes fall in such a stretch.
constexpr ptrdiff_t kChunkPixels = 4096;
constexpr size_t kChunkBytes = kChunkPixels * 12 / 8 + 64;

// The choice after looking a key up, made with conditional moves (whether the pixel hits is a coin toss
// for the branch predictor): on a hit the string goes on with the code found and the next pixel looks
// after it; otherwise the pixel starts a new string, the entry goes to `slot`, and `miss` is 1.
struct Choice {
  uint32_t ent, nextSlot, entry, miss;
};
inline Choice Choose(uint32_t key, uint32_t kk, uint32_t found, uint32_t c, uint32_t cn, uint32_t slot) {
  Choice r{c, cn << kHashShift ^ c, kHashSize, 0};
  const uint32_t slotAfterHit = cn << kHashShift ^ found;
#if defined(__x86_64__) && defined(__GNUC__)
  asm("cmpl %[kk], %[key]\n\t"
      "cmove %[found], %[ent]\n\t"
      "cmove %[afterHit], %[nextSlot]\n\t"
      "cmovne %[slot], %[entry]\n\t"
      "setne %b[miss]"
      : [ent] "+r"(r.ent), [nextSlot] "+r"(r.nextSlot), [entry] "+r"(r.entry), [miss] "+q"(r.miss)
      : [kk] "r"(kk), [key] "r"(key), [found] "r"(found), [afterHit] "r"(slotAfterHit), [slot] "r"(slot)
      : "cc");
#else
  uint32_t hit = 0u - static_cast<uint32_t>(key == kk);
  asm("" : "+r"(hit));  // masks, not a branch
  r.ent ^= (r.ent ^ found) & hit;
  r.nextSlot ^= (r.nextSlot ^ slotAfterHit) & hit;
  r.entry = slot ^ ((slot ^ kHashSize) & hit);
  r.miss = hit + 1;
#endif
  return r;
}
}  // namespace

// keys[slot] holds the key + 1 of the string in the slot (0: empty, 1: the key 0), codes[slot] its code.
// The slot past the end takes the writes of pixels that made no entry; no probe reads it. The whole
// table stays in the first-level cache.
struct LzwEncoder::Tables {
  uint32_t keys[kHashSize + 1];
  uint16_t codes[kHashSize + 1];
};

LzwEncoder::LzwEncoder() : t_(new Tables) {}
LzwEncoder::~LzwEncoder() = default;

bool LzwEncoder::Encode(GifSink& sink, const LzwImage& image, int minCodeSize, bool keepFullTable) {
  minCodeSize = std::clamp(minCodeSize, 2, 8);
  if (keepFullTable) return EncodeKeepingFullTable(sink, image, minCodeSize);
  std::vector<int> rows = RowOrder(image.height, image.interlaced);
  if (rows.empty() || image.width <= 0 || !image.bits) return false;
  if (!sink.WriteByte(static_cast<uint8_t>(minCodeSize))) return false;
  bool ok = true;
  raw_.resize(kFlushAt + kChunkBytes);
  uint8_t* const out = raw_.data();
  size_t pos = 0;
  uint64_t acc = 0;
  uint32_t accBits = 0;

  // Cuts the code bytes into sub-blocks of 254; keeps a partial last one unless this is the end.
  auto flush = [&](bool last) {
    size_t whole = last ? pos : pos - pos % kPacket;
    if (whole == 0) return;
    packed_.resize(whole + whole / kPacket + 1);
    uint8_t* dst = packed_.data();
    for (size_t i = 0; i < whole; i += kPacket) {
      size_t n = std::min(kPacket, whole - i);
      *dst++ = static_cast<uint8_t>(n);
      std::memcpy(dst, out + i, n);
      dst += n;
    }
    if (!sink.Write(packed_.data(), static_cast<size_t>(dst - packed_.data()))) ok = false;
    std::memmove(out, out + whole, pos - whole + 8);
    pos -= whole;
  };
  // Packs codes of one width least significant bit first; 8 bytes are written each time.
  auto pack = [&](const uint16_t* from, const uint16_t* to, uint32_t bits) {
    for (; from < to; ++from) {
      acc |= static_cast<uint64_t>(*from) << accBits;
      accBits += bits;
      std::memcpy(out + pos, &acc, 8);
      pos += accBits >> 3;
      acc >>= accBits & ~7u;
      accBits &= 7;
    }
    if (pos >= kFlushAt) flush(false);
  };

  const uint32_t initBits = static_cast<uint32_t>(minCodeSize) + 1;
  const uint32_t clear = 1u << minCodeSize;
  const uint32_t end = clear + 1;
  // The width grows after the code that is written while `next` is past the largest code of the width,
  // that is once the entry made with that code takes `next` to bumpAt; at 12 bits the same point is the
  // table being full.
  uint32_t codeBits = initBits;
  uint32_t next = clear + 2;
  uint32_t bumpAt = (1u << codeBits) + 1;
  // The codes of the current width not yet packed.
  codes_.resize(kChunkPixels + 8);
  uint16_t* const codeStart = codes_.data();
  uint16_t* q = codeStart;
  Tables& t = *t_;

  uint32_t ent = 0;
  uint32_t slot = 0;  // where the pixel about to be coded looks first
  // Codes pixel c, whose first slot is `slot`; cn is the pixel after it (anything at the end of a row).
  auto code = [&](uint32_t c, uint32_t cn) __attribute__((always_inline)) {
    const uint32_t kk = (c << 12 | ent) + 1;
    uint32_t key = t.keys[slot];
    uint32_t found = t.codes[slot];
    // Neither a hit nor an empty slot: one test, as the 64-bit product of the two 32-bit values is 0
    // only when one of them is (the empty asm keeps the compiler from splitting it into two branches).
    uint64_t collision = static_cast<uint64_t>(key ^ kk) * key;
    asm("" : "+r"(collision));
    if (collision) [[unlikely]] {
      // Probe on; a slot holding the key 0 ends the probe like an empty one.
      const uint32_t step = slot == 0 ? 1 : kHashSize - slot;
      do {
        slot = slot >= step ? slot - step : slot + kHashSize - step;
        key = t.keys[slot];
      } while (key != kk && key > 1);
      found = t.codes[slot];
    }
    // A hit, or the free slot of a new string.
    const Choice choice = Choose(key, kk, found, c, cn, slot);
    *q = static_cast<uint16_t>(ent);
    q += choice.miss;
    t.keys[choice.entry] = kk;
    t.codes[choice.entry] = static_cast<uint16_t>(next);
    next += choice.miss;
    ent = choice.ent;
    slot = choice.nextSlot;
    if (next >= bumpAt) [[unlikely]] {
      // A wider code, or a full table that starts again with a clear code.
      if (codeBits < 12) {
        pack(codeStart, q, codeBits);
        ++codeBits;
        bumpAt = codeBits == 12 ? kMaxCodes + 1 : (1u << codeBits) + 1;
      } else {
        std::memset(t.keys, 0, sizeof t.keys);
        *q++ = static_cast<uint16_t>(clear);
        pack(codeStart, q, codeBits);
        codeBits = initBits;
        next = clear + 2;
        bumpAt = (1u << codeBits) + 1;
      }
      q = codeStart;
    }
  };

  std::memset(t.keys, 0, sizeof t.keys);
  *q++ = static_cast<uint16_t>(clear);
  bool firstRow = true;
  for (int y : rows) {
    const uint8_t* p = image.bits + static_cast<size_t>(y) * static_cast<size_t>(image.stride);
    const uint8_t* const last = p + image.width - 1;
    if (firstRow) {
      ent = *p++;
      firstRow = false;
      if (p > last) continue;
    }
    slot = uint32_t{*p} << kHashShift ^ ent;
    while (p < last) {
      const uint8_t* const chunkEnd = last - p > kChunkPixels ? p + kChunkPixels : last;
      for (; p < chunkEnd; ++p) code(p[0], p[1]);
      pack(codeStart, q, codeBits);
      q = codeStart;
    }
    code(*p, 0);
    // Also here, as rows of one pixel never reach the loop above.
    pack(codeStart, q, codeBits);
    q = codeStart;
  }
  *q++ = static_cast<uint16_t>(ent);
  pack(codeStart, q, codeBits);
  if (codeBits < 12 && next + 1 >= bumpAt) ++codeBits;
  q = codeStart;
  *q++ = static_cast<uint16_t>(end);
  pack(codeStart, q, codeBits);
  if (accBits > 0) ++pos;
  flush(true);
  if (!ok) return false;
  return sink.WriteByte(0);
}

}  // namespace lw
