// Saving the result of a command as the editor's Save does: the clipping check first (its question
// answered by --clip/--no-clip where the command offers them, else Yes with a notice), then the write
// through a temporary file.
#pragma once

#include <string>

#include "cli/cli.h"
#include "model/animation.h"

namespace lw::cli {

// Gives the exit code: kExitOk when saved.
int SaveForCommand(const std::string& path, Animation& a);

// Takes --clip / --no-clip as the answer to the clipping question. False, after a usage message, when
// both are given.
bool TakeClipFlags(const Args& args, const std::string& command);

// The clipping question asked before an operation that composes the screen (and so would drop what lies
// outside it), answered as the save answers it. Gives kExitOk to go on.
int ClipBeforeCommand(Animation& a);

}  // namespace lw::cli
