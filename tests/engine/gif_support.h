// Helpers for the GIF codec tests: assembling GIF bytes by hand, loading test files, and giflib's decode.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gif/gif_lzw.h"
#include "gif/gif_reader.h"
#include "model/animation.h"

#if LW_HAVE_GIFLIB
#include <gif_lib.h>
#endif

namespace lw::test {

inline std::vector<uint8_t> LoadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::string GifData(const std::string& name) {
  return std::string(LW_TEST_DATA) + "/gif/" + name;
}

// A GIF file put together piece by piece.
struct GifBytes {
  std::vector<uint8_t> b;

  GifBytes& Raw(std::initializer_list<int> bytes) {
    for (int x : bytes) b.push_back(static_cast<uint8_t>(x));
    return *this;
  }
  GifBytes& Le16(int v) { return Raw({v & 0xFF, (v >> 8) & 0xFF}); }
  // Signature and screen descriptor; a global table of 2^(sizeField+1) grey entries when asked.
  GifBytes& Header(int w, int h, bool globalTable = true, int sizeField = 1, int resolution = 7) {
    Raw({'G', 'I', 'F', '8', '9', 'a'});
    Le16(w).Le16(h);
    Raw({(globalTable ? 0x80 : 0) | (resolution << 4) | sizeField, 0, 0});
    if (globalTable)
      for (int i = 0; i < (2 << sizeField); ++i) Raw({i, i, i});
    return *this;
  }
  GifBytes& Control(int flags, int delay, int transparent) {
    Raw({0x21, 0xF9, 4, flags});
    Le16(delay);
    return Raw({transparent, 0});
  }
  GifBytes& Loop(int count) {
    Raw({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1});
    Le16(count);
    return Raw({0});
  }
  GifBytes& Comment(const std::string& text) {
    Raw({0x21, 0xFE, static_cast<int>(text.size())});
    b.insert(b.end(), text.begin(), text.end());
    return Raw({0});
  }
  // An image descriptor followed by its LZW data, encoded from the given pixels (row-major, w × h).
  GifBytes& Image(int left, int top, int w, int h, const std::vector<uint8_t>& pixels, int minCodeSize = 2,
                  int flags = 0) {
    Raw({0x2C});
    Le16(left).Le16(top).Le16(w).Le16(h);
    Raw({flags});
    MemorySink sink;
    LzwEncoder encoder;
    LzwImage image{pixels.data(), w, w, h, (flags & 0x40) != 0};
    encoder.Encode(sink, image, minCodeSize);
    b.insert(b.end(), sink.bytes.begin(), sink.bytes.end());
    return *this;
  }
  GifBytes& Trailer() { return Raw({0x3B}); }
};

// The pixels of a frame's w × h area, row by row, without the padding.
inline std::vector<uint8_t> FramePixels(const Frame& f) {
  std::vector<uint8_t> out;
  for (int y = 0; y < f.height; ++y) out.insert(out.end(), f.Row(y), f.Row(y) + f.width);
  return out;
}

#if LW_HAVE_GIFLIB
// giflib's own decode of a file in memory (DGifSlurp); null when giflib refuses it.
struct GiflibFile {
  GifFileType* gif = nullptr;
  ~GiflibFile() {
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
  }
};

inline bool GiflibDecode(const std::vector<uint8_t>& bytes, GiflibFile* out) {
  struct Reader {
    const std::vector<uint8_t>* data;
    size_t pos;
  };
  Reader reader{&bytes, 0};
  int error = 0;
  out->gif = DGifOpen(
      &reader,
      [](GifFileType* g, GifByteType* dst, int n) -> int {
        auto* r = static_cast<Reader*>(g->UserData);
        size_t take = std::min<size_t>(static_cast<size_t>(n), r->data->size() - r->pos);
        std::copy(r->data->begin() + static_cast<std::ptrdiff_t>(r->pos),
                  r->data->begin() + static_cast<std::ptrdiff_t>(r->pos + take), dst);
        r->pos += take;
        return static_cast<int>(take);
      },
      &error);
  if (!out->gif) return false;
  bool ok = DGifSlurp(out->gif) == GIF_OK;
  out->gif->UserData = nullptr;
  return ok;
}
#endif

}  // namespace lw::test
