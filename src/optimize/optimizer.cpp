#include "optimize/optimizer.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "color/palette_choice.h"
#include "model/limits.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"

namespace lw {

namespace {

bool Stopped(const ProgressRecord* p) {
  return p && (!ProgressContinues(p) || (p->job && IsJobCancelled(p->job)));
}

// The counts of the global palette's entries over the frames that use it, transparent pixels included.
// Counted afresh: a stale count would let the compaction drop colours still in use.
ColorCounts CountGlobalFrames(const Animation& a) {
  ColorCounts counts{};
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f))
    if (!f->localPalette) CountFrameColorUse(*f, counts, false);
  return counts;
}

// Pixels that index past the end of their palette show a colour the palette does not hold; such a
// palette is left alone rather than given a meaning for them.
bool UsesIndexBeyond(const ColorCounts& counts, int count) {
  for (int i = std::max(count, 0); i < 256; ++i)
    if (counts[static_cast<size_t>(i)]) return true;
  return false;
}

}  // namespace

bool CompactPalette(const Palette& palette, std::array<uint32_t, 256>& counts, PalettePtr& newPalette,
                    IndexMap& table) {
  const int n = std::min(palette.Count(), 256);
  table.fill(kNoTarget);
  std::vector<PaletteEntry> entries;
  entries.reserve(256);
  int k = 0;
  for (int i = 0; i < n; ++i) {
    const auto si = static_cast<size_t>(i), sk = static_cast<size_t>(k);
    if (!counts[si]) continue;
    entries.push_back(palette[i]);
    table[si] = static_cast<uint16_t>(k);
    counts[sk] = counts[si];
    if (k != i) counts[si] = 0;
    ++k;
  }
  if (k == n) return false;
  int m = 2;
  while (m < k) m *= 2;
  // Already compact (the used entries lead, the table keeps its size): a new palette would only blacken
  // unused entries, and running the pass again would never end up "unchanged".
  if (m == n) {
    bool identity = true;
    for (int i = 0; i < n && identity; ++i)
      identity = table[static_cast<size_t>(i)] == kNoTarget || table[static_cast<size_t>(i)] == i;
    if (identity) return false;
  }
  entries.resize(static_cast<size_t>(m), PaletteEntry{});
  newPalette = std::make_unique<Palette>(std::move(entries));
  return true;
}

namespace {

// Removes local palettes: every one with kMapToGlobal, else those whose colours the global palette can
// take without loss. Gives whether any went; sets stopped when the progress record was stopped.
bool RemoveLocalPalettes(Animation& a, OptimizeOptions options, ProgressRecord* progress, bool& stopped) {
  bool changed = false;
  // Conflicts are settled by merging (dithering as the user prefers) and never asked about; the stored
  // choice comes back however the pass ends.
  const uint32_t saved = GetPreference(kPrefPaletteConflict);
  SetPreference(kPrefPaletteConflict, (saved & kChoiceDither) | kChoiceMerge);
  SetProgressText(progress, "Removing Local Palettes...");
  SetProgressRange(progress, static_cast<uint32_t>(std::max(a.frameCount, 0)));
  for (Frame* f = FirstFrame(a); f;) {
    Frame* next = NextFrame(f);  // the frame is put back where it stood, so this stays its successor
    if (f->localPalette) {
      bool remove = options & kMapToGlobal;
      if (!remove) {
        ColorCounts counts;
        CountFrameColorUse(*f, counts, true);
        remove = CanMergeCleanly(a.globalPalette.get(), a.colorUse, *f->localPalette, counts);
      }
      // A failure was shown where it happened and leaves the frame with its palette; the pass goes on.
      if (remove) changed |= RemoveLocalPalette(a, *f);
    }
    if (!StepProgress(progress)) {
      stopped = true;
      break;
    }
    f = next;
  }
  SetPreference(kPrefPaletteConflict, saved);
  return changed;
}

}  // namespace

