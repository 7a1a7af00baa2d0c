#include "color/quantize.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "color/best_quantize.h"
#include "color/exact_colors.h"
#include "color/palette_choice.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

// ---- Median cut ----

constexpr int kSide = 64;

struct Box {
  uint16_t lo[3] = {0, 0, 0};
  uint16_t hi[3] = {0, 0, 0};  // inclusive
  uint32_t count = 0;
  bool done = false;
};

class MedianCut {
 public:
  explicit MedianCut(const uint32_t* histogram) : h_(histogram) {}

  uint32_t At(int r, int g, int b) const { return h_[(r * kSide + g) * kSide + b]; }

  // The histogram sum of plane c along axis over the box's ranges of the other two axes.
  uint64_t PlaneSum(const Box& box, int axis, int c) const {
    int lo[3] = {box.lo[0], box.lo[1], box.lo[2]};
    int hi[3] = {box.hi[0], box.hi[1], box.hi[2]};
    lo[axis] = hi[axis] = c;
    uint64_t sum = 0;
    for (int r = lo[0]; r <= hi[0]; ++r)
      for (int g = lo[1]; g <= hi[1]; ++g)
        for (int b = lo[2]; b <= hi[2]; ++b) sum += At(r, g, b);
    return sum;
  }

  // Raising each low corner to the first plane with a used cell and lowering each high corner to the
  // last one, axis after axis, gives the bounding box of the used cells: planes cut from one axis are empty,
  // so they never change what the next axis finds. One pass over the box finds it.
  void Shrink(Box& box) const {
    int lo[3] = {box.hi[0], box.hi[1], box.hi[2]}, hi[3] = {box.lo[0], box.lo[1], box.lo[2]};
    bool any = false;
    for (int r = box.lo[0]; r <= box.hi[0]; ++r)
      for (int g = box.lo[1]; g <= box.hi[1]; ++g) {
        const uint32_t* line = h_ + (r * kSide + g) * kSide;
        for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
          if (!line[b]) continue;
          any = true;
          lo[0] = std::min(lo[0], r), hi[0] = std::max(hi[0], r);
          lo[1] = std::min(lo[1], g), hi[1] = std::max(hi[1], g);
          lo[2] = std::min(lo[2], b), hi[2] = std::max(hi[2], b);
        }
      }
    if (any) {
      for (int axis = 0; axis < 3; ++axis) {
        box.lo[axis] = static_cast<uint16_t>(lo[axis]);
        box.hi[axis] = static_cast<uint16_t>(hi[axis]);
      }
    }
    box.done = box.lo[0] == box.hi[0] && box.lo[1] == box.hi[1] && box.lo[2] == box.hi[2];
  }

  PaletteEntry Mean(const Box& box) const {
    uint64_t sum[3] = {0, 0, 0}, n = 0;
    for (int r = box.lo[0]; r <= box.hi[0]; ++r)
      for (int g = box.lo[1]; g <= box.hi[1]; ++g)
        for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
          uint64_t c = At(r, g, b);
          sum[0] += c * static_cast<uint64_t>(r);
          sum[1] += c * static_cast<uint64_t>(g);
          sum[2] += c * static_cast<uint64_t>(b);
          n += c;
        }
    uint8_t out[3] = {0, 0, 0};
    uint64_t count = box.count ? box.count : 1;
    (void)n;
    for (int i = 0; i < 3; ++i) {
      uint64_t c6 = std::min<uint64_t>(sum[i] / count, 255);
      out[i] = static_cast<uint8_t>(std::min<uint64_t>(c6 * 255 / 63, 255));
    }
    return {out[0], out[1], out[2], 0};
  }

 private:
  const uint32_t* h_;
};

bool FillHistogram(const DibHeader& header, const uint8_t* bits, uint32_t* hist) {
  const int width = header.width, height = header.AbsHeight();
  const size_t stride = DibStride(width, header.bitCount);
  auto cell = [](int r8, int g8, int b8) { return ((r8 >> 2) * kSide + (g8 >> 2)) * kSide + (b8 >> 2); };
  switch (header.bitCount) {
    case 24:
    case 32:
      if (header.bitCount == 24 || header.compression != kDibBitFields) {
        const size_t bpp = header.bitCount / 8;
        for (int y = 0; y < height; ++y) {
          const uint8_t* p = bits + static_cast<size_t>(y) * stride;
          for (int x = 0; x < width; ++x, p += bpp) ++hist[cell(p[2], p[1], p[0])];
        }
        return true;
      }
      [[fallthrough]];
    case 16: {
      const std::array<uint32_t, 3> masks = DibMasks(header);
      const ChannelMask cr(masks[0]), cg(masks[1]), cb(masks[2]);
      const size_t bpp = header.bitCount / 8;
      for (int y = 0; y < height; ++y) {
        const uint8_t* p = bits + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x, p += bpp) {
          uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
          if (bpp == 4) v |= static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
          ++hist[cell(cr.Extract(v), cg.Extract(v), cb.Extract(v))];
        }
      }
      return true;
    }
    default:
      return false;
  }
}

