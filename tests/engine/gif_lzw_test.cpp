// The LZW coder against plain one-pixel-at-a-time versions of the same algorithms: the fast decoder must
// give the same pixels (and the same verdict on damaged data), the encoder the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "gif/gif_lzw.h"
#include "gif_support.h"

namespace lw {
namespace {

// The decoder as the classic design has it: one pixel per call, strings unwound through a stack. A code
// running past the data, or the end code before the last pixel, fails; clears in a row are one clear.
class ReferenceDecoder {
 public:
  ReferenceDecoder(int minCodeSize, const std::vector<uint8_t>& data)
      : init_(minCodeSize), clear_(1 << minCodeSize), data_(data) {
    Reset();
  }

  bool Decode(std::vector<uint8_t>& out, size_t count) {
    out.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
      int p = NextPixel();
      if (p < 0) return false;
      out[i] = static_cast<uint8_t>(p);
    }
    return true;
  }

 private:
  void Reset() {
    codeSize_ = init_ + 1;
    limit_ = 2 * clear_;
    next_ = clear_ + 2;
    for (int i = 0; i < 4096; ++i) {
      prefix_[i] = 0;
      suffix_[i] = i < clear_ ? i : 0;
    }
    stack_.clear();
  }
  int Code() {
    if (bit_ + static_cast<size_t>(codeSize_) > data_.size() * 8) return -1;
    int code = 0;
    for (int i = 0; i < codeSize_; ++i, ++bit_) code |= ((data_[bit_ / 8] >> (bit_ % 8)) & 1) << i;
    return code;
  }
  int First() {
    int c;
    do c = Code();
    while (c == clear_);
    if (c < 0) return c;
    first_ = old_ = c;
    return c;
  }
  int NextPixel() {
    if (fresh_) {
      fresh_ = false;
      return First();
    }
    if (!stack_.empty()) {
      int p = stack_.back();
      stack_.pop_back();
      return p;
    }
    int c = Code();
    if (c < 0) return c;
    if (c == clear_) {
      Reset();
      return First();
    }
    if (c == clear_ + 1) return -2;
    int incoming = c;
    if (c >= next_) {
      stack_.push_back(first_);
      c = old_;
    }
    while (c >= clear_) {
      if (stack_.size() >= 8191) return -1;
      stack_.push_back(suffix_[c]);
      c = prefix_[c];
    }
    stack_.push_back(suffix_[c]);
    first_ = suffix_[c];
    if (next_ < 4096) {
      prefix_[next_] = old_;
      suffix_[next_] = first_;
      ++next_;
      if (next_ >= limit_ && limit_ < 4096) {
        limit_ *= 2;
        ++codeSize_;
      }
    }
    old_ = incoming;
    int p = stack_.back();
    stack_.pop_back();
    return p;
  }

