// AVI export: the Animation as one 8-bit video stream of key frames, each frame the whole logical screen,
// placed on the time line by the GIF delays. The file is written by our own RIFF writer, uncompressed or
// RLE8-compressed.
#pragma once

#include <cstdint>
#include <string>

#include "model/animation.h"

namespace lw {

// The answers of the 'AVI Compression' question: 0 cancel, 1 no compression, 2 RLE8.
enum AviCompression : int { kAviCancel = 0, kAviUncompressed = 1, kAviRle8 = 2 };

// The stream's time unit in hundredths: the greatest common divisor of the delays when the smallest is at
// least 2, else 1.
uint32_t CommonTimeUnit(const uint32_t* delays, int count);

// Writes the AVI file. 1 written, 0 refused, failed (after the message) or stopped by the user.
int ExportAvi(const std::string& path, const Animation& a, AviCompression compression);

// The export command's engine side: writes to a temporary file (prefix "AVI", ".avi" appended) in the
// temporary folder, then copies it to the target ("Unable to write to %s." when that fails); the temporary
// file always goes.
int ExportAviFile(const std::string& target, const Animation& a, AviCompression compression);

}  // namespace lw
