// copy: read a file and save it as a GIF, as the editor's Save does.
#include <cstdio>

#include "cli/cli.h"
#include "cli/cli_gif_read.h"
#include "cli/cli_save.h"

namespace lw::cli {
namespace {

int RunCopy(const std::vector<std::string>& raw) {
  Args args(raw, {});
  if (!args.ok()) return UsageError("copy", args.error());
  if (auto unknown = args.Unknown({"--clip", "--no-clip", "--allow-partial"}); !unknown.empty())
    return UsageError("copy", "unknown option " + unknown[0]);
  if (args.positional().size() != 2) return UsageError("copy", "give the file to read and the file to write");
  if (!TakeClipFlags(args, "copy")) return kExitUsage;

  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], args.Flag("--allow-partial"), &a); r != kExitOk) return r;
  return SaveForCommand(args.positional()[1], *a);
}

}  // namespace

LW_CLI_COMMAND("copy", "IN OUT [--clip | --no-clip] [--allow-partial]",
               "read a file and save it as a GIF the way the editor saves (the clipping question is answered "
               "by --clip/--no-clip)",
               RunCopy);

}  // namespace lw::cli
