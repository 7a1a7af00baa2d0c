// Saving the result of a command as the editor's Save does: the clipping check first (its question
// answered by --clip/--no-clip where the command offers them, else Yes with a notice), then the write
// through a temporary file.
#pragma once

#include <string>

#include "model/animation.h"

namespace lw::cli {

// Gives the exit code: kExitOk when saved.
int SaveForCommand(const std::string& path, Animation& a);

}  // namespace lw::cli
