// set: the values of one frame, of all frames, and of the animation, with the property dialogs' checks.
#include <cstdio>

#include "cli/cli.h"
#include "cli/cli_edit.h"
#include "cli/cli_gif_read.h"
#include "cli/cli_save.h"
#include "edit/properties.h"

namespace lw::cli {
namespace {

constexpr const char* kName = "set";

int RunSet(const std::vector<std::string>& raw) {
  const std::vector<std::string> valued = {
      "-o",          "--frame", "--delay",  "--disposal", "--transparent",
      "--interlace", "--name",  "--offset", "--loop",     "--screen"};
  Args args(raw, valued);
  if (!args.ok()) return UsageError(kName, args.error());
  std::vector<std::string> known = valued;
  known.push_back("--all");
  if (auto unknown = args.Unknown(known); !unknown.empty())
    return UsageError(kName, "unknown option " + unknown[0]);
  auto out = args.Value("-o");
  if (args.positional().size() != 1 || !out || out->empty())
    return UsageError(kName, "give one file and -o OUT");

  FrameValues fv;
  bool anyFrameValue = false;
  if (auto v = args.Value("--delay")) {
    auto n = ParseInt(*v, -0x7FFFFFFFLL, 0x7FFFFFFFLL);
    if (!n) return UsageError(kName, "--delay takes a number");
    fv.delay = *n;  // the range is checked with the dialog's message
    anyFrameValue = true;
  }
  if (auto v = args.Value("--disposal")) {
    auto n = ParseInt(*v, 0, 3);
    if (!n) return UsageError(kName, "--disposal takes 0 to 3");
    fv.disposal = static_cast<int>(*n);
    anyFrameValue = true;
  }
  std::optional<long long> transparentIndex;
  if (auto v = args.Value("--transparent")) {
    if (*v == "none") {
      fv.transparent = false;
    } else {
      transparentIndex = ParseInt(*v, 0, 255);
      if (!transparentIndex) return UsageError(kName, "--transparent takes an index 0 to 255 or none");
      fv.transparent = true;
      fv.transparentIndex = static_cast<uint8_t>(*transparentIndex);
    }
    anyFrameValue = true;
  }
  if (auto v = args.Value("--interlace")) {
    if (*v != "on" && *v != "off") return UsageError(kName, "--interlace takes on or off");
    fv.interlaced = *v == "on";
    anyFrameValue = true;
  }
  if (auto v = args.Value("--name")) {
    fv.name = *v;
    anyFrameValue = true;
  }
  if (auto v = args.Value("--offset")) {
    auto xy = ParsePair(*v, ',', -0x7FFFFFFFLL, 0x7FFFFFFFLL);
    if (!xy) return UsageError(kName, "--offset takes X,Y");
    fv.left = xy->first;
    fv.top = xy->second;
    anyFrameValue = true;
  }
  AnimationValues av;
  if (auto v = args.Value("--loop")) {
    auto n = ParseInt(*v, -0x7FFFFFFFLL, 0x7FFFFFFFLL);
    if (!n) return UsageError(kName, "--loop takes a number (0 = for ever)");
    av.iterations = *n;
  }
  const bool autoSize = args.Value("--screen") == std::optional<std::string>("auto");
  if (auto v = args.Value("--screen"); v && !autoSize) {
    auto wh = ParsePair(*v, 'x', -0x7FFFFFFFLL, 0x7FFFFFFFLL);
    if (!wh) return UsageError(kName, "--screen takes WxH or auto");
    av.screenWidth = wh->first;
    av.screenHeight = wh->second;
  }
  const bool all = args.Flag("--all");
  if (anyFrameValue && all == args.Value("--frame").has_value())
    return UsageError(kName, "frame values need either --frame N or --all");
  if (all && fv.name) return UsageError(kName, "--name is for one frame (--frame N)");
  if (!anyFrameValue && !av.iterations && !args.Value("--screen")) return UsageError(kName, "nothing to set");

  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  if (autoSize) {
    Extent e = AutoScreenSize(*a);
    av.screenWidth = e.width;
    av.screenHeight = e.height;
  }
  if (anyFrameValue) {
    Frame* f = nullptr;
    if (!all) {
      f = FrameArgument(kName, *a, args.Value("--frame"));
      if (!f) return kExitUsage;
    }
    // The picker offers only the entries of the frame's palette.
    if (transparentIndex) {
      for (Frame* g = all ? FirstFrame(*a) : f; g; g = all ? NextFrame(g) : nullptr) {
        int count = g->palette ? g->palette->Count() : 0;
        if (*transparentIndex >= count) {
          std::fprintf(stderr, "loopwright-cli: frame %d has no palette entry %lld (it has %d)\n",
                       FrameIndex(*a, g) + 1, *transparentIndex, count);
          return kExitFailed;
        }
      }
    }
    if (CheckFrameValues(*a, fv, all ? nullptr : f) != PropertyField::kNone) return kExitFailed;
    if (all)
      ApplyFrameValuesToAll(*a, fv);
    else
      ApplyFrameValues(*f, fv);
  }
  if (av.iterations || av.screenWidth) {
    if (CheckAnimationValues(*a, av) != PropertyField::kNone) return kExitFailed;
    ApplyAnimationValues(*a, av);
  }
  return SaveForCommand(*out, *a);
}

}  // namespace

LW_CLI_COMMAND("set",
               "IN -o OUT [--frame N|--all] [--delay D] [--disposal 0-3] [--transparent I|none] "
               "[--interlace on|off] [--name S] [--offset X,Y] [--loop N] [--screen WxH|auto]",
               "set frame values (of frame N, 1 = first, or of all frames) and animation values, checked as "
               "the property dialogs check them",
               RunSet);

}  // namespace lw::cli
