#include "color/dither.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "color/exact_colors.h"
#include "model/frame_bitmap.h"
#include "platform/progress.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

// Widest picture the error rows are grown for (about 100 MB of rows).
constexpr int kMaxDitherWidth = 1 << 22;

struct DitherState {
  std::mutex mutex;
  std::unique_ptr<uint8_t[]> map;
  std::array<PaletteEntry, 256> cachedEntries{};
  int cachedCount = 0;
  bool mapValid = false;
  std::unique_ptr<int32_t[]> rows;
  uint32_t capacity = 0;  // pixels the rows were allocated for
  uint32_t builds = 0;
  bool simulateFailure = false;
};

DitherState& State() {
  static DitherState state;
  return state;
}

size_t RowInts(uint32_t width) {
  size_t w4 = (static_cast<size_t>(width) + 3) & ~size_t{3};
  return w4 * 3 + 6;
}

// q for s = v + d: 0 below 8, 1 up to 23, then s / 8 - 1 (at most 31); 255 with no offset is 31.
struct ReductionTables {
  uint8_t q[8][256];
  ReductionTables() {
    for (int d = 0; d < 8; ++d) {
      for (int v = 0; v < 256; ++v) {
        int s = v + d, r;
        if (s < 8)
          r = 0;
        else if (s < 24)
          r = 1;
        else
          r = std::min(s / 8 - 1, 31);
        if (v == 255 && d == 0) r = 31;
        q[d][v] = static_cast<uint8_t>(r);
      }
    }
  }
};

const ReductionTables& Reduction() {
  static const ReductionTables tables;
  return tables;
}

constexpr uint8_t kOrdered[4][4] = {{7, 1, 6, 0}, {3, 5, 2, 4}, {6, 0, 7, 1}, {2, 4, 3, 5}};

// Pads a palette to the 256 entries the row operations index.
std::array<PaletteEntry, 256> Entries256(const Palette& palette) {
  std::array<PaletteEntry, 256> out{};
  int n = std::min(palette.Count(), 256);
  for (int i = 0; i < n; ++i) out[static_cast<size_t>(i)] = palette[i];
  return out;
}

inline int Clamp255(int v) {
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// The diffusion engine. fetch(row, x, rgb) gives the pixel's colour, or false for a pixel that passes
// through untouched (the transparent index); skip gives the index written for such a pixel.
//
// The error of a pixel goes 7/16 right, 3/16 down-left, 5/16 down, 1/16 down-right. The share for the pixel
// to the right travels in a register; the next row's sums are completed pixel by pixel and written once.
template <typename Fetch>
void DiffuseRows(uint8_t* dst, const uint8_t* src, size_t dstStride, size_t srcStride,
                 const PaletteEntry* target, const uint8_t* map, int32_t* current, int32_t* next, int firstX,
                 int count, int rowPhase, int rowCount, uint8_t skip, Fetch fetch) {
  if (count <= 0 || rowCount <= 0) return;
  const ReductionTables& red = Reduction();
  // Both rows start clear over the span and the guard pixels around it.
  std::memset(current + 3 * (firstX - 1), 0, sizeof(int32_t) * 3 * static_cast<size_t>(count + 2));
  std::memset(next + 3 * (firstX - 1), 0, sizeof(int32_t) * 3 * static_cast<size_t>(count + 2));
  const int lastX = firstX + count;
  for (int row = 0; row < rowCount; ++row, ++rowPhase) {
    const uint8_t* offsets = kOrdered[rowPhase & 3];
    int carryR = 0, carryG = 0, carryB = 0;  // 7·e of the pixel to the left
    int aR = 0, aG = 0, aB = 0;              // next row at x - 1, so far
    int bR = 0, bG = 0, bB = 0;              // next row at x, so far
    const int32_t* cur = current;
    int32_t* nxt = next;
    for (int x = firstX; x < lastX; ++x) {
      int rgb[3];
      int eR = 0, eG = 0, eB = 0;
      if (fetch(src, x, rgb)) {
        int r = Clamp255(rgb[0] + (cur[3 * x] + carryR) / 16);
        int g = Clamp255(rgb[1] + (cur[3 * x + 1] + carryG) / 16);
        int b = Clamp255(rgb[2] + (cur[3 * x + 2] + carryB) / 16);
        const uint8_t* q = red.q[offsets[x & 3]];
        uint8_t index = map[(q[r] << 10) | (q[g] << 5) | q[b]];
        dst[x] = index;
        const PaletteEntry& t = target[index];
        eR = r - t.red;
        eG = g - t.green;
        eB = b - t.blue;
      } else {
        dst[x] = skip;
      }
      nxt[3 * x - 3] = aR + 3 * eR;
      nxt[3 * x - 2] = aG + 3 * eG;
      nxt[3 * x - 1] = aB + 3 * eB;
      aR = bR + 5 * eR;
      aG = bG + 5 * eG;
      aB = bB + 5 * eB;
      bR = eR;
      bG = eG;
      bB = eB;
      carryR = 7 * eR;
      carryG = 7 * eG;
      carryB = 7 * eB;
    }
    nxt[3 * lastX - 3] = aR;
    nxt[3 * lastX - 2] = aG;
    nxt[3 * lastX - 1] = aB;
    nxt[3 * lastX] = bR;
    nxt[3 * lastX + 1] = bG;
    nxt[3 * lastX + 2] = bB;
    std::swap(current, next);
    dst += dstStride;
    src += srcStride;
  }
}

}  // namespace

