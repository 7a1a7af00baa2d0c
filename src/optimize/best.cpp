#include "optimize/best.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "gif/gif_write_form.h"
#include "gif/gif_writer.h"
#include "optimize/lzw_choice.h"
#include "optimize/optimizer.h"

namespace lw {

namespace {

// Every colour the frames can show gets a number; 0 stands for "nothing shown" (transparent). Pictures
// are composed and compared in these numbers, so no pixel is ever looked up by its colour.
using ColourId = uint32_t;
using IdPicture = std::vector<ColourId>;
using ColourMap = std::array<ColourId, 256>;  // palette index -> colour id, for one frame

struct Rect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
  int Width() const { return x1 - x0; }
  int Height() const { return y1 - y0; }
  void Add(const Rect& r) {
    if (r.Empty()) return;
    if (Empty()) {
      *this = r;
      return;
    }
    x0 = std::min(x0, r.x0);
    y0 = std::min(y0, r.y0);
    x1 = std::max(x1, r.x1);
    y1 = std::max(y1, r.y1);
  }
};

uint32_t RgbOf(const PaletteEntry& e) {
  return e.red | uint32_t{e.green} << 8 | uint32_t{e.blue} << 16;
}

PaletteEntry EntryOf(uint32_t rgb) {
  return {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb >> 16), 0};
}

// The colours of every frame's palette, numbered, and for each frame its index-to-number map. An index
// past the end of a palette shows black, as the composer shows it.
struct Colours {
  std::vector<uint32_t> rgb{0};  // by id; id 0 is not a colour
  std::vector<ColourMap> maps;   // one per frame, in frame order

  explicit Colours(const Animation& a) {
    std::unordered_map<uint32_t, ColourId> ids;
    for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
      ColourMap map;
      const int count = f->palette ? std::min(f->palette->Count(), 256) : 0;
      for (int i = 0; i < 256; ++i) {
        const uint32_t c = i < count ? RgbOf((*f->palette)[i]) : 0;
        auto [it, added] = ids.emplace(c, static_cast<ColourId>(rgb.size()));
        if (added) rgb.push_back(c);
        map[static_cast<size_t>(i)] = it->second;
      }
      maps.push_back(map);
    }
  }
};

// The pictures as a viewer sees them (as PictureComposer composes them), in colour numbers; equal
// neighbours joined into one with their delays added (as long as the sum fits the file's field and no
// frame waits for user input), each with a look at the next one.
class Pictures {
 public:
  Pictures(const Animation& a, const Colours& colours)
      : W_(std::max(a.screenWidth, 0)),
        H_(std::max(a.screenHeight, 0)),
        colours_(colours),
        frame_(FirstFrame(a)),
        canvas_(static_cast<size_t>(W_) * static_cast<size_t>(H_), 0) {
    haveNext_ = ComposeNext(next_);
    Advance();
  }

  bool Done() const { return !haveCurrent_; }
  const IdPicture& Current() const { return current_.picture; }
  uint32_t Delay() const { return current_.delay; }
  const Frame* Source() const { return current_.source; }
  const IdPicture* Next() const { return haveNext_ ? &next_.picture : nullptr; }
  int SourceFrames() const { return current_.frames; }

  void Advance() {
    haveCurrent_ = haveNext_;
    if (!haveCurrent_) return;
    std::swap(current_, next_);
    haveNext_ = false;
    while (ComposeNext(next_)) {
      if (next_.picture == current_.picture && uint64_t{current_.delay} + next_.delay <= 65535 &&
          !GetUserInput(*current_.source) && !GetUserInput(*next_.source)) {
        current_.delay += next_.delay;
        current_.frames += 1;
        continue;
      }
      haveNext_ = true;
      break;
    }
  }

 private:
  struct Entry {
    IdPicture picture;
    uint32_t delay = 0;
    const Frame* source = nullptr;
    int frames = 1;
  };

