// crop: keep the top-left part of one frame.
#include "cli/cli.h"
#include "cli/cli_edit.h"
#include "cli/cli_gif_read.h"
#include "cli/cli_save.h"
#include "edit/move_crop.h"

namespace lw::cli {
namespace {

int RunCrop(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--frame", "--size"});
  if (!args.ok()) return UsageError("crop", args.error());
  if (auto unknown = args.Unknown({"-o", "--frame", "--size"}); !unknown.empty())
    return UsageError("crop", "unknown option " + unknown[0]);
  auto out = args.Value("-o");
  if (args.positional().size() != 1 || !out || out->empty())
    return UsageError("crop", "give one file and -o OUT");
  auto sizeText = args.Value("--size");
  if (!sizeText) return UsageError("crop", "--size WxH is needed");
  auto size = ParsePair(*sizeText, 'x', 0, 65535);
  if (!size) return UsageError("crop", "--size takes WxH, each 0 to 65535");
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  Frame* f = FrameArgument("crop", *a, args.Value("--frame"));
  if (!f) return kExitUsage;
  if (size->first < 1 || size->second < 1) {
    ApplyMoveCrop(*f, f->left, f->top, size->first, size->second);  // shows why
    return kExitFailed;
  }
  ApplyMoveCrop(*f, f->left, f->top, size->first, size->second);
  return SaveForCommand(*out, *a);
}

}  // namespace

LW_CLI_COMMAND("crop", "IN -o OUT --frame N --size WxH",
               "keep the top-left WxH pixels of frame N (1 = first); a larger size keeps the frame's own",
               RunCrop);

}  // namespace lw::cli
