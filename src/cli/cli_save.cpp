#include "cli/cli_save.h"

#include <cstdio>

#include "gif/gif_writer.h"
#include "io/files.h"

namespace lw::cli {

int ClipBeforeCommand(Animation& a) {
  if (CheckClippingBeforeSave(a)) return kExitOk;
  std::fprintf(stderr, "loopwright-cli: not saved: frames extend beyond the screen and were not clipped\n");
  return kExitFailed;
}

bool TakeClipFlags(const Args& args, const std::string& command) {
  if (args.Flag("--clip") && args.Flag("--no-clip")) {
    UsageError(command, "--clip and --no-clip exclude each other");
    return false;
  }
  if (args.Flag("--clip")) TheHooks().boxAnswers["Animation needs clipping"] = MsgResult::Yes;
  if (args.Flag("--no-clip")) TheHooks().boxAnswers["Animation needs clipping"] = MsgResult::No;
  return true;
}

int SaveForCommand(const std::string& path, Animation& a) {
  if (int r = ClipBeforeCommand(a); r != kExitOk) return r;
  int result = WriteGifFile(path, a);
  if (result == 2) std::fprintf(stderr, "loopwright-cli: stopped; %s is unchanged\n", path.c_str());
  return result == 1 ? kExitOk : kExitFailed;
}

}  // namespace lw::cli
