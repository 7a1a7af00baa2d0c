#include "color/palette_ops.h"

#include <algorithm>
#include <new>

#include "color/dither.h"
#include "color/palette_choice.h"
#include "color/quantize.h"
#include "edit/frame_insert.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"

namespace lw {

IndexMap EmptyIndexMap() {
  IndexMap map;
  map.fill(kNoTarget);
  return map;
}

PaletteEntries EntriesOf(const Palette* palette) {
  return palette ? palette->Entries() : PaletteEntries{};
}

int FindNearestEntry(const PaletteEntry* entries, int count, PaletteEntry color, bool* exact) {
  int best = 0;
  int bestDistance = 0x30000;
  for (int i = 0; i < count; ++i) {
    int dr = entries[i].red - color.red, dg = entries[i].green - color.green,
        db = entries[i].blue - color.blue;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  if (exact) *exact = bestDistance == 0;
  return best;
}

void BuildNearestMap(const Palette* oldPalette, const Palette& newPalette, IndexMap& map) {
  map.fill(kNoTarget);
  int count = oldPalette ? std::min(oldPalette->Count(), 256) : 0;
  for (int i = 0; i < count; ++i) {
    const PaletteEntry& e = (*oldPalette)[i];
    map[static_cast<size_t>(i)] = static_cast<uint16_t>(newPalette.NearestIndex(e.red, e.green, e.blue));
  }
}

uint32_t MergePalettes(PaletteEntries& dest, const PaletteEntries& incoming, IndexMap& map,
                       ColorCounts& destCounts, const ColorCounts& incomingCounts) {
  uint32_t result = kMergeClean;
  size_t freeSearch = 0;
  for (size_t j = 0; j < incoming.size() && j < 256; ++j) {
    if (incomingCounts[j] == 0) {
      map[j] = kNoTarget;
      continue;
    }
    bool exact = false;
    size_t k = static_cast<size_t>(
        FindNearestEntry(dest.data(), static_cast<int>(dest.size()), incoming[j], &exact));
    if (exact) {
      if (destCounts[k] == 0) result |= kMergeTookZeroSlot;
    } else {
      while (freeSearch < dest.size() && destCounts[freeSearch] != 0) ++freeSearch;
      bool placed = true;
      if (freeSearch < dest.size()) {
        k = freeSearch;
        result |= kMergeTookZeroSlot;
        dest[k] = incoming[j];
      } else if (dest.size() < 256) {
        k = dest.size();
        dest.push_back(incoming[j]);
      } else {
        placed = false;
        result &= ~kMergeClean;
      }
      if (placed) result |= kMergeChanged;
    }
    destCounts[k] += incomingCounts[j];
    map[j] = static_cast<uint16_t>(k);
  }
  return result;
}

bool CanMergeCleanly(const Palette* destination, ColorCounts destCounts, const Palette& incoming,
                     const ColorCounts& incomingCounts) {
  if (!destination) return true;
  PaletteEntries dest = destination->Entries();
  size_t freeSearch = 0;
  for (int j = 0; j < incoming.Count() && j < 256; ++j) {
    if (incomingCounts[static_cast<size_t>(j)] == 0) continue;
    const PaletteEntry& c = incoming[j];
    size_t k = dest.size();
    for (size_t i = 0; i < dest.size(); ++i) {
      if (dest[i].red == c.red && dest[i].green == c.green && dest[i].blue == c.blue) {
        k = i;
        break;
      }
    }
    if (k == dest.size()) {
      while (freeSearch < dest.size() && destCounts[freeSearch] != 0) ++freeSearch;
      if (freeSearch < dest.size()) {
        k = freeSearch;
        dest[k] = c;
      } else if (dest.size() < 256) {
        dest.push_back(c);
      } else {
        return false;
      }
    }
    destCounts[k] += incomingCounts[static_cast<size_t>(j)];
  }
  return true;
}

void RemapFrame(Frame& f, Palette* palette, const IndexMap* map) {
  if (map && f.bitmap) {
    if (uint8_t* bits = f.MutableBits()) {
      uint8_t lut[256];
      for (size_t i = 0; i < 256; ++i) lut[i] = static_cast<uint8_t>((*map)[i] & 0xFF);
      size_t n = f.bitmap->ByteSize();
      for (size_t i = 0; i < n; ++i) bits[i] = lut[bits[i]];
    }
  }
  if (f.bitmap) f.bitmap->SetColorTable(palette);
  f.palette = palette;
  if (IsTransparent(f)) {
    uint16_t target = map ? (*map)[f.transparentIndex] : f.transparentIndex;
    if (map && target != f.transparentIndex) {
      if (target != kNoTarget)
        SetTransparentIndex(f, static_cast<uint8_t>(target));
      else
        SetTransparent(f, false);
    } else {
      ShowTransparentColor(f, true);
    }
  }
}

bool RemapFrames(Animation& a, Palette* palette, const IndexMap* map) {
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (f->localPalette) continue;
    const IndexMap* use = map;
    IndexMap frameMap;
    if (map && IsTransparent(*f)) {
      uint8_t t = f->transparentIndex;
      uint16_t shared = (*map)[t];
      bool collides = false;
      if (shared != kNoTarget)
        for (size_t j = 0; j < 256 && !collides; ++j) collides = j != t && (*map)[j] == shared;
      if (collides) {
        // The transparent colour would share its slot with a visible one: give
        // it a free slot of its own for this frame, when the palette has one.
        bool used[256] = {};
        for (uint16_t v : *map)
          if (v < 256) used[v] = true;
        int count = palette ? palette->Count() : 0;
        for (int slot = 0; slot < count; ++slot) {
          if (!used[slot]) {
            frameMap = *map;
            frameMap[t] = static_cast<uint16_t>(slot);
            use = &frameMap;
            break;
          }
        }
      }
    }
    RemapFrame(*f, palette, use);
  }
  return true;
}

bool RemapFramesReservingSlot(Animation& a, Palette* palette, const IndexMap* map, int slot,
                              ProgressRecord* progress) {
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (!f->localPalette) {
      if (map && IsTransparent(*f)) {
        IndexMap frameMap = *map;
        frameMap[f->transparentIndex] = static_cast<uint16_t>(slot);
        RemapFrame(*f, palette, &frameMap);
      } else {
        RemapFrame(*f, palette, map);
      }
    }
    StepProgress(progress);  // the reduction always runs to its end
  }
  return true;
}

