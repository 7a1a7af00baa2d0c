// The high-quality quantizer: a palette that keeps the squared colour error of the picture small (the
// picture's own colours when they fit; else a variance split refined by k-means over the full 24-bit
// colours), and the mapping onto any palette by the nearest colour itself, optionally with a serpentine,
// clamped error diffusion. Slower than median cut on the 15-bit histogram, and much closer to the picture.
#pragma once

#include <cstdint>
#include <vector>

#include "color/dib.h"
#include "model/palette.h"

namespace lw {

// Up to maxColors (1…256) colours for the 16-, 24- or 32-bit DIB's pixels, most used first, without
// duplicates or unused entries. 0 for another depth or when memory runs out.
int BestDibPalette(const DibHeader& header, const uint8_t* bits, PaletteEntry* out, int maxColors);

// Full 24-bit colours (0xRRGGBB) with their pixel counts, gathered from any number of pictures, e.g. the
// frames of a clip. Grows as needed; Add throws std::bad_alloc when memory runs out.
class ColourHistogram {
 public:
  ColourHistogram();
  void Add(uint32_t rgb, uint32_t count = 1);
  // Every rowStep-th row and every columnStep-th pixel of a 16-, 24- or 32-bit DIB; false for another depth.
  bool AddDib(const DibHeader& header, const uint8_t* bits, int rowStep = 1, int columnStep = 1);
  size_t Size() const { return used_; }
  uint64_t Total() const { return total_; }
  template <typename Fn>
  void ForEach(Fn fn) const {
    for (size_t i = 0; i < keys_.size(); ++i)
      if (keys_[i] != kEmpty) fn(keys_[i], counts_[i]);
  }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;
  void Grow();
  std::vector<uint32_t> keys_, counts_;
  size_t used_ = 0;
  uint64_t total_ = 0;
  uint32_t lastKey_ = kEmpty;
  size_t lastSlot_ = 0;
};

// Up to maxColors (1…256) colours for the histogram, as BestDibPalette gives them; every colour held by at
// least keepShare of the pixels (up to half the palette, most used first) is kept exactly. With minPsnr
// (dB), fewer colours where that many keep the palette's PSNR over the histogram at least that high (or,
// where maxColors miss it, add at most a quarter of its error to theirs), but never fewer than minColors:
// fewer colours code smaller where the pictures lose more than that anyway. 0 when the histogram is empty
// or memory runs out.
int BestHistogramPalette(const ColourHistogram& histogram, PaletteEntry* out, int maxColors,
                         double keepShare = 0, double minPsnr = 0, int minColors = 0);

// Maps the DIB's pixels onto the nearest palette colours (squared RGB distance, lowest index on ties)
// into 8-bit rows of StrideFor8Bit(width), in the DIB's row order; with dither, the error is carried to
// the neighbours in a serpentine scan, clamped so that it never smears into flat areas. False when memory
// runs out or the depth is not 16, 24 or 32.
bool MapDibBest(const DibHeader& header, const uint8_t* src, uint8_t* dst, const Palette& palette,
                bool dither);

// The index of the palette colour nearest to (r, g, b): what MapDibBest gives a pixel without dither.
class NearestColour {
 public:
  explicit NearestColour(const Palette& palette);
  int Find(int r, int g, int b) const;

 private:
  struct Entry {
    int r, g, b, index;
  };
  std::vector<Entry> sorted_;  // by green, the channel the search walks out along
};

}  // namespace lw
