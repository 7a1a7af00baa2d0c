// export: an animation written as an animated PNG, an animated WebP (lossless unless --quality is given)
// or a movie (MP4 with H.264, WebM with VP9), the format taken from the output's extension; each frame
// keeps its own delay.
#include <string>

#include "cli/cli.h"
#include "cli/cli_gif_read.h"
#include "io/picture_export.h"

namespace lw::cli {
namespace {

int RunExport(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--quality"});
  if (!args.ok()) return UsageError("export", args.error());
  if (auto unknown = args.Unknown({"-o", "--quality", "--lossless", "--allow-partial"}); !unknown.empty())
    return UsageError("export", "unknown option " + unknown[0]);
  if (args.positional().size() != 1) return UsageError("export", "give one animation to export");
  auto out = args.Value("-o");
  if (!out) return UsageError("export", "give the file to write with -o");
  std::optional<MovieFormat> format = MovieFormatForName(*out);
  if (!format) return UsageError("export", "the output must end in .apng, .webp, .mp4 or .webm");
  PictureExportOptions options;
  if (auto quality = args.Value("--quality")) {
    auto q = ParseInt(*quality, 0, 100);
    if (!q) return UsageError("export", "--quality is 0 to 100");
    if (args.Flag("--lossless")) return UsageError("export", "--lossless and --quality exclude each other");
    options.lossless = false;
    options.quality = static_cast<int>(*q);
  }
  if ((args.Flag("--lossless") || args.Value("--quality")) && *format != MovieFormat::kWebp)
    return UsageError("export", "--lossless and --quality are for WebP");
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], args.Flag("--allow-partial"), &a); r != kExitOk) return r;
  return ExportPictures(*out, *a, *format, options) == 1 ? kExitOk : kExitFailed;
}

}  // namespace

LW_CLI_COMMAND("export",
               "IN -o OUT.apng|OUT.webp|OUT.mp4|OUT.webm [--lossless | --quality Q] [--allow-partial]",
               "write an animated PNG, an animated WebP (lossless, or lossy at quality Q 0-100) or a movie "
               "(H.264 MP4, VP9 WebM), every frame composed and shown for its own delay",
               RunExport);

}  // namespace lw::cli
