// Reading a file for the GIF commands (info, copy, render): the reader's own messages go to stderr; a
// read that was cut short is a warning that the command accepts only with --allow-partial.
#pragma once

#include <string>

#include "cli/cli.h"
#include "model/animation.h"

namespace lw::cli {

// Gives kExitOk with the Animation in *out, or the exit code to return.
int ReadForCommand(const std::string& path, bool allowPartial, AnimationPtr* out);

// The kind of an extension block as the commands name it: "comment", "plaintext", "application".
const char* BlockKindName(uint8_t kind);

}  // namespace lw::cli
