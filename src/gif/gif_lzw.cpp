#include "gif/gif_lzw.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

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

namespace {
constexpr int kHashSize = 5003;
constexpr int kHashShift = 4;
constexpr int kMaxCodes = 4096;
constexpr size_t kPacket = 254;
constexpr size_t kFlushAt = kPacket * 256;
}  // namespace

// A slot holds key << 12 | code in one word, 0 when empty (a code is never 0, so even the key 0 is told
// apart from an empty slot), and the whole table stays in the first-level cache. No key is ever stored
// with all bits set: that would need the string of code 4095, which only exists once the table is full.
struct LzwEncoder::Tables {
  uint32_t slots[kHashSize];
};

LzwEncoder::LzwEncoder() : t_(new Tables) {}
LzwEncoder::~LzwEncoder() = default;

bool LzwEncoder::Encode(GifSink& sink, const LzwImage& image, int minCodeSize) {
  minCodeSize = std::clamp(minCodeSize, 2, 8);
  std::vector<int> rows = RowOrder(image.height, image.interlaced);
  if (rows.empty() || image.width <= 0 || !image.bits) return false;
  if (!sink.WriteByte(static_cast<uint8_t>(minCodeSize))) return false;
  bool ok = true;
  raw_.resize(kFlushAt + 4096);
  size_t rawCount = 0;

  // Cuts the code bytes into sub-blocks of 254; keeps a partial last one unless this is the end.
  auto flush = [&](bool last) {
    size_t whole = last ? rawCount : rawCount - rawCount % kPacket;
    if (whole == 0) return;
    packed_.clear();
    for (size_t i = 0; i < whole; i += kPacket) {
      size_t n = std::min(kPacket, whole - i);
      packed_.push_back(static_cast<uint8_t>(n));
      packed_.insert(packed_.end(), raw_.begin() + static_cast<std::ptrdiff_t>(i),
                     raw_.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    if (!sink.Write(packed_.data(), packed_.size())) ok = false;
    std::memmove(raw_.data(), raw_.data() + whole, rawCount - whole);
    rawCount -= whole;
  };

  const int initBits = minCodeSize + 1;
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  int codeBits = initBits;
  int maxCode = (1 << codeBits) - 1;
  int next = clear + 2;
  bool clearPending = false;
  uint64_t acc = 0;
  int accBits = 0;
  uint32_t* table = t_->slots;
  auto clearTable = [&]() { std::memset(table, 0, sizeof t_->slots); };

  auto output = [&](int code) {
    acc |= static_cast<uint64_t>(code) << accBits;
    accBits += codeBits;
    if (accBits >= 32) {
      auto word = static_cast<uint32_t>(acc);
      std::memcpy(raw_.data() + rawCount, &word, 4);
      rawCount += 4;
      acc >>= 32;
      accBits -= 32;
      if (rawCount >= kFlushAt) flush(false);
    }
    if (next > maxCode || clearPending) {
      if (clearPending) {
        codeBits = initBits;
        maxCode = (1 << codeBits) - 1;
        clearPending = false;
      } else {
        ++codeBits;
        maxCode = codeBits == 12 ? kMaxCodes : (1 << codeBits) - 1;
      }
    }
  };

  int ent = image.bits[static_cast<size_t>(rows[0]) * static_cast<size_t>(image.stride)];
  clearTable();
  output(clear);

  // A string not in the table: its prefix goes out and it is entered (or the full table starts again).
  // Kept out of line, so that the loop over the pixels keeps its few values in registers.
  auto newString = [&](int prefix, int slot, uint32_t key) __attribute__((noinline)) {
    output(prefix);
    if (next < kMaxCodes) {
      table[slot] = key << 12 | static_cast<uint32_t>(next++);
    } else {
      clearTable();
      next = clear + 2;
      clearPending = true;
      output(clear);
    }
  };

  bool firstRow = true;
  for (int y : rows) {
    const uint8_t* p = image.bits + static_cast<size_t>(y) * static_cast<size_t>(image.stride);
    const uint8_t* rowEnd = p + image.width;
    if (firstRow) {
      ++p;
      firstRow = false;
    }
    for (; p < rowEnd; ++p) {
      const int c = *p;
      const auto key = static_cast<uint32_t>((c << 12) + ent);
      int slot = (c << kHashShift) ^ ent;
      uint32_t v = table[slot];
      if ((v >> 12) == key && v != 0) {
        ent = static_cast<int>(v & 0xFFF);
        continue;
      }
      if (v != 0) {
        // Probe on; a slot holding the key 0 ends the probe like an empty one.
        const int step = slot == 0 ? 1 : kHashSize - slot;
        bool found = false;
        for (;;) {
          slot -= step;
          if (slot < 0) slot += kHashSize;
          v = table[slot];
          if ((v >> 12) == key && v != 0) {
            found = true;
            break;
          }
          if (v < 4096) break;
        }
        if (found) {
          ent = static_cast<int>(v & 0xFFF);
          continue;
        }
      }
      newString(ent, slot, key);
      ent = c;
    }
  }
  output(ent);
  output(end);
  while (accBits > 0) {
    raw_[rawCount++] = static_cast<uint8_t>(acc);
    acc >>= 8;
    accBits -= 8;
  }
  flush(true);
  if (!ok) return false;
  return sink.WriteByte(0);
}

}  // namespace lw
