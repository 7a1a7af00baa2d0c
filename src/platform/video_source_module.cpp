// Builds with video support find the FFmpeg-backed video source in a module loaded on first use: next to
// the program, in ../lib/loopwright beside its folder (an installed layout), or in the build tree the
// program was built in. LOOPWRIGHT_VIDEO_MODULE names the file outright.
#ifdef LW_HAVE_VIDEO
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include "model/limits.h"
#include "platform/video_source.h"

namespace lw {
namespace {

using VersionFn = int (*)();
using OpenFn = VideoSource* (*)(const char*, const VideoLimit*, uint64_t, std::string*);

struct VideoModule {
  OpenFn open = nullptr;
  std::string error;
};

std::vector<std::filesystem::path> Candidates() {
  namespace fs = std::filesystem;
  std::vector<fs::path> out;
  if (const char* env = std::getenv("LOOPWRIGHT_VIDEO_MODULE"); env && *env) out.emplace_back(env);
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    out.push_back(exe.parent_path() / LW_VIDEO_MODULE_NAME);
    out.push_back(exe.parent_path().parent_path() / "lib" / "loopwright" / LW_VIDEO_MODULE_NAME);
  }
  out.push_back(fs::path(LW_VIDEO_MODULE_BUILD_DIR) / LW_VIDEO_MODULE_NAME);
  return out;
}

const VideoModule& Module() {
  static VideoModule module;
  static std::once_flag once;
  std::call_once(once, [] {
    for (const auto& path : Candidates()) {
      std::error_code ec;
      if (!std::filesystem::is_regular_file(path, ec)) continue;
      // Kept loaded for the life of the process: sources made by it may outlive any owner we could name.
      void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!handle) {
        const char* why = dlerror();
        module.error = why ? why : "cannot load " + path.string();
        continue;
      }
      auto version = reinterpret_cast<VersionFn>(dlsym(handle, "LwVideoModuleVersion"));
      auto open = reinterpret_cast<OpenFn>(dlsym(handle, "LwOpenVideoSource"));
      if (!version || !open || version() != kVideoModuleVersion) {
        module.error = path.string() + " is not this program's video module";
        dlclose(handle);
        continue;
      }
      module.open = open;
      module.error.clear();
      return;
    }
    if (module.error.empty()) module.error = "video module " LW_VIDEO_MODULE_NAME " not found";
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
