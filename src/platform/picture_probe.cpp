#include "platform/picture_probe.h"

#include <cstring>
#include <new>

namespace lw {
namespace {

uint32_t Big32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void ProbePng(const uint8_t* data, size_t size, PictureProbe* probe) {
  probe->format = PictureFormat::kPng;
  size_t pos = 8;
  bool first = true;
  // Each chunk: length, type, data, CRC. The walk stops at the first image data, where an animation
  // control chunk must already have come.
  while (size - pos >= 12) {
    const uint32_t length = Big32(data + pos);
    const uint8_t* type = data + pos + 4;
    if (length > 0x7FFFFFFFu || length > size - pos - 12) break;
    const uint8_t* body = data + pos + 8;
    if (first) {
      if (std::memcmp(type, "IHDR", 4) != 0 || length != 13) return;
      probe->width = Big32(body);
      probe->height = Big32(body + 4);
      first = false;
    } else if (std::memcmp(type, "acTL", 4) == 0 && length == 8) {
      probe->format = PictureFormat::kApng;
      probe->frameCount = Big32(body);
      probe->plays = Big32(body + 4);
    } else if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) {
      break;
    }
    pos += 12 + length;
  }
}

}  // namespace

PictureProbe ProbePicture(const uint8_t* data, size_t size) {
  PictureProbe probe;
  if (!data) return probe;
  if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) {
    ProbePng(data, size, &probe);
  } else if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
    probe.format = PictureFormat::kJpeg;
  } else if (size >= 16 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBPVP8", 7) == 0) {
    probe.format = PictureFormat::kWebp;
  }
  return probe;
}

int ExifOrientation(const uint8_t* data, size_t size) {
  if (!data || size < 8) return 1;
  const bool little = data[0] == 'I' && data[1] == 'I';
  if (!little && !(data[0] == 'M' && data[1] == 'M')) return 1;
  auto get16 = [&](size_t at) -> uint32_t {
    return little ? data[at] | data[at + 1] << 8 : data[at] << 8 | data[at + 1];
  };
  auto get32 = [&](size_t at) -> uint32_t {
    return little ? get16(at) | get16(at + 2) << 16 : get16(at) << 16 | get16(at + 2);
  };
  if (get16(2) != 42) return 1;
  const uint32_t ifd = get32(4);
  if (ifd < 8 || ifd > size - 2) return 1;
  const uint32_t count = get16(ifd);
  // Entries of 12 bytes: tag, type, count, value (a SHORT value sits in the first two value bytes).
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = size_t{ifd} + 2 + size_t{i} * 12;
    if (entry + 12 > size) break;
    if (get16(entry) != 0x0112) continue;
    if (get16(entry + 2) != 3) return 1;  // must be a SHORT
    const uint32_t value = get16(entry + 8);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

bool ApplyExifOrientation(int orientation, int32_t* width, int32_t* height, std::vector<uint8_t>* rgba) {
  if (orientation <= 1 || orientation > 8) return true;
  const size_t w = static_cast<size_t>(*width), h = static_cast<size_t>(*height);
  if (rgba->size() != w * h * 4) return false;
  const bool swap = orientation >= 5;
  const bool mirrorX = orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
  const bool mirrorY = orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7;
  const size_t ow = swap ? h : w, oh = swap ? w : h;
  std::vector<uint8_t> out;
  try {
    out.resize(rgba->size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  const uint32_t* src = reinterpret_cast<const uint32_t*>(rgba->data());
  uint32_t* dst = reinterpret_cast<uint32_t*>(out.data());
  for (size_t y = 0; y < oh; ++y) {
    for (size_t x = 0; x < ow; ++x) {
      // Where the output pixel (x, y) comes from in the stored picture: across the diagonal for the
      // orientations that swap the sides, then mirrored along either axis.
      size_t sx = swap ? y : x, sy = swap ? x : y;
      if (mirrorX) sx = w - 1 - sx;
      if (mirrorY) sy = h - 1 - sy;
      std::memcpy(&dst[y * ow + x], &src[sy * w + sx], 4);
    }
  }
  *rgba = std::move(out);
  *width = static_cast<int32_t>(ow);
  *height = static_cast<int32_t>(oh);
  return true;
}

}  // namespace lw
