// Builds with video support find the FFmpeg-backed video source in a module loaded on first use (see
// module_loader.h); LOOPWRIGHT_VIDEO_MODULE names the file outright.
#ifdef LW_HAVE_VIDEO
#include <mutex>

#include "model/limits.h"
#include "platform/module_loader.h"
#include "platform/video_source.h"

namespace lw {
namespace {

using OpenFn = VideoSource* (*)(const char*, const VideoLimit*, uint64_t, std::string*);

struct VideoModule {
  OpenFn open = nullptr;
  std::string error;
};

const VideoModule& Module() {
  static VideoModule module;
  static std::once_flag once;
  std::call_once(once, [] {
    LoadedModule loaded = LoadProgramModule(LW_VIDEO_MODULE_NAME, "LOOPWRIGHT_VIDEO_MODULE",
                                            "LwVideoModuleVersion", kVideoModuleVersion);
    module.open = reinterpret_cast<OpenFn>(ModuleSymbol(loaded, "LwOpenVideoSource"));
    module.error = module.open ? std::string() : loaded.error.empty() ? "no entry point" : loaded.error;
  });
  return module;
}

}  // namespace

std::unique_ptr<VideoSource> OpenVideoSource(const std::string& path, const VideoLimit& limit,
                                             std::string* error) {
  const VideoModule& module = Module();
  if (!module.open) {
    if (error) *error = module.error;
    return nullptr;
  }
  std::string why;
  std::unique_ptr<VideoSource> source(module.open(path.c_str(), &limit, Limits().maxFramePixels, &why));
  if (!source && error) *error = why;
  return source;
}

bool VideoSupportBuiltIn() {
  return Module().open != nullptr;
}

}  // namespace lw
#endif