  bool ComposeNext(Entry& e) {
    if (!frame_) return false;
    const Frame& f = *frame_;
    const ColourMap& map = colours_.maps[index_++];
    const int disposal = GetDisposal(f);
    if (disposal == 3) saved_ = canvas_;
    if (f.bitmap) {
      auto clip = [](int64_t v, int32_t max) { return static_cast<int>(std::clamp<int64_t>(v, 0, max)); };
      const int bw = std::min(f.width, f.bitmap->Width()), bh = std::min(f.height, f.bitmap->Height());
      const int x0 = clip(f.left, W_), x1 = clip(int64_t{f.left} + bw, W_);
      const int y0 = clip(f.top, H_), y1 = clip(int64_t{f.top} + bh, H_);
      const bool transparent = IsTransparent(f);
      for (int y = y0; y < y1; ++y) {
        const uint8_t* src = f.bitmap->Row(y - f.top);
        ColourId* dst = canvas_.data() + static_cast<size_t>(y) * W_;
        for (int x = x0; x < x1; ++x) {
          const uint8_t p = src[x - f.left];
          if (!transparent || p != f.transparentIndex) dst[x] = map[p];
        }
      }
    }
    e.picture = canvas_;
    e.delay = f.delay;
    e.source = frame_;
    e.frames = 1;
    if (disposal == 2) {
      auto clip = [](int64_t v, int32_t max) { return static_cast<int>(std::clamp<int64_t>(v, 0, max)); };
      const int x0 = clip(f.left, W_), x1 = clip(int64_t{f.left} + f.width, W_);
      for (int y = clip(f.top, H_); y < clip(int64_t{f.top} + f.height, H_); ++y)
        std::fill_n(canvas_.begin() + static_cast<std::ptrdiff_t>(y) * W_ + x0, std::max(x1 - x0, 0), 0u);
    } else if (disposal == 3) {
      canvas_.swap(saved_);
    }
    frame_ = NextFrame(frame_);
    return true;
  }

  int W_, H_;
  const Colours& colours_;
  const Frame* frame_;
  size_t index_ = 0;
  IdPicture canvas_, saved_;
  Entry current_, next_;
  bool haveCurrent_ = false, haveNext_ = false;
};

// Counts per colour number, emptied in time proportional to what was counted.
class IdCounts {
 public:
  explicit IdCounts(size_t ids) : count_(ids, 0) {}
  void Add(ColourId id, uint32_t n) {
    if (count_[id] == 0) touched_.push_back(id);
    count_[id] += n;
  }
  uint32_t operator[](ColourId id) const { return count_[id]; }
  const std::vector<ColourId>& Ids() const { return touched_; }
  size_t Size() const { return touched_.size(); }
  void Clear() {
    for (ColourId id : touched_) count_[id] = 0;
    touched_.clear();
  }
  // The ids by falling count (ties by number), at most k of them.
  std::vector<ColourId> Top(size_t k) const {
    std::vector<ColourId> ids = touched_;
    auto more = [&](ColourId x, ColourId y) {
      return count_[x] != count_[y] ? count_[x] > count_[y] : x < y;
    };
    if (ids.size() > k) {
      std::nth_element(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(k), ids.end(), more);
      ids.resize(k);
    }
    std::sort(ids.begin(), ids.end(), more);
    return ids;
  }

 private:
  std::vector<uint32_t> count_;
  std::vector<ColourId> touched_;
};

// What one output frame must do: its rectangle (the pixels that differ from what lies beneath, and those
// the next picture needs cleared), its disposal, and the colours it draws and repeats.
struct FrameNeeds {
  Rect rect;
  int disposal = 1;
  bool forcedTransparent = false;  // a pixel of the rectangle must stay see-through
};

FrameNeeds Analyse(const IdPicture& q, const IdPicture& canvas, const IdPicture* next, int W, int H,
                   IdCounts& drawn, IdCounts& repeated) {
  FrameNeeds need;
  int cx0 = W, cx1 = -1, cy0 = H, cy1 = -1, tx0 = W, tx1 = -1, ty0 = H, ty1 = -1;
  for (int y = 0; y < H; ++y) {
    const ColourId* qr = q.data() + static_cast<size_t>(y) * W;
    const ColourId* cr = canvas.data() + static_cast<size_t>(y) * W;
    if (std::memcmp(qr, cr, sizeof(ColourId) * static_cast<size_t>(W)) != 0) {
      int x = 0;
      while (qr[x] == cr[x]) ++x;
      int e = W - 1;
      while (qr[e] == cr[e]) --e;
      cx0 = std::min(cx0, x);
      cx1 = std::max(cx1, e);
      cy0 = std::min(cy0, y);
      cy1 = y;
    }
    if (next) {
      const ColourId* nr = next->data() + static_cast<size_t>(y) * W;
      for (int x = 0; x < W; ++x) {
        if (nr[x] == 0 && qr[x] != 0) {
          tx0 = std::min(tx0, x);
          tx1 = std::max(tx1, x);
          ty0 = std::min(ty0, y);
          ty1 = y;
        }
      }
    }
  }
  Rect changed, clear;
  if (cx1 >= 0) changed = {cx0, cy0, cx1 + 1, cy1 + 1};
  if (tx1 >= 0) clear = {tx0, ty0, tx1 + 1, ty1 + 1};
  need.rect = changed;
  need.rect.Add(clear);
  need.disposal = clear.Empty() ? 1 : 2;
  if (need.rect.Empty()) need.rect = {0, 0, 1, 1};
  drawn.Clear();
  repeated.Clear();
  for (int y = need.rect.y0; y < need.rect.y1; ++y) {
    const ColourId* qr = q.data() + static_cast<size_t>(y) * W;
    const ColourId* cr = canvas.data() + static_cast<size_t>(y) * W;
    ColourId runId = 0;
    uint32_t runCount = 0;
    IdCounts* runTable = nullptr;
    for (int x = need.rect.x0; x < need.rect.x1; ++x) {
      IdCounts* table;
      if (qr[x] != cr[x]) {
        table = &drawn;
      } else if (qr[x] != 0) {
        table = &repeated;
      } else {
        need.forcedTransparent = true;
        continue;
      }
      if (table == runTable && qr[x] == runId) {
        ++runCount;
        continue;
      }
      if (runCount) runTable->Add(runId, runCount);
      runTable = table;
      runId = qr[x];
      runCount = 1;
    }
    if (runCount) runTable->Add(runId, runCount);
  }
  return need;
}

