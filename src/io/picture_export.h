// The Animation written as an animated PNG, an animated WebP, or a movie (H.264 in MP4, VP9 in WebM):
// every frame composed as a web browser shows it, shown for its own delay. Delays under 2 hundredths play
// as 10 hundredths, as browsers play them. Movies have no transparency: transparent pixels come out black.
#pragma once

#include <optional>
#include <string>

#include "model/animation.h"
#include "platform/picture_source.h"

namespace lw {

// The format a file name asks for by its extension (apng, png, webp, mp4, m4v, webm); none for others.
std::optional<MovieFormat> MovieFormatForName(const std::string& path);

struct PictureExportOptions {
  bool lossless = true;  // WebP only
  int quality = 75;      // lossy WebP, 0..100
};

// The display time in milliseconds of a frame's delay.
uint32_t FrameDurationMs(uint32_t delay);

// The file names of a PNG per frame: the target without its extension, "_0001.png" and on ("%" kept).
std::string FramePattern(const std::string& path);

// Writes the file beside the target and renames it over the target when complete (a PNG per frame: the
// files of FramePattern, written one by one). 1 written, 0 failed (after the message), 2 stopped by the
// user (the target is left as it was).
int ExportPictures(const std::string& path, const Animation& a, MovieFormat format,
                   const PictureExportOptions& options = {});

}  // namespace lw
