#include "cli/cli_gif_read.h"

#include <cstdio>

#include "io/files.h"

namespace lw::cli {

int ReadForCommand(const std::string& path, bool allowPartial, AnimationPtr* out) {
  int result = ReadAnyFile(path, out, nullptr);
  if (result == 0) return kExitFailed;
  if (result == 2) {
    if (!allowPartial) {
      std::fprintf(stderr, "loopwright-cli: %s was only partly read (use --allow-partial to go on)\n",
                   path.c_str());
      return kExitFailed;
    }
    std::fprintf(stderr, "loopwright-cli: warning: %s was only partly read\n", path.c_str());
  }
  return kExitOk;
}

const char* BlockKindName(uint8_t kind) {
  switch (kind) {
    case kCommentBlock:
      return "comment";
    case kPlainTextBlock:
      return "plaintext";
    case kApplicationBlock:
      return "application";
    default:
      return "other";
  }
}

}  // namespace lw::cli
