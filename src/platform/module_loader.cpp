#include "platform/module_loader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace lw {
namespace {

std::vector<std::filesystem::path> Candidates(const char* fileName, const char* envVariable) {
  namespace fs = std::filesystem;
  std::vector<fs::path> out;
  if (const char* env = std::getenv(envVariable); env && *env) out.emplace_back(env);
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    out.push_back(exe.parent_path() / fileName);
    out.push_back(exe.parent_path().parent_path() / "lib" / "loopwright" / fileName);
  }
#ifdef LW_MODULE_BUILD_DIR
  out.push_back(fs::path(LW_MODULE_BUILD_DIR) / fileName);
#endif
  return out;
}

}  // namespace

LoadedModule LoadProgramModule(const char* fileName, const char* envVariable, const char* versionSymbol,
                               int version) {
  LoadedModule module;
  for (const auto& path : Candidates(fileName, envVariable)) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) continue;
    // Never closed: objects made by the module may outlive any owner we could name.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = dlerror();
      module.error = why ? why : "cannot load " + path.string();
      continue;
    }
    using VersionFn = int (*)();
    auto versionFn = reinterpret_cast<VersionFn>(dlsym(handle, versionSymbol));
    if (!versionFn || versionFn() != version) {
      module.error = path.string() + " is not this program's module";
      dlclose(handle);
      continue;
    }
    module.handle = handle;
    module.error.clear();
    return module;
  }
  if (module.error.empty()) module.error = std::string("module ") + fileName + " not found";
  return module;
}

void* ModuleSymbol(const LoadedModule& module, const char* name) {
  return module.handle ? dlsym(module.handle, name) : nullptr;
}

}  // namespace lw
