// The picture module's readers and writers, one per library; module_entry.cpp picks among them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/picture_source.h"

namespace lw::pictures {

// A source that has already decoded its single picture (PNG and JPEG stills).
class StillSource : public PictureSource {
 public:
  StillSource(PictureInfo info, std::vector<uint8_t> rgba) : info_(std::move(info)), rgba_(std::move(rgba)) {}
  const PictureInfo& Info() const override { return info_; }
  int NextFrame(PictureFrame* frame, std::string*) override {
    if (done_) return 0;
    done_ = true;
    frame->rgba = std::move(rgba_);
    frame->durationMs = 0;
    return 1;
  }

 private:
  PictureInfo info_;
  std::vector<uint8_t> rgba_;
  bool done_ = false;
};

// Each gives null with *error on failure.
std::unique_ptr<PictureSource> OpenPng(const std::string& path, const PictureLimits& limits,
                                       std::string* error);
std::unique_ptr<PictureSource> OpenJpeg(const std::string& path, const PictureLimits& limits,
                                        std::string* error);
std::unique_ptr<PictureSource> OpenWebp(const std::string& path, const PictureLimits& limits,
                                        std::string* error);
std::unique_ptr<PictureSource> OpenApng(const std::string& path, const PictureLimits& limits,
                                        std::string* error);

std::unique_ptr<PictureSink> OpenWebpSink(const std::string& path, const PictureSinkOptions& options,
                                          std::string* error);
std::unique_ptr<PictureSink> OpenFfmpegSink(const std::string& path, const PictureSinkOptions& options,
                                            std::string* error);

// Whether a width × height canvas is within the limits (and within 32767 on a side, as everywhere else).
inline bool CanvasWithin(uint64_t width, uint64_t height, const PictureLimits& limits) {
  return width > 0 && height > 0 && width <= 32767 && height <= 32767 &&
         width * height <= limits.maxFramePixels;
}

}  // namespace lw::pictures
