// Little-endian fields of the binary blocks we read and write (BMP and DIB headers, movie frames,
// clipboard blocks); the pointers must have the bytes behind them.
#pragma once

#include <cstdint>

namespace lw {

inline uint32_t Le16(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8;
}
inline uint32_t Le32(const uint8_t* p) {
  return Le16(p) | Le16(p + 2) << 16;
}

inline void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}

}  // namespace lw
