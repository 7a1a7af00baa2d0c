// resize, reverse, speed, drop-frames, crop-screen, dedupe: edits of the whole animation.
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "cli/cli.h"
#include "cli/cli_edit.h"
#include "cli/cli_gif_read.h"
#include "cli/cli_save.h"
#include "edit/transforms/transforms.h"
#include "optimize/lossy.h"
#include "platform/progress.h"

namespace lw::cli {
namespace {

// A positive decimal number in [lo, hi]; nullopt when it is not one.
std::optional<double> ParseNumber(const std::string& text, double lo, double hi) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(v >= lo && v <= hi)) return std::nullopt;
  return v;
}

// The frame of every command: IN -o OUT with the options it knows, the clipping question for those that
// compose the screen, the edit (false when it refused, after its message), the save.
int Run(const char* name, const std::vector<std::string>& raw, std::vector<std::string> valueOptions,
        std::vector<std::string> flags, bool composes,
        const std::function<int(const Args&, Animation&)>& edit) {
  valueOptions.push_back("-o");
  Args args(raw, valueOptions);
  if (!args.ok()) return UsageError(name, args.error());
  std::vector<std::string> known = valueOptions;
  known.insert(known.end(), flags.begin(), flags.end());
  if (composes) known.insert(known.end(), {"--clip", "--no-clip"});
  if (auto unknown = args.Unknown(known); !unknown.empty())
    return UsageError(name, "unknown option " + unknown[0]);
  auto out = args.Value("-o");
  if (args.positional().size() != 1 || !out || out->empty())
    return UsageError(name, "give one file and -o OUT");
  if (composes && !TakeClipFlags(args, name)) return kExitUsage;
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  if (composes)
    if (int r = ClipBeforeCommand(*a); r != kExitOk) return r;
  const int errors = TheHooks().errorCount;
  if (int r = edit(args, *a); r != kExitOk) return r;
  if (TheHooks().errorCount != errors) return kExitFailed;
  return SaveForCommand(*out, *a);
}

int RunResize(const std::vector<std::string>& raw) {
  return Run("resize", raw, {"--scale", "--size", "--filter"}, {"--dither", "--no-dither", "--lossy"}, true,
             [](const Args& args, Animation& a) {
               auto scale = args.Value("--scale");
               auto size = args.Value("--size");
               if (!!scale == !!size) return UsageError("resize", "give --scale PERCENT or --size WxH");
               if (args.Flag("--dither") && args.Flag("--no-dither"))
                 return UsageError("resize", "give --dither or --no-dither, not both");
               ResizeOptions o;
               if (scale) {
                 auto p = ParseNumber(*scale, 1, 10000);
                 if (!p) return UsageError("resize", "--scale takes a percentage from 1 to 10000");
                 const Extent e = ScaledSize(a, *p);
                 o.width = e.width;
                 o.height = e.height;
               } else {
                 auto wh = ParsePair(*size, 'x', 0, 65535);
                 if (!wh || (wh->first == 0 && wh->second == 0))
                   return UsageError("resize",
                                     "--size takes WxH, each 1 to 65535 (0 for one keeps the proportions)");
                 o.width = static_cast<int32_t>(wh->first);
                 o.height = static_cast<int32_t>(wh->second);
                 if (!o.width) o.width = WidthForHeight(a, o.height);
                 if (!o.height) o.height = HeightForWidth(a, o.width);
               }
               const std::string filter = args.Value("--filter").value_or("lanczos");
               if (filter == "nearest")
                 o.filter = ResizeFilter::kNearest;
               else if (filter != "lanczos")
                 return UsageError("resize", "--filter is nearest or lanczos");
               o.dither = args.Flag("--dither");
               const int lossy = LossyFlag(args);
               if (lossy < 0) return UsageError("resize", "--lossy takes a colour error of 0 to 255");
               ProgressPtr progress = BeginProgress(kProgressOwnDialog);
               // The loss is taken on the frames as the resize leaves them, ready to be written.
               if (ResizeAnimation(a, o, progress.get()) && lossy) LossyAnimation(a, lossy, progress.get());
               EndProgress(progress);
               return int{kExitOk};
             });
}

int RunReverse(const std::vector<std::string>& raw) {
  return Run("reverse", raw, {}, {}, true, [](const Args&, Animation& a) {
    ReverseAnimation(a);
    return int{kExitOk};
  });
}

