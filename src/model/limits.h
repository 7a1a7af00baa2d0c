// Bounds on what the engine agrees to hold, so that sizes read from files can never ask for absurd memory.
#pragma once

#include <cstdint>

namespace lw {

struct PixelLimits {
  uint64_t maxFramePixels = uint64_t{1} << 28;  // 256 Mpixel in one frame (16384 × 16384)
  uint64_t maxTotalPixels = uint64_t{1} << 32;  // 4 Gpixel over a whole document
};

// The limits in force. Fuzzers and tests lower them.
PixelLimits& Limits();

}  // namespace lw
