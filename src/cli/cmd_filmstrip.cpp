// filmstrip: every frame side by side in one still GIF.
#include <cstdio>

#include "cli/cli.h"
#include "cli/cli_edit.h"
#include "cli/cli_gif_read.h"
#include "cli/cli_save.h"
#include "io/filmstrip.h"

namespace lw::cli {
namespace {

int RunFilmstrip(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--per-strip"});
  if (!args.ok()) return UsageError("filmstrip", args.error());
  if (auto unknown = args.Unknown({"-o", "--per-strip", "--horizontal", "--vertical"}); !unknown.empty())
    return UsageError("filmstrip", "unknown option " + unknown[0]);
  auto out = args.Value("-o");
  if (args.positional().size() != 1 || !out || out->empty())
    return UsageError("filmstrip", "give one file and -o OUT");
  if (args.Flag("--horizontal") && args.Flag("--vertical"))
    return UsageError("filmstrip", "choose one of --horizontal and --vertical");
  auto perText = args.Value("--per-strip");
  if (!perText) return UsageError("filmstrip", "--per-strip N is needed");
  auto per = ParseInt(*perText, 1, 65535);
  if (!per) return UsageError("filmstrip", "--per-strip takes 1 to 65535 frames");
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  FilmstripOrientation o = args.Flag("--horizontal") ? FilmstripOrientation::kHorizontal
                           : args.Flag("--vertical") ? FilmstripOrientation::kVertical
                                                     : DefaultFilmstripOrientation(*a);
  // More frames per strip than there are frames: the dialog's field would show the frame count.
  int32_t perStrip = static_cast<int32_t>(std::min<long long>(*per, std::max(a->frameCount, 1)));
  int result = ExportFilmstrip(*out, *a, perStrip, o);
  if (result == 1) {
    FilmstripLayout l = ComputeFilmstripLayout(*a, perStrip, o);
    std::printf("%d strip(s), %lldx%lld pixels\n", l.strips, static_cast<long long>(l.width),
                static_cast<long long>(l.height));
  }
  return result == 1 ? kExitOk : kExitFailed;
}

}  // namespace

LW_CLI_COMMAND(
    "filmstrip", "IN -o OUT --per-strip N [--horizontal|--vertical]",
    "write every frame side by side as one still GIF (horizontal: strips run left to right, stacked "
    "down; the default is horizontal for a screen higher than wide)",
    RunFilmstrip);

}  // namespace lw::cli
