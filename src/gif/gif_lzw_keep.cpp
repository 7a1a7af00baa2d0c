// The encoder for images that keep a full string table to their end: plain LZW over an exact table,
// with the width rule of the main encoder, and no clear code once the 4096 codes are taken.
#include <algorithm>
#include <vector>

#include "gif/gif_lzw.h"
#include "gif/lzw_string_table.h"

namespace lw {

bool LzwEncoder::EncodeKeepingFullTable(GifSink& sink, const LzwImage& image, int minCodeSize) {
  const std::vector<int> rows = RowOrder(image.height, image.interlaced);
  if (rows.empty() || image.width <= 0 || !image.bits) return false;
  if (!strings_) strings_ = std::make_unique<LzwStringTable>();
  LzwStringTable& t = *strings_;
  t.Clear();

  std::vector<uint8_t> bytes;
  uint32_t acc = 0;
  int accBits = 0;
  int codeBits = minCodeSize + 1;
  auto put = [&](int code) {
    acc |= static_cast<uint32_t>(code) << accBits;
    accBits += codeBits;
    while (accBits >= 8) {
      bytes.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      accBits -= 8;
    }
  };
  const int clear = 1 << minCodeSize;
  int next = clear + 2;
  put(clear);
  int ent = -1;
  for (int y : rows) {
    const uint8_t* p = image.bits + static_cast<size_t>(y) * static_cast<size_t>(image.stride);
    for (int x = 0; x < image.width; ++x) {
      const int c = p[x];
      if (ent < 0) {
        ent = c;
        continue;
      }
      const int found = t.Find(LzwStringTable::Key(ent, c));
      if (found >= 0) {
        ent = found;
        continue;
      }
      put(ent);
      if (next < 4096) {
        t.Add(LzwStringTable::Key(ent, c), next++);
        // The decoder, one entry behind, widens its codes once its table passes the width.
        if (next > 1 << codeBits && codeBits < 12) ++codeBits;
      }
      ent = c;
    }
  }
  put(ent);
  if (next >= 1 << codeBits && codeBits < 12) ++codeBits;  // the entry the decoder makes for the last code
  put(clear + 1);
  if (accBits > 0) bytes.push_back(static_cast<uint8_t>(acc));

  if (!sink.WriteByte(static_cast<uint8_t>(minCodeSize))) return false;
  constexpr size_t kPacket = 254;  // as the main encoder cuts its sub-blocks
  std::vector<uint8_t> block;
  for (size_t i = 0; i < bytes.size(); i += kPacket) {
    const size_t n = std::min(kPacket, bytes.size() - i);
    block.assign(1, static_cast<uint8_t>(n));
    block.insert(block.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                 bytes.begin() + static_cast<std::ptrdiff_t>(i + n));
    if (!sink.Write(block.data(), block.size())) return false;
  }
  return sink.WriteByte(0);
}

}  // namespace lw
