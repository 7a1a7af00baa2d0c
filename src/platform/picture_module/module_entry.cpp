// The picture module's entry points: the format is found from the file's first bytes (never from its
// name), then the library for it takes over.
#include <algorithm>
#include <cstdio>

#include "platform/picture_module/module_parts.h"
#include "platform/picture_probe.h"

extern "C" {
#include <libavutil/log.h>
}

namespace lw::pictures {
namespace {

PictureFormat SniffFile(const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return PictureFormat::kUnknown;
  // Enough for the chunks a PNG has before its image data.
  std::vector<uint8_t> head(1 << 20);
  head.resize(std::fread(head.data(), 1, head.size(), file));
  std::fclose(file);
  return ProbePicture(head.data(), head.size()).format;
}

}  // namespace
}  // namespace lw::pictures

extern "C" {

__attribute__((visibility("default"))) int LwPictureModuleVersion() {
  return lw::kPictureModuleVersion;
}

__attribute__((visibility("default"))) lw::PictureSource* LwOpenPictureSource(const char* path,
                                                                              const lw::PictureLimits* limits,
                                                                              std::string* error) {
  using namespace lw;
  av_log_set_level(AV_LOG_QUIET);
  std::unique_ptr<PictureSource> source;
  switch (pictures::SniffFile(path)) {
    case PictureFormat::kPng:
      source = pictures::OpenPng(path, *limits, error);
      break;
    case PictureFormat::kApng:
      source = pictures::OpenApng(path, *limits, error);
      break;
    case PictureFormat::kJpeg:
      source = pictures::OpenJpeg(path, *limits, error);
      break;
    case PictureFormat::kWebp:
      source = pictures::OpenWebp(path, *limits, error);
      break;
    default:
      *error = "not a PNG, JPEG or WebP file";
      break;
  }
  return source.release();
}

__attribute__((visibility("default"))) lw::PictureSink* LwOpenPictureSink(
    const char* path, const lw::PictureSinkOptions* options, std::string* error) {
  using namespace lw;
  av_log_set_level(AV_LOG_QUIET);
  if (!pictures::CanvasWithin(static_cast<uint64_t>(std::max(options->width, 0)),
                              static_cast<uint64_t>(std::max(options->height, 0)), {uint64_t{1} << 28, 0})) {
    *error = "picture size out of bounds";
    return nullptr;
  }
  std::unique_ptr<PictureSink> sink = options->format == MovieFormat::kWebp
                                          ? pictures::OpenWebpSink(path, *options, error)
                                          : pictures::OpenFfmpegSink(path, *options, error);
  return sink.release();
}

}  // extern "C"