void ShareGlobalPalette(Animation& a, Palette* palette) {
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f))
    if (!f->localPalette) {
      f->palette = palette;
      if (f->bitmap) f->bitmap->SetColorTable(palette);
      ShowTransparentColor(*f, true);
    }
}

bool MakeLocalPalettes(Animation& a) {
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (f->localPalette) continue;
    // A frame of a file with no colour table at all takes the stand-in palette,
    // as drawing does.
    PalettePtr copy = CopyPalette(a.globalPalette ? a.globalPalette.get() : &DefaultPalette());
    if (!copy) return false;
    SetLocalPalette(*f, std::move(copy));
  }
  return true;
}

bool ApplyNewPalette(const PaletteEntries* record, Animation& dest, Animation& incoming, const IndexMap* map,
                     uint32_t steps) {
  PalettePtr created;
  Palette* p = dest.globalPalette.get();
  if (record) {
    created.reset(new (std::nothrow) Palette(*record));
    if (!created || record->empty()) {
      ShowError("Insufficient resources to build the new palette.");
      return false;
    }
    p = created.get();
  }
  if (!p) {
    // Nothing to map onto: the destination has no global palette and no new one
    // was given.
    ShowError("Insufficient resources to build the new palette.");
    return false;
  }
  IndexMap nearest;
  if (steps & kStepIncomingMap) RemapFrames(incoming, p, map);
  if (steps & kStepIncomingNearest) {
    BuildNearestMap(incoming.globalPalette.get(), *p, nearest);
    RemapFrames(incoming, p, &nearest);
  }
  if (steps & kStepIncomingDither) {
    if (!RemapGlobalFrames(incoming, *p, -1, nullptr)) return false;
    RemapFrames(incoming, p, nullptr);
  }
  if (steps & kStepDestKeepIndices) RemapFrames(dest, p, nullptr);
  if (steps & kStepDestNearest) {
    BuildNearestMap(dest.globalPalette.get(), *p, nearest);
    RemapFrames(dest, p, &nearest);
  }
  if (steps & kStepDestDither) {
    if (!RemapGlobalFrames(dest, *p, -1, nullptr)) return false;
    RemapFrames(dest, p, nullptr);
  }
  if (created) SetGlobalPalette(dest, std::move(created));
  if (steps & kStepRecountDest) CountGlobalColorUse(dest, dest.colorUse, true);
  if (steps & kStepAddIncomingCounts) CountGlobalColorUse(incoming, dest.colorUse, false);
  return true;
}

