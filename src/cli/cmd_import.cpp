// import: a BMP/DIB picture becomes a one-frame GIF, mapped down to 256 colours the way the editor's
// import does; the high-colour question is answered by the flags.
#include <cstdio>
#include <optional>
#include <string>

#include "cli/cli.h"
#include "cli/cli_save.h"
#include "color/palette_choice.h"
#include "io/bmp_import.h"
#include "io/files.h"
#include "model/preferences.h"

namespace lw::cli {
namespace {

// The choice the flags make, filled in from the stored preference (or, where that says "always ask",
// from what the question preselects). Nothing when no flag says anything about the mapping.
std::optional<PaletteChoice> ChoiceFromFlags(const Args& args, std::string* error) {
  std::optional<std::string> palette = args.Value("--palette");
  bool dither = args.Flag("--dither"), noDither = args.Flag("--no-dither");
  if (!palette && !dither && !noDither) return std::nullopt;
  PaletteChoice base = GetPreference(kPrefHighColor);
  if (base & kChoiceAlwaysAsk)
    base = PaletteConflictPreselection(kConflictHighColor | kChoiceAdaptive | kChoiceWebCube);
  // A stored "current global palette" needs --onto; without it the adaptive palette stands in.
  if (!(base & (kChoiceAdaptive | kChoiceWebCube)) && !((base & kChoiceGlobalOnly) && args.Value("--onto")))
    base = (base & kChoiceDither) | kChoiceAdaptive | 8u << 16;
  PaletteChoice choice = base;
  if (palette) {
    const std::string& p = *palette;
    if (p == "webcube") {
      choice = (base & kChoiceDither) | kChoiceWebCube;
    } else if (p == "adaptive" || p.rfind("adaptive:", 0) == 0) {
      int bits = 8;
      if (p.size() > 9) {
        auto n = ParseInt(p.substr(9), 1, 8);
        if (!n) {
          *error = "adaptive palettes have 1 to 8 bits (2 to 256 colours)";
          return std::nullopt;
        }
        bits = static_cast<int>(*n);
      }
      choice = ChoiceWithBits((base & kChoiceDither) | kChoiceAdaptive, bits);
    } else if (p == "global") {
      if (!args.Value("--onto")) {
        *error = "--palette global maps onto the global palette of the GIF given with --onto";
        return std::nullopt;
      }
      choice = (base & kChoiceDither) | kChoiceGlobalOnly;
    } else {
      *error = "unknown palette '" + p + "' (adaptive[:BITS], webcube, global)";
      return std::nullopt;
    }
  }
  if (dither) choice |= kChoiceDither;
  if (noDither) choice &= ~kChoiceDither;
  return choice;
}

int RunImport(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--output", "--palette", "--onto"});
  if (!args.ok()) return UsageError("import", args.error());
  if (auto unknown = args.Unknown({"-o", "--output", "--palette", "--onto", "--dither", "--no-dither"});
      !unknown.empty())
    return UsageError("import", "unknown option " + unknown[0]);
  std::optional<std::string> out = args.Value("-o");
  if (!out) out = args.Value("--output");
  if (args.positional().size() != 1 || !out) return UsageError("import", "give one picture and -o OUT.gif");
  if (args.Flag("--dither") && args.Flag("--no-dither"))
    return UsageError("import", "--dither and --no-dither exclude each other");
  std::string error;
  std::optional<PaletteChoice> choice = ChoiceFromFlags(args, &error);
  if (!error.empty()) return UsageError("import", error);

  // The palette of another animation, as the editor offers the open document's palette.
  AnimationPtr onto;
  if (auto path = args.Value("--onto")) {
    if (ReadAnyFile(*path, &onto, nullptr) == 0) return kExitFailed;
    if (!onto->globalPalette) {
      std::fprintf(stderr, "loopwright-cli: %s has no global palette\n", path->c_str());
      return kExitFailed;
    }
  }
  AnimationPtr a;
  if (ReadBmpFile(args.positional()[0], &a, onto ? onto->globalPalette.get() : nullptr, choice.value_or(0)) !=
      1)
    return kExitFailed;
  return SaveForCommand(*out, *a);
}

}  // namespace

LW_CLI_COMMAND(
    "import",
    "IN.bmp -o OUT.gif [--palette adaptive[:BITS]|webcube|global --onto GIF] [--dither|--no-dither]",
    "turn a BMP/DIB picture into a one-frame GIF (full-colour pictures: the flags answer the "
    "high-colour question; without them the stored preference, or its default with a notice)",
    RunImport);

}  // namespace lw::cli
