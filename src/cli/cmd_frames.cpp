// Frame order and palettes: insert, delete, move, remove-local-palette, reduce.
#include <cstdio>

#include "cli/cli.h"
#include "cli/cli_gif_read.h"
#include "cli/cli_save.h"
#include "color/palette_ops.h"
#include "color/reduce_palettes.h"
#include "edit/frame_insert.h"
#include "io/files.h"
#include "model/preferences.h"
#include "platform/progress.h"

namespace lw::cli {
namespace {

// Reads the one input of a command; frames are numbered from 1 on the command line, as `info` lists them.
std::optional<int> FrameNumber(const Args& args, const char* command, const Animation& a) {
  auto text = args.Value("--frame");
  if (!text) return std::nullopt;
  auto n = ParseInt(*text, 1, a.frameCount);
  if (!n) {
    UsageError(command, "--frame must be 1 to " + std::to_string(a.frameCount));
    return std::nullopt;
  }
  return static_cast<int>(*n) - 1;
}

// The palette-conflict flags: --palette names the choice and --dither/--no-dither its dithering; they
// override the stored preference for this run.
bool ApplyPaletteFlags(const Args& args, const char* command) {
  uint32_t choice = GetPreference(kPrefPaletteConflict);
  if (auto palette = args.Value("--palette")) {
    if (*palette == "merge")
      choice = kChoiceMerge;
    else if (*palette == "global")
      choice = kChoiceGlobalOnly;
    else if (*palette == "webcube")
      choice = kChoiceWebCubeAll;
    else if (*palette == "local")
      choice = kChoiceImagePalette;
    else
      return UsageError(command, "--palette must be merge, global, webcube or local"), false;
    choice |= kChoiceDither;
  }
  if (args.Flag("--dither")) choice |= kChoiceDither;
  if (args.Flag("--no-dither")) choice &= ~kChoiceDither;
  if (args.Value("--palette") || args.Flag("--dither") || args.Flag("--no-dither")) {
    if (choice & kChoiceAlwaysAsk) {
      // Keep asking (a removal may refuse the stored choice), but answer with the flags' choice.
      TheHooks().paletteConflictAnswer = choice & ~kChoiceAlwaysAsk;
    }
    OverridePreference(kPrefPaletteConflict, choice);
  }
  return true;
}

int Finish(const std::string& out, Animation& a) {
  return SaveForCommand(out, a);
}

int RunInsert(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--at", "--palette", "--size"});
  if (!args.ok()) return UsageError("insert", args.error());
  if (auto u =
          args.Unknown({"-o", "--at", "--palette", "--size", "--dither", "--no-dither", "--allow-partial"});
      !u.empty())
    return UsageError("insert", "unknown option " + u[0]);
  auto out = args.Value("-o");
  if (!out || args.positional().size() < 2)
    return UsageError("insert", "give the target, the sources and -o OUT");
  if (!ApplyPaletteFlags(args, "insert")) return kExitUsage;
  if (auto size = args.Value("--size")) {
    if (*size != "clip" && *size != "grow") return UsageError("insert", "--size must be clip or grow");
    OverridePreference(kPrefSizeConflict, *size == "clip" ? 2 : 3);
  }
  AnimationPtr target;
  if (int r = ReadForCommand(args.positional()[0], args.Flag("--allow-partial"), &target); r != kExitOk)
    return r;
  int position = -1;
  if (auto at = args.Value("--at")) {
    auto n = ParseInt(*at, 1, target->frameCount + 1);
    if (!n) return UsageError("insert", "--at must be 1 to " + std::to_string(target->frameCount + 1));
    position = static_cast<int>(*n) - 1;
  }
  for (size_t i = 1; i < args.positional().size(); ++i) {
    AnimationPtr source;
    int r = ReadAnyFile(args.positional()[i], &source, target->globalPalette.get());
    if (r == 0) return kExitFailed;
    if (r == 2 && !args.Flag("--allow-partial")) {
      std::fprintf(stderr, "loopwright-cli: only part of %s was read (use --allow-partial to insert it)\n",
                   args.positional()[i].c_str());
      return kExitFailed;
    }
    int added = source->frameCount;
    if (!InsertAnimation(*target, source, position, kConflictInsert)) {
      std::fprintf(stderr, "loopwright-cli: %s was not inserted\n", args.positional()[i].c_str());
      return kExitFailed;
    }
    if (position >= 0) position += added;  // the next file's frames follow this file's
  }
  return Finish(*out, *target);
}

int RunDelete(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--frame"});
  if (!args.ok() || args.positional().size() != 1 || !args.Value("-o") || !args.Value("--frame"))
    return UsageError("delete", args.ok() ? "give IN, -o OUT and --frame N" : args.error());
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  auto frame = FrameNumber(args, "delete", *a);
  if (!frame) return kExitUsage;
  DeleteFrame(*a, *frame);
  return Finish(*args.Value("-o"), *a);
}

int RunMove(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--frame", "--to"});
  if (!args.ok() || args.positional().size() != 1 || !args.Value("-o") || !args.Value("--frame") ||
      !args.Value("--to"))
    return UsageError("move", args.ok() ? "give IN, -o OUT, --frame N and --to POS" : args.error());
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  auto frame = FrameNumber(args, "move", *a);
  if (!frame) return kExitUsage;
  auto to = ParseInt(*args.Value("--to"), 1, a->frameCount);
  if (!to) return UsageError("move", "--to must be 1 to " + std::to_string(a->frameCount));
  // --to is the number the frame has afterwards; the engine takes the insertion position.
  int wanted = static_cast<int>(*to) - 1;
  MoveFrame(*a, wanted < *frame ? wanted : wanted + 1, *frame);
  return Finish(*args.Value("-o"), *a);
}

int RunRemoveLocal(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--frame", "--palette"});
  if (!args.ok()) return UsageError("remove-local-palette", args.error());
  if (args.positional().size() != 1 || !args.Value("-o") ||
      (args.Value("--frame").has_value() == args.Flag("--all")))
    return UsageError("remove-local-palette", "give IN, -o OUT and --frame N or --all");
  if (!ApplyPaletteFlags(args, "remove-local-palette")) return kExitUsage;
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  std::vector<Frame*> frames;
  if (args.Flag("--all")) {
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f))
      if (f->localPalette) frames.push_back(f);
  } else {
    auto frame = FrameNumber(args, "remove-local-palette", *a);
    if (!frame) return kExitUsage;
    frames.push_back(NthFrame(*a, *frame));
    if (!frames.back()->localPalette) {
      std::fprintf(stderr, "loopwright-cli: frame %d has no local palette\n", *frame + 1);
      return kExitFailed;
    }
  }
  for (Frame* f : frames)
    if (!RemoveLocalPalette(*a, *f)) return kExitFailed;
  return Finish(*args.Value("-o"), *a);
}