int RunSpeed(const std::vector<std::string>& raw) {
  return Run("speed", raw, {"--factor"}, {}, false, [](const Args& args, Animation& a) {
    auto text = args.Value("--factor");
    auto factor = text ? ParseNumber(*text, 0.01, 100) : std::nullopt;
    if (!factor) return UsageError("speed", "--factor takes a number from 0.01 to 100 (2 = twice as fast)");
    const SpeedResult r = ChangeSpeed(a, *factor);
    if (r.fastFrames)
      std::fprintf(stderr,
                   "loopwright-cli: notice: %d frame(s) have a delay under 2 hundredths; most browsers show "
                   "them for 10 hundredths instead\n",
                   r.fastFrames);
    return int{kExitOk};
  });
}

int RunDropFrames(const std::vector<std::string>& raw) {
  return Run("drop-frames", raw, {"--every", "--fps"}, {}, true, [](const Args& args, Animation& a) {
    auto every = args.Value("--every");
    auto fps = args.Value("--fps");
    if (!!every == !!fps) return UsageError("drop-frames", "give --every N or --fps F");
    if (every) {
      auto n = ParseInt(*every, 2, 0x7FFFFFFF);
      if (!n) return UsageError("drop-frames", "--every takes a whole number of 2 or more");
      DropEveryNthFrame(a, static_cast<int>(*n));
    } else {
      auto f = ParseNumber(*fps, 0.1, 100);
      if (!f) return UsageError("drop-frames", "--fps takes a frame rate from 0.1 to 100");
      DropToFrameRate(a, *f);
    }
    return int{kExitOk};
  });
}

int RunCropScreen(const std::vector<std::string>& raw) {
  return Run("crop-screen", raw, {"--rect"}, {}, false, [](const Args& args, Animation& a) {
    auto text = args.Value("--rect");
    const size_t comma2 = text ? text->find(',', text->find(',') + 1) : std::string::npos;
    auto xy = comma2 != std::string::npos ? ParsePair(text->substr(0, comma2), ',', 0, 65535) : std::nullopt;
    auto wh = comma2 != std::string::npos ? ParsePair(text->substr(comma2 + 1), 'x', 1, 65535) : std::nullopt;
    if (!xy || !wh) return UsageError("crop-screen", "--rect takes X,Y,WxH");
    CropScreen(a, static_cast<int32_t>(xy->first), static_cast<int32_t>(xy->second),
               static_cast<int32_t>(wh->first), static_cast<int32_t>(wh->second));
    return int{kExitOk};
  });
}

int RunDedupe(const std::vector<std::string>& raw) {
  return Run("dedupe", raw, {}, {}, true, [](const Args&, Animation& a) {
    const int before = a.frameCount, errors = TheHooks().errorCount;
    RemoveDuplicateFrames(a);
    // After a refusal, the message alone.
    if (TheHooks().errorCount == errors)
      std::fprintf(stderr, "loopwright-cli: %d repeated frame(s) removed\n", before - a.frameCount);
    return int{kExitOk};
  });
}

}  // namespace

LW_CLI_COMMAND("resize",
               "IN -o OUT --scale PERCENT | --size WxH [--filter nearest|lanczos] [--dither|--no-dither] "
               "[--lossy[=N]]",
               "resize every frame (a 0 side in WxH keeps the proportions); lanczos filters in linear light; "
               "--lossy then lets pixels move up to N colour steps where that compresses better, as optimize "
               "does",
               RunResize);
LW_CLI_COMMAND("reverse", "IN -o OUT", "play the frames in the opposite order", RunReverse);
LW_CLI_COMMAND("speed", "IN -o OUT --factor F", "divide every delay by F (2 = twice as fast)", RunSpeed);
LW_CLI_COMMAND("drop-frames", "IN -o OUT --every N | --fps F",
               "remove every Nth frame, or frames beyond F per second; the running time stays",
               RunDropFrames);
LW_CLI_COMMAND("crop-screen", "IN -o OUT --rect X,Y,WxH", "cut the screen and every frame to the rectangle",
               RunCropScreen);
LW_CLI_COMMAND("dedupe", "IN -o OUT", "remove frames that repeat the picture before them, adding up delays",
               RunDedupe);

}  // namespace lw::cli
