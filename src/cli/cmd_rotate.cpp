// rotate and flip: turn or mirror one frame.
#include <cstdio>

#include "cli/cli.h"
#include "cli/cli_edit.h"
#include "cli/cli_gif_read.h"
#include "cli/cli_save.h"
#include "edit/rotate_flip.h"

namespace lw::cli {
namespace {

int Run(const char* name, const std::vector<std::string>& raw,
        const std::vector<std::pair<const char*, int>>& choices) {
  Args args(raw, {"-o", "--frame"});
  if (!args.ok()) return UsageError(name, args.error());
  std::vector<std::string> known = {"-o", "--frame"};
  for (auto& [flag, command] : choices) known.push_back(flag);
  if (auto unknown = args.Unknown(known); !unknown.empty())
    return UsageError(name, "unknown option " + unknown[0]);
  auto out = args.Value("-o");
  if (args.positional().size() != 1 || !out || out->empty())
    return UsageError(name, "give one file and -o OUT");
  int command = 0, given = 0;
  for (auto& [flag, c] : choices)
    if (args.Flag(flag)) {
      command = c;
      ++given;
    }
  if (given != 1) return UsageError(name, "choose exactly one direction");
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  Frame* f = FrameArgument(name, *a, args.Value("--frame"));
  if (!f) return kExitUsage;
  int result = RotateFlipFrame(*a, *f, command);
  if (result == 0) {
    std::fprintf(stderr, "loopwright-cli: not enough memory to turn the frame\n");
    return kExitFailed;
  }
  if (result == 2)
    std::fprintf(stderr, "loopwright-cli: the logical screen grew to %dx%d to hold the frame\n",
                 a->screenWidth, a->screenHeight);
  return SaveForCommand(*out, *a);
}

int RunRotate(const std::vector<std::string>& raw) {
  return Run("rotate", raw,
             {{"--cw", kRotateClockwise}, {"--ccw", kRotateCounterClockwise}, {"--180", kRotate180}});
}

int RunFlip(const std::vector<std::string>& raw) {
  return Run("flip", raw, {{"--horizontal", kFlipHorizontally}, {"--vertical", kFlipVertically}});
}

}  // namespace

LW_CLI_COMMAND(
    "rotate", "IN -o OUT --frame N --cw|--ccw|--180",
    "turn frame N (1 = first) by a quarter or half turn; the screen grows when the frame sticks out",
    RunRotate);
LW_CLI_COMMAND("flip", "IN -o OUT --frame N --horizontal|--vertical", "mirror frame N (1 = first)", RunFlip);

}  // namespace lw::cli
