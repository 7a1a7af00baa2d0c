// info: what a file holds - screen, loop count, frames, extension blocks, colour use and saved size.
#include <cstdio>
#include <string>

#include "cli/cli.h"
#include "cli/cli_gif_read.h"
#include "gif/gif_writer.h"
#include "io/files.h"

namespace lw::cli {
namespace {

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      // Bytes of other character sets are shown as Latin-1 characters, so the output stays valid JSON.
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Printable text of a block's data (comments), with other bytes escaped.
std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// The first sub-block of an application extension: its identifier and authentication code.
std::string ApplicationId(const ExtensionBlock& e) {
  const auto& s = e.subBlocks;
  if (s.empty() || s[0] == 0 || s.size() < 1u + s[0]) return {};
  return std::string(s.begin() + 1, s.begin() + 1 + s[0]);
}

int PaletteSize(const Palette* p) {
  return p ? p->Count() : 0;
}

void PrintJson(const Animation& a, uint32_t fileSize, int colorsUsed) {
  std::printf("{\n  \"screenWidth\": %d,\n  \"screenHeight\": %d,\n  \"loopCount\": %u,\n", a.screenWidth,
              a.screenHeight, a.loopCount);
  std::printf("  \"backgroundIndex\": %u,\n  \"aspectByte\": %u,\n  \"screenFlags\": %u,\n",
              a.backgroundIndex, a.aspectByte, a.screenFlags);
  std::printf("  \"globalPaletteSize\": %d,\n", PaletteSize(a.globalPalette.get()));
  if (fileSize == kUnknownFileSize)
    std::printf("  \"fileSize\": null,\n");
  else
    std::printf("  \"fileSize\": %u,\n", fileSize);
  std::printf("  \"colorsUsed\": %d,\n  \"frames\": [", colorsUsed);
  bool first = true;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    std::printf(
        "%s\n    {\"left\": %d, \"top\": %d, \"width\": %d, \"height\": %d, \"delay\": %u, \"disposal\": %d, "
        "\"transparent\": %s, \"transparentIndex\": %u, \"interlaced\": %s, \"userInput\": %s, "
        "\"localPaletteSize\": %d, \"name\": %s}",
        first ? "" : ",", f->left, f->top, f->width, f->height, f->delay, GetDisposal(*f),
        IsTransparent(*f) ? "true" : "false", f->transparentIndex, IsInterlaced(*f) ? "true" : "false",
        GetUserInput(*f) ? "true" : "false", PaletteSize(f->localPalette.get()),
        JsonString(GetFrameName(*f)).c_str());
    first = false;
  }
  std::printf("%s],\n  \"blocks\": [", first ? "" : "\n  ");
  first = true;
  int framesBefore = 0;
  for (const GifBlock* b = a.head->next; b; b = b->next) {
    if (b->kind == kImageBlock) {
      ++framesBefore;
      continue;
    }
    const ExtensionBlock* e = AsExtension(b);
    if (!e) continue;
    std::printf("%s\n    {\"kind\": \"%s\", \"afterFrames\": %d", first ? "" : ",", BlockKindName(e->kind),
                framesBefore);
    if (e->kind == kCommentBlock) std::printf(", \"text\": %s", JsonString(GetCommentText(*e)).c_str());
    if (e->kind == kApplicationBlock) std::printf(", \"id\": %s", JsonString(ApplicationId(*e)).c_str());
    std::printf("}");
    first = false;
  }
  std::printf("%s]\n}\n", first ? "" : "\n  ");
}

void PrintText(const Animation& a, uint32_t fileSize, int colorsUsed) {
  std::printf("Screen: %d x %d, flags 0x%02x (global table %s, colour resolution %d bits, sorted %s)\n",
              a.screenWidth, a.screenHeight, a.screenFlags, a.globalPalette ? "yes" : "no",
              ((a.screenFlags >> 4) & 7) + 1, (a.screenFlags & 8) ? "yes" : "no");
  std::printf("Global palette: %d colours, %d in use; background index %u; aspect byte %u\n",
              PaletteSize(a.globalPalette.get()), colorsUsed, a.backgroundIndex, a.aspectByte);
  if (a.loopCount == 1)
    std::printf("Loop count: 1 (no looping block)\n");
  else if (a.loopCount == 0)
    std::printf("Loop count: 0 (for ever)\n");
  else
    std::printf("Loop count: %u\n", a.loopCount);
  std::printf("Frames: %d\n", a.frameCount);
  int index = 0;
  for (const GifBlock* b = a.head->next; b; b = b->next) {
    if (const Frame* f = AsFrame(b)) {
      std::printf("  #%d at (%d, %d) %d x %d, delay %u, disposal %d", ++index, f->left, f->top, f->width,
                  f->height, f->delay, GetDisposal(*f));
      if (IsTransparent(*f)) std::printf(", transparent %u", f->transparentIndex);
      if (IsInterlaced(*f)) std::printf(", interlaced");
      if (GetUserInput(*f)) std::printf(", user input");
      if (f->localPalette) std::printf(", local palette %d", f->localPalette->Count());
      std::printf(", \"%s\"\n", GetFrameName(*f).c_str());
    } else if (const ExtensionBlock* e = AsExtension(b)) {
      if (e->kind == kCommentBlock)
        std::printf("  comment: \"%s\"\n", Printable(GetCommentText(*e)).c_str());
      else if (e->kind == kApplicationBlock)
        std::printf("  application extension \"%s\" (%zu bytes)\n", Printable(ApplicationId(*e)).c_str(),
                    e->subBlocks.size());
      else
        std::printf("  %s extension (%zu bytes)\n", BlockKindName(e->kind), e->subBlocks.size());
    }
  }
  if (a.globalPalette) {
    std::printf("Colour use (global palette index: pixels):");
    int shown = 0;
    for (int i = 0; i < 256; ++i) {
      if (!a.colorUse[static_cast<size_t>(i)]) continue;
      std::printf("%s %d: %u", shown++ % 8 ? "," : "\n ", i, a.colorUse[static_cast<size_t>(i)]);
    }
    std::printf("\n");
  }
  if (fileSize == kUnknownFileSize)
    std::printf("File Size: unknown\n");
  else
    std::printf("File Size: %s bytes\n", FormatThousands(fileSize).c_str());
}

int RunInfo(const std::vector<std::string>& raw) {
  Args args(raw, {});
  if (!args.ok()) return UsageError("info", args.error());
  if (auto unknown = args.Unknown({"--json", "--allow-partial"}); !unknown.empty())
    return UsageError("info", "unknown option " + unknown[0]);
  if (args.positional().size() != 1) return UsageError("info", "give one file");
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], args.Flag("--allow-partial"), &a); r != kExitOk) return r;
  // The size the file has when saved, as the editor's status bar shows it.
  uint32_t fileSize = ComputeFileSize(*a, true, nullptr);
  int colorsUsed = 0;
  for (uint32_t n : a->colorUse) colorsUsed += n ? 1 : 0;
  if (args.Flag("--json"))
    PrintJson(*a, fileSize, colorsUsed);
  else
    PrintText(*a, fileSize, colorsUsed);
  return kExitOk;
}

}  // namespace

LW_CLI_COMMAND("info", "FILE [--json] [--allow-partial]",
               "show what a file holds: screen, loop count, frames, extension blocks, colour use, saved size",
               RunInfo);

}  // namespace lw::cli
