// import: a BMP/DIB picture or a movie (AVI, MP4, WebM, MKV, MOV…) made into a new GIF, mapped down to
// 256 colours the way the editor's import does; the high-colour question is answered by the flags; long
// movies can be cut to a window and resampled.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>

#include "cli/cli.h"
#include "cli/cli_save.h"
#include "color/palette_choice.h"
#include "gif/gif_writer.h"
#include "io/avi_import.h"
#include "io/bmp_import.h"
#include "io/clip_import.h"
#include "io/files.h"
#include "io/picture_import.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"

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
    } else if (p == "adaptive" || p.rfind("adaptive:", 0) == 0 || p == "best" || p.rfind("best:", 0) == 0) {
      const bool best = p[0] == 'b';
      const size_t prefix = best ? 5 : 9;
      int bits = 8;
      if (p.size() > prefix) {
        auto n = ParseInt(p.substr(prefix), 1, 8);
        if (!n) {
          *error = "adaptive palettes have 1 to 8 bits (2 to 256 colours)";
          return std::nullopt;
        }
        bits = static_cast<int>(*n);
      }
      choice = ChoiceWithBits((base & kChoiceDither) | kChoiceAdaptive | (best ? kChoiceBest : 0), bits);
    } else if (p == "global") {
      if (!args.Value("--onto")) {
        *error = "--palette global maps onto the global palette of the GIF given with --onto";
        return std::nullopt;
      }
      choice = (base & kChoiceDither) | kChoiceGlobalOnly;
    } else {
      *error = "unknown palette '" + p + "' (adaptive[:BITS], best[:BITS], webcube, global)";
      return std::nullopt;
    }
  }
  if (dither) choice |= kChoiceDither;
  if (noDither) choice &= ~kChoiceDither;
  return choice;
}

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
  for (const char* movie : {"avi", "mp4", "m4v", "mov", "mkv", "webm", "gifv", "mpg", "ogv"})
    if (ext == movie) return true;
  return false;
}

// A movie's frames written to the file as the clip encoder makes them, so that the GIF of a long full-HD
// movie is never held whole in memory. The target changes only once the whole file is written.
class StreamedGif : public ClipFrameOutput {
 public:
  explicit StreamedGif(const std::string& path) : path_(path), file_(path) {}
  bool Begin(Animation& header) override {
    if (!file_.Open()) return false;
    writer_.emplace(file_.Sink());
    return Check(writer_->Begin(header));
  }
  bool Take(const Animation& header, const Frame& frame) override {
    return Check(writer_->WriteFrame(header, frame));
  }
  bool Begun() const { return writer_.has_value(); }
  int Finish() { return Check(writer_->End()) ? file_.Commit() : 0; }

 private:
  bool Check(bool ok) {
    if (!ok && !reported_) ShowError("Error saving to '%s'.", path_.c_str());
    reported_ = reported_ || !ok;
    return ok;
  }
  std::string path_;
  SafeGifFile file_;
  std::optional<GifStreamWriter> writer_;
  bool reported_ = false;
};

