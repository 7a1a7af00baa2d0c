// The variable-length-code LZW of GIF: the decoder that fills a frame's raster and the encoder that
// compresses it. Each coder keeps its tables in its own object, so several reads and writes may run at
// once on different threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/gif_sink.h"

namespace lw {

constexpr int kLzwMaxCodeSize = 11;  // the largest minimum code size a 4096-entry table can decode
constexpr size_t kLzwInputPadding = 8;

class LzwDecoder {
 public:
  LzwDecoder();
  ~LzwDecoder();
  LzwDecoder(const LzwDecoder&) = delete;
  LzwDecoder& operator=(const LzwDecoder&) = delete;

  // Decodes `count` pixels in stream order into out[0..count).
  // data holds the image's data sub-blocks joined together, followed by kLzwInputPadding readable bytes.
  // Gives false when the stream is corrupt or ends (end code, or no bits left) before count pixels.
  bool Decode(int minCodeSize, const uint8_t* data, size_t dataBytes, uint8_t* out, size_t count);

  // The most pixels `dataBytes` bytes of codes could possibly produce: a frame asking for more cannot be
  // decoded from them, whatever they hold.
  static uint64_t MaxPixelsFor(int minCodeSize, size_t dataBytes);

 private:
  struct Tables;
  std::unique_ptr<Tables> t_;
  int dirtyEnd_ = 0;  // table entries at or above the clear code that the last image may have written
};

// The pixels of one frame as the encoder walks them: `height` rows of `width` bytes, `stride` apart,
// in normal or interlaced row order.
struct LzwImage {
  const uint8_t* bits = nullptr;
  int stride = 0;
  int width = 0;
  int height = 0;
  bool interlaced = false;
};

struct LzwStringTable;

class LzwEncoder {
 public:
  LzwEncoder();
  ~LzwEncoder();
  LzwEncoder(const LzwEncoder&) = delete;
  LzwEncoder& operator=(const LzwEncoder&) = delete;

  // Writes the image data: the minimum code size byte, the codes in data sub-blocks of at most 254
  // bytes, and the zero terminator. Every pixel must be below 2^minCodeSize (2 to 8). False when the
  // sink failed. With keepFullTable, a full table is kept to the end of the image instead of starting
  // again with a clear code (every decoder follows it; on pictures whose patterns repeat all through,
  // the strings already learnt are worth more than a fresh table).
  bool Encode(GifSink& sink, const LzwImage& image, int minCodeSize, bool keepFullTable = false);

 private:
  bool EncodeKeepingFullTable(GifSink& sink, const LzwImage& image, int minCodeSize);

  struct Tables;
  std::unique_ptr<LzwStringTable> strings_;  // made for the first image that keeps its table
  std::unique_ptr<Tables> t_;
  std::vector<uint8_t> raw_;     // code bytes not yet cut into sub-blocks
  std::vector<uint8_t> packed_;  // sub-blocks ready for the sink
  std::vector<uint16_t> codes_;  // codes not yet packed into bytes
};

// The rows of an image in the order the file stores them: 0, 1, 2 … or the four interlace passes
// (0, 8, 16 …; 4, 12 …; 2, 6 …; 1, 3 …).
std::vector<int> RowOrder(int height, bool interlaced);

}  // namespace lw
