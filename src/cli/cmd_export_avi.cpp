// export-avi: a GIF written as an AVI movie of 8-bit key frames, RLE8-compressed unless --uncompressed.
#include "cli/cli.h"
#include "cli/cli_gif_read.h"
#include "io/avi_export.h"

namespace lw::cli {
namespace {

int RunExportAvi(const std::vector<std::string>& raw) {
  Args args(raw, {"-o"});
  if (!args.ok()) return UsageError("export-avi", args.error());
  if (auto unknown = args.Unknown({"-o", "--rle8", "--uncompressed", "--allow-partial"}); !unknown.empty())
    return UsageError("export-avi", "unknown option " + unknown[0]);
  if (args.positional().size() != 1) return UsageError("export-avi", "give one GIF to export");
  auto out = args.Value("-o");
  if (!out) return UsageError("export-avi", "give the AVI to write with -o");
  if (args.Flag("--rle8") && args.Flag("--uncompressed"))
    return UsageError("export-avi", "--rle8 and --uncompressed exclude each other");
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], args.Flag("--allow-partial"), &a); r != kExitOk) return r;
  AviCompression compression = args.Flag("--uncompressed") ? kAviUncompressed : kAviRle8;
  return ExportAviFile(*out, *a, compression) ? kExitOk : kExitFailed;
}

}  // namespace

LW_CLI_COMMAND("export-avi", "IN.gif -o OUT.avi [--rle8 | --uncompressed] [--allow-partial]",
               "write the animation as an AVI movie of 8-bit key frames (RLE8 unless --uncompressed)",
               RunExportAvi);

}  // namespace lw::cli
