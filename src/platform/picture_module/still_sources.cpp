// PNG stills through libpng and JPEG through libjpeg-turbo, both brought to 8-bit RGBA. Both libraries
// report errors by a long jump, so each decode runs in a function that holds no object with a destructor
// between the jump and its target.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/picture_module/module_parts.h"

extern "C" {
#include <jpeglib.h>
#include <png.h>
}

namespace lw::pictures {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// ---- PNG ----

struct PngJump {
  std::jmp_buf jump;
  char message[200] = {};
};

void PngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngJump*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message ? message : "damaged");
  std::longjmp(state->jump, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// 1 decoded, 0 failed (message in state), -1 beyond the limits. rows receives the pixels.
int DecodePng(FILE* file, const PictureLimits& limits, PngJump* state, std::vector<uint8_t>* rgba,
              std::vector<png_bytep>* rows, png_uint_32* width, png_uint_32* height) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    std::snprintf(state->message, sizeof state->message, "out of memory");
    return 0;
  }
  if (setjmp(state->jump)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return 0;
  }
  png_set_user_limits(png, 32767, 32767);
  png_set_chunk_malloc_max(png, 64u << 20);
  png_init_io(png, file);
  png_read_info(png, info);
  *width = png_get_image_width(png, info);
  *height = png_get_image_height(png, info);
  if (!CanvasWithin(*width, *height, limits)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return -1;
  }
  // Every colour type and depth to 8-bit RGBA: palettes and tRNS expand to exact colours and alpha,
  // 16-bit channels are scaled (rounded) to 8 bits, grey becomes RGB, and opaque types get alpha 255.
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t stride = static_cast<size_t>(*width) * 4;
  if (png_get_rowbytes(png, info) != stride) png_error(png, "unexpected row layout");
  bool allocated = true;
  try {
    rgba->resize(stride * *height);
    rows->resize(*height);
  } catch (const std::bad_alloc&) {
    allocated = false;
  }
  if (!allocated) png_error(png, "out of memory");
  for (png_uint_32 y = 0; y < *height; ++y) (*rows)[y] = rgba->data() + stride * y;
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return 1;
}

// ---- JPEG ----

struct JpegJump {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = {};
};

void JpegError(j_common_ptr cinfo) {
  auto* state = reinterpret_cast<JpegJump*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, state->message);
  std::longjmp(state->jump, 1);
}
void JpegMessage(j_common_ptr, int) {}
[[noreturn]] void JpegFail(JpegJump* state, const char* text) {
  std::snprintf(state->message, sizeof state->message, "%s", text);
  std::longjmp(state->jump, 1);
}

int DecodeJpeg(FILE* file, const PictureLimits& limits, JpegJump* state, std::vector<uint8_t>* rgba,
               std::vector<uint8_t>* exif, uint32_t* width, uint32_t* height) {
  jpeg_decompress_struct cinfo{};
  cinfo.err = jpeg_std_error(&state->manager);
  state->manager.error_exit = JpegError;
  state->manager.emit_message = JpegMessage;
  if (setjmp(state->jump)) {
    jpeg_destroy_decompress(&cinfo);
    return 0;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&cinfo, TRUE);
  *width = cinfo.image_width;
  *height = cinfo.image_height;
  if (!CanvasWithin(*width, *height, limits)) {
    jpeg_destroy_decompress(&cinfo);
    return -1;
  }
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
      try {
        exif->assign(m->data + 6, m->data + m->data_length);
      } catch (const std::bad_alloc&) {
        exif->clear();
      }
      break;
    }
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_width != *width || cinfo.output_height != *height || cinfo.output_components != 4)
    JpegFail(state, "unexpected output layout");
  const size_t stride = static_cast<size_t>(*width) * 4;
  bool allocated = true;
  try {
    rgba->resize(stride * *height);
  } catch (const std::bad_alloc&) {
    allocated = false;
  }
  if (!allocated) JpegFail(state, "out of memory");
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = rgba->data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  if (cmyk) {
    // Adobe's CMYK JPEGs store the inks inverted: each channel times the inverted black gives RGB.
    for (size_t i = 0; i < rgba->size(); i += 4) {
      uint8_t* p = rgba->data() + i;
      const unsigned k = p[3];
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * k + 127) / 255);
      p[3] = 0xFF;
    }
  }
  return 1;
}

}  // namespace

std::unique_ptr<PictureSource> OpenPng(const std::string& path, const PictureLimits& limits,
                                       std::string* error) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    *error = "cannot be opened";
    return nullptr;
  }
  PngJump state;
  std::vector<uint8_t> rgba;
  std::vector<png_bytep> rows;
  png_uint_32 width = 0, height = 0;
  int r = DecodePng(file.get(), limits, &state, &rgba, &rows, &width, &height);
  if (r < 0) *error = "picture too large";
  if (r == 0) *error = state.message;
  if (r <= 0) return nullptr;
  PictureInfo info;
  info.format = PictureFormat::kPng;
  info.width = static_cast<int32_t>(width);
  info.height = static_cast<int32_t>(height);
  info.frameCount = 1;
  return std::make_unique<StillSource>(std::move(info), std::move(rgba));
}

std::unique_ptr<PictureSource> OpenJpeg(const std::string& path, const PictureLimits& limits,
                                        std::string* error) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    *error = "cannot be opened";
    return nullptr;
  }
  JpegJump state;
  std::vector<uint8_t> rgba;
  PictureInfo info;
  uint32_t width = 0, height = 0;
  int r = DecodeJpeg(file.get(), limits, &state, &rgba, &info.exif, &width, &height);
  if (r < 0) *error = "picture too large";
  if (r == 0) *error = state.message;
  if (r <= 0) return nullptr;
  info.format = PictureFormat::kJpeg;
  info.width = static_cast<int32_t>(width);
  info.height = static_cast<int32_t>(height);
  info.frameCount = 1;
  return std::make_unique<StillSource>(std::move(info), std::move(rgba));
}

}  // namespace lw::pictures
