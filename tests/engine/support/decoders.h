// The pictures a GIF file shows, as several decoders compose them: giflib's decode composed in the test
// (the way browsers compose, or the way Pillow and ImageMagick read the cases browsers read otherwise), our
// own reader with the browser-style composer, and Pillow and ImageMagick themselves where installed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "io/files.h"
#include "optimize/pictures.h"
#include "platform/recording_ui_hooks.h"

#if LW_HAVE_GIFLIB
#include <gif_lib.h>
#endif

namespace lw::test {

// Every frame composed on the screen, 0xAABBGGRR, every transparent pixel 0.
struct ComposedGif {
  int width = 0, height = 0;
  std::vector<std::vector<uint32_t>> frames;
  bool operator==(const ComposedGif&) const = default;
};

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Our reader and the composer the editor checks its pictures with. Nothing when the file is not read whole.
inline std::optional<ComposedGif> ComposeWithOurReader(const std::string& path) {
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  AnimationPtr a;
  if (ReadAnyFile(path, &a, nullptr) != 1 || !a) return std::nullopt;
  ComposedGif out{a->screenWidth, a->screenHeight, {}};
  PictureComposer composer(a->screenWidth, a->screenHeight);
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f)) out.frames.push_back(composer.Show(*f));
  return out;
}

#if LW_HAVE_GIFLIB
// How the cases that decoders disagree on are read, when the frame involved has no transparent index.
enum class Reading {
  kBrowser,     // uncovered screen, "restore to background" and a first "restore to previous": transparent
  kBackground,  // the same three in the background colour (as Pillow and ImageMagick show one or another)
};

inline std::optional<ComposedGif> ComposeWithGiflib(const std::string& path, Reading reading) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return std::nullopt;
  struct Closer {
    GifFileType* g;
    ~Closer() {
      int e = 0;
      DGifCloseFile(g, &e);
    }
  } closer{gif};
  if (DGifSlurp(gif) != GIF_OK) return std::nullopt;
  const int W = gif->SWidth, H = gif->SHeight;
  auto rgba = [](const GifColorType& c) {
    return 0xFF000000u | uint32_t{c.Blue} << 16 | uint32_t{c.Green} << 8 | c.Red;
  };
  uint32_t background = 0;
  if (reading == Reading::kBackground && gif->SColorMap && gif->SBackGroundColor < gif->SColorMap->ColorCount)
    background = rgba(gif->SColorMap->Colors[gif->SBackGroundColor]);
  ComposedGif out{W, H, {}};
  std::vector<uint32_t> canvas(static_cast<size_t>(W) * static_cast<size_t>(H), 0), saved;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    DGifSavedExtensionToGCB(gif, i, &gcb);
    const GifImageDesc& d = image.ImageDesc;
    const bool transparent = gcb.TransparentColor != NO_TRANSPARENT_COLOR;
    // Which screen positions the frame covers, clipped.
    const int x0 = std::max(d.Left, 0), x1 = std::min(d.Left + d.Width, W);
    const int y0 = std::max(d.Top, 0), y1 = std::min(d.Top + d.Height, H);
    auto fill = [&](uint32_t v) {
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) canvas[static_cast<size_t>(y) * W + x] = v;
    };
    if (i == 0 && !transparent) {
      std::fill(canvas.begin(), canvas.end(), background);
    }
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) saved = canvas;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const int p = image.RasterBits[static_cast<size_t>(y - d.Top) * d.Width + (x - d.Left)];
        if (transparent && p == gcb.TransparentColor) continue;
        const GifColorType black{0, 0, 0};
        canvas[static_cast<size_t>(y) * W + x] = rgba(map && p < map->ColorCount ? map->Colors[p] : black);
      }
    out.frames.push_back(canvas);
    if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
      fill(transparent ? 0 : background);
    } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
      if (i == 0 && !transparent)
        fill(background);
      else
        canvas.swap(saved);
    }
  }
  return out;
}
#endif

// Runs a command, giving what it printed on standard output; nothing when it failed.
inline std::optional<std::string> RunAndRead(const std::string& command) {
  FILE* p = popen(command.c_str(), "r");
  if (!p) return std::nullopt;
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  return pclose(p) == 0 ? std::optional<std::string>(out) : std::nullopt;
}

// Frames of raw RGBA bytes, each w × h, into pictures.
inline ComposedGif FromRgbaBytes(int w, int h, const std::string& bytes) {
  ComposedGif out{w, h, {}};
  const size_t frame = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
  for (size_t at = 0; frame && at + frame <= bytes.size(); at += frame) {
    std::vector<uint32_t> pixels(frame / 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
      const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at + 4 * i);
      pixels[i] = p[3] == 0 ? 0 : uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | 0xFF000000u;
    }
    out.frames.push_back(std::move(pixels));
  }
  return out;
}

// Pillow, when the system's Python has it.
inline bool HavePillow() {
  static const bool have = RunAndRead("/usr/bin/python3 -c 'import PIL' 2>/dev/null").has_value();
  return have;
}

inline std::optional<ComposedGif> ComposeWithPillow(const std::string& path) {
  const std::string script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n"
      "sys.stdout.write('%d %d\\n' % im.size)\nsys.stdout.flush()\n"
      "for i in range(getattr(im, 'n_frames', 1)):\n"
      "    im.seek(i)\n    sys.stdout.buffer.write(im.convert('RGBA').tobytes())\n";
  auto out = RunAndRead("/usr/bin/python3 -c \"" + script + "\" '" + path + "' 2>/dev/null");
  if (!out) return std::nullopt;
  int w = 0, h = 0;
  const size_t eol = out->find('\n');
  if (eol == std::string::npos || std::sscanf(out->c_str(), "%d %d", &w, &h) != 2) return std::nullopt;
  return FromRgbaBytes(w, h, out->substr(eol + 1));
}

// ImageMagick, when installed (its own convert, not another program of that name).
inline bool HaveImageMagick() {
  static const bool have = [] {
    auto v = RunAndRead("/usr/bin/convert -version 2>/dev/null");
    return v && v->find("Version: ImageMagick") != std::string::npos;
  }();
  return have;
}

inline std::optional<ComposedGif> ComposeWithImageMagick(const std::string& path, int w, int h) {
  auto out = RunAndRead("/usr/bin/convert '" + path + "' -coalesce -depth 8 rgba:- 2>/dev/null");
  if (!out) return std::nullopt;
  return FromRgbaBytes(w, h, *out);
}

}  // namespace lw::test