bool ResolvePaletteConflict(Animation& dest, Animation& incoming, uint32_t mode) {
  PaletteEntries destRecord = EntriesOf(dest.globalPalette.get());
  PaletteEntries incomingRecord = EntriesOf(incoming.globalPalette.get());
  if (destRecord == incomingRecord) {
    ShareGlobalPalette(incoming, dest.globalPalette.get());
    for (size_t i = 0; i < 256; ++i) dest.colorUse[i] += incoming.colorUse[i];
    return true;
  }

  uint32_t choice = GetPreference(kPrefPaletteConflict);
  uint32_t flags = 0;
  if (!(choice & kChoiceAlwaysAsk) && mode == kConflictRemoveLocal && (choice & kChoiceImagePalette)) {
    // The picture's own palette cannot serve a removal of that very palette:
    // ask, without offering to make the answer the default.
    choice |= kChoiceAlwaysAsk;
    flags |= kConflictHideMakeDefault;
  }
  if (choice & kChoiceAlwaysAsk) {
    flags |= kChoiceMerge | kChoiceGlobalOnly | kChoiceWebCubeAll | mode;
    if (mode == kConflictInsert) flags |= kChoiceImagePalette;
    choice = AskPaletteChoice(flags);
    if (choice == 0) return false;
  }
  bool dither = choice & kChoiceDither;

  // With no global palette of its own the destination has nothing to keep: only
  // a merge makes sense.
  if (!dest.globalPalette && (choice & kChoiceGlobalOnly) && !(choice & kChoiceMerge))
    choice = (choice & ~kChoiceGlobalOnly) | kChoiceMerge;

  if (choice & kChoiceMerge) {
    ColorCounts counts = dest.colorUse;
    IndexMap map = EmptyIndexMap();
    uint32_t r = MergePalettes(destRecord, incomingRecord, map, counts, incoming.colorUse);
    if ((r & kMergeClean) || !dither) {
      dest.colorUse = counts;
      if (r & kMergeChanged) return ApplyNewPalette(&destRecord, dest, incoming, &map, 0x11);
      return RemapFrames(incoming, dest.globalPalette.get(), &map);
    }
    return ApplyNewPalette((r & kMergeChanged) ? &destRecord : nullptr, dest, incoming, &map, 0x141);
  }
  if (choice & kChoiceGlobalOnly)
    return ApplyNewPalette(nullptr, dest, incoming, nullptr, dither ? 0x140 : 0x120);
  if (choice & kChoiceWebCubeAll) {
    PaletteEntries cube(256);
    WebCubeEntries(cube.data());
    return ApplyNewPalette(&cube, dest, incoming, nullptr, dither ? 0x344 : 0x322);
  }
  if (choice & kChoiceImagePalette) return MakeLocalPalettes(incoming);
  ShowError("Unexpected palette operation");
  return true;
}

bool RemoveLocalPalette(Animation& a, Frame& f) {
  if (!f.localPalette) return true;
  AnimationPtr single = CloneAnimationHeader(a);
  if (!single) {
    ShowError("Insufficient resources for removing the local palette");
    return false;
  }
  int position = FrameIndex(a, &f);
  GifBlock* before = f.prev;
  // The pixels are shared, not copied: a conversion that fails half-way is
  // undone from this.
  FrameBitmapPtr savedBitmap = f.bitmap ? f.bitmap->Clone() : nullptr;
  uint8_t savedControl = f.controlFlags, savedIndex = f.transparentIndex;
  BlockPtr block = UnlinkBlock(&f);
  AddFrameCount(a, -1);
  SetGlobalPalette(*single, SetLocalPalette(f, nullptr));
  f.palette = single->globalPalette.get();
  InsertBlockAfter(single->head, std::move(block));
  single->frameCount = 1;
  CountFrameColorUse(f, single->colorUse, true);
  if (InsertAnimation(a, single, position, kConflictRemoveLocal)) return true;

  // Put the frame back exactly as it was.
  BlockPtr back = UnlinkBlock(&f);
  SetLocalPalette(f, SetGlobalPalette(*single, nullptr));
  f.controlFlags = savedControl;
  f.transparentIndex = savedIndex;
  SetFrameBitmap(f, std::move(savedBitmap));
  if (IsTransparent(f)) ShowTransparentColor(f, true);
  InsertBlockAfter(before, std::move(back));
  AddFrameCount(a, 1);
  return false;
}

}  // namespace lw
