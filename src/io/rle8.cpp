#include "io/rle8.h"

namespace lw {

void EncodeRle8(const uint8_t* rows, size_t stride, int width, int height, std::vector<uint8_t>* out) {
  const size_t w = width > 0 ? static_cast<size_t>(width) : 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rows + stride * static_cast<size_t>(y);
    size_t x = 0;
    while (x < w) {
      size_t run = 1;
      while (x + run < w && run < 255 && row[x + run] == row[x]) ++run;
      if (run >= 2 || w - x < 3) {
        out->push_back(static_cast<uint8_t>(run));
        out->push_back(row[x]);
        x += run;
        continue;
      }
      // A literal stretch: up to where a run of three equal bytes starts.
      size_t end = x + 1;
      while (end < w && end - x < 255) {
        if (end + 2 < w && row[end] == row[end + 1] && row[end] == row[end + 2]) break;
        ++end;
      }
      size_t count = end - x;
      if (count < 3) {
        for (size_t i = 0; i < count; ++i) {
          out->push_back(1);
          out->push_back(row[x + i]);
        }
      } else {
        out->push_back(0);
        out->push_back(static_cast<uint8_t>(count));
        out->insert(out->end(), row + x, row + x + count);
        if (count & 1) out->push_back(0);
      }
      x = end;
    }
    out->push_back(0);
    out->push_back(y + 1 < height ? 0 : 1);
  }
  if (height <= 0) {
    out->push_back(0);
    out->push_back(1);
  }
}

}  // namespace lw
