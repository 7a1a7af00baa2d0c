#include "optimize/unoptimize_palettes.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "color/best_quantize.h"
#include "color/dib.h"
#include "optimize/pictures.h"
#include "optimize/unoptimize.h"
#include "platform/progress.h"
#include "platform/ui_hooks.h"

namespace lw {

namespace {

constexpr size_t kTooMany = 257;

// The distinct opaque colours of a picture (0x00BBGGRR), in the order they first appear, up to kTooMany.
struct ColourSet {
  std::vector<uint32_t> colours;
  std::unordered_map<uint32_t, uint32_t> seen;
  bool transparent = false;

  bool Add(uint32_t c) {
    if (seen.count(c)) return true;
    if (colours.size() >= kTooMany) return false;
    seen.emplace(c, static_cast<uint32_t>(colours.size()));
    colours.push_back(c);
    return true;
  }
  bool Full() const { return colours.size() >= kTooMany; }
};

void Collect(const std::vector<RgbaPixel>& picture, ColourSet& set) {
  uint32_t last = 1;  // never an opaque colour's key
  for (RgbaPixel p : picture) {
    if (!(p >> 24)) {
      set.transparent = true;
      continue;
    }
    const uint32_t c = p & 0xFFFFFF;
    if (c == last) continue;
    last = c;
    if (!set.Add(c)) return;
  }
}

PaletteEntry EntryOf(uint32_t c) {
  return {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16), 0};
}
uint32_t KeyOf(const PaletteEntry& e) {
  return uint32_t{e.red} | uint32_t{e.green} << 8 | uint32_t{e.blue} << 16;
}

// A palette of the colours, plus one more entry for "nothing drawn" when asked (its index is given).
PalettePtr PaletteOf(const std::vector<uint32_t>& colours, bool transparent, int* transparentIndex) {
  std::vector<PaletteEntry> entries;
  for (uint32_t c : colours) entries.push_back(EntryOf(c));
  *transparentIndex = -1;
  if (transparent) {
    *transparentIndex = static_cast<int>(entries.size());
    entries.push_back(PaletteEntry{});
  }
  return std::make_unique<Palette>(std::move(entries));
}

// Whether the palette holds every colour of the set and, when the picture has transparent pixels, an
// entry free for them (one whose colour the picture does not use, or room for one more). The free index
// goes to transparentIndex (-1 when none is needed, count when one is to be appended).
bool PaletteHolds(const Palette& p, const ColourSet& set, int preferred, int* transparentIndex) {
  if (set.Full()) return false;
  std::unordered_map<uint32_t, bool> present;
  for (const PaletteEntry& e : p.Entries()) present[KeyOf(e)] = true;
  for (uint32_t c : set.colours)
    if (!present.count(c)) return false;
  *transparentIndex = -1;
  if (!set.transparent) return true;
  // An index is free when the mapping never lands on it: its colour is unused, or an earlier entry has it.
  std::vector<bool> free(static_cast<size_t>(p.Count()), true);
  std::unordered_map<uint32_t, int> first;
  for (int i = 0; i < p.Count(); ++i) first.emplace(KeyOf(p[i]), i);
  for (uint32_t c : set.colours) free[static_cast<size_t>(first[c])] = false;
  if (preferred >= 0 && preferred < p.Count() && free[static_cast<size_t>(preferred)]) {
    *transparentIndex = preferred;
    return true;
  }
  for (int i = 0; i < p.Count(); ++i)
    if (free[static_cast<size_t>(i)]) {
      *transparentIndex = i;
      return true;
    }
  if (p.Count() >= 256) return false;
  *transparentIndex = p.Count();
  return true;
}

// The picture onto the palette colour for colour (lowest index of each), nothing drawn to t.
void MapExactly(const std::vector<RgbaPixel>& picture, const Palette& p, int t, uint8_t* bits, int stride,
                int32_t W, int32_t H) {
  std::unordered_map<uint32_t, uint8_t> index;
  for (int i = p.Count() - 1; i >= 0; --i) index[KeyOf(p[i])] = static_cast<uint8_t>(i);
  uint32_t lastKey = 0xFFFFFFFF;
  uint8_t lastIndex = 0;
  for (int32_t y = 0; y < H; ++y) {
    const RgbaPixel* src = picture.data() + static_cast<size_t>(y) * static_cast<size_t>(W);
    uint8_t* out = bits + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int32_t x = 0; x < W; ++x) {
      if (!(src[x] >> 24)) {
        out[x] = static_cast<uint8_t>(std::max(t, 0));
        continue;
      }
      const uint32_t c = src[x] & 0xFFFFFF;
      if (c != lastKey) {
        lastKey = c;
        lastIndex = index[c];
      }
      out[x] = lastIndex;
    }
  }
}

