#include "optimize/lossy.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include "color/reduce_palettes.h"
#include "edit/preview_composer.h"
#include "gif/gif_lzw.h"
#include "gif/gif_writer.h"
#include "gif/lzw_string_table.h"

namespace lw {
namespace {

constexpr int kCodes = 4096;

// A set of palette indices.
struct IndexSet {
  uint64_t words[4] = {};
  void Set(int i) { words[i >> 6] |= uint64_t{1} << (i & 63); }
  bool Has(int i) const { return words[i >> 6] >> (i & 63) & 1; }
  void Clear() { words[0] = words[1] = words[2] = words[3] = 0; }
  bool Empty() const { return !(words[0] | words[1] | words[2] | words[3]); }
};

// The encoder's string table as it grows over one frame: each string's last pixel and its continuations,
// so that the walk can look for a continuation by a near colour, not only by the pixel's own index. The
// continuations of a string are also kept as a set of their last pixels, so that those near a colour are
// found by intersecting two sets instead of going through every continuation.
class StringTable {
 public:
  // Starts the table afresh for a frame coded with minCodeSize.
  void Start(int minCodeSize) {
    clear_ = 1 << minCodeSize;
    Reset();
  }

  // The code of the string code + pixel, 0 when there is none (code 0 is a root, never a continuation).
  int Child(int code, int pixel) const {
    return pixels_[static_cast<size_t>(code)].Has(pixel) ? strings_.Find(LzwStringTable::Key(code, pixel))
                                                         : 0;
  }
  int PixelOf(int code) const { return pixel_[static_cast<size_t>(code)]; }
  // The last pixels of the string's continuations.
  const IndexSet& ChildPixels(int code) const { return pixels_[static_cast<size_t>(code)]; }

  // The string code + pixel gets the next code, as the encoder gives it; a full table starts again.
  void Add(int code, int pixel) {
    if (next_ < kCodes) {
      strings_.Add(LzwStringTable::Key(code, pixel), next_);
      pixel_[static_cast<size_t>(next_)] = static_cast<uint8_t>(pixel);
      IndexSet& set = pixels_[static_cast<size_t>(code)];
      if (set.Empty()) parents_.push_back(code);
      set.Set(pixel);
    }
    // The encoder clears once the code after 4095 has been handed out.
    if (++next_ > kCodes) Reset();
  }

