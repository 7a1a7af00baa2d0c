// optimize: make the saved file smaller with the optimizer's techniques, or with --best the stronger
// rebuild; unoptimize: every frame back to a full picture of the screen.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "cli/cli.h"
#include "cli/cli_edit.h"
#include "cli/cli_gif_read.h"
#include "cli/cli_save.h"
#include "gif/gif_write_form.h"
#include "gif/gif_writer.h"
#include "io/files.h"
#include "optimize/best.h"
#include "optimize/lossy.h"
#include "optimize/optimizer.h"
#include "optimize/unoptimize.h"

namespace lw::cli {
namespace {

std::string Bytes(uint64_t n) {
  return FormatThousands(n) + " bytes";
}

int RunOptimize(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--max-size"});
  if (!args.ok()) return UsageError("optimize", args.error());
  const std::vector<std::string> techniques = {"--shrink-palettes", "--remove-local-palettes",
                                               "--shrink-frames", "--transparency", "--remove-frames"};
  std::vector<std::string> known = techniques;
  known.insert(known.end(), {"-o", "--best", "--quiet", "--lossy", "--max-size", "--clip", "--no-clip"});
  if (auto unknown = args.Unknown(known); !unknown.empty())
    return UsageError("optimize", "unknown option " + unknown[0]);
  if (args.positional().size() != 1) return UsageError("optimize", "give one file to optimize");
  auto out = args.Value("-o");
  if (!out || out->empty()) return UsageError("optimize", "-o OUT is needed");
  bool anyTechnique = false;
  for (const std::string& t : techniques) anyTechnique |= args.Flag(t);
  if (args.Flag("--best") && anyTechnique)
    return UsageError("optimize", "--best uses every technique; it takes no technique flags");
  const std::string how = args.Value("--remove-local-palettes").value_or("");
  if (!how.empty() && how != "clean" && how != "map")
    return UsageError("optimize", "--remove-local-palettes takes clean or map");

  const int lossy = LossyFlag(args);
  if (lossy < 0) return UsageError("optimize", "--lossy takes a colour error of 0 to 255");
  std::optional<long long> maxSize;
  if (auto text = args.Value("--max-size")) {
    maxSize = ParseInt(*text, 1, 0xFFFFFFFELL);
    if (!maxSize) return UsageError("optimize", "--max-size takes a number of bytes");
    if (lossy) return UsageError("optimize", "--max-size finds the lossy level itself; leave out --lossy");
  }
  if (!TakeClipFlags(args, "optimize")) return kExitUsage;

  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  // Both ways compose the screen, which drops what lies outside it: the question comes first, as for a save.
  bool clipped = false;
  for (const Frame* f = FirstFrame(*a); f && !clipped; f = NextFrame(f))
    clipped = FrameNeedsClipping(*f, a->screenWidth, a->screenHeight);
  if (int r = ClipBeforeCommand(*a); r != kExitOk) return r;
  std::error_code ec;
  const uint64_t before = std::filesystem::file_size(args.positional()[0], ec);
  const auto start = std::chrono::steady_clock::now();
  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  bool keepInput = false;
  if (args.Flag("--best")) {
    // When nothing beats the file as it is, the file itself is the smallest result.
    // The file's own bytes only when they show what the animation holds in every decoder.
    keepInput = !OptimizeAnimationBest(*a, progress.get()) && ProgressContinues(progress.get()) && !clipped &&
                DecodersAgree(*a);
  } else {
    OptimizeOptions options = 0;
    if (!anyTechnique) {
      options = kShrinkPalettes | kRemoveLocalPalettes | kShrinkFrames | kDuplicatesToTransparency |
                kRemoveUnneededFrames;
    } else {
      if (args.Flag("--shrink-palettes")) options |= kShrinkPalettes;
      if (args.Flag("--remove-local-palettes"))
        options |= kRemoveLocalPalettes | (how == "map" ? OptimizeOptions{kMapToGlobal} : 0u);
      // The two frame sub-techniques act inside the frame pass, so they bring it along.
      if (args.Flag("--shrink-frames")) options |= kShrinkFrames;
      if (args.Flag("--transparency")) options |= kShrinkFrames | kDuplicatesToTransparency;
      if (args.Flag("--remove-frames")) options |= kShrinkFrames | kRemoveUnneededFrames;
    }
    OptimizeAnimation(*a, options, progress.get());
  }
  // The loss comes after the lossless techniques: it works on the frames as they will be written.
  FitResult fit;
  if (ProgressContinues(progress.get()) && (lossy || maxSize)) {
    keepInput = false;
    if (maxSize)
      fit = FitToSize(a, static_cast<uint32_t>(*maxSize), progress.get());
    else
      LossyAnimation(*a, lossy, progress.get());
  }
  const bool stopped = !ProgressContinues(progress.get());
  EndProgress(progress);
  if (stopped) {
    std::fprintf(stderr, "loopwright-cli: stopped; %s was not written\n", out->c_str());
    return kExitFailed;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (maxSize && !fit.fits) {
    std::fprintf(
        stderr,
        "loopwright-cli: cannot fit under %s: the smallest reached is %s (lossy %d, %d colours); %s was "
        "not written\n",
        Bytes(static_cast<uint64_t>(*maxSize)).c_str(), Bytes(fit.size).c_str(), fit.level, 1 << fit.bits,
        out->c_str());
    return kExitFailed;
  }
  if (keepInput) {
    if (!CopyFileForEdit(args.positional()[0], *out)) return kExitFailed;
  } else if (int r = SaveForCommand(*out, *a); r != kExitOk) {
    return r;
  }
  if (!args.Flag("--quiet")) {
    const uint64_t after = std::filesystem::file_size(*out, ec);
    std::printf("%s -> %s", Bytes(before).c_str(), Bytes(after).c_str());
    if (after < before)
      std::printf(" (saved %s, %.1f%%)", Bytes(before - after).c_str(), 100.0 * (before - after) / before);
    std::printf(", %d frames, %.3f s\n", a->frameCount, seconds);
    if (maxSize)
      std::printf("fits under %s with lossy %d and %d colours, mean PSNR %.2f dB\n",
                  Bytes(static_cast<uint64_t>(*maxSize)).c_str(), fit.level, 1 << fit.bits, fit.psnr);
  }
  return kExitOk;
}

int RunUnoptimize(const std::vector<std::string>& raw) {
  Args args(raw, {"-o"});
  if (!args.ok()) return UsageError("unoptimize", args.error());
  if (auto unknown = args.Unknown({"-o", "--clip", "--no-clip"}); !unknown.empty())
    return UsageError("unoptimize", "unknown option " + unknown[0]);
  auto out = args.Value("-o");
  if (args.positional().size() != 1 || !out || out->empty())
    return UsageError("unoptimize", "give one file and -o OUT");
  if (!TakeClipFlags(args, "unoptimize")) return kExitUsage;
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  if (int r = ClipBeforeCommand(*a); r != kExitOk) return r;
  if (!UnoptimizeAnimation(*a)) return kExitFailed;
  return SaveForCommand(*out, *a);
}

}  // namespace

LW_CLI_COMMAND(
    "optimize",
    "IN -o OUT [--shrink-palettes] [--remove-local-palettes[=clean|map]] [--shrink-frames] "
    "[--transparency] [--remove-frames] [--best] [--lossy[=N] | --max-size BYTES] [--clip | --no-clip] "
    "[--quiet]",
    "make the file smaller; with no technique flags every technique is used (local palettes go only "
    "where they merge cleanly; =map maps them all, which may change colours); --best encodes the "
    "animation afresh and keeps the smallest result, the file itself when nothing beats it (the "
    "pictures stay the same); --lossy lets each pixel take a colour up to N (default 20) away where that "
    "compresses better; --max-size finds the least loss (lossy level, then fewer colours) that fits",
    RunOptimize);

LW_CLI_COMMAND("unoptimize", "IN -o OUT [--clip | --no-clip]",
               "make every frame a full picture of the screen, transparent where nothing is shown",
               RunUnoptimize);

}  // namespace lw::cli
