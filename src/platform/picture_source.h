// Pictures and animations in formats beyond GIF, BMP and AVI: PNG, APNG, JPEG and WebP come in as whole
// composed frames of RGBA pixels with their durations; APNG, WebP, MP4 and WebM go out the same way. The
// interface carries no library types; the implementation (libpng, libjpeg-turbo, libwebp and FFmpeg) lives
// in src/platform/picture_module/, built as a module (loopwright-pictures.so) loaded on first use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lw {

enum class PictureFormat : int { kUnknown = 0, kPng, kApng, kJpeg, kWebp };

// What a picture file holds, known before any pixels are decoded (the caller checks its bounds).
struct PictureInfo {
  PictureFormat format = PictureFormat::kUnknown;
  int32_t width = 0;  // the canvas every frame covers
  int32_t height = 0;
  uint32_t frameCount = 0;  // 0 when the file does not say
  uint32_t loopCount = 0;   // 0: for ever
  // A JPEG's EXIF block (the APP1 payload after "Exif\0\0"), for the orientation; empty otherwise.
  std::vector<uint8_t> exif;
};

// One composed frame: width × height RGBA pixels (red, green, blue, alpha), rows top-down, with the time
// in milliseconds it stays on the screen.
struct PictureFrame {
  std::vector<uint8_t> rgba;
  uint32_t durationMs = 0;
};

class PictureSource {
 public:
  virtual ~PictureSource() = default;
  virtual const PictureInfo& Info() const = 0;
  // 1 with the next frame, 0 after the last one, -1 when the data is damaged (*error says how).
  virtual int NextFrame(PictureFrame* frame, std::string* error) = 0;
};

// The limits a source applies before it allocates anything for a frame.
struct PictureLimits {
  uint64_t maxFramePixels = 0;
  uint32_t maxFrames = 0;
};

// Opens a picture file (the format is found from its first bytes); null with *error when the file is not
// one of these formats, is damaged, or goes beyond the limits.
std::unique_ptr<PictureSource> OpenPictureSource(const std::string& path, const PictureLimits& limits,
                                                 std::string* error);

// The formats written out: animated PNG, animated WebP (lossless or lossy), H.264 in MP4, VP9 in WebM, and
// a PNG file per frame (the path then holds a printf-style frame number, "name_%04d.png").
enum class MovieFormat : int { kApng = 1, kWebp, kMp4, kWebm, kPngFrames };

struct PictureSinkOptions {
  MovieFormat format = MovieFormat::kApng;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t loopCount = 0;  // 0: for ever
  bool lossless = true;    // WebP only
  int quality = 75;        // WebP lossy quality 0..100
};

class PictureSink {
 public:
  virtual ~PictureSink() = default;
  // Adds a frame of width × height RGBA pixels shown for durationMs. False with *error on failure.
  virtual bool AddFrame(const uint8_t* rgba, uint32_t durationMs, std::string* error) = 0;
  // Writes the rest of the file and closes it. False with *error on failure.
  virtual bool Finish(std::string* error) = 0;
};

std::unique_ptr<PictureSink> OpenPictureSink(const std::string& path, const PictureSinkOptions& options,
                                             std::string* error);

// Whether pictures beyond GIF/BMP can be read and written: the build has them and the module loads.
bool PictureSupportBuiltIn();

// Raised whenever the module's entry points or the structures above change.
constexpr int kPictureModuleVersion = 1;

}  // namespace lw