// What lies beneath the next frame: this picture, with the rectangle cleared when the frame clears it.
void Leave(IdPicture& canvas, const IdPicture& q, const FrameNeeds& need, int W) {
  canvas = q;
  if (need.disposal == 2)
    for (int y = need.rect.y0; y < need.rect.y1; ++y)
      std::fill_n(canvas.begin() + static_cast<std::ptrdiff_t>(y) * W + need.rect.x0, need.rect.Width(), 0u);
}

// The LZW minimum code size for pixels whose values, or-ed together, give all.
int CodeSizeForValues(uint8_t all) {
  int bits = 2;
  while (bits < 8 && (all >> bits) != 0) ++bits;
  return bits;
}

// The rows of a frame in the order the file stores them.
std::vector<int> FileRowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(static_cast<size_t>(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  for (auto [startRow, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}})
    for (int y = startRow; y < height; y += step) rows.push_back(y);
  return rows;
}

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
                uint64_t best) {
    const bool opaquePossible = !opaque.empty();
    const size_t n = colour.size();
    picked_.resize(n);
    fewestReady_ = false;
    best_ = best;
    won_ = false;
    if (!freedom) {
      // Every value is fixed (transparent ones included where nothing may be drawn).
      if (opaquePossible) {
        const uint64_t size = chooser_.Size(opaque.data(), n, opaqueCodeSize, best_);
        if (size < best_) Accept(size, opaque, false);
      }
      if (!opaquePossible || colour != opaque) {
        const uint64_t size = chooser_.Size(colour.data(), n, codeSize, best_);
        if (size < best_) Accept(size, colour, true);
      }
      return best_;
    }
    // Every way on tiny frames, and on every fourth larger one; on the ones between, only the two ways
    // that did best before (neighbouring frames tend to agree, and the ways cost as much as
    // compressing). The better ways go first, so that the others stop as soon as they pass the best size.
    const bool all = n < kAllWaysBelow || sinceAll_ >= 3;
    sinceAll_ = all ? 0 : sinceAll_ + 1;
    const int count = all ? kWays : 2;
    uint64_t sizes[kWays];
    for (int i = 0; i < count; ++i) {
      const int way = rank_[i];
      const uint64_t size = Run(way, opaque, colour, clear, n, opaqueCodeSize, codeSize, best_);
      sizes[i] = size;
      if (size < best_) Accept(size, way == kOpaque ? opaque : picked_, way != kOpaque);
    }
    // Those tried, by the size they gave (one stopped early counts as larger than any that finished).
    std::vector<std::pair<uint64_t, int>> tried;
    for (int i = 0; i < count; ++i) tried.emplace_back(sizes[i], rank_[i]);
    std::stable_sort(tried.begin(), tried.end(), [](auto& x, auto& y) { return x.first < y.first; });
    for (int i = 0; i < count; ++i) rank_[i] = tried[static_cast<size_t>(i)].second;
    return best_;
  }

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
               uint64_t limit) {
    switch (way) {
      case kOpaque:
        if (opaque.empty()) return UINT64_MAX;
        return chooser_.Size(opaque.data(), len, opaqueCodeSize, limit);
      case kFewestRuns:
      case kFewestRunsColour:
      case kFewestRunsChosen:
      case kFewestRunsColourChosen: {
        // Fewest runs of equal values over the whole frame, ties going to transparency or to the colour;
        // as it is, or left by the compressor where its table knows the other value better.
        if (!fewestReady_) {
          fewest_.resize(colour.size());
          fewestColour_.resize(colour.size());
          PickFewestRunsBoth(colour.data(), clear.data(), len, fewestColour_.data(), fewest_.data(),
                             runsScratch_);
          fewestReady_ = true;
        }
        const std::vector<uint8_t>& pick =
            way == kFewestRuns || way == kFewestRunsChosen ? fewest_ : fewestColour_;
        if (way == kFewestRuns || way == kFewestRunsColour) {
          std::copy(pick.begin(), pick.begin() + static_cast<std::ptrdiff_t>(len), picked_.begin());
          return chooser_.Size(picked_.data(), len, codeSize, limit);
        }
        return chooser_.Choose(pick.data(), clear.data(), len, codeSize, false, picked_.data(), limit,
                               colour.data());
      }
      default:  // the compressor's own picks, preferring either value
        return chooser_.Choose(colour.data(), clear.data(), len, codeSize, way == kPreferClear,
                               picked_.data(), limit);
    }
  }

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

