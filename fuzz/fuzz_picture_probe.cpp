// The header probe of picture files and the EXIF orientation are our own parsing of outside data: any
// bytes give a format (with sizes only for PNG files) and an orientation of 1 to 8, never a read past the
// data, and the orientation turns a picture into one with the same pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/picture_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exact-size copies, so that a read past the end is caught by the sanitizers.
  std::vector<uint8_t> bytes(data, data + size);
  lw::PictureProbe probe = lw::ProbePicture(bytes.data(), bytes.size());
  if (probe.format != lw::PictureFormat::kPng && probe.format != lw::PictureFormat::kApng &&
      (probe.width || probe.height))
    __builtin_trap();
  const int orientation = lw::ExifOrientation(bytes.data(), bytes.size());
  if (orientation < 1 || orientation > 8) __builtin_trap();
  // A small picture from the first bytes, turned by the orientation: the same multiset of pixels.
  int32_t w = size > 0 ? 1 + data[0] % 7 : 1, h = size > 1 ? 1 + data[1] % 5 : 1;
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>(i / 4);
  const int32_t w0 = w, h0 = h;
  if (!lw::ApplyExifOrientation(orientation, &w, &h, &rgba)) __builtin_trap();
  if (static_cast<int64_t>(w) * h != static_cast<int64_t>(w0) * h0) __builtin_trap();
  uint64_t sum = 0;
  for (size_t i = 0; i < rgba.size(); i += 4) sum += rgba[i];
  const uint64_t n = static_cast<uint64_t>(w0) * static_cast<uint64_t>(h0);
  if (sum != n * (n - 1) / 2) __builtin_trap();
  return 0;
}
