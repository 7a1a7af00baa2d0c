// render: every frame composed as a web browser shows it, written as RGBA images (PNG or PAM).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cli/cli.h"
#include "cli/cli_gif_read.h"
#include "model/limits.h"
#include "optimize/pictures.h"

#if LW_HAVE_PNG
#include <png.h>
#endif

namespace lw::cli {
namespace {

struct Canvas {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // red, green, blue, alpha per pixel
};

// The composer's picture as RGBA bytes.
void Fill(Canvas& c, const std::vector<RgbaPixel>& picture) {
  for (size_t i = 0; i < picture.size(); ++i) {
    const RgbaPixel p = picture[i];
    c.rgba[4 * i] = static_cast<uint8_t>(p);
    c.rgba[4 * i + 1] = static_cast<uint8_t>(p >> 8);
    c.rgba[4 * i + 2] = static_cast<uint8_t>(p >> 16);
    c.rgba[4 * i + 3] = static_cast<uint8_t>(p >> 24);
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
  PictureComposer composer(canvas.width, canvas.height);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) {
    Fill(canvas, composer.Show(*f));
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
  }
  std::printf("%d frames written to %s\n", index, outDir->c_str());
  return kExitOk;
}

}  // namespace

LW_CLI_COMMAND("render", "IN --out DIR [--format png|pam] [--allow-partial]",
               "write every frame composed as a web browser shows it, one RGBA image per frame", RunRender);

}  // namespace lw::cli
