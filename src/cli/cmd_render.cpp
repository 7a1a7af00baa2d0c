// render: every frame composed as a web browser shows it, written as RGBA images (PNG or PAM).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_gif_read.h"
#include "model/limits.h"

#if LW_HAVE_PNG
#include <png.h>
#endif

namespace lw::cli {
namespace {

struct Canvas {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // transparent black at first
};

// Draws the frame's opaque pixels over the canvas (what falls outside the canvas is left out).
void DrawOver(Canvas& c, const Frame& f) {
  const Palette* palette = f.palette ? f.palette : &DefaultPalette();
  bool transparent = IsTransparent(f);
  for (int y = 0; y < f.height; ++y) {
    int cy = f.top + y;
    if (cy < 0 || cy >= c.height) continue;
    const uint8_t* row = f.Row(y);
    for (int x = 0; x < f.width; ++x) {
      int cx = f.left + x;
      if (cx < 0 || cx >= c.width) continue;
      uint8_t index = row[x];
      if (transparent && index == f.transparentIndex) continue;
      // An index beyond the palette shows as black, as browsers show it.
      PaletteEntry e = index < palette->Count() ? (*palette)[index] : PaletteEntry{};
      uint8_t* p =
          &c.rgba[(static_cast<size_t>(cy) * static_cast<size_t>(c.width) + static_cast<size_t>(cx)) * 4];
      p[0] = e.red;
      p[1] = e.green;
      p[2] = e.blue;
      p[3] = 255;
    }
  }
}

void ClearRect(Canvas& c, const Frame& f) {
  for (int y = std::max(f.top, 0); y < std::min(f.top + f.height, c.height); ++y) {
    int x0 = std::max(f.left, 0), x1 = std::min(f.left + f.width, c.width);
    if (x1 > x0)
      std::memset(
          &c.rgba[(static_cast<size_t>(y) * static_cast<size_t>(c.width) + static_cast<size_t>(x0)) * 4], 0,
          static_cast<size_t>(x1 - x0) * 4);
  }
}

bool WritePam(const std::string& path, const Canvas& c) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  std::fprintf(out, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", c.width,
               c.height);
  bool ok = std::fwrite(c.rgba.data(), 1, c.rgba.size(), out) == c.rgba.size();
  return std::fclose(out) == 0 && ok;
}

#if LW_HAVE_PNG
bool WritePng(const std::string& path, const Canvas& c) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (info && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(c.width), static_cast<png_uint_32>(c.height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < c.height; ++y)
      png_write_row(png, &c.rgba[static_cast<size_t>(y) * static_cast<size_t>(c.width) * 4]);
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(out) == 0 && ok;
}
#endif

int RunRender(const std::vector<std::string>& raw) {
  Args args(raw, {"--out", "--format"});
  if (!args.ok()) return UsageError("render", args.error());
  if (auto unknown = args.Unknown({"--out", "--format", "--allow-partial"}); !unknown.empty())
    return UsageError("render", "unknown option " + unknown[0]);
  if (args.positional().size() != 1) return UsageError("render", "give one file");
  auto outDir = args.Value("--out");
  if (!outDir || outDir->empty()) return UsageError("render", "--out DIR is needed");
  std::string format = args.Value("--format")
                           .value_or(
#if LW_HAVE_PNG
                               "png"
#else
                               "pam"
#endif
                           );
  if (format != "png" && format != "pam") return UsageError("render", "--format is png or pam");
#if !LW_HAVE_PNG
  if (format == "png") {
    std::fprintf(stderr, "loopwright-cli: this build has no PNG support; use --format pam\n");
    return kExitFailed;
  }
#endif
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], args.Flag("--allow-partial"), &a); r != kExitOk) return r;

  Canvas canvas;
  canvas.width = a->screenWidth;
  canvas.height = a->screenHeight;
  if (canvas.width <= 0 || canvas.height <= 0 ||
      static_cast<uint64_t>(canvas.width) * static_cast<uint64_t>(canvas.height) > Limits().maxFramePixels) {
    std::fprintf(stderr, "loopwright-cli: the logical screen (%d x %d) cannot be rendered\n", canvas.width,
                 canvas.height);
    return kExitFailed;
  }
  canvas.rgba.assign(static_cast<size_t>(canvas.width) * static_cast<size_t>(canvas.height) * 4, 0);
  std::error_code ec;
  std::filesystem::create_directories(*outDir, ec);
  int index = 0;
  const Frame* previous = nullptr;
  std::vector<uint8_t> saved;  // the canvas before the previous frame, for disposal 3
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    if (previous) {
      int disposal = GetDisposal(*previous);
      if (disposal == 2) ClearRect(canvas, *previous);
      if (disposal == 3) canvas.rgba = saved;
    }
    if (GetDisposal(*f) == 3) saved = canvas.rgba;
    DrawOver(canvas, *f);
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04d.%s", ++index, format.c_str());
    std::string path = (std::filesystem::path(*outDir) / name).string();
    bool ok =
#if LW_HAVE_PNG
        format == "png" ? WritePng(path, canvas) :
#endif
                        WritePam(path, canvas);
    if (!ok) {
      std::fprintf(stderr, "loopwright-cli: unable to write %s\n", path.c_str());
      return kExitFailed;
    }
    previous = f;
  }
  std::printf("%d frames written to %s\n", index, outDir->c_str());
  return kExitOk;
}

}  // namespace

LW_CLI_COMMAND("render", "IN --out DIR [--format png|pam] [--allow-partial]",
               "write every frame composed as a web browser shows it, one RGBA image per frame", RunRender);

}  // namespace lw::cli