int RunReduce(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--bits"});
  if (!args.ok() || args.positional().size() != 1 || !args.Value("-o") || !args.Value("--bits"))
    return UsageError("reduce", args.ok() ? "give IN, -o OUT and --bits 3..7" : args.error());
  auto bits = ParseInt(*args.Value("--bits"), 3, 7);
  if (!bits) return UsageError("reduce", "--bits must be 3 to 7");
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  bool ok = ReducePalettes(*a, static_cast<int>(*bits), !args.Flag("--no-dither"), progress.get());
  EndProgress(progress);
  if (!ok) return kExitFailed;
  return Finish(*args.Value("-o"), *a);
}

}  // namespace

LW_CLI_COMMAND(
    "insert",
    "TARGET SOURCE... -o OUT [--at N] [--palette merge|global|webcube|local] [--dither|--no-dither] "
    "[--size clip|grow]",
    "insert the frames of other files (GIF, BMP, ...) before frame N (default: at the end)", RunInsert);
LW_CLI_COMMAND("delete", "IN -o OUT --frame N", "delete frame N (numbered from 1)", RunDelete);
LW_CLI_COMMAND("move", "IN -o OUT --frame N --to POS", "move frame N so that it becomes frame POS", RunMove);
LW_CLI_COMMAND("remove-local-palette", "IN -o OUT --frame N|--all [--palette ...] [--dither|--no-dither]",
               "move frames from their local palettes onto the global palette without changing their look",
               RunRemoveLocal);
LW_CLI_COMMAND("reduce", "IN -o OUT --bits 3..7 [--no-dither]",
               "reduce every palette to at most 2^bits colours (dithered unless --no-dither)", RunReduce);

}  // namespace lw::cli
