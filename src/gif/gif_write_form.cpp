#include "gif/gif_write_form.h"

#include <algorithm>
#include <array>

namespace lw {

namespace {

// The palette indices the frame's pixels use.
std::array<bool, 256> UsedIndices(const Frame& f) {
  std::array<bool, 256> used{};
  if (!f.bitmap) return used;
  const int w = std::min(f.width, f.bitmap->Width()), h = std::min(f.height, f.bitmap->Height());
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = f.bitmap->Row(y);
    for (int x = 0; x < w; ++x) used[row[x]] = true;
  }
  return used;
}

// The lowest index below 2^bits that no pixel uses, raising bits (up to 8) when every one is used. -1
// when all 256 are.
int FreeIndex(const std::array<bool, 256>& used, int& bits) {
  for (;;) {
    const int size = bits > 0 ? 1 << bits : 256;
    for (int i = 0; i < size; ++i)
      if (!used[static_cast<size_t>(i)]) return i;
    if (bits == 0 || bits >= 8) return -1;
    ++bits;
  }
}

}  // namespace

int TableBitsFor(const Palette* p) {
  return p ? BitsForCount(std::min(p->Count(), 256)) : 0;
}

bool NeedsTransparentIndex(const Animation& a, const Frame& f, bool first) {
  if (IsTransparent(f)) return false;
  const int disposal = GetDisposal(f);
  if (disposal == 2) return true;
  if (!first) return false;
  if (disposal == 3) return true;
  const bool covers = f.left <= 0 && f.top <= 0 && int64_t{f.left} + f.width >= a.screenWidth &&
                      int64_t{f.top} + f.height >= a.screenHeight;
  return !covers;
}

bool DecodersAgree(const Animation& a) {
  bool first = true;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f), first = false)
    if (NeedsTransparentIndex(a, *f, first)) return false;
  return true;
}

GifWriteForm PlanGifWrite(const Animation& a) {
  GifWriteForm form;
  form.globalTableBits = TableBitsFor(a.globalPalette.get());
  bool first = true;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f), first = false) {
    FrameWriteForm ff;
    ff.localTableBits = TableBitsFor(f->localPalette.get());
    if (NeedsTransparentIndex(a, *f, first)) {
      // A frame without a table of its own uses the global one, even when it has none (then any index
      // will do for the decoder).
      int& bits = f->localPalette ? ff.localTableBits : form.globalTableBits;
      const int index = FreeIndex(UsedIndices(*f), bits);
      if (index >= 0) {
        ff.addTransparent = true;
        ff.transparentIndex = static_cast<uint8_t>(index);
      }
    }
    form.frames.push_back(ff);
  }
  return form;
}

}  // namespace lw