 private:
  void Reset() {
    strings_.Clear();
    for (int code : parents_) pixels_[static_cast<size_t>(code)].Clear();
    parents_.clear();
    for (int i = 0; i < clear_; ++i) pixel_[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    next_ = clear_ + 2;
  }

  int clear_ = 0;
  int next_ = 0;
  LzwStringTable strings_;
  std::vector<int> parents_;  // the codes with continuations
  std::array<IndexSet, kCodes> pixels_{};
  std::array<uint8_t, kCodes> pixel_{};
};

}  // namespace

uint64_t LossyPixels(std::vector<uint8_t>& seq, const std::vector<uint8_t>* wanted, const Palette& palette,
                     int level, int transparent, int minCodeSize, bool freeMayMove) {
  const int count = std::min(palette.Count(), 256);
  // Which index may stand for which: within the level, neither of them transparent, both in the palette.
  std::vector<IndexSet> near(256);
  std::vector<std::array<int, 256>> distance(256);
  const int bound = level * level;
  bool any = wanted != nullptr && transparent >= 0;
  for (int i = 0; i < count && level > 0; ++i)
    for (int j = 0; j < count; ++j) {
      const PaletteEntry &a = palette[i], &b = palette[j];
      const int d = (a.red - b.red) * (a.red - b.red) + (a.green - b.green) * (a.green - b.green) +
                    (a.blue - b.blue) * (a.blue - b.blue);
      distance[static_cast<size_t>(i)][static_cast<size_t>(j)] = d;
      if (i != j && d <= bound && i != transparent && j != transparent) {
        near[static_cast<size_t>(i)].Set(j);
        any = true;
      }
    }
  if (!any) return 0;
  const size_t n = seq.size();
  if (wanted && wanted->size() != n) return 0;

  // From each string start, the longest string of the table whose pixels are each the source's own or
  // within the level of it (least error among the longest), found depth first over the table's strings.
  // A free pixel (transparent in seq, with a wanted colour) may also stay transparent, and take a near
  // colour only when freeMayMove.
  struct Step {
    int code;
    int parent;  // index into the path store
    size_t depth;
    int error;
  };
  std::vector<Step> stack, store;
  constexpr size_t kMaxVisits = 512;  // bounds the search where many near strings branch
  // Each thread keeps its table between frames (emptying it costs what filling it did).
  static thread_local std::unique_ptr<StringTable> kept;
  if (!kept) kept = std::make_unique<StringTable>();
  StringTable& table = *kept;
  table.Start(minCodeSize);
  std::vector<int> nearCodes;
  uint64_t changed = 0;
  size_t pos = 0;
  while (pos < n) {
    store.clear();
    stack.clear();
    int bestAt = -1;
    size_t bestDepth = 0;
    int bestError = 0;
    size_t visits = 0;
    // The string looked at; the one pushed last is taken straight on instead of through the stack.
    Step step{seq[pos], -1, 0, 0};
    auto pop = [&] {
      if (stack.empty()) return false;
      step = stack.back();
      stack.pop_back();
      return true;
    };
    for (bool more = true; more && visits < kMaxVisits;) {
      ++visits;
      store.push_back(step);
      const int at = static_cast<int>(store.size()) - 1;
      if (step.depth > bestDepth || (step.depth == bestDepth && step.error < bestError) || bestAt < 0) {
        bestAt = at;
        bestDepth = step.depth;
        bestError = step.error;
      }
      const size_t next = pos + step.depth + 1;
      if (next >= n) {
        more = pop();
        continue;
      }
      const bool free = wanted && seq[next] == transparent;
      const int p = wanted ? (*wanted)[next] : seq[next];
      // The exact continuations are looked at first, then the near ones from the newest string to the
      // oldest.
      const int exact = table.Child(step.code, p);
      const int hole = free && transparent != p ? table.Child(step.code, transparent) : 0;
      if (!free || freeMayMove) {
        const IndexSet& a = near[static_cast<size_t>(p)];
        const IndexSet& b = table.ChildPixels(step.code);
        nearCodes.clear();
        for (int w = 0; w < 4; ++w)
          for (uint64_t bits = a.words[w] & b.words[w]; bits; bits &= bits - 1)
            nearCodes.push_back(table.Child(step.code, w * 64 + std::countr_zero(bits)));
        if (!nearCodes.empty()) {
          std::sort(nearCodes.begin(), nearCodes.end(), std::greater<>());
          for (int k : nearCodes)
            stack.push_back(
                {k, at, step.depth + 1,
                 step.error + distance[static_cast<size_t>(p)][static_cast<size_t>(table.PixelOf(k))]});
        }
      }
      const Step parent = step;
      if (hole) {
        if (exact) stack.push_back({exact, at, parent.depth + 1, parent.error});
        step = {hole, at, parent.depth + 1, parent.error};
      } else if (exact) {
        step = {exact, at, parent.depth + 1, parent.error};
      } else {
        more = pop();
      }
    }
    // The chosen string's pixels replace the source's along it.
    for (int at = bestAt; at >= 0; at = store[static_cast<size_t>(at)].parent) {
      const Step& s = store[static_cast<size_t>(at)];
      uint8_t& pixel = seq[pos + s.depth];
      const uint8_t q = static_cast<uint8_t>(table.PixelOf(s.code));
      changed += pixel != q && !(wanted && q == (*wanted)[pos + s.depth]);
      pixel = q;
    }
    pos += bestDepth + 1;
    if (pos < n) table.Add(store[static_cast<size_t>(bestAt)].code, seq[pos]);
  }
  return changed;
}

namespace {

// The lossy walk over one frame. With the screen as the frames before it leave it, composed on two
// different backgrounds (over and check), an opaque pixel of a frame with a transparent index may also
// become transparent where the colour beneath is within the level of its own and both pictures agree (a
// colour every decoder shows alike, not the background of an empty or cleared screen); the pixels that
// are transparent already stay so.
uint64_t LossyFrameOver(Frame& f, int level, const PreviewPicture* over, const PreviewPicture* check) {
  if (!f.bitmap || !f.palette || level <= 0) return 0;
  uint8_t* bits = f.MutableBits();
  if (!bits) throw std::bad_alloc();
  const int width = f.bitmap->Width(), height = f.bitmap->Height();
  const size_t stride = static_cast<size_t>(f.bitmap->Stride());
  const int transparent = IsTransparent(f) ? f.transparentIndex : -1;
  // The pixels in the order the encoder takes them.
  const std::vector<int> rows = RowOrder(height, IsInterlaced(f));
  std::vector<uint8_t> seq;
  seq.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y : rows)
    seq.insert(seq.end(), bits + static_cast<size_t>(y) * stride,
               bits + static_cast<size_t>(y) * stride + width);
  const int codeSize = MinimumCodeSize(f);
  std::vector<uint8_t> wanted, plain;
  // (Only while the transparent index fits the code size the walk codes the frame with.)
  if (over && check && transparent >= 0 && transparent < (1 << codeSize)) {
    plain = seq;
    wanted = seq;
    const Palette& palette = *f.palette;
    const int count = std::min(palette.Count(), 256);
    const int bound = level * level;
    size_t k = 0;
    for (int y : rows) {
      const int64_t sy = int64_t{f.top} + y;
      for (int x = 0; x < width; ++x, ++k) {
        const int64_t sx = int64_t{f.left} + x;
        const int v = seq[k];
        if (v == transparent || v >= count || sx < 0 || sy < 0 || sx >= over->Width() || sy >= over->Height())
          continue;
        const ScreenPixel beneath = over->At(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
        if (beneath != check->At(static_cast<int32_t>(sx), static_cast<int32_t>(sy))) continue;
        const PaletteEntry& e = palette[v];
        const int r = static_cast<int>(beneath >> 16 & 0xFF) - e.red,
                  g = static_cast<int>(beneath >> 8 & 0xFF) - e.green,
                  b = static_cast<int>(beneath & 0xFF) - e.blue;
        if (r * r + g * g + b * b <= bound) seq[k] = static_cast<uint8_t>(transparent);
      }
    }
    if (seq == plain) wanted.clear();  // no pixel to let through: one walk as without a screen
  }
  uint64_t changed =
      LossyPixels(seq, wanted.empty() ? nullptr : &wanted, *f.palette, level, transparent, codeSize, true);
  if (!wanted.empty()) {
    // More transparency is not always fewer bytes (scattered holes break the strings): the frame keeps
    // whichever of the two walks codes smaller.
    const uint64_t changedPlain = LossyPixels(plain, nullptr, *f.palette, level, transparent, codeSize);
    auto bytes = [&](const std::vector<uint8_t>& pixels) {
      static thread_local LzwEncoder encoder;
      CountingSink counter;
      encoder.Encode(counter, LzwImage{pixels.data(), width, width, height, false}, codeSize,
                     f.keepFullTable);
      return counter.count;
    };
    if (bytes(plain) <= bytes(seq)) {
      seq.swap(plain);
      changed = changedPlain;
    } else {
      // The walk counts only the pixels it moved; those let through count as well.
      changed = 0;
      for (size_t i = 0; i < seq.size(); ++i) changed += seq[i] != wanted[i];
    }
  }
  size_t k = 0;
  for (int y : rows) {
    std::copy(seq.begin() + static_cast<std::ptrdiff_t>(k),
              seq.begin() + static_cast<std::ptrdiff_t>(k + static_cast<size_t>(width)),
              bits + static_cast<size_t>(y) * stride);
    k += static_cast<size_t>(width);
  }
  return changed;
}

}  // namespace

uint64_t LossyFrame(Frame& f, int level) {
  return LossyFrameOver(f, level, nullptr, nullptr);
}

namespace {

double FramePsnrSum(PreviewPicture& pa, PreviewPicture& pb, const Frame& fa, const Frame& fb, double* sse) {
  pa.Draw(fa);
  pb.Draw(fb);
  const size_t n = static_cast<size_t>(pa.Width()) * static_cast<size_t>(pa.Height());
  const ScreenPixel* a = pa.Pixels();
  const ScreenPixel* b = pb.Pixels();
  double sum = 0;
  for (size_t i = 0; i < n; ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      const int d = static_cast<int>(a[i] >> shift & 0xFF) - static_cast<int>(b[i] >> shift & 0xFF);
      sum += d * d;
    }
  }
  *sse = sum;
  return static_cast<double>(n) * 3;
}

}  // namespace

uint64_t LossyAnimation(Animation& a, int level, ProgressRecord* progress) {
  level = std::clamp(level, 0, kMaxLossyLevel);
  uint64_t changed = 0;
  // The screen as the changed frames compose it, on black and on white (without room for them, frames
  // keep their own pixels' transparency only).
  PreviewPicture over, check;
  const bool composed = level > 0 && over.Make(a.screenWidth, a.screenHeight, MakeScreenPixel(0, 0, 0)) &&
                        check.Make(a.screenWidth, a.screenHeight, MakeScreenPixel(0xFF, 0xFF, 0xFF));
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (!ProgressContinues(progress)) break;
    if (composed) {
      over.Settle();
      check.Settle();
    }
    changed += LossyFrameOver(*f, level, composed ? &over : nullptr, composed ? &check : nullptr);
    if (composed) {
      over.Draw(*f);
      check.Draw(*f);
    }
  }
  if (changed) a.fileSize = kUnknownFileSize;
  return changed;
}