DitherLock::DitherLock() : lock_(State().mutex) {}

void BuildInverseColorMap(const PaletteEntry* entries, int count, uint8_t* map) {
  if (count <= 1) {
    std::memset(map, 0, kInverseMapCells);
    return;
  }
  count = std::min(count, 256);
  // The cube is walked in blocks of 4×4×4 cells. For each block only the entries that can be nearest to
  // some cell in it are tried: those whose least distance to the block is no more than the smallest
  // greatest distance of any entry. Ties keep every candidate, so the lowest index still wins.
  std::vector<int> candidates;
  candidates.reserve(256);
  int minDist[256];
  for (int br = 0; br < 32; br += 4) {
    for (int bg = 0; bg < 32; bg += 4) {
      for (int bb = 0; bb < 32; bb += 4) {
        const int lo[3] = {8 * br + 4, 8 * bg + 4, 8 * bb + 4};
        int minMax = INT_MAX;
        for (int i = 0; i < count; ++i) {
          const int v[3] = {entries[i].red, entries[i].green, entries[i].blue};
          int dmin = 0, dmax = 0;
          for (int c = 0; c < 3; ++c) {
            int l = lo[c], h = lo[c] + 24;
            if (v[c] < l)
              dmin += (l - v[c]) * (l - v[c]);
            else if (v[c] > h)
              dmin += (v[c] - h) * (v[c] - h);
            int far = std::max(v[c] - l, h - v[c]);
            dmax += far * far;
          }
          minDist[i] = dmin;
          minMax = std::min(minMax, dmax);
        }
        candidates.clear();
        for (int i = 0; i < count; ++i)
          if (minDist[i] <= minMax) candidates.push_back(i);
        for (int r = br; r < br + 4; ++r) {
          for (int g = bg; g < bg + 4; ++g) {
            for (int b = bb; b < bb + 4; ++b) {
              const int cr = 8 * r + 4, cg = 8 * g + 4, cb = 8 * b + 4;
              int best = INT_MAX, bestIndex = 0;
              for (int i : candidates) {
                int dr = entries[i].red - cr, dg = entries[i].green - cg, db = entries[i].blue - cb;
                int d = dr * dr + dg * dg + db * db;
                if (d < best) {
                  best = d;
                  bestIndex = i;
                }
              }
              map[(r << 10) | (g << 5) | b] = static_cast<uint8_t>(bestIndex);
            }
          }
        }
      }
    }
  }
}

int OrderedOffset(int rowPhase, int x) {
  return kOrdered[rowPhase & 3][x & 3];
}

int ReduceTo5Bits(int value, int offset) {
  return Reduction().q[offset & 7][Clamp255(value)];
}

