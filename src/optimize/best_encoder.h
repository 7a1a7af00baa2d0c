// The pixel values of one rebuilt frame: of the ways to use the freedom of the pixels that only repeat
// the screen (draw them, make them transparent, leave them to the compressor), the one whose data is
// smallest.
#pragma once

#include <cstdint>
#include <vector>

#include "optimize/lzw_choice.h"

namespace lw::best_detail {

// The LZW minimum code size for pixels whose values, or-ed together, give all.
int CodeSizeForValues(uint8_t all);

// The rows of a frame in the order the file stores them.
std::vector<int> FileRowOrder(int height, bool interlaced);

// Picks the pixel values of one frame: of the ways to use the freedom of the pixels that only repeat
// the screen, the one whose data is smallest.
class Encoder {
 public:
  // opaque: each pixel's palette index (for the way that draws every pixel; empty when that is not
  // possible); colour: the index, or t where only transparency will do or the index would widen the codes;
  // clear: t where the pixel only repeats the screen, else the same as colour. The code sizes are those
  // the values of each kind need. Gives the size when it beats best (Won(), and the pixels are to be
  // taken with TakePixels), else best.
  uint64_t Pick(const std::vector<uint8_t>& opaque, const std::vector<uint8_t>& colour,
                const std::vector<uint8_t>& clear, bool freedom, int opaqueCodeSize, int codeSize,
                uint64_t best);

  bool Won() const { return won_; }
  bool Transparent() const { return transparent_; }
  // Hands the picked pixels over (the encoder keeps other memory of the same size in exchange).
  void TakePixels(std::vector<uint8_t>& into) { into.swap(pixels_); }

 private:
  enum Way {
    kOpaque,
    kFewestRuns,
    kFewestRunsColour,
    kFewestRunsChosen,
    kFewestRunsColourChosen,
    kPreferColour,
    kPreferClear,
    kWays
  };
  static constexpr size_t kAllWaysBelow = 1024;

  // One way over the first len pixels (the whole frame): the picks go to picked_; gives their size
  // (UINT64_MAX once past limit).
  uint64_t Run(int way, const std::vector<uint8_t>& opaque, const std::vector<uint8_t>& colour,
               const std::vector<uint8_t>& clear, size_t len, int opaqueCodeSize, int codeSize,
               uint64_t limit);

  void Accept(uint64_t size, const std::vector<uint8_t>& pixels, bool transparent) {
    best_ = size;
    pixels_ = pixels;
    won_ = true;
    transparent_ = transparent;
  }

  LzwChooser chooser_;
  std::vector<uint8_t> picked_, pixels_, fewest_, fewestColour_, runsScratch_;
  bool fewestReady_ = false;
  uint64_t best_ = UINT64_MAX;
  bool won_ = false, transparent_ = false;
  int rank_[kWays] = {kOpaque,      kFewestRunsChosen, kFewestRunsColourChosen,
                      kPreferClear, kFewestRuns,       kFewestRunsColour,
                      kPreferColour};
  int sinceAll_ = 3;
};

}  // namespace lw::best_detail