double ComposedPsnr(const Animation& a, const Animation& b) {
  if (a.frameCount != b.frameCount || a.frameCount <= 0) return 0;
  PreviewPicture pa, pb;
  if (!pa.Make(a.screenWidth, a.screenHeight, 0xFF000000) ||
      !pb.Make(b.screenWidth, b.screenHeight, 0xFF000000))
    return 0;
  double psnrSum = 0;
  int frames = 0;
  for (const Frame *fa = FirstFrame(a), *fb = FirstFrame(b); fa && fb;
       fa = NextFrame(fa), fb = NextFrame(fb)) {
    double sse = 0;
    const double samples = FramePsnrSum(pa, pb, *fa, *fb, &sse);
    psnrSum += sse <= 0 ? 99 : std::min(99.0, 10 * std::log10(255.0 * 255.0 * samples / sse));
    ++frames;
  }
  return frames ? psnrSum / frames : 0;
}

FitResult FitToSize(AnimationPtr& a, uint32_t maxBytes, ProgressRecord* progress) {
  FitResult result;
  // A candidate: the input's copy with fewer colours (bits < 8) and the lossy level, and its size.
  auto attempt = [&](const Animation& base, int level, uint32_t* size) -> AnimationPtr {
    AnimationPtr copy = CopyAnimation(base);
    if (!copy) throw std::bad_alloc();
    LossyAnimation(*copy, level);
    *size = ComputeFileSize(*copy, true, nullptr);
    return copy;
  };
  for (int bits : {8, 7, 6, 5, 4, 3}) {
    if (!ProgressContinues(progress)) return {};
    AnimationPtr base = CopyAnimation(*a);
    if (!base) throw std::bad_alloc();
    if (bits < 8 && !ReducePalettes(*base, bits, false, nullptr)) throw std::bad_alloc();
    uint32_t size = 0;
    AnimationPtr best = attempt(*base, 0, &size);
    int bestLevel = 0;
    if (size > maxBytes) {
      // The lowest level that fits, if the highest does: sizes fall as the level rises.
      AnimationPtr most = attempt(*base, kMaxLossyLevel, &size);
      if (size > maxBytes) {
        if (bits == 3) {
          result = {false, size, kMaxLossyLevel, bits, ComposedPsnr(*a, *most)};
          a = std::move(most);
          return result;
        }
        continue;
      }
      best = std::move(most);
      bestLevel = kMaxLossyLevel;
      int lo = 0, hi = kMaxLossyLevel;  // lo does not fit, hi does
      while (hi - lo > 1) {
        if (!ProgressContinues(progress)) return {};
        const int mid = (lo + hi) / 2;
        uint32_t midSize = 0;
        AnimationPtr candidate = attempt(*base, mid, &midSize);
        if (midSize <= maxBytes) {
          hi = mid;
          best = std::move(candidate);
          bestLevel = mid;
        } else {
          lo = mid;
        }
      }
    }
    result = {true, ComputeFileSize(*best, false, nullptr), bestLevel, bits, ComposedPsnr(*a, *best)};
    a = std::move(best);
    return result;
  }
  return result;
}

}  // namespace lw
