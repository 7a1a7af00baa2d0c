// Shared pieces of the editing commands (optimize, unoptimize, rotate, flip, crop, set, comment,
// filmstrip, html): the argument forms, and copying a file as it is.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "cli/cli.h"
#include "model/animation.h"

namespace lw::cli {

// Writes a copy of the file at from to path, through a temporary file beside it (the target is either
// untouched or the whole copy). False, with a message, when that fails.
bool CopyFileForEdit(const std::string& from, const std::string& path);

// "W x H" style pairs: two integers separated by sep, each in [lo, hi].
std::optional<std::pair<long long, long long>> ParsePair(const std::string& text, char sep, long long lo,
                                                         long long hi);

// The frame a 1-based --frame value names; prints the usage error and gives null when there is none.
Frame* FrameArgument(const std::string& command, const Animation& a, const std::optional<std::string>& value);

}  // namespace lw::cli
