// The program's optional modules (the video source, the picture formats) are shared objects loaded on
// first use, so that the programs start without binding the libraries behind them. A module is looked for
// next to the program, in ../lib/loopwright beside its folder (an installed layout), then in the build tree
// the program was built in; an environment variable can name the file outright.
#pragma once

#include <string>

namespace lw {

struct LoadedModule {
  void* handle = nullptr;  // kept loaded for the life of the process
  std::string error;       // why no module was loaded
};

// Loads the first candidate whose versionSymbol (an `int()` function) gives version.
LoadedModule LoadProgramModule(const char* fileName, const char* envVariable, const char* versionSymbol,
                               int version);

// The address of a symbol of a loaded module, or null.
void* ModuleSymbol(const LoadedModule& module, const char* name);

}  // namespace lw
