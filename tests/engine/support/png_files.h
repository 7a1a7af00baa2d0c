// Writing PNG files for the picture tests through libpng: full RGBA pictures, and palette pictures with a
// transparency chunk (the colour type whose exact colours and alpha the importer must keep).
#pragma once

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

namespace lw::test {

struct RgbaPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  uint8_t* At(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
  const uint8_t* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// colorType: PNG_COLOR_TYPE_RGBA (8 or 16 bits), or PNG_COLOR_TYPE_PALETTE with palette/alphas given and
// indices in `indices`.
inline bool WritePngFile(const std::string& path, int width, int height, int colorType, int bitDepth,
                         const std::vector<uint8_t>& rows, const std::vector<png_color>& palette = {},
                         const std::vector<uint8_t>& alphas = {}) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth,
                 colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
      png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
      if (!alphas.empty()) png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    }
    png_write_info(png, info);
    const size_t stride = rows.size() / static_cast<size_t>(height);
    for (int y = 0; y < height; ++y) png_write_row(png, &rows[stride * static_cast<size_t>(y)]);
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(out) == 0 && ok;
}

inline bool WriteRgbaPng(const std::string& path, const RgbaPicture& p) {
  return WritePngFile(path, p.width, p.height, PNG_COLOR_TYPE_RGBA, 8, p.rgba);
}

}  // namespace lw::test