// What the first walk finds for one output frame: what it must do, and which colours it draws and
// repeats.
struct Plan {
  const Frame* source = nullptr;  // the first frame showing the picture
  FrameNeeds need;
  std::vector<ColourId> drawn;     // at most 256, else no frame can show them
  std::vector<ColourId> repeated;  // the most repeated ones, by falling count (at most 256)
  size_t repeatedColours = 0;      // how many colours it repeats in all
};

// What the encoding walk shares between its workers, all read only.
struct Shared {
  const Animation& a;
  const Colours& colours;
  const std::vector<Plan>& plans;
  int W, H;
  const std::vector<ColourId>& global;
  const std::vector<int16_t>& globalIndex;
  size_t globalCount;
  int spareIndex;
  Palette* globalPalette;
};

// What one worker keeps from frame to frame.
struct Worker {
  explicit Worker(size_t ids) : localIndex(ids, -1), isDrawn(ids, false) {}
  Encoder encoder;
  std::vector<int16_t> localIndex;  // colour number -> index in the frame's local palette
  std::vector<bool> isDrawn;        // colour number -> the frame draws it
  std::vector<uint8_t> colour, clear, opaque, bestPixels;
};

struct Encoded {
  FramePtr frame;
  uint64_t size = 0;  // of the image data
  bool global = false;
};

