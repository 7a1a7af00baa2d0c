// Builds with picture support find the picture formats in a module loaded on first use (see
// module_loader.h); LOOPWRIGHT_PICTURE_MODULE names the file outright. Builds without it read and write
// none of these formats.
#include <mutex>

#include "platform/module_loader.h"
#include "platform/picture_source.h"

namespace lw {
namespace {

using OpenSourceFn = PictureSource* (*)(const char*, const PictureLimits*, std::string*);
using OpenSinkFn = PictureSink* (*)(const char*, const PictureSinkOptions*, std::string*);

struct PictureModule {
  OpenSourceFn openSource = nullptr;
  OpenSinkFn openSink = nullptr;
  std::string error;
};

const PictureModule& Module() {
  static PictureModule module;
  static std::once_flag once;
  std::call_once(once, [] {
#ifdef LW_PICTURE_MODULE_NAME
    LoadedModule loaded = LoadProgramModule(LW_PICTURE_MODULE_NAME, "LOOPWRIGHT_PICTURE_MODULE",
                                            "LwPictureModuleVersion", kPictureModuleVersion);
    module.openSource = reinterpret_cast<OpenSourceFn>(ModuleSymbol(loaded, "LwOpenPictureSource"));
    module.openSink = reinterpret_cast<OpenSinkFn>(ModuleSymbol(loaded, "LwOpenPictureSink"));
    if (!module.openSource || !module.openSink) {
      module.openSource = nullptr;
      module.openSink = nullptr;
      module.error = loaded.error.empty() ? "no entry point" : loaded.error;
    }
#else
    module.error = "built without PNG, JPEG and WebP support";
#endif
  });
  return module;
}

}  // namespace

std::unique_ptr<PictureSource> OpenPictureSource(const std::string& path, const PictureLimits& limits,
                                                 std::string* error) {
  const PictureModule& module = Module();
  std::string why;
  std::unique_ptr<PictureSource> source;
  if (module.openSource)
    source.reset(module.openSource(path.c_str(), &limits, &why));
  else
    why = module.error;
  if (!source && error) *error = why;
  return source;
}

std::unique_ptr<PictureSink> OpenPictureSink(const std::string& path, const PictureSinkOptions& options,
                                             std::string* error) {
  const PictureModule& module = Module();
  std::string why;
  std::unique_ptr<PictureSink> sink;
  if (module.openSink)
    sink.reset(module.openSink(path.c_str(), &options, &why));
  else
    why = module.error;
  if (!sink && error) *error = why;
  return sink;
}

bool PictureSupportBuiltIn() {
  return Module().openSource != nullptr;
}

}  // namespace lw
