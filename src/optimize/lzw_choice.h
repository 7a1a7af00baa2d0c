// Sizing GIF image data, and choosing pixel values that compress well where a pixel may take either of
// two values (a pixel that only repeats the screen can be transparent or keep its colour).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/lzw_string_table.h"

namespace lw {

// Picks, where pixel i may be first[i] or second[i], the values that give the fewest runs of equal
// values over the whole sequence (ties go to second when preferSecond); out may be first. scratch is
// working memory (n bytes), kept by the caller between calls.
void PickFewestRuns(const uint8_t* first, const uint8_t* second, size_t n, bool preferSecond, uint8_t* out,
                    std::vector<uint8_t>& scratch);
// Both picks at once (ties to first, ties to second): the run counts are the same, only the ties differ.
void PickFewestRunsBoth(const uint8_t* first, const uint8_t* second, size_t n, uint8_t* tiesToFirst,
                        uint8_t* tiesToSecond, std::vector<uint8_t>& scratch);

// Fewer pixels than this never fill the string table (each code takes at least one pixel), so keeping a
// full table cannot change their data.
constexpr size_t kLzwPixelsToFillTable = 3800;

class LzwChooser {
 public:
  LzwChooser();
  ~LzwChooser();
  LzwChooser(const LzwChooser&) = delete;
  LzwChooser& operator=(const LzwChooser&) = delete;

  // Compresses n pixels as the GIF writer does (codes of up to 12 bits, a clear code when the table is
  // full) where pixel i may be first[i] or second[i] (equal for a fixed pixel), picking at each step the
  // value that continues the string being matched, else the one with which the next pixel continues a
  // known string, else first[i] (or second[i] when preferSecond). The picks go to out (which may be
  // first). Gives the size of the image data: the code size byte, the codes in sub-blocks of at most 254
  // bytes, and the terminator. The pixel order is the file's (rows already interlaced if need be).
  // With a limit, the work stops (giving UINT64_MAX) as soon as the data would be larger than it.
  // When flip is given, the values are first[i] and, as the other, flip[i] where first[i] is not flip[i]
  // and else second[i] (first being a pick from flip and second).
  uint64_t Choose(const uint8_t* first, const uint8_t* second, size_t n, int minCodeSize, bool preferSecond,
                  uint8_t* out, uint64_t limit = UINT64_MAX, const uint8_t* flip = nullptr);

  // Whether a full table is kept to the end of the image instead of starting again with a clear code
  // (as the writer does for a frame whose keepFullTable is set).
  void SetKeepFullTable(bool keep) { keepFullTable_ = keep; }

  // The size of the image data of fixed pixels.
  uint64_t Size(const uint8_t* pixels, size_t n, int minCodeSize, uint64_t limit = UINT64_MAX) {
    return Choose(pixels, pixels, n, minCodeSize, false, nullptr, limit);
  }

 private:
  std::unique_ptr<LzwStringTable> t_;
  bool keepFullTable_ = false;
  std::vector<uint8_t> walkA_, walkB_;  // the picks of the two strings a new string may be
};

}  // namespace lw