bool PrepareDither(const Palette& target, int width) {
  DitherState& s = State();
  int count = std::min(target.Count(), 256);
  bool same = s.mapValid && count == s.cachedCount;
  for (int i = 0; same && i < count; ++i) same = s.cachedEntries[static_cast<size_t>(i)] == target[i];
  if (!same) {
    s.mapValid = false;
    s.cachedEntries = {};
    for (int i = 0; i < count; ++i) s.cachedEntries[static_cast<size_t>(i)] = target[i];
    s.cachedCount = count;
    if (!s.map) {
      s.map.reset(new (std::nothrow) uint8_t[kInverseMapCells]());
      if (!s.map) {
        ShowError("Insufficient memory for dithering.");
        return false;
      }
    }
    BuildInverseColorMap(s.cachedEntries.data(), std::max(count, 1), s.map.get());
    s.mapValid = true;
    ++s.builds;
  }
  uint32_t w = width > 0 ? static_cast<uint32_t>(width) : 1;
  if (!s.simulateFailure && width <= kMaxDitherWidth) {
    if (s.rows && w <= s.capacity) return true;
    uint32_t newCapacity = std::max(w, s.capacity);
    s.rows.reset();
    s.rows.reset(new (std::nothrow) int32_t[RowInts(newCapacity) * 2]());
    if (s.rows) {
      s.capacity = newCapacity;
      return true;
    }
  }
  s.rows.reset();
  s.capacity = 0;
  s.mapValid = false;
  ShowError("Not enough resources for error diffusion of dithering operations.");
  return false;
}

const uint8_t* InverseColorMap() {
  return State().map.get();
}

int32_t* DitherCurrentRow() {
  DitherState& s = State();
  return s.rows ? s.rows.get() + 3 : nullptr;
}

int32_t* DitherNextRow() {
  DitherState& s = State();
  return s.rows ? s.rows.get() + RowInts(s.capacity) + 3 : nullptr;
}

uint32_t InverseMapBuildCount() {
  return State().builds;
}

void ReleaseDitherBuffers() {
  DitherState& s = State();
  s.map.reset();
  s.rows.reset();
  s.capacity = 0;
  s.mapValid = false;
  s.cachedCount = 0;
}

void SimulateDitherAllocationFailure(bool on) {
  State().simulateFailure = on;
}

// ---- Row operations ----

void DitherIndexedRows(uint8_t* dst, const uint8_t* src, size_t dstStride, size_t srcStride,
                       const PaletteEntry* sourceEntries, const PaletteEntry* targetEntries,
                       const uint8_t* map, int32_t* currentRow, int32_t* nextRow, int firstX, int count,
                       int firstRowPhase, int rowCount) {
  DiffuseRows(dst, src, dstStride, srcStride, targetEntries, map, currentRow, nextRow, firstX, count,
              firstRowPhase, rowCount, 0, [sourceEntries](const uint8_t* row, int x, int* rgb) {
                const PaletteEntry& e = sourceEntries[row[x]];
                rgb[0] = e.red;
                rgb[1] = e.green;
                rgb[2] = e.blue;
                return true;
              });
}

void DitherIndexedRowsTransparent(uint8_t* dst, const uint8_t* src, size_t dstStride, size_t srcStride,
                                  const PaletteEntry* sourceEntries, const PaletteEntry* targetEntries,
                                  const uint8_t* map, int32_t* currentRow, int32_t* nextRow, int firstX,
                                  int count, int firstRowPhase, int rowCount, uint8_t sourceTransparent,
                                  uint8_t destTransparent) {
  DiffuseRows(dst, src, dstStride, srcStride, targetEntries, map, currentRow, nextRow, firstX, count,
              firstRowPhase, rowCount, destTransparent,
              [sourceEntries, sourceTransparent](const uint8_t* row, int x, int* rgb) {
                uint8_t p = row[x];
                if (p == sourceTransparent) return false;
                const PaletteEntry& e = sourceEntries[p];
                rgb[0] = e.red;
                rgb[1] = e.green;
                rgb[2] = e.blue;
                return true;
              });
}

void DitherTrueColorRows(uint8_t* dst, const uint8_t* src, size_t dstStride, size_t srcStride,
                         int bytesPerPixel, const PaletteEntry* targetEntries, const uint8_t* map,
                         int32_t* currentRow, int32_t* nextRow, int firstX, int count, int firstRowPhase,
                         int rowCount) {
  auto run = [&](auto bpp) {
    DiffuseRows(dst, src, dstStride, srcStride, targetEntries, map, currentRow, nextRow, firstX, count,
                firstRowPhase, rowCount, 0, [](const uint8_t* row, int x, int* rgb) {
                  const uint8_t* p = row + static_cast<size_t>(x) * decltype(bpp)::value;
                  rgb[0] = p[2];
                  rgb[1] = p[1];
                  rgb[2] = p[0];
                  return true;
                });
  };
  if (bytesPerPixel == 4)
    run(std::integral_constant<size_t, 4>{});
  else
    run(std::integral_constant<size_t, 3>{});
}

