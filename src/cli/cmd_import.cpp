// import: a BMP/DIB picture or a movie (AVI, MP4, WebM, MKV, MOV…) made into a new GIF, as the editor's
// open does; full-colour pictures take the palette named by --palette; long movies can be cut to a window.
#include <cctype>
#include <cstdlib>

#include "cli/cli.h"
#include "cli/cli_save.h"
#include "io/avi_import.h"
#include "io/bmp_import.h"
#include "io/files.h"

namespace lw::cli {
namespace {

std::optional<double> ParseSeconds(const std::string& text, double lo, double hi) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (!end || *end != '\0' || !(v >= lo && v <= hi)) return std::nullopt;
  return v;
}

bool IsMovieName(const std::string& path) {
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* movie : {"avi", "mp4", "m4v", "mov", "mkv", "webm", "webp", "gifv", "mpg", "ogv"})
    if (ext == movie) return true;
  return false;
}

int RunImport(const std::vector<std::string>& raw) {
  const std::vector<std::string> valued = {"-o", "--palette", "--colors", "--start", "--duration", "--fps"};
  Args args(raw, valued);
  if (!args.ok()) return UsageError("import", args.error());
  std::vector<std::string> known = valued;
  known.insert(known.end(), {"--dither", "--no-dither", "--allow-partial"});
  if (auto unknown = args.Unknown(known); !unknown.empty())
    return UsageError("import", "unknown option " + unknown[0]);
  if (args.positional().size() != 1) return UsageError("import", "give one file to import");
  auto out = args.Value("-o");
  if (!out) return UsageError("import", "give the GIF to write with -o");
  if (args.Flag("--dither") && args.Flag("--no-dither"))
    return UsageError("import", "--dither and --no-dither exclude each other");

  // The high-colour choice: adaptive (256 colours, or --colors), the web cube, or the global palette of
  // nothing (which falls back to adaptive); dithered unless --no-dither.
  int bits = 8;
  if (auto colors = args.Value("--colors")) {
    auto n = ParseInt(*colors, 2, 256);
    if (!n || (*n & (*n - 1)) != 0)
      return UsageError("import", "--colors must be a power of two from 2 to 256");
    bits = 1;
    while ((1 << bits) < *n) ++bits;
  }
  PaletteChoice choice = ChoiceWithBits(kChoiceAdaptive, bits);
  if (auto palette = args.Value("--palette")) {
    if (*palette == "webcube")
      choice = kChoiceWebCube;
    else if (*palette != "adaptive")
      return UsageError("import", "--palette must be adaptive or webcube");
  }
  if (!args.Flag("--no-dither")) choice |= kChoiceDither;

  AviImportOptions options;
  options.highColorChoice = choice;
  for (auto [name, field, lo] : {std::tuple{"--start", &options.limit.start, 0.0},
                                 std::tuple{"--duration", &options.limit.duration, 0.001},
                                 std::tuple{"--fps", &options.limit.fps, 0.01}}) {
    if (auto v = args.Value(name)) {
      auto parsed = ParseSeconds(*v, lo, name == std::string("--fps") ? 1000.0 : 1e7);
      if (!parsed) return UsageError("import", std::string(name) + " needs a positive number");
      *field = *parsed;
    }
  }

  const std::string& in = args.positional()[0];
  AnimationPtr a;
  int r;
  if (IsMovieName(in)) {
    r = ImportAvi(in, &a, nullptr, options);
  } else {
    TheHooks().paletteConflictAnswer = choice;
    r = ReadAnyFile(in, &a, nullptr);
  }
  if (r == 0 || !a) return kExitFailed;
  if (r == 2 && !args.Flag("--allow-partial")) {
    std::fprintf(stderr, "loopwright-cli: the import was cut short (use --allow-partial to keep it)\n");
    return kExitFailed;
  }
  return SaveForCommand(*out, *a);
}

}  // namespace

LW_CLI_COMMAND(
    "import",
    "IN.bmp|IN.avi|IN.mp4... -o OUT.gif [--palette adaptive|webcube] [--colors N] "
    "[--dither|--no-dither] [--start S] [--duration S] [--fps F] [--allow-partial]",
    "make a GIF from a BMP/DIB picture or a movie (AVI, MP4, WebM, MKV, MOV...); movies can be cut "
    "to a window and resampled",
    RunImport);

}  // namespace lw::cli
