#include "color/reduce_palettes.h"

#include <new>

#include "color/dither.h"
#include "color/quantize.h"
#include "platform/progress.h"
#include "platform/ui_hooks.h"

namespace lw {

void PadPalette(PaletteEntries& entries, int targetCount) {
  if (static_cast<int>(entries.size()) < targetCount) entries.push_back({0, 0, 0, 0});
  if (static_cast<int>(entries.size()) < targetCount) entries.push_back({255, 255, 255, 0});
}

namespace {

// Octree over a palette's entries weighted by use; gives the reduced entries
// (possibly none).
PaletteEntries Octree(const Palette& palette, const ColorCounts& weights, int bits, int maxColors) {
  PaletteEntry entries[256] = {};
  uint32_t w[256] = {};
  for (int i = 0; i < palette.Count() && i < 256; ++i) {
    entries[i] = palette[i];
    w[i] = weights[static_cast<size_t>(i)];
  }
  int n = OctreeReducePalette(entries, w, bits, maxColors);
  return PaletteEntries(entries, entries + n);
}

bool ReduceGlobal(Animation& a, int bits, bool dither, ProgressRecord* progress) {
  Palette* old = a.globalPalette.get();
  if (!old || BitsForCount(old->Count()) <= bits) return true;
  bool anyTransparent = false;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) anyTransparent |= !f->localPalette && IsTransparent(*f);
  int target = (1 << bits) - (anyTransparent ? 1 : 0);
  ColorCounts weights = a.colorUse;
  if (anyTransparent) CountGlobalOpaqueColorUse(a, weights, true);
  PaletteEntries record = Octree(*old, weights, bits, target);
  // Nothing counted (every pixel transparent, or no frame on this palette): the
  // frames may still use the old palette, so it stays.
  if (record.empty()) return true;
  PadPalette(record, target);
  int c = static_cast<int>(record.size());
  auto p = std::make_unique<Palette>(record);
  IndexMap map;
  const IndexMap* mapUsed = nullptr;
  if (dither) {
    SetProgressText(progress, "Dithering Frames...");
    SetProgressRange(progress, static_cast<uint32_t>(a.frameCount));
    if (!RemapGlobalFrames(a, *p, c, progress)) return false;
  } else {
    BuildNearestMap(old, *p, map);
    mapUsed = &map;
  }
  if (anyTransparent) {
    record.push_back({0, 0, 0, 0});
    p = std::make_unique<Palette>(record);
  }
  SetProgressText(progress, "Remapping Frames...");
  SetProgressRange(progress, static_cast<uint32_t>(a.frameCount));
  RemapFramesReservingSlot(a, p.get(), mapUsed, c, progress);
  CountGlobalColorUse(a, a.colorUse, true);
  SetGlobalPalette(a, std::move(p));
  return true;
}

bool ReduceLocal(Frame& f, int bits, bool dither) {
  Palette* old = f.localPalette.get();
  if (!old || BitsForCount(old->Count()) <= bits) return true;
  ColorCounts weights;
  CountFrameOpaqueColorUse(f, weights, true);
  bool transparent = IsTransparent(f);
  int target = (1 << bits) - (transparent ? 1 : 0);
  PaletteEntries record = Octree(*old, weights, bits, target);
  PadPalette(record, target);
  int c = static_cast<int>(record.size());
  auto p = std::make_unique<Palette>(record);
  IndexMap map;
  const IndexMap* mapUsed = nullptr;
  if (dither) {
    if (!RemapLocalFrame(f, *p, transparent ? c : -1)) return false;
  } else {
    BuildNearestMap(old, *p, map);
    mapUsed = &map;
  }
  if (transparent) {
    record.push_back({0, 0, 0, 0});
    p = std::make_unique<Palette>(record);
    if (mapUsed) map[f.transparentIndex] = static_cast<uint16_t>(c);
  }
  RemapFrame(f, p.get(), mapUsed);
  SetLocalPalette(f, std::move(p));
  return true;
}

}  // namespace

bool ReducePalettes(Animation& a, int bits, bool dither, ProgressRecord* progress) {
  SetProgressText(progress, "Reducing Palette(s)...");
  SetProgressRange(progress, static_cast<uint32_t>(a.frameCount));
  if (!ReduceGlobal(a, bits, dither, progress)) return false;
  SetProgressText(progress, "Remapping Local Palettes...");
  SetProgressRange(progress, static_cast<uint32_t>(a.frameCount));
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (!ReduceLocal(*f, bits, dither)) return false;
    StepProgress(progress);
  }
  return true;
}

}  // namespace lw