void DitherHighColorRows(uint8_t* dst, const uint8_t* src, size_t dstStride, size_t srcStride,
                         const uint32_t* masks, const PaletteEntry* targetEntries, const uint8_t* map,
                         int32_t* currentRow, int32_t* nextRow, int firstX, int count, int firstRowPhase,
                         int rowCount, int bytesPerPixel) {
  static constexpr uint32_t kDefault555[3] = {0x7C00, 0x03E0, 0x001F};
  if (!masks) masks = kDefault555;
  const ChannelMask cr(masks[0]), cg(masks[1]), cb(masks[2]);
  if (bytesPerPixel == 4) {
    DiffuseRows(dst, src, dstStride, srcStride, targetEntries, map, currentRow, nextRow, firstX, count,
                firstRowPhase, rowCount, 0, [&](const uint8_t* row, int x, int* rgb) {
                  const uint8_t* p = row + 4 * static_cast<size_t>(x);
                  uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
                  rgb[0] = cr.Extract(v);
                  rgb[1] = cg.Extract(v);
                  rgb[2] = cb.Extract(v);
                  return true;
                });
  } else {
    DiffuseRows(dst, src, dstStride, srcStride, targetEntries, map, currentRow, nextRow, firstX, count,
                firstRowPhase, rowCount, 0, [&](const uint8_t* row, int x, int* rgb) {
                  const uint8_t* p = row + 2 * static_cast<size_t>(x);
                  uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
                  rgb[0] = cr.Extract(v);
                  rgb[1] = cg.Extract(v);
                  rgb[2] = cb.Extract(v);
                  return true;
                });
  }
}

void MapTrueColorRows(uint8_t* dst, const uint8_t* src, const DibHeader& header, const uint8_t* map) {
  const int width = header.width, height = header.AbsHeight();
  const size_t dstStride = static_cast<size_t>(StrideFor8Bit(width));
  const size_t srcStride = DibStride(width, header.bitCount);
  if (width <= 0 || height <= 0 || srcStride == 0) return;
  if (header.bitCount == 24 || (header.bitCount == 32 && header.compression != kDibBitFields)) {
    const size_t bpp = header.bitCount / 8;
    for (int y = 0; y < height; ++y, dst += dstStride, src += srcStride) {
      const uint8_t* p = src;
      for (int x = 0; x < width; ++x, p += bpp)
        dst[x] = map[((p[2] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[0] >> 3)];
    }
    return;
  }
  if (header.bitCount != 16 && header.bitCount != 32) return;
  const std::array<uint32_t, 3> masks = DibMasks(header);
  const ChannelMask cr(masks[0]), cg(masks[1]), cb(masks[2]);
  if (header.bitCount == 16) {
    // Every 16-bit value has its cell: one table of 65536 cells, then one lookup per pixel.
    std::vector<uint16_t> cells(65536);
    for (uint32_t v = 0; v < 65536; ++v)
      cells[v] =
          static_cast<uint16_t>((cr.Extract(v) >> 3) << 10 | (cg.Extract(v) >> 3) << 5 | cb.Extract(v) >> 3);
    for (int y = 0; y < height; ++y, dst += dstStride, src += srcStride)
      for (int x = 0; x < width; ++x)
        dst[x] = map[cells[static_cast<size_t>(src[2 * x] | src[2 * x + 1] << 8)]];
    return;
  }
  for (int y = 0; y < height; ++y, dst += dstStride, src += srcStride) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = src + 4 * static_cast<size_t>(x);
      uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                   static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
      dst[x] = map[(cr.Extract(v) >> 3) << 10 | (cg.Extract(v) >> 3) << 5 | cb.Extract(v) >> 3];
    }
  }
}

// ---- Drivers ----