// ---- Octree ----

struct OctNode {
  bool leaf = false;
  uint64_t pixels = 0;
  uint64_t sum[3] = {0, 0, 0};
  uint32_t passes = 0;
  int child[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  int next = -1;  // reducible list of its level
};

constexpr PaletteEntry WebCubeEntry(int i) {
  return i < 216 ? PaletteEntry{static_cast<uint8_t>(51 * (i / 36)), static_cast<uint8_t>(51 * ((i / 6) % 6)),
                                static_cast<uint8_t>(51 * (i % 6)), 0}
                 : PaletteEntry{0, 0, 0, 0};
}

}  // namespace

int MedianCutPalette(const DibHeader& header, const uint8_t* bits, PaletteEntry* out, int maxColors) {
  if (header.bitCount != 16 && header.bitCount != 24 && header.bitCount != 32) return 0;
  const uint64_t total =
      static_cast<uint64_t>(std::max(header.width, 0)) * static_cast<uint64_t>(header.AbsHeight());
  if (total == 0 || total > 0xFFFFFFFFu || !bits) return 0;
  // The 1 MB histogram is kept for the thread and cleared for each call: fresh pages for every picture
  // cost more than the clearing.
  thread_local std::unique_ptr<uint32_t[]> hist;
  if (!hist) hist.reset(new (std::nothrow) uint32_t[kSide * kSide * kSide]);
  if (!hist) return 0;
  std::memset(hist.get(), 0, sizeof(uint32_t) * kSide * kSide * kSide);
  if (!FillHistogram(header, bits, hist.get())) return 0;
  maxColors = std::clamp(maxColors, 1, 256);

  MedianCut cut(hist.get());
  std::array<Box, 256> boxes{};
  boxes[0].hi[0] = boxes[0].hi[1] = boxes[0].hi[2] = kSide - 1;
  boxes[0].count = static_cast<uint32_t>(total);
  int boxCount = 1;
  cut.Shrink(boxes[0]);
  while (boxCount < maxColors) {
    int sel = -1;
    for (int i = 0; i < boxCount; ++i) {
      const Box& b = boxes[static_cast<size_t>(i)];
      if (!b.done && b.count > 0 && (sel < 0 || b.count > boxes[static_cast<size_t>(sel)].count)) sel = i;
    }
    if (sel < 0) break;
    Box& box = boxes[static_cast<size_t>(sel)];
    int axis = 0;
    for (int a = 1; a < 3; ++a)
      if (box.hi[a] - box.lo[a] > box.hi[axis] - box.lo[axis]) axis = a;
    int slot = boxCount;
    for (int i = 0; i < boxCount; ++i)
      if (boxes[static_cast<size_t>(i)].count == 0) {
        slot = i;
        break;
      }
    const uint64_t half = box.count >> 1;
    uint64_t running = 0, plane = 0;
    int c = box.lo[axis];
    for (; c <= box.hi[axis]; ++c) {
      plane = cut.PlaneSum(box, axis, c);
      running += plane;
      if (running > half) break;
    }
    if (c > box.hi[axis]) c = box.hi[axis];  // not reached while the box's count matches its cells
    if (c == box.hi[axis]) {
      running -= plane;
      --c;
    }
    Box added = box;
    added.lo[axis] = static_cast<uint16_t>(c + 1);
    added.count = box.count - static_cast<uint32_t>(running);
    added.done = false;
    box.hi[axis] = static_cast<uint16_t>(c);
    box.count = static_cast<uint32_t>(running);
    cut.Shrink(box);
    cut.Shrink(added);
    boxes[static_cast<size_t>(slot)] = added;
    if (slot == boxCount) ++boxCount;
  }

  // Most used first; boxes of equal count keep their order.
  std::array<int, 256> order{};
  for (int i = 0; i < boxCount; ++i) order[static_cast<size_t>(i)] = i;
  std::stable_sort(order.begin(), order.begin() + boxCount, [&](int a, int b) {
    return boxes[static_cast<size_t>(a)].count > boxes[static_cast<size_t>(b)].count;
  });
  for (int k = 0; k < boxCount; ++k)
    out[k] = cut.Mean(boxes[static_cast<size_t>(order[static_cast<size_t>(k)])]);
  return boxCount;
}