// One output frame: its palette, its transparent index, and its pixels the smallest way. The frame is
// null when it cannot be made (out of memory, or more colours than a palette holds).
Encoded EncodeFrame(const Shared& sh, Worker& w, const Plan& plan, const IdPicture& q,
                    const IdPicture& canvas, const Frame& source, uint32_t delay) {
  Encoded result;
  const FrameNeeds& need = plan.need;
  const std::vector<ColourId>& top = plan.repeated;
  for (ColourId id : plan.drawn) w.isDrawn[id] = true;

  // The palette: the global one when it holds every colour the frame draws, else a local one of those
  // colours, filled up with repeated ones while the table has room.
  bool useGlobal = true;
  for (ColourId id : plan.drawn) useGlobal &= sh.globalIndex[id] >= 0;
  const std::vector<int16_t>* indexOf = &sh.globalIndex;
  PalettePtr local;
  int t = -1;
  bool allRepeatedDrawable = true;
  if (useGlobal) {
    // Within the indices the drawn pixels need anyway when there is one (the codes stay as short),
    // the most repeated colour not drawn, else the lowest index not drawn, else the spare entry.
    int maxDrawn = 0;
    for (ColourId id : plan.drawn) maxDrawn = std::max<int>(maxDrawn, sh.globalIndex[id]);
    const int within = 1 << std::max(2, BitsForCount(maxDrawn + 1));
    for (int pass = 0; pass < 2 && t < 0; ++pass)
      for (ColourId id : top)
        if (!w.isDrawn[id] && sh.globalIndex[id] > 0 && (pass == 1 || sh.globalIndex[id] < within)) {
          t = sh.globalIndex[id];
          break;
        }
    if (t < 0) {
      for (size_t i = 1; i <= sh.globalCount && t < 0; ++i)
        if (!w.isDrawn[sh.global[i % sh.globalCount]]) t = static_cast<int>(i % sh.globalCount);
    }
    if (t < 0) t = sh.spareIndex;
    // A frame repeating more colours than one palette holds cannot draw them all again.
    allRepeatedDrawable = plan.repeatedColours <= top.size();
    for (ColourId id : top) allRepeatedDrawable &= sh.globalIndex[id] >= 0;
    if (t < 0 && (need.forcedTransparent || !allRepeatedDrawable)) useGlobal = false;
  }
  std::vector<ColourId> members;
  if (!useGlobal) {
    std::vector<PaletteEntry> entries;
    members = plan.drawn;
    const size_t room = size_t{1} << BitsForCount(static_cast<int>(std::max<size_t>(members.size(), 2)));
    t = -1;
    for (ColourId id : top) {
      if (members.size() >= room) break;
      if (w.isDrawn[id]) continue;
      if (t < 0) t = static_cast<int>(members.size());
      members.push_back(id);
    }
    // Index 0 to the last colour (for the compressor's sake, as above), unless that is the transparent one.
    const ColourId clearId = t >= 0 ? members[static_cast<size_t>(t)] : 0;
    if (members.size() > 1) {
      size_t last = members.size() - 1;
      if (members[last] == clearId) --last;
      if (last > 0)
        std::rotate(members.begin(), members.begin() + static_cast<std::ptrdiff_t>(last),
                    members.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    }
    for (size_t i = 0; i < members.size(); ++i) {
      entries.push_back(EntryOf(sh.colours.rgb[members[i]]));
      w.localIndex[members[i]] = static_cast<int16_t>(i);
      if (members[i] == clearId && t >= 0) t = static_cast<int>(i);
    }
    allRepeatedDrawable = plan.repeatedColours <= top.size();
    for (ColourId id : top) allRepeatedDrawable &= w.localIndex[id] >= 0;
    if (t < 0 && (need.forcedTransparent || !allRepeatedDrawable || entries.size() < room)) {
      if (entries.size() >= 256) {
        for (ColourId id : members) w.localIndex[id] = -1;
        for (ColourId id : plan.drawn) w.isDrawn[id] = false;
        return result;  // 256 colours drawn and a pixel to keep: no room
      }
      t = static_cast<int>(entries.size());
      entries.push_back(PaletteEntry{});
    }
    while (entries.size() < 2) entries.push_back(PaletteEntry{});
    local = std::make_unique<Palette>(std::move(entries));
    indexOf = &w.localIndex;
  }

  // The pixels: in the source's row order, and in plain order as well for an interlaced source
  // (interlacing changes nothing that is shown once the frame is there, and seldom compresses better).
  const int width = need.rect.Width(), height = need.rect.Height();
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  uint64_t best = UINT64_MAX;
  bool transparent = false, interlaced = false;
  const int orders = IsInterlaced(source) ? 2 : 1;
  for (int order = 0; order < orders; ++order) {
    const bool inInterlace = order == 1;
    w.colour.resize(n);
    w.clear.resize(n);
    bool opaquePossible = !need.forcedTransparent;
    // The writer uses the smallest code size the pixels allow; the values each kind of pixel may take,
    // or-ed together, give it.
    uint8_t opaqueAll = 0, fixedAll = static_cast<uint8_t>(std::max(t, 0));
    size_t k = 0;
    for (int row : FileRowOrder(height, inInterlace)) {
      const int y = need.rect.y0 + row;
      const ColourId* qr = q.data() + static_cast<size_t>(y) * sh.W;
      const ColourId* cr = canvas.data() + static_cast<size_t>(y) * sh.W;
      for (int x = need.rect.x0; x < need.rect.x1; ++x, ++k) {
        const ColourId id = qr[x];
        const int i = id ? (*indexOf)[id] : -1;
        if (id != cr[x]) {
          // Every drawn colour has its entry.
          w.colour[k] = w.clear[k] = static_cast<uint8_t>(i);
          fixedAll = static_cast<uint8_t>(fixedAll | i);
          opaqueAll = static_cast<uint8_t>(opaqueAll | i);
        } else if (i < 0) {
          // Nothing shown, or a colour the palette lacks: only transparency keeps it.
          w.colour[k] = w.clear[k] = static_cast<uint8_t>(t);
          opaquePossible = false;
        } else {
          w.colour[k] = static_cast<uint8_t>(i);
          w.clear[k] = static_cast<uint8_t>(t >= 0 ? t : i);
          opaqueAll = static_cast<uint8_t>(opaqueAll | i);
          if (t < 0) fixedAll = static_cast<uint8_t>(fixedAll | i);
        }
      }
    }
    // The ways with transparency keep to the code size that the drawn pixels and the transparent index
    // need: a repeated pixel whose own index is beyond it takes the transparent index instead of widening
    // every code of the frame.
    const int codeSize = CodeSizeForValues(fixedAll);
    w.opaque.clear();
    if (opaquePossible) w.opaque = w.colour;
    bool freedom = false;
    for (size_t i = 0; i < n; ++i) {
      if (w.colour[i] >> codeSize) w.colour[i] = w.clear[i];
      freedom |= w.colour[i] != w.clear[i];
    }
    const uint64_t size =
        w.encoder.Pick(w.opaque, w.colour, w.clear, freedom, CodeSizeForValues(opaqueAll), codeSize, best);
    if (w.encoder.Won()) {
      best = size;
      w.encoder.TakePixels(w.bestPixels);
      transparent = w.encoder.Transparent();
      interlaced = inInterlace;
    }
  }
  for (ColourId id : members) w.localIndex[id] = -1;  // the local numbers are this frame's only
  for (ColourId id : plan.drawn) w.isDrawn[id] = false;
  if (best == UINT64_MAX) return result;

  FramePtr f = NewFrameBlock(nullptr);
  if (!f) return result;
  f->left = need.rect.x0;
  f->top = need.rect.y0;
  f->width = width;
  f->height = height;
  f->delay = delay;
  f->controlFlags = static_cast<uint8_t>(source.controlFlags & ~(0x1C | kControlTransparent));
  SetDisposal(*f, need.disposal);
  f->codeSize = 2;  // as small as the pixels allow
  SetInterlaced(*f, interlaced);
  if (source.nameAtom) SetFrameName(*f, GetFrameName(source));
  if (useGlobal) {
    f->palette = sh.globalPalette;
  } else {
    SetLocalPalette(*f, std::move(local));
  }
  FrameBitmapPtr bitmap = FrameBitmap::Make(width, height, f->palette);
  uint8_t* bits = bitmap ? bitmap->MutableBits() : nullptr;
  if (!bits) return result;
  const std::vector<int> rows = FileRowOrder(height, interlaced);
  for (size_t r = 0; r < rows.size(); ++r)
    std::memcpy(bits + static_cast<size_t>(rows[r]) * static_cast<size_t>(bitmap->Stride()),
                w.bestPixels.data() + r * static_cast<size_t>(width), static_cast<size_t>(width));
  SetFrameBitmap(*f, std::move(bitmap));
  if (transparent) {
    // The mask is built when the frame is first drawn, as for a frame read from a file; the display
    // colour is set once the workers are done (it may ask the user interface).
    f->transparentIndex = static_cast<uint8_t>(t);
    f->controlFlags |= kControlTransparent;
  }
  result.frame = std::move(f);
  result.size = best;
  result.global = useGlobal;
  return result;
}

// Encodes the frames [begin, end) of the walk (composing the ones before to know what lies beneath).
// The main worker (with a progress record) steps it for the frames every worker has done; the others
// only count them. Gives false when a frame could not be made or the walk was stopped.
bool EncodeFrames(const Shared& sh, size_t begin, size_t end, std::vector<Encoded>& results,
                  std::atomic<bool>& stop, std::atomic<uint32_t>& done, ProgressRecord* progress,
                  uint32_t& stepped) {
  Worker w(sh.colours.rgb.size());
  IdPicture canvas(static_cast<size_t>(sh.W) * static_cast<size_t>(sh.H), 0);
  size_t index = 0;
  for (Pictures p(sh.a, sh.colours); !p.Done() && index < end; p.Advance(), ++index) {
    if (stop) return false;
    const Plan& plan = sh.plans[index];
    if (index >= begin) {
      results[index] = EncodeFrame(sh, w, plan, p.Current(), canvas, *p.Source(), p.Delay());
      if (!results[index].frame) {
        stop = true;
        return false;
      }
      done += static_cast<uint32_t>(p.SourceFrames());
      if (progress) {
        for (; stepped < done; ++stepped)
          if (!StepProgress(progress)) {
            stop = true;
            return false;
          }
      }
    }
    Leave(canvas, p.Current(), plan.need, sh.W);
  }
  return true;
}

// The work (pixels of all output frames) from which the encoding walk is split in two.
constexpr uint64_t kSplitFrom = 1u << 17;

// Builds the animation afresh; null when it cannot (a frame needing more than 256 colours) or was stopped.
// The size of the file the writer makes of an animation whose image data takes imageData bytes in all:
// header and screen, global table, looping block, extension blocks, and per frame its control block,
// descriptor and local table. (A test holds this to what the writer writes.)
uint64_t FileSizeAround(const Animation& a, uint64_t imageData) {
  // The tables as the writer writes them (one may grow to give a frame a transparent index).
  const GifWriteForm form = PlanGifWrite(a);
  auto table = [](const Palette* p, int bits) -> uint64_t { return p ? 3u << bits : 0; };
  uint64_t size =
      13 + table(a.globalPalette.get(), form.globalTableBits) + (a.loopCount != 1 ? 19 : 0) + 1 + imageData;
  size_t frame = 0;
  for (const GifBlock* b = a.head ? a.head->next : nullptr; b; b = b->next) {
    if (const ExtensionBlock* e = AsExtension(b)) {
      size += 3;  // introducer, label, terminator
      const std::vector<uint8_t>& sub = e->subBlocks;
      for (size_t i = 0; i < sub.size() && sub[i] != 0 && i + 1 + sub[i] <= sub.size(); i += 1 + sub[i])
        size += 1 + sub[i];
    } else if (const Frame* f = AsFrame(b)) {
      size += 8 + 10 + table(f->localPalette.get(), form.frames[frame++].localTableBits);
    }
  }
  return size;
}

// The rebuild keeps several composed screens of four bytes a pixel at once (about 24 bytes a screen pixel
// in all); a larger screen is left to the passes on palette indices, which need two bytes a pixel.
constexpr uint64_t kRebuildMaxScreenPixels = uint64_t{1} << 24;

AnimationPtr Rebuild(const Animation& a, ProgressRecord* progress, bool& stopped, uint64_t* fileSize) {
  stopped = false;
  const int W = a.screenWidth, H = a.screenHeight;
  if (W <= 0 || H <= 0 || !FirstFrame(a)) return nullptr;
  if (static_cast<uint64_t>(W) * static_cast<uint64_t>(H) > kRebuildMaxScreenPixels) return nullptr;
  const Colours colours(a);
  const size_t ids = colours.rgb.size();
  IdCounts drawn(ids), repeated(ids);

  // A first walk finds what each frame must do and which colours it draws and repeats.

  std::vector<Plan> plans;
  std::vector<uint32_t> drawnBy(ids, 0);
  {
    IdPicture canvas(static_cast<size_t>(W) * static_cast<size_t>(H), 0);
    for (Pictures p(a, colours); !p.Done(); p.Advance()) {
      Plan plan;
      plan.source = p.Source();
      plan.need = Analyse(p.Current(), canvas, p.Next(), W, H, drawn, repeated);
      if (drawn.Size() > 256) return nullptr;
      plan.drawn = drawn.Ids();
      plan.repeated = repeated.Top(256);
      plan.repeatedColours = repeated.Size();
      for (ColourId id : plan.drawn) ++drawnBy[id];
      Leave(canvas, p.Current(), plan.need, W);
      plans.push_back(std::move(plan));
      for (int i = 0; i < p.SourceFrames(); ++i)
        if (!StepProgress(progress)) {
          stopped = true;
          return nullptr;
        }
    }
  }
  // The global palette takes the colours frame by frame, the frames drawing the fewest colours first, as
  // long as they fit: a frame whose colours all have small indices is written with shorter codes, and a
  // frame whose colours are all global needs no table of its own. Within a frame, colours drawn by more
  // frames go first.
  std::vector<size_t> byColours(plans.size());
  for (size_t i = 0; i < byColours.size(); ++i) byColours[i] = i;
  std::stable_sort(byColours.begin(), byColours.end(),
                   [&](size_t x, size_t y) { return plans[x].drawn.size() < plans[y].drawn.size(); });
  std::vector<ColourId> global;
  std::vector<bool> inGlobal(ids, false);
  for (size_t i : byColours) {
    std::vector<ColourId> adding;
    for (ColourId id : plans[i].drawn)
      if (!inGlobal[id]) adding.push_back(id);
    if (global.size() + adding.size() > 256) continue;
    std::stable_sort(adding.begin(), adding.end(),
                     [&](ColourId x, ColourId y) { return drawnBy[x] > drawnBy[y]; });
    for (ColourId id : adding) {
      inGlobal[id] = true;
      global.push_back(id);
    }
  }
  // Index 0 goes to the colour drawn least. The writer's compressor (the classic one of the compress
  // family) takes a table key of 0, the string "index 0, index 0", for a free slot, so strings of index
  // 0 compress worse than any other.
  if (global.size() > 1) std::rotate(global.begin(), global.end() - 1, global.end());
  // A spare entry for transparency when the table has room for it anyway.
  const size_t globalCount = global.size();
  const bool globalSpare =
      globalCount < 256 && globalCount < (size_t{1} << BitsForCount(static_cast<int>(globalCount)));
  PalettePtr globalPalette;
  std::vector<int16_t> globalIndex(ids, -1);
  {
    std::vector<PaletteEntry> entries;
    for (size_t i = 0; i < global.size(); ++i) {
      entries.push_back(EntryOf(colours.rgb[global[i]]));
      globalIndex[global[i]] = static_cast<int16_t>(i);
    }
    if (globalSpare) entries.push_back(PaletteEntry{});
    while (entries.size() < 2) entries.push_back(PaletteEntry{});
    globalPalette = std::make_unique<Palette>(std::move(entries));
  }
  const int spareIndex = globalSpare ? static_cast<int>(globalCount) : -1;

  // The walk that encodes, in two halves of about equal work when there is much of it: the second half
  // on a thread of its own (or after the first when none can be had). The halves are the same either
  // way, so the result does not depend on the machine.
  AnimationPtr out = CloneAnimationHeader(a);
  if (!out) return nullptr;
  const Shared shared{a,      colours,     plans,       W,          H,
                      global, globalIndex, globalCount, spareIndex, globalPalette.get()};
  std::vector<Encoded> results(plans.size());
  uint64_t work = 0;
  for (const Plan& plan : plans)
    work += static_cast<uint64_t>(plan.need.rect.Width()) * plan.need.rect.Height();
  size_t split = plans.size();
  if (work >= kSplitFrom && plans.size() >= 4) {
    uint64_t sum = 0;
    for (split = 0; split < plans.size() && sum * 2 < work; ++split)
      sum += static_cast<uint64_t>(plans[split].need.rect.Width()) * plans[split].need.rect.Height();
  }
  std::atomic<bool> halt{false};
  std::atomic<uint32_t> done{0};
  uint32_t stepped = 0;
  bool secondOk = true;
  std::thread second;
  if (split < plans.size()) {
    try {
      second = std::thread([&] {
        uint32_t unused = 0;
        try {
          secondOk = EncodeFrames(shared, split, plans.size(), results, halt, done, nullptr, unused);
        } catch (const std::bad_alloc&) {
          // Out of memory on this thread: the rebuild is given up, as on the first.
          secondOk = false;
          halt = true;
        }
      });
    } catch (const std::system_error&) {
    }
  }
  bool ok = false;
  try {
    ok = EncodeFrames(shared, 0, split, results, halt, done, progress, stepped);
  } catch (const std::bad_alloc&) {
    halt = true;
  }
  if (second.joinable())
    second.join();
  else if (ok && split < plans.size())
    secondOk = EncodeFrames(shared, split, plans.size(), results, halt, done, nullptr, stepped);
  ok = ok && secondOk;
  for (; ok && stepped < done; ++stepped) ok = StepProgress(progress);
  if (!ok) {
    stopped = !ProgressContinues(progress);
    return nullptr;
  }
  uint64_t imageData = 0;
  bool anyGlobal = false;
  for (const Encoded& e : results) {
    imageData += e.size;
    anyGlobal |= e.global;
    ShowTransparentColor(*e.frame, true);
  }

  // The blocks in their order: extension blocks copied, each output frame where its first source was.
  if (anyGlobal) SetGlobalPalette(*out, std::move(globalPalette));
  size_t next = 0;
  for (const GifBlock* b = a.head ? a.head->next : nullptr; b; b = b->next) {
    if (b->kind != kImageBlock) {
      if (BlockPtr copy = CopyBlock(*b, nullptr)) AppendBlock(*out, std::move(copy));
      continue;
    }
    if (next < results.size() && plans[next].source == b) AppendBlock(*out, std::move(results[next++].frame));
  }
  SetFrameCount(*out, static_cast<int32_t>(next));
  CountGlobalColorUse(*out, out->colorUse, true);
  out->fileSize = kUnknownFileSize;
  // The image data was sized with codes as wide as any value the frame might have taken; the writer
  // uses what the chosen values need, so the file is at most this large.
  *fileSize = FileSizeAround(*out, imageData);
  return out;
}

}  // namespace