bool ConvertDibTo8Bit(const DibHeader& header, uint8_t* dst, const uint8_t* src, const Palette& palette,
                      bool dither) {
  // Pixels whose colours the palette holds exactly keep them: no rounding, no dither noise.
  if (MapDibExactly(header, src, dst, palette)) return true;
  DitherLock lock;
  const int width = header.width, height = header.AbsHeight();
  if (!PrepareDither(palette, width)) return false;
  DitherState& s = State();
  const uint8_t* map = s.map.get();
  if (!dither) {
    MapTrueColorRows(dst, src, header, map);
    return true;
  }
  const std::array<PaletteEntry, 256> target = Entries256(palette);
  const size_t dstStride = static_cast<size_t>(StrideFor8Bit(width));
  const size_t srcStride = DibStride(width, header.bitCount);
  if (header.bitCount == 16 || (header.bitCount == 32 && header.compression == kDibBitFields)) {
    const std::array<uint32_t, 3> masks = DibMasks(header);
    DitherHighColorRows(dst, src, dstStride, srcStride, masks.data(), target.data(), map, DitherCurrentRow(),
                        DitherNextRow(), 0, width, 0, height, header.bitCount / 8);
  } else if (header.bitCount == 24 || header.bitCount == 32) {
    DitherTrueColorRows(dst, src, dstStride, srcStride, header.bitCount / 8, target.data(), map,
                        DitherCurrentRow(), DitherNextRow(), 0, width, 0, height);
  }
  return true;
}

namespace {

// One frame in place from the source entries onto the prepared map (the dither lock is held).
bool DitherFrame(Frame& f, const std::array<PaletteEntry, 256>& source, const Palette& newPalette,
                 const std::array<PaletteEntry, 256>& target, int destTransparent) {
  if (!f.bitmap) return true;
  const int width = f.bitmap->Width(), height = f.bitmap->Height();
  const size_t stride = static_cast<size_t>(f.bitmap->Stride());
  if (IsTransparent(f)) {
    uint8_t t = f.transparentIndex;
    int dest = destTransparent;
    if (dest < 0) {
      const PaletteEntry& c = source[t];
      dest = newPalette.NearestIndex(c.red, c.green, c.blue);
    }
    uint8_t* bits = f.MutableBits();
    if (!bits) {
      ShowError("Insufficient memory for dithering.");
      return false;
    }
    DitherIndexedRowsTransparent(bits, bits, stride, stride, source.data(), target.data(), InverseColorMap(),
                                 DitherCurrentRow(), DitherNextRow(), 0, width, 0, height, t,
                                 static_cast<uint8_t>(dest));
    SetTransparentIndex(f, static_cast<uint8_t>(dest));
  } else {
    uint8_t* bits = f.MutableBits();
    if (!bits) {
      ShowError("Insufficient memory for dithering.");
      return false;
    }
    DitherIndexedRows(bits, bits, stride, stride, source.data(), target.data(), InverseColorMap(),
                      DitherCurrentRow(), DitherNextRow(), 0, width, 0, height);
  }
  return true;
}

}  // namespace

bool RemapGlobalFrames(Animation& animation, const Palette& newPalette, int destTransparent,
                       ProgressRecord* progress) {
  DitherLock lock;
  // The widest frame decides the rows (a frame at a negative position may be wider than the extent).
  int width = GetExtent(animation).width;
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f))
    if (f->bitmap) width = std::max(width, f->bitmap->Width());
  if (!PrepareDither(newPalette, width)) return false;
  std::array<PaletteEntry, 256> source{};
  if (animation.globalPalette) source = Entries256(*animation.globalPalette);
  const std::array<PaletteEntry, 256> target = Entries256(newPalette);
  for (Frame* f = FirstFrame(animation); f; f = NextFrame(f)) {
    if (f->localPalette) continue;
    if (!DitherFrame(*f, source, newPalette, target, destTransparent)) return false;
    StepProgress(progress);  // an abort still remaps every frame, so the frames stay on one palette
  }
  return true;
}

bool RemapLocalFrame(Frame& frame, const Palette& newPalette, int destTransparent) {
  if (!frame.localPalette) return false;
  DitherLock lock;
  int width = frame.bitmap ? frame.bitmap->Width() : frame.width;
  if (!PrepareDither(newPalette, width)) return false;
  return DitherFrame(frame, Entries256(*frame.localPalette), newPalette, Entries256(newPalette),
                     destTransparent);
}

}  // namespace lw