int OctreeReducePalette(PaletteEntry* entries, const uint32_t* weights, int depth, int maxColors) {
  if (depth > 8 || depth < 0) return 0;
  std::vector<OctNode> nodes;
  try {
    nodes.reserve(256 * 9 + 1);  // never reallocates: at most one node per level per entry
  } catch (const std::bad_alloc&) {
    return 0;
  }
  int root = -1, leafCount = 0;
  int reducible[9];
  std::fill(std::begin(reducible), std::end(reducible), -1);
  auto create = [&](int level) {
    nodes.emplace_back();
    int id = static_cast<int>(nodes.size()) - 1;
    if (level == depth) {
      nodes[static_cast<size_t>(id)].leaf = true;
      ++leafCount;
    } else {
      nodes[static_cast<size_t>(id)].next = reducible[level];
      reducible[level] = id;
    }
    return id;
  };
  for (int i = 0; i < 256; ++i) {
    if (weights[i] == 0) continue;
    const PaletteEntry& e = entries[i];
    if (root < 0) root = create(0);
    int id = root;
    for (int level = 0;; ++level) {
      OctNode& n = nodes[static_cast<size_t>(id)];
      ++n.passes;
      if (n.leaf) {
        n.pixels += weights[i];
        n.sum[0] += uint64_t{e.red} * weights[i];
        n.sum[1] += uint64_t{e.green} * weights[i];
        n.sum[2] += uint64_t{e.blue} * weights[i];
        break;
      }
      int bit = 7 - level;
      int index = ((e.red >> bit) & 1) << 2 | ((e.green >> bit) & 1) << 1 | ((e.blue >> bit) & 1);
      if (n.child[index] < 0) {
        int c = create(level + 1);  // may move no node: the pool was reserved
        nodes[static_cast<size_t>(id)].child[index] = c;
      }
      id = nodes[static_cast<size_t>(id)].child[index];
    }
  }

  while (leafCount > maxColors) {
    int level = -1;
    for (int l = depth - 1; l >= 1; --l)
      if (reducible[l] >= 0) {
        level = l;
        break;
      }
    if (level < 0 && depth > 0 && reducible[0] >= 0) level = 0;
    if (level < 0) break;
    // The node with the fewest passes; on ties the one nearest the front (the latest made).
    int best = reducible[level], bestPrev = -1;
    for (int prev = best, id = nodes[static_cast<size_t>(best)].next; id >= 0;
         prev = id, id = nodes[static_cast<size_t>(id)].next) {
      if (nodes[static_cast<size_t>(id)].passes < nodes[static_cast<size_t>(best)].passes) {
        best = id;
        bestPrev = prev;
      }
    }
    OctNode& n = nodes[static_cast<size_t>(best)];
    if (bestPrev < 0)
      reducible[level] = n.next;
    else
      nodes[static_cast<size_t>(bestPrev)].next = n.next;
    n.next = -1;
    int children = 0;
    for (int& c : n.child) {
      if (c < 0) continue;
      const OctNode& child = nodes[static_cast<size_t>(c)];
      n.pixels += child.pixels;
      for (int k = 0; k < 3; ++k) n.sum[k] += child.sum[k];
      c = -1;
      ++children;
    }
    n.leaf = true;
    leafCount += 1 - children;
  }

  int written = 0;
  std::vector<int> stack;
  if (root >= 0) stack.push_back(root);
  while (!stack.empty()) {
    int id = stack.back();
    stack.pop_back();
    const OctNode& n = nodes[static_cast<size_t>(id)];
    if (n.leaf) {
      uint64_t p = n.pixels ? n.pixels : 1;
      entries[written++] = {static_cast<uint8_t>(n.sum[0] / p), static_cast<uint8_t>(n.sum[1] / p),
                            static_cast<uint8_t>(n.sum[2] / p), 0};
      continue;
    }
    for (int k = 7; k >= 0; --k)  // pushed backwards so that child 0 comes out first
      if (n.child[k] >= 0) stack.push_back(n.child[k]);
  }
  return written;
}

void WebCubeEntries(PaletteEntry* out) {
  for (int i = 0; i < 256; ++i) out[i] = WebCubeEntry(i);
}

PalettePtr BuildDibPalette(const DibHeader& header, const uint8_t* bits, uint32_t choice) {
  std::vector<PaletteEntry> entries;
  try {
    entries.resize(256);
  } catch (const std::bad_alloc&) {
    ShowError("Not enough memory to build palette");
    return nullptr;
  }
  if (choice & kChoiceWebCube) {
    WebCubeEntries(entries.data());
  } else if (choice & kChoiceAdaptive) {
    int n = ChoiceAdaptiveBits(choice);
    if (n < 1 || n > 8) n = 8;  // a choice without a sound colour count gets the full 256
    // A picture with no more colours than the palette holds keeps them all, exactly; only richer ones are
    // cut down.
    int colors = ExactDibColors(header, bits, entries.data(), 1 << n);
    if (colors == 0 && (choice & kChoiceBest)) colors = BestDibPalette(header, bits, entries.data(), 1 << n);
    if (colors == 0) colors = MedianCutPalette(header, bits, entries.data(), 1 << n);
    if (colors > 0) {
      entries.resize(static_cast<size_t>(colors));
    } else {
      ShowError("Error during adaptive palette creation. Using Web cube instead.");
      WebCubeEntries(entries.data());
    }
  } else {
    return nullptr;
  }
  return std::make_unique<Palette>(std::move(entries));
}

}  // namespace lw