bool OptimizePalettes(Animation& a, OptimizeOptions options, ProgressRecord* progress) {
  bool changed = false;
  // The counts decide what may go; a stale count could let a colour still in use be dropped.
  a.colorUse = CountGlobalFrames(a);
  if (options & kRemoveLocalPalettes) {
    bool stopped = false;
    changed |= RemoveLocalPalettes(a, options, progress, stopped);
    if (stopped) return changed;
  }
  if (!(options & kShrinkPalettes)) return changed;

  // Global palette.
  if (a.globalPalette) {
    ColorCounts counts = CountGlobalFrames(a);
    a.colorUse = counts;
    PalettePtr compact;
    IndexMap table;
    if (!UsesIndexBeyond(counts, a.globalPalette->Count()) &&
        CompactPalette(*a.globalPalette, counts, compact, table)) {
      SetProgressText(progress, "Shrinking Global Palette...");
      SetProgressPosition(progress, 0);
      // Every frame's pixels are made its own first, so that running out of memory leaves the document
      // as it was rather than half translated.
      for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
        if (f->localPalette || !f->bitmap) continue;
        if (!f->MutableBits()) {
          ShowError("Ran out of resources during optimization...");
          return changed;
        }
      }
      RemapFrames(a, compact.get(), &table);
      SetGlobalPalette(a, std::move(compact));
      a.colorUse = counts;
      changed = true;
    }
  }
  if (Stopped(progress)) return changed;

  // Local palettes.
  bool anyLocal = false;
  for (Frame* f = FirstFrame(a); f && !anyLocal; f = NextFrame(f)) anyLocal = f->localPalette != nullptr;
  if (!anyLocal) return changed;
  SetProgressText(progress, "Shrinking Local Palettes...");
  SetProgressRange(progress, static_cast<uint32_t>(std::max(a.frameCount, 0)));
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (f->localPalette && f->bitmap) {
      ColorCounts counts;
      CountFrameColorUse(*f, counts, true);
      PalettePtr compact;
      IndexMap table;
      if (!UsesIndexBeyond(counts, f->localPalette->Count()) &&
          CompactPalette(*f->localPalette, counts, compact, table)) {
        if (!f->MutableBits()) {
          ShowError("Ran out of resources during optimization...");
          return changed;
        }
        RemapFrame(*f, compact.get(), &table);
        SetLocalPalette(*f, std::move(compact));
        changed = true;
      }
    }
    if (!StepProgress(progress)) return changed;
  }
  return changed;
}

namespace {

// What the earlier frames left on the logical screen, as far as the pass knows it. Each pixel is clean
// (the background: nothing shown there, or cleared by disposal 2), known (an index of the global
// palette), or dirty (something is shown whose index is not comparable: a local-palette frame's pixel).
enum : uint8_t { kClean = 0, kKnown = 1, kDirty = 2 };

struct ScreenModel {
  int32_t width = 0, height = 0;
  size_t stride = 0;
  std::unique_ptr<uint8_t[]> value, state;
  size_t knownCount = 0;

  bool Allocate(int32_t w, int32_t h) {
    width = w;
    height = h;
    stride = static_cast<size_t>(StrideFor8Bit(w));
    const size_t size = stride * static_cast<size_t>(h);
    value.reset(new (std::nothrow) uint8_t[size]());
    state.reset(new (std::nothrow) uint8_t[size]());
    return value && state;
  }
};

}  // namespace