// A picture of more colours than a palette holds: the quantizer's palette (one entry kept back for
// transparency when needed) and the nearest-colour mapping. Null when memory runs out.
PalettePtr Quantize(const std::vector<RgbaPixel>& picture, bool transparent, int32_t W, int32_t H,
                    uint8_t* bits, int stride, int* transparentIndex) {
  DibHeader header;
  header.width = W;
  header.height = -H;
  header.bitCount = 32;
  std::vector<uint8_t> bgrx(picture.size() * 4);
  for (size_t i = 0; i < picture.size(); ++i) {
    bgrx[i * 4] = static_cast<uint8_t>(picture[i] >> 16);
    bgrx[i * 4 + 1] = static_cast<uint8_t>(picture[i] >> 8);
    bgrx[i * 4 + 2] = static_cast<uint8_t>(picture[i]);
  }
  std::vector<PaletteEntry> entries(256);
  const int n = BestDibPalette(header, bgrx.data(), entries.data(), transparent ? 255 : 256);
  if (n <= 0) return nullptr;
  entries.resize(static_cast<size_t>(n));
  Palette palette(entries);
  if (!MapDibBest(header, bgrx.data(), bits, palette, false)) return nullptr;
  *transparentIndex = -1;
  if (transparent) {
    *transparentIndex = n;
    entries.push_back(PaletteEntry{});
    for (size_t i = 0; i < picture.size(); ++i)
      if (!(picture[i] >> 24))
        bits[(i / static_cast<size_t>(W)) * static_cast<size_t>(stride) + i % static_cast<size_t>(W)] =
            static_cast<uint8_t>(n);
  }
  return std::make_unique<Palette>(std::move(entries));
}

}  // namespace

bool UnoptimizeWithPalettes(Animation& a) {
  const int32_t W = std::max(a.screenWidth, 0), H = std::max(a.screenHeight, 0);
  if (!W || !H) return false;

  // First pass: the colours of every picture, and of all of them together.
  ColourSet all;
  std::vector<ColourSet> sets;
  {
    PictureComposer composer(W, H);
    for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
      sets.emplace_back();
      Collect(composer.Show(*f), sets.back());
      all.transparent |= sets.back().transparent;
      for (uint32_t c : sets.back().colours)
        if (!all.Add(c)) break;
    }
  }
  const bool onePalette = !all.Full() && all.colours.size() + (all.transparent ? 1 : 0) <= 256;
  int sharedTransparent = -1;
  PalettePtr oldGlobal;
  if (onePalette) {
    // Frames still point at the old global palette while they are composed: it is kept until the end.
    oldGlobal = SetGlobalPalette(a, PaletteOf(all.colours, all.transparent, &sharedTransparent));
  }

  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  SetProgressText(progress.get(), "Unoptimizing animation...");
  SetProgressRange(progress.get(), static_cast<uint32_t>(std::max(a.frameCount, 0)));
  std::vector<PalettePtr> oldLocals;  // alive until every frame has been composed
  PictureComposer composer(W, H);
  bool converted = false, quantized = false;
  Frame* previous = nullptr;
  size_t k = 0;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f), ++k) {
    const std::vector<RgbaPixel>& picture = composer.Show(*f);
    const ColourSet& set = sets[k];
    FrameBitmapPtr bitmap = FrameBitmap::MakeUninitialized(W, H, nullptr);
    uint8_t* bits = bitmap ? bitmap->MutableBits() : nullptr;
    if (!bits) {
      ShowError("Not enough memory to complete the unoptimizing.");
      break;
    }
    const int preferred = IsTransparent(*f) ? f->transparentIndex : -1;
    int t = -1;
    Palette* target = nullptr;
    PalettePtr local;
    if (onePalette) {
      target = a.globalPalette.get();
      t = set.transparent ? sharedTransparent : -1;
    } else if (a.globalPalette && PaletteHolds(*a.globalPalette, set, preferred, &t) &&
               t < a.globalPalette->Count()) {
      target = a.globalPalette.get();
    } else if (f->localPalette && PaletteHolds(*f->localPalette, set, preferred, &t)) {
      local = CopyPalette(f->localPalette.get());
      if (t == local->Count()) local->Entries().push_back(PaletteEntry{});
    } else if (!set.Full() && set.colours.size() + (set.transparent ? 1 : 0) <= 256) {
      local = PaletteOf(set.colours, set.transparent, &t);
    }
    if (target || local) {
      MapExactly(picture, target ? *target : *local, t, bits, bitmap->Stride(), W, H);
    } else {
      local = Quantize(picture, set.transparent, W, H, bits, bitmap->Stride(), &t);
      if (!local) {
        ShowError("Not enough memory to complete the unoptimizing.");
        break;
      }
      quantized = true;
    }
    if (local) {
      oldLocals.push_back(SetLocalPalette(*f, std::move(local)));
    } else {
      oldLocals.push_back(SetLocalPalette(*f, nullptr));
      f->palette = target;
    }
    SetScreenPicture(*f, std::move(bitmap), t, previous);
    converted = true;
    previous = f;
    StepProgress(progress.get());
  }
  EndProgress(progress);
  UpdateColorResolution(a);
  if (quantized)
    Hooks().MessageBox("Unoptimize",
                       "Some frames show more than 256 colours at once; their colours were reduced.",
                       MsgButtons::Ok, MsgIcon::Information);
  if (converted) a.fileSize = kUnknownFileSize;
  return converted;
}

}  // namespace lw
