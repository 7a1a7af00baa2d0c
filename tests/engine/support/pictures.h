// What a viewer sees of a test animation: every composed picture, and the delays.
#pragma once

#include <cstdint>
#include <vector>

#include "optimize/pictures.h"

namespace lw::test {

inline std::vector<std::vector<RgbaPixel>> Pictures(const Animation& a) {
  std::vector<std::vector<RgbaPixel>> out;
  PictureComposer composer(a.screenWidth, a.screenHeight);
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) out.push_back(composer.Show(*f));
  return out;
}

inline std::vector<uint32_t> Delays(const Animation& a) {
  std::vector<uint32_t> out;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) out.push_back(f->delay);
  return out;
}

}  // namespace lw::test