bool OptimizeFrameImages(Animation& a, OptimizeOptions options, ProgressRecord* progress) {
  if (!(options & kShrinkFrames)) return false;
  const int32_t W = a.screenWidth, H = a.screenHeight;
  if (W <= 0 || H <= 0) return false;  // nothing can be shown, nothing to compare with
  ScreenModel model;
  if (static_cast<uint64_t>(W) * static_cast<uint64_t>(H) > Limits().maxFramePixels ||
      !model.Allocate(W, H)) {
    ShowError("Not enough resources to fully optimize animation");
    return false;
  }
  SetProgressText(progress, "Optimizing Frame Images...");
  SetProgressRange(progress, static_cast<uint32_t>(std::max(a.frameCount, 0)));

  bool changed = false;
  std::vector<uint8_t> mask;
  for (Frame* f = FirstFrame(a); f;) {
    Frame* next = NextFrame(f);
    if (!f->bitmap) {
      if (!StepProgress(progress)) return changed;
      f = next;
      continue;
    }
    const int32_t L = f->left, T = f->top;
    const int w = f->bitmap->Width(), h = f->bitmap->Height();
    const int d = GetDisposal(*f);
    const bool local = f->localPalette != nullptr;
    // A local-palette frame's indices belong to another palette: it never adds to what is known, and its
    // pixels are compared as if the frame cleared its area afterwards.
    const bool persists = d != 2 && d != 3 && !local;
    const bool clearsLater = d == 2 || local;
    const bool t = IsTransparent(*f);
    const uint8_t ti = f->transparentIndex;

    // The part of the frame on the screen (everything, once the frames are clipped; nothing for a frame
    // that lies wholly outside it).
    const int xs = static_cast<int>(std::clamp<int64_t>(-int64_t{L}, 0, w));
    const int xe = static_cast<int>(std::clamp<int64_t>(int64_t{W} - L, 0, w));
    const int ys = static_cast<int>(std::clamp<int64_t>(-int64_t{T}, 0, h));
    const int ye = static_cast<int>(std::clamp<int64_t>(int64_t{H} - T, 0, h));

    const size_t maskStride = static_cast<size_t>(StrideFor8Bit(w));
    mask.assign(maskStride * static_cast<size_t>(h), 0);
    int x0 = w, x1 = 0, y0 = h, y1 = 0;
    size_t marked = 0;
    for (int y = ys; y < ye; ++y) {
      const uint8_t* src = f->bitmap->Row(y);
      uint8_t* m = mask.data() + static_cast<size_t>(y) * maskStride;
      const size_t at = static_cast<size_t>(T + y) * model.stride + static_cast<size_t>(L);
      uint8_t* value = model.value.get() + at;
      uint8_t* state = model.state.get() + at;
      int rowFirst = w, rowLast = -1;
      for (int x = xs; x < xe; ++x) {
        const uint8_t p = src[x];
        const uint8_t s = state[x];
        bool keep = false;
        // The area the frame will clear must stay inside its rectangle wherever something is shown.
        if (clearsLater && s != kClean) keep = true;
        if (!t || p != ti) {
          if (local || s != kKnown || value[x] != p) keep = true;
          if (persists) {
            model.knownCount += s != kKnown;
            state[x] = kKnown;
            value[x] = p;
          } else if (local && d != 2 && d != 3) {
            model.knownCount -= s == kKnown;
            state[x] = kDirty;
          }
        }
        if (d == 2) {
          model.knownCount -= state[x] == kKnown;
          state[x] = kClean;
        }
        if (keep) {
          m[x] = 1;
          ++marked;
          rowFirst = std::min(rowFirst, x);
          rowLast = x;
        }
      }
      if (rowLast >= 0) {
        x0 = std::min(x0, rowFirst);
        x1 = std::max(x1, rowLast + 1);
        y0 = std::min(y0, y);
        y1 = y + 1;
      }
    }

    if (marked == 0) {
      Frame* prev = PrevFrame(f);
      const int prevDisposal = prev ? GetDisposal(*prev) : 0;
      // The frame before keeps showing this picture only when it is not cleared or restored afterwards;
      // and the sum of the delays must still fit the file's 16-bit field.
      if ((options & kRemoveUnneededFrames) && prev && prevDisposal != 2 && prevDisposal != 3 &&
          uint64_t{prev->delay} + f->delay <= 65535) {
        prev->delay += f->delay;
        UnlinkAndFreeBlock(f);
        AddFrameCount(a, -1);
        changed = true;
        f = next;
        continue;
      }
      x0 = 0;
      y0 = 0;
      x1 = 1;
      y1 = 1;
    }
    const bool cut = x0 != 0 || y0 != 0 || x1 != w || y1 != h;
    if (cut) {
      if (!CropFrame(*f, x0, y0, x1 - x0, y1 - y0)) {
        ShowError("Ran out of resources during optimization...");
        return changed;
      }
      changed = true;
    } else {
      x0 = y0 = 0;
    }
    if ((options & kDuplicatesToTransparency) && marked < static_cast<size_t>(w) * static_cast<size_t>(h))
      changed |= ReplaceDuplicatePixels(*f, mask.data(), x0, y0, static_cast<int>(maskStride));
    if (!StepProgress(progress)) return changed;
    f = next;
  }
  return changed;
}

