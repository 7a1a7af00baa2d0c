#include "cli/cli_save.h"

#include <cstdio>

#include "cli/cli.h"
#include "gif/gif_writer.h"
#include "io/files.h"

namespace lw::cli {

int SaveForCommand(const std::string& path, Animation& a) {
  if (!CheckClippingBeforeSave(a)) {
    std::fprintf(stderr, "loopwright-cli: not saved: frames extend beyond the screen and were not clipped\n");
    return kExitFailed;
  }
  int result = WriteGifFile(path, a);
  if (result == 2) std::fprintf(stderr, "loopwright-cli: stopped; %s is unchanged\n", path.c_str());
  return result == 1 ? kExitOk : kExitFailed;
}

}  // namespace lw::cli
