// The rebuild's view of an animation: every colour it shows numbered, the pictures a viewer sees composed
// in those numbers, and what each output frame must draw over what lies beneath it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "model/animation.h"

namespace lw::best_detail {

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

inline uint32_t RgbOf(const PaletteEntry& e) {
  return e.red | uint32_t{e.green} << 8 | uint32_t{e.blue} << 16;
}

inline PaletteEntry EntryOf(uint32_t rgb) {
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

// Finds the rectangle of the output frame for picture q over canvas (and the pixels the next picture
// needs cleared), its disposal, and counts the colours it draws and repeats.
FrameNeeds Analyse(const IdPicture& q, const IdPicture& canvas, const IdPicture* next, int W, int H,
                   IdCounts& drawn, IdCounts& repeated);

// What lies beneath the next frame: this picture, with the rectangle cleared when the frame clears it.
void Leave(IdPicture& canvas, const IdPicture& q, const FrameNeeds& need, int W);

}  // namespace lw::best_detail