int RunImport(const std::vector<std::string>& raw) {
  const std::vector<std::string> valued = {"-o",         "--output", "--palette", "--onto",  "--start",
                                           "--duration", "--fps",    "--quality", "--width", "--height"};
  Args args(raw, valued);
  if (!args.ok()) return UsageError("import", args.error());
  std::vector<std::string> known = valued;
  known.insert(known.end(), {"--dither", "--no-dither", "--allow-partial"});
  if (auto unknown = args.Unknown(known); !unknown.empty())
    return UsageError("import", "unknown option " + unknown[0]);
  std::optional<std::string> out = args.Value("-o");
  if (!out) out = args.Value("--output");
  const std::vector<std::string>& inputs = args.positional();
  if (inputs.empty() || !out) return UsageError("import", "give a picture and -o OUT.gif");
  bool allPictures = true;
  for (const std::string& in : inputs) allPictures = allPictures && IsPictureFileName(in);
  if (inputs.size() > 1 && !allPictures)
    return UsageError("import", "several inputs must all be pictures (PNG, APNG, JPEG, WebP)");
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
  const std::string& in = args.positional()[0];
  const Palette* target = onto ? onto->globalPalette.get() : nullptr;
  AnimationPtr a;
  int r;
  if (allPictures) {
    // Without a palette flag, an animation goes through the clip encoder as a movie does.
    PictureImportOptions options;
    options.highColorChoice = choice.value_or(0);
    options.clipQuality = !choice && !onto ? kDefaultClipQuality : 0;
    for (const char* name : {"--start", "--duration", "--fps", "--width", "--height"})
      if (args.Value(name)) return UsageError("import", std::string(name) + " is for movies");
    if (auto v = args.Value("--quality")) {
      auto parsed = ParseInt(*v, 1, 100);
      if (!options.clipQuality)
        return UsageError("import", "--quality goes with the default import of an animation (no --palette)");
      if (!parsed) return UsageError("import", "--quality needs a whole number from 1 to 100");
      options.clipQuality = static_cast<int>(*parsed);
    }
    r = ImportPictures(inputs, &a, target, options);
  } else if (IsMovieName(in)) {
    AviImportOptions options;
    options.highColorChoice = choice.value_or(0);
    for (auto [name, field, lo] : {std::tuple{"--start", &options.limit.start, 0.0},
                                   std::tuple{"--duration", &options.limit.duration, 0.001},
                                   std::tuple{"--fps", &options.limit.fps, 0.01}}) {
      if (auto v = args.Value(name)) {
        auto parsed = ParseSeconds(*v, lo, name == std::string("--fps") ? 1000.0 : 1e7);
        if (!parsed) return UsageError("import", std::string(name) + " needs a positive number");
        *field = *parsed;
      }
    }
    // Without a palette flag, movies go through the clip encoder.
    const bool clip = !choice && !onto;
    ClipImportOptions clipOptions;
    clipOptions.limit = options.limit;
    for (auto [name, field, lo, hi] : {std::tuple{"--quality", &clipOptions.settings.quality, 1, 100},
                                       std::tuple{"--width", &clipOptions.limit.width, 1, 16384},
                                       std::tuple{"--height", &clipOptions.limit.height, 1, 16384}}) {
      if (auto v = args.Value(name)) {
        if (!clip)
          return UsageError("import",
                            std::string(name) + " goes with the default movie import (no --palette)");
        auto parsed = ParseInt(*v, lo, hi);
        if (!parsed)
          return UsageError("import", std::string(name) + " needs a whole number from " + std::to_string(lo) +
                                          " to " + std::to_string(hi));
        *field = static_cast<int>(*parsed);
      }
    }
    StreamedGif streamed(*out);
    clipOptions.output = &streamed;
    r = clip ? ImportClip(in, &a, clipOptions) : ImportAvi(in, &a, target, options);
    if (streamed.Begun() && r != 2) return r == 1 && streamed.Finish() == 1 ? kExitOk : kExitFailed;
  } else {
    r = ReadBmpFile(in, &a, target, choice.value_or(0));
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
    "IN.bmp|IN.avi|IN.mp4|IN.png|IN.jpg|IN.webp... [MORE.png...] -o OUT.gif [--palette "
    "adaptive[:BITS]|best[:BITS]|webcube|global --onto GIF] "
    "[--dither|--no-dither] [--start S] [--duration S] [--fps F] [--quality 1..100] [--width W] [--height H] "
    "[--allow-partial]",
    "make a GIF from a BMP/DIB picture, a movie (AVI, MP4, WebM, MKV, MOV...), or pictures (PNG, APNG, "
    "JPEG, WebP; several = frames in the order given); full-colour pictures: the "
    "flags answer the high-colour question, without them the stored preference (or its default with a "
    "notice); movies can be cut to a window and resampled; without --palette a movie or an animated picture "
    "(APNG, animated WebP, several pictures) gets one palette "
    "across the clip, still areas kept still and frames trimmed to what changed, as small as --quality "
    "(default 90) allows, scaled first with --width/--height",
    RunImport);

}  // namespace lw::cli
