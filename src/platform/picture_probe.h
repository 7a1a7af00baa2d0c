// What kind of picture a file holds, from its first bytes, and the few header facts that must be known
// before anything is decoded: the canvas size and frame count of PNG and APNG files (for the bounds
// checks), and the orientation a JPEG's EXIF block asks for. Plain byte parsing with no library, shared by
// the engine and the picture module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/picture_source.h"

namespace lw {

struct PictureProbe {
  PictureFormat format = PictureFormat::kUnknown;
  // PNG and APNG: the header's size (0 when the header is damaged); APNG: the animation control chunk's
  // frame count and play count (0: for ever).
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t frameCount = 0;
  uint32_t plays = 0;
};

// Looks at the first size bytes of a file (a PNG's chunks are walked up to its first image data, so give
// enough of the file to hold them; 1 MiB is plenty for real files).
PictureProbe ProbePicture(const uint8_t* data, size_t size);

// The orientation tag (1..8) of an EXIF block (the bytes after "Exif\0\0": a TIFF header and its first
// directory); 1 when there is none or the block is damaged.
int ExifOrientation(const uint8_t* data, size_t size);

// Turns an RGBA picture upright for an EXIF orientation: 2 mirror, 3 half turn, 4 flip, 5 transpose,
// 6 quarter turn clockwise, 7 transverse, 8 quarter turn anticlockwise. Orientations 5 to 8 swap the
// width and the height. False when memory runs out (the picture is left as it was).
bool ApplyExifOrientation(int orientation, int32_t* width, int32_t* height, std::vector<uint8_t>* rgba);

}  // namespace lw