  int init_, clear_;
  const std::vector<uint8_t>& data_;
  size_t bit_ = 0;
  int codeSize_ = 0, limit_ = 0, next_ = 0, first_ = 0, old_ = 0;
  bool fresh_ = true;
  int prefix_[4096], suffix_[4096];
  std::vector<int> stack_;
};

// The encoder of the compress family written out plainly: a pixel walker, a 5003-slot hash table probed
// with a secondary step (a slot holding key 0 counts as free while probing), output through 254-byte
// packets.
std::vector<uint8_t> ReferenceEncode(const LzwImage& img, int minCodeSize) {
  std::vector<uint8_t> out{static_cast<uint8_t>(minCodeSize)};
  std::vector<uint8_t> packet;
  auto charOut = [&](int c) {
    packet.push_back(static_cast<uint8_t>(c));
    if (packet.size() == 254) {
      out.push_back(254);
      out.insert(out.end(), packet.begin(), packet.end());
      packet.clear();
    }
  };
  // Walker.
  int pass = img.interlaced ? 1 : 5, row = 0, col = 0;
  auto nextPixel = [&]() -> int {
    if (pass == 0) return -1;
    int p = img.bits[row * img.stride + col];
    if (++col < img.width) return p;
    col = 0;
    row += pass <= 2 ? 8 : pass == 3 ? 4 : pass == 4 ? 2 : 1;
    while (pass != 0 && row >= img.height) {
      if (pass == 1) {
        pass = 2, row = 4;
      } else if (pass == 2) {
        pass = 3, row = 2;
      } else if (pass == 3) {
        pass = 4, row = 1;
      } else {
        pass = 0;
      }
    }
    return p;
  };
  const int initBits = minCodeSize + 1, clear = 1 << minCodeSize, end = clear + 1;
  int nBits = initBits, maxCode = (1 << nBits) - 1, freeEnt = clear + 2;
  bool clearFlag = false;
  unsigned long accum = 0;
  int accBits = 0;
  std::vector<long> hash(5003, -1);
  std::vector<int> codeTab(5003, 0);
  auto output = [&](int code) {
    accum &= (1ul << accBits) - 1;
    accum = accBits > 0 ? accum | (static_cast<unsigned long>(code) << accBits)
                        : static_cast<unsigned long>(code);
    accBits += nBits;
    while (accBits >= 8) {
      charOut(static_cast<int>(accum & 0xFF));
      accum >>= 8;
      accBits -= 8;
    }
    if (freeEnt > maxCode || clearFlag) {
      if (clearFlag) {
        nBits = initBits;
        maxCode = (1 << nBits) - 1;
        clearFlag = false;
      } else {
        ++nBits;
        maxCode = nBits == 12 ? 4096 : (1 << nBits) - 1;
      }
    }
    if (code == end) {
      while (accBits > 0) {
        charOut(static_cast<int>(accum & 0xFF));
        accum >>= 8;
        accBits -= 8;
      }
      if (!packet.empty()) {
        out.push_back(static_cast<uint8_t>(packet.size()));
        out.insert(out.end(), packet.begin(), packet.end());
        packet.clear();
      }
    }
  };
  int ent = nextPixel();
  output(clear);
  for (int c = nextPixel(); c >= 0; c = nextPixel()) {
    long key = (static_cast<long>(c) << 12) + ent;
    int i = (c << 4) ^ ent;
    if (hash[i] == key) {
      ent = codeTab[i];
      continue;
    }
    if (hash[i] >= 0) {
      int disp = i == 0 ? 1 : 5003 - i;
      bool found = false;
      do {
        if ((i -= disp) < 0) i += 5003;
        if (hash[i] == key) {
          found = true;
          break;
        }
      } while (hash[i] > 0);
      if (found) {
        ent = codeTab[i];
        continue;
      }
    }
    output(ent);
    ent = c;
    if (freeEnt < 4096) {
      codeTab[i] = freeEnt++;
      hash[i] = key;
    } else {
      std::fill(hash.begin(), hash.end(), -1);
      freeEnt = clear + 2;
      clearFlag = true;
      output(clear);
    }
  }
  output(ent);
  output(end);
  out.push_back(0);
  return out;
}

std::vector<uint8_t> Encode(const LzwImage& img, int minCodeSize) {
  MemorySink sink;
  LzwEncoder encoder;
  EXPECT_TRUE(encoder.Encode(sink, img, minCodeSize));
  return sink.bytes;
}

// The codes of encoded image data, sub-blocks joined (the minimum code size byte skipped).
std::vector<uint8_t> JoinSubBlocks(const std::vector<uint8_t>& encoded) {
  std::vector<uint8_t> data;
  for (size_t i = 1; i < encoded.size() && encoded[i] != 0; i += 1 + encoded[i])
    data.insert(data.end(), encoded.begin() + static_cast<std::ptrdiff_t>(i + 1),
                encoded.begin() + static_cast<std::ptrdiff_t>(i + 1 + encoded[i]));
  return data;
}

bool FastDecode(int minCodeSize, std::vector<uint8_t> data, size_t count, std::vector<uint8_t>* out) {
  size_t n = data.size();
  data.resize(n + kLzwInputPadding, 0);
  out->assign(count, 0);
  LzwDecoder decoder;
  bool ok = decoder.Decode(minCodeSize, data.data(), n, out->data(), count);
  out->resize(count);
  return ok;
}

// Test pictures: noise over a few or many colours, mostly-zero pictures (which fill the hash table with
// the key 0), smooth gradients.
std::vector<uint8_t> Picture(int kind, int w, int h, int colors, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> p(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int v = 0;
      switch (kind) {
        case 0:
          v = static_cast<int>(rng() % static_cast<unsigned>(colors));
          break;
        case 1:
          v = rng() % 16 == 0 ? static_cast<int>(rng() % static_cast<unsigned>(colors)) : 0;
          break;
        case 3:
          // Starts with 16, 1 (a string whose hash slot is 0), then mostly zeros: the key 0 is entered
          // outside slot 0, where probes can pass it.
          v = y == 0 && x < 2
                  ? (x == 0 ? 16 : 1)
                  : (rng() % 3 == 0 ? static_cast<int>(rng() % static_cast<unsigned>(colors)) : 0);
          break;
        default:
          v = ((x / 3 + y / 5) + (rng() % 8 == 0 ? 1 : 0)) % colors;
          break;
      }
      p[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>(v);
    }
  return p;
}

TEST(GifLzw, EncoderGivesTheSameBytesAsThePlainAlgorithm) {
  struct Case {
    int kind, w, h, colors, minCodeSize;
    bool interlaced;
  };
  // The last three: one pixel wide and very tall, and rows far longer than the stretches the encoder
  // works through between looks at its buffers.
  const Case cases[] = {
      {0, 1, 1, 2, 2, false},       {0, 3, 3, 4, 2, true},        {0, 200, 150, 4, 2, false},
      {0, 300, 200, 256, 8, false}, {1, 400, 300, 256, 8, false}, {1, 640, 480, 2, 2, true},
      {2, 333, 77, 64, 6, true},    {2, 1000, 10, 200, 8, false}, {0, 17, 9, 8, 5, true},
      {3, 500, 400, 256, 8, false}, {3, 640, 480, 40, 8, true},   {3, 300, 300, 32, 5, false},
      {0, 1, 9000, 4, 2, false},    {0, 9001, 3, 256, 8, true},   {1, 20000, 2, 7, 3, false}};
  uint32_t seed = 1;
  for (const Case& c : cases) {
    std::vector<uint8_t> pixels = Picture(c.kind, c.w, c.h, c.colors, seed++);
    LzwImage img{pixels.data(), c.w, c.w, c.h, c.interlaced};
    std::vector<uint8_t> fast = Encode(img, c.minCodeSize);
    EXPECT_EQ(fast, ReferenceEncode(img, c.minCodeSize)) << c.w << "x" << c.h << " kind " << c.kind;
    EXPECT_EQ(fast, Encode(img, c.minCodeSize)) << "the same frame must encode to the same bytes";
    // Sub-blocks are never longer than 254 bytes.
    for (size_t i = 1; i < fast.size() && fast[i] != 0; i += 1 + fast[i]) ASSERT_LE(fast[i], 254);
    // And the data decodes back to the rows in file order.
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(FastDecode(c.minCodeSize, JoinSubBlocks(fast), pixels.size(), &decoded));
    std::vector<uint8_t> fileOrder;
    for (int y : RowOrder(c.h, c.interlaced))
      fileOrder.insert(fileOrder.end(), pixels.begin() + y * c.w, pixels.begin() + (y + 1) * c.w);
    EXPECT_EQ(decoded, fileOrder);
  }
}

// A dithered plasma over many colours: long runs broken up everywhere, like the noisy frames of real
// animations (fractals, dithered video), which fill the table fast and probe it hard.
std::vector<uint8_t> Plasma(int w, int h, int colors, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> p(static_cast<size_t>(w) * static_cast<size_t>(h));
  const int phase = static_cast<int>(rng() % 97);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int field = (x * x / 7 + y * y / 5 + x * y / 11 + phase) % 512;
      int dither = ((x & 3) * 4 + (y & 3)) % 3;
      int v = (field + dither + (rng() % 5 == 0 ? static_cast<int>(rng() % 7) : 0)) % colors;
      p[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = static_cast<uint8_t>(v);
    }
  return p;
}

uint64_t Fnv1a(uint64_t h, const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

// The code stream is part of the saved files (and of their sizes, which the optimizer compares), so it is
// pinned as a whole: many frames of every kind, with padded rows, one encoder reused throughout. Any
// change to the table, the probing, the code widths or the packets moves the hash.
TEST(GifLzw, EncodedStreamsAreThePinnedOnes) {
  LzwEncoder encoder;
  uint64_t hash = 14695981039346656037ull;
  int frames = 0;
  uint32_t seed = 100;
  for (int kind = 0; kind <= 4; ++kind)
    for (int colors : {2, 13, 64, 256})
      for (int size = 0; size < 3; ++size) {
        const int w = size == 0 ? 37 : size == 1 ? 320 : 640;
        const int h = size == 0 ? 11 : size == 1 ? 240 : 480;
        std::vector<uint8_t> pixels =
            kind == 4 ? Plasma(w, h, colors, seed) : Picture(kind, w, h, colors, seed);
        ++seed;
        // Rows padded with bytes the encoder must not read.
        const int stride = w + (seed % 4);
        std::vector<uint8_t> padded(static_cast<size_t>(stride) * static_cast<size_t>(h), 0xEE);
        for (int y = 0; y < h; ++y)
          std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(y) * w, w,
                      padded.begin() + static_cast<std::ptrdiff_t>(y) * stride);
        // Kind 3 starts with the pixel 16 whatever the colour count: the codes must cover it.
        const int needed = kind == 3 ? std::max(colors, 17) : colors;
        int bits = 1;
        while (bits < 8 && (1 << bits) < needed) ++bits;
        const int minCodeSize = std::clamp(bits + static_cast<int>(seed % 2), 2, 8);
        LzwImage img{padded.data(), stride, w, h, seed % 3 == 0};
        MemorySink sink;
        ASSERT_TRUE(encoder.Encode(sink, img, minCodeSize));
        if (size == 1) {
          LzwImage plain{padded.data(), stride, w, h, img.interlaced};
          ASSERT_EQ(sink.bytes, ReferenceEncode(plain, minCodeSize))
              << "kind " << kind << " colors " << colors;
        }
        hash = Fnv1a(hash, sink.bytes);
        ++frames;
      }
  EXPECT_EQ(frames, 60);
  EXPECT_EQ(hash, 0x9bfc1199457a9507ull);
}

TEST(GifLzw, OnePixelFrameIsClearPixelEndInOneSubBlock) {
  uint8_t pixel = 1;
  LzwImage img{&pixel, 4, 1, 1, false};
  // Codes of 3 bits: clear 4, pixel 1, end 5, least significant bit first.
  EXPECT_EQ(Encode(img, 2), (std::vector<uint8_t>{2, 2, 0x4C, 0x01, 0}));
}

TEST(GifLzw, InterlacedRowsGoInPassOrder) {
  // Height 3: rows 0, 2, 1. Height 1: just row 0.
  EXPECT_EQ(RowOrder(3, true), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(RowOrder(1, true), (std::vector<int>{0}));
  EXPECT_EQ(RowOrder(10, true), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
  std::vector<uint8_t> rows = {0, 0, 1, 1, 2, 2}, reordered = {0, 0, 2, 2, 1, 1};
  LzwImage interlaced{rows.data(), 2, 2, 3, true}, plain{reordered.data(), 2, 2, 3, false};
  EXPECT_EQ(Encode(interlaced, 2), Encode(plain, 2));
}

TEST(GifLzw, FullTableEmitsClearAndGoesOnAtTheInitialWidth) {
  std::vector<uint8_t> pixels = Picture(0, 256, 64, 256, 7);
  LzwImage img{pixels.data(), 256, 256, 64, false};
  std::vector<uint8_t> data = JoinSubBlocks(Encode(img, 8));
  // Walk the codes: after the table fills, a 12-bit clear code is followed by 9-bit codes.
  size_t bit = 0;
  int width = 9, next = 258, clears = 0;
  bool sawClearAt12 = false;
  auto code = [&](int n) {
    int c = 0;
    for (int i = 0; i < n; ++i, ++bit) c |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
    return c;
  };
  bool first = true;
  while (bit + static_cast<size_t>(width) <= data.size() * 8) {
    int c = code(width);
    if (c == 257) break;
    if (c == 256) {
      ++clears;
      if (width == 12) sawClearAt12 = true;
      width = 9;
      next = 258;
      first = true;
      continue;
    }
    if (first) {
      first = false;
      continue;
    }
    if (next < 4096 && ++next > (1 << width) - 1 && width < 12) ++width;
  }
  EXPECT_GE(clears, 2);
  EXPECT_TRUE(sawClearAt12);
}

// A table kept once full: the only clear code is the first, the codes stay 12 bits wide, and the
// decoder gives the pixels back, on pictures that fill the table at every starting width.
TEST(GifLzw, AKeptFullTableHasOneClearAndDecodes) {
  struct Case {
    int kind, w, h, colors, minCodeSize;
    bool interlaced;
  };
  const Case cases[] = {{0, 300, 200, 256, 8, false}, {2, 1000, 40, 200, 8, true}, {0, 640, 480, 4, 2, false},
                        {3, 500, 400, 32, 5, false},  {0, 9001, 3, 256, 8, true},  {1, 20, 20, 7, 3, false}};
  uint32_t seed = 40;
  for (const Case& c : cases) {
    std::vector<uint8_t> pixels = Picture(c.kind, c.w, c.h, c.colors, seed++);
    LzwImage img{pixels.data(), c.w, c.w, c.h, c.interlaced};
    MemorySink sink;
    LzwEncoder encoder;
    ASSERT_TRUE(encoder.Encode(sink, img, c.minCodeSize, true));
    ASSERT_EQ(sink.bytes[0], c.minCodeSize);
    const std::vector<uint8_t> data = JoinSubBlocks(sink.bytes);
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(FastDecode(c.minCodeSize, data, pixels.size(), &decoded)) << c.w << "x" << c.h;
    std::vector<uint8_t> fileOrder;
    for (int row : RowOrder(c.h, c.interlaced))
      fileOrder.insert(fileOrder.end(), pixels.begin() + row * c.w, pixels.begin() + (row + 1) * c.w);
    ASSERT_EQ(decoded, fileOrder) << c.w << "x" << c.h;

    // Walk the codes as a decoder sizes them.
    const int clear = 1 << c.minCodeSize;
    int width = c.minCodeSize + 1, next = clear + 2, clears = 0, codes = 0;
    size_t bit = 0;
    bool ended = false;
    while (bit + static_cast<size_t>(width) <= data.size() * 8) {
      int code = 0;
      for (int i = 0; i < width; ++i, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
      if (code == clear + 1) {
        ended = true;
        break;
      }
      if (code == clear) {
        ++clears;
        continue;
      }
      if (codes++ > 0 && next < 4096 && ++next >= 1 << width && width < 12) ++width;
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(clears, 1) << c.w << "x" << c.h;
    if (codes > 4096) {
      EXPECT_EQ(width, 12);
    }
  }
}

TEST(GifLzw, DecoderAgreesWithThePlainDecoderOnDamagedData) {
  std::mt19937 rng(42);
  int agreed = 0;
  for (int round = 0; round < 3000; ++round) {
    int minCodeSize = 1 + static_cast<int>(rng() % 8);
    int w = 1 + static_cast<int>(rng() % 60), h = 1 + static_cast<int>(rng() % 40);
    std::vector<uint8_t> data;
    if (round % 3 == 0) {
      // Pure noise: early end codes, codes beyond the table, first codes above the clear code.
      data.resize(1 + rng() % 300);
      for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
    } else {
      // A good stream with a few bits flipped or a cut.
      int colors = 1 << minCodeSize;
      std::vector<uint8_t> pixels = Picture(static_cast<int>(rng() % 3), w, h, std::min(colors, 256), rng());
      LzwImage img{pixels.data(), w, w, h, false};
      data = JoinSubBlocks(Encode(img, std::max(minCodeSize, 2)));
      if (minCodeSize < 2) minCodeSize = 2;
      for (int flips = static_cast<int>(rng() % 4); flips > 0 && !data.empty(); --flips)
        data[rng() % data.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
      if (round % 5 == 0 && !data.empty()) data.resize(rng() % data.size());
    }
    size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    std::vector<uint8_t> fast, slow;
    bool fastOk = FastDecode(minCodeSize, data, count, &fast);
    ReferenceDecoder reference(minCodeSize, data);
    bool slowOk = reference.Decode(slow, count);
    ASSERT_EQ(fastOk, slowOk) << "round " << round;
    if (fastOk) {
      ASSERT_EQ(fast, slow) << "round " << round;
      ++agreed;
    }
  }
  EXPECT_GT(agreed, 500);
}

TEST(GifLzw, DecoderSpecialCodes) {
  std::vector<uint8_t> out;
  // Codes of 3 bits (minimum code size 2): clear, clear, 1, 6 (the string not yet in the table: 1 1),
  // clear, clear, 2, end.
  auto pack = [](std::vector<int> codes, std::vector<int> widths) {
    std::vector<uint8_t> bytes;
    size_t bit = 0;
    for (size_t i = 0; i < codes.size(); ++i)
      for (int k = 0; k < widths[i]; ++k, ++bit) {
        if (bit / 8 >= bytes.size()) bytes.push_back(0);
        bytes[bit / 8] = static_cast<uint8_t>(bytes[bit / 8] | (((codes[i] >> k) & 1) << (bit % 8)));
      }
    return bytes;
  };
  std::vector<uint8_t> data = pack({4, 4, 1, 6, 4, 4, 2, 5}, {3, 3, 3, 3, 3, 3, 3, 3});
  ASSERT_TRUE(FastDecode(2, data, 4, &out));
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 1, 1, 2}));
  // The end code as the first code after a clear is a pixel (its low 8 bits).
  ASSERT_TRUE(FastDecode(2, pack({4, 5, 5}, {3, 3, 3}), 1, &out));
  EXPECT_EQ(out, (std::vector<uint8_t>{5}));
  // The end code before the last pixel, or no bits left, fails the image.
  EXPECT_FALSE(FastDecode(2, pack({4, 1, 5}, {3, 3, 3}), 2, &out));
  EXPECT_FALSE(FastDecode(2, pack({4, 1}, {3, 3}), 3, &out));
  // A minimum code size the 4096-entry table cannot hold is refused.
  EXPECT_FALSE(FastDecode(12, std::vector<uint8_t>(100, 0), 1, &out));
}

TEST(GifLzw, PixelBoundNeverRefusesWhatTheDataCanHold) {
  // A run of one colour is the fastest-growing stream there is.
  std::vector<uint8_t> pixels(1 << 20, 0);
  for (int m : {2, 8}) {
    LzwImage img{pixels.data(), 1024, 1024, 1024, false};
    size_t bytes = JoinSubBlocks(Encode(img, m)).size();
    EXPECT_GE(LzwDecoder::MaxPixelsFor(m, bytes), pixels.size());
  }
  EXPECT_LT(LzwDecoder::MaxPixelsFor(2, 10), 1000u);
}

}  // namespace
}  // namespace lw
