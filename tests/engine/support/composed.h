// What an Animation shows, for comparing animations that went through other formats: every frame's
// composed picture and every frame's delay.
#pragma once

#include <cstdint>
#include <vector>

#include "model/animation.h"
#include "optimize/pictures.h"

namespace lw::test {

inline std::vector<std::vector<uint32_t>> ComposedFrames(const Animation& a) {
  std::vector<std::vector<uint32_t>> out;
  PictureComposer composer(a.screenWidth, a.screenHeight);
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) out.push_back(composer.Show(*f));
  return out;
}

inline std::vector<uint32_t> FrameDelays(const Animation& a) {
  std::vector<uint32_t> d;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) d.push_back(f->delay);
  return d;
}

}  // namespace lw::test
