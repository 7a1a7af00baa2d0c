// Animations for the optimizer's tests: made from a seed, with every kind of frame the pass must handle.
#pragma once

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "model/animation.h"
#include "optimize/pictures.h"
#include "support/builders.h"

namespace lw::test {

struct SampleKinds {
  bool transparency = true;
  bool disposals = true;  // 2 and 3 besides 0 and 1
  bool localPalettes = false;
  bool offscreen = false;  // frames sticking out of the screen
  int scale = 1;           // every scene pixel drawn as scale × scale pixels (large animations)
};

// A sprite moving over a background: most pixels repeat, some frames are identical, sizes and offsets
// vary. The palette has unused entries so that shrinking it has work to do.
inline AnimationPtr SampleAnimation(uint32_t seed, SampleKinds kinds = {}) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  const int sw = 8 + pick(40), sh = 8 + pick(30), zoom = kinds.scale;
  const int W = sw * zoom, H = sh * zoom;
  AnimationPtr a = MakeAnimation(0, W, H, 64);
  a->backgroundIndex = static_cast<uint8_t>(pick(64));
  const int frames = 2 + pick(10);
  std::vector<uint8_t> scene(static_cast<size_t>(sw * sh));
  for (auto& p : scene) p = static_cast<uint8_t>(pick(3) == 0 ? 5 + pick(20) : 5);
  for (int k = 0; k < frames; ++k) {
    int kind = pick(6);
    int w = W, h = H, left = 0, top = 0;
    if (k > 0 && kind >= 2) {
      w = 1 + pick(W);
      h = 1 + pick(H);
      left = pick(W - w + 1);
      top = pick(H - h + 1);
      if (kinds.offscreen && pick(3) == 0) {
        left -= pick(5);
        top += pick(5);
      }
    }
    // Change a few scene pixels (or none: an identical frame).
    if (kind != 1)
      for (int i = pick(12); i > 0; --i)
        scene[static_cast<size_t>(pick(sw * sh))] = static_cast<uint8_t>(pick(30));
    const bool local = kinds.localPalettes && pick(4) == 0;
    PalettePtr localPalette = local ? MakePalette(32 + pick(32)) : nullptr;
    Palette* palette = local ? localPalette.get() : a->globalPalette.get();
    const int count = palette->Count();
    const bool transparent = kinds.transparency && pick(3) == 0;
    const uint8_t ti = static_cast<uint8_t>(pick(count));
    FramePtr f = MakeFrame(w, h, palette, [&](int x, int y) {
      int sx = left + x, sy = top + y;
      if (transparent && pick(4) == 0) return ti;
      if (sx < 0 || sy < 0 || sx >= W || sy >= H) return static_cast<uint8_t>(pick(count));
      uint8_t p = scene[static_cast<size_t>((sy / zoom) * sw + sx / zoom)];
      return static_cast<uint8_t>(p % count);
    });
    f->left = left;
    f->top = top;
    f->delay = static_cast<uint32_t>(pick(20));
    SetDisposal(*f, kinds.disposals ? pick(4) : pick(2));
    if (transparent) {
      SetTransparentIndex(*f, ti);
      SetTransparent(*f, true);
    }
    if (local) SetLocalPalette(*f, std::move(localPalette));
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
  CountGlobalColorUse(*a, a->colorUse, true);
  return a;
}

// The pictures in order with how long each is shown, runs of equal pictures joined: what a viewer sees,
// however the frames are cut or merged.
inline std::vector<std::pair<uint64_t, uint64_t>> Timeline(const Animation& a) {
  std::vector<uint64_t> digests = PictureDigests(a);
  std::vector<std::pair<uint64_t, uint64_t>> out;
  size_t i = 0;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f), ++i) {
    if (!out.empty() && out.back().first == digests[i])
      out.back().second += f->delay;
    else
      out.emplace_back(digests[i], f->delay);
  }
  return out;
}

}  // namespace lw::test