bool ReplaceDuplicatePixels(Frame& f, const uint8_t* mask, int x0, int y0, int maskStride) {
  if (!f.bitmap) return false;
  const int w = f.bitmap->Width(), h = f.bitmap->Height();
  auto maskRow = [&](int y) { return mask + static_cast<ptrdiff_t>(y0 + y) * maskStride + x0; };
  int r;
  if (IsTransparent(f)) {
    r = f.transparentIndex;
  } else {
    // An index no kept pixel uses; unchanged pixels may use it, since they show the same index as the
    // screen beneath them.
    bool used[256] = {};
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = f.bitmap->Row(y);
      const uint8_t* m = maskRow(y);
      for (int x = 0; x < w; ++x)
        if (m[x]) used[row[x]] = true;
    }
    const int count = f.palette ? std::min(f.palette->Count(), 256) : 0;
    r = 0;
    while (r < count && used[r]) ++r;
    if (r >= count) return false;
  }
  uint8_t* bits = nullptr;
  const size_t stride = static_cast<size_t>(f.bitmap->Stride());
  bool changed = false;
  for (int y = 0; y < h; ++y) {
    const uint8_t* m = maskRow(y);
    const uint8_t* row = f.bitmap->Row(y);
    int x = 0;
    while (x < w) {
      if (m[x]) {
        ++x;
        continue;
      }
      int e = x;
      while (e < w && !m[e]) ++e;
      if (e - x >= 2) {
        const uint8_t c = row[x];
        int s = x;
        if (x > 0 && row[x - 1] == c) {
          // Leave the pixels that carry on the colour from the left: the run codes better that way.
          s = x + 1;
          while (s < w && row[s] == c) ++s;
        }
        bool uniform = true;
        for (int i = x + 1; i < e && uniform; ++i) uniform = row[i] == c;
        if ((s != x || !uniform) && s < e) {
          if (!bits) {
            bits = f.MutableBits();
            if (!bits) return false;
          }
          uint8_t* out = bits + static_cast<size_t>(y) * stride;
          std::fill(out + s, out + e, static_cast<uint8_t>(r));
          row = out;
          changed = true;
        }
      }
      x = e;
    }
  }
  if (changed) {
    SetTransparent(f, false);
    SetTransparentIndex(f, static_cast<uint8_t>(r));
    SetTransparent(f, true);
  }
  return changed;
}

bool OptimizeAnimation(Animation& a, OptimizeOptions options, ProgressRecord* progress) {
  bool changed = false;
  // Frames are cut to the screen first; one wholly outside it cannot be and is left for the frame pass,
  // which sees it change nothing.
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (!FrameNeedsClipping(*f, a.screenWidth, a.screenHeight)) continue;
    changed |= ClipFrame(*f, a.screenWidth, a.screenHeight);
  }
  if (options & (kShrinkPalettes | kRemoveLocalPalettes)) {
    changed |= OptimizePalettes(a, options, progress);
    if (Stopped(progress)) return changed;
  }
  if (options & kShrinkFrames) changed |= OptimizeFrameImages(a, options, progress);
  if (changed) a.fileSize = kUnknownFileSize;
  return changed;
}

}  // namespace lw
