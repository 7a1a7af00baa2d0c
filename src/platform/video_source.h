// Reading the video stream of a movie file (AVI, and whatever else the decoder library reads): the
// stream's timing, its pixel format and its decoded frames as packed DIBs, one per sample that holds data.
// The interface carries no decoder types; the implementation lives in video_source_ffmpeg.cpp, built as a
// module (loopwright-video.so) that the engine loads when a movie is first opened.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lw {

// A window on the stream for long videos: times in seconds; fps > 0 resamples the time line to that many
// samples per second (the first frame of each sample is kept).
struct VideoLimit {
  double start = 0;
  double duration = 0;  // 0: to the end
  double fps = 0;       // 0: the stream's own samples
  // Frames scaled (with a smooth filter) to this size; 0 for one of them keeps the picture's proportions,
  // 0 for both the stream's own size. Scaled frames come as 24-bit DIBs.
  int32_t width = 0;
  int32_t height = 0;
};

struct VideoStreamInfo {
  int bitCount = 0;  // of the stream format: 8, 16, 24, or what else the file says (refused by the caller)
  int32_t width = 0;
  int32_t height = 0;
  uint32_t scale = 1;  // one sample lasts scale / rate seconds
  uint32_t rate = 1;
  uint32_t start = 0;
  uint32_t length = 0;  // samples (an estimate for files that do not say)
  // The format's colour table for 8-bit streams (blue, green, red, 0 per entry) and its colours-used count
  // (0: all 256).
  std::vector<uint8_t> colorTable;
  uint32_t colorsUsed = 0;
};

// One decoded frame: a packed DIB (40-byte header with colours-used set, colour table for 8 bits, rows
// top-down with a negative height) and the sample it stands at.
struct VideoFrame {
  uint32_t position = 0;
  std::vector<uint8_t> dib;
};

class VideoSource {
 public:
  virtual ~VideoSource() = default;
  virtual const VideoStreamInfo& Info() const = 0;
  // The next frame that holds data, in sample order. 1 with a frame, 0 at the end of the stream, -1 when
  // the decoder failed.
  virtual int NextFrame(VideoFrame* frame) = 0;
};

// Opens the first video stream of the file; null when there is none or video support is not built in.
// *error receives what went wrong for a log (the user sees the caller's message).
std::unique_ptr<VideoSource> OpenVideoSource(const std::string& path, const VideoLimit& limit,
                                             std::string* error = nullptr);

// Whether video can be read: the build has video support and its module loads.
bool VideoSupportBuiltIn();

// Raised whenever the module's entry points or the structures above change, so that a stale module is
// refused rather than called with the wrong layout.
constexpr int kVideoModuleVersion = 2;

}  // namespace lw