bool OptimizeAnimationBest(Animation& a, ProgressRecord* progress, BestOptimizeStats* stats) {
  BestOptimizeStats s;
  s.inputBytes = ComputeFileSize(a, false, nullptr);
  const uint32_t frames = static_cast<uint32_t>(std::max(a.frameCount, 0));
  SetProgressText(progress, "Optimizing Frame Images...");
  SetProgressRange(progress, 2 * frames);
  bool stopped = false;
  uint64_t rebuiltAtMost = 0;
  AnimationPtr rebuilt;
  try {
    rebuilt = Rebuild(a, progress, stopped, &rebuiltAtMost);
  } catch (const std::bad_alloc&) {
    // Not enough memory to rebuild: the passes on the file's own indices are tried instead.
  }
  if (stopped) return false;
  if (rebuilt) s.rebuiltBytes = rebuiltAtMost;

  // Should the rebuild not be possible (a frame drawing more colours than a palette holds), the passes
  // on the file's own palette indices still are.
  AnimationPtr standard;
  if (!rebuilt) {
    standard = CopyAnimation(a);
    if (standard) {
      OptimizeAnimation(*standard,
                        kShrinkFrames | kDuplicatesToTransparency | kShrinkPalettes | kRemoveUnneededFrames,
                        nullptr);
      s.standardBytes = ComputeFileSize(*standard, true, nullptr);
    }
  }

  Animation* winner = nullptr;
  uint64_t best = s.inputBytes;
  if (standard && s.standardBytes < best) {
    winner = standard.get();
    best = s.standardBytes;
  }
  if (rebuilt && s.rebuiltBytes < best) {
    winner = rebuilt.get();
    best = s.rebuiltBytes;
  }
  s.resultBytes = best;
  if (stats) *stats = s;
  if (!winner) return false;
  SwapAnimations(a, *winner);
  return true;
}

}  // namespace lw
