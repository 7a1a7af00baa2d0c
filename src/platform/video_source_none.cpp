// Builds without FFmpeg read no video: every open fails and the caller reports that no stream was found.
#ifndef LW_HAVE_VIDEO
#include "platform/video_source.h"

namespace lw {

std::unique_ptr<VideoSource> OpenVideoSource(const std::string&, const VideoLimit&, std::string* error) {
  if (error) *error = "built without video support";
  return nullptr;
}

bool VideoSupportBuiltIn() {
  return false;
}

}  // namespace lw
#endif
