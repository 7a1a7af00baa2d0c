#include "io/bmp_import.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "color/dib.h"
#include "color/true_color.h"
#include "io/bmp_os2.h"
#include "model/limits.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

constexpr size_t kFileHeaderSize = 14;

// The largest file worth reading: the biggest picture the engine holds at 32 bits per pixel, with room for
// the headers, a full colour table and row padding.
uint64_t MaxBmpFileSize() {
  return Limits().maxFramePixels * 4 + (uint64_t{1} << 20);
}

}  // namespace

int ReadBmpMemory(const uint8_t* data, size_t size, AnimationPtr* out, const Palette* targetPalette,
                  PaletteChoice highColorChoice) {
  if (out) out->reset();
  // The file header's size field is not trusted (the data is what there is); its pixel-data offset is used
  // when it points past the colour table into the data.
  if (!data || size < kFileHeaderSize + 4) {
    ShowError("%s", DibErrorMessage(DibError::kDamaged).c_str());
    return 0;
  }
  uint32_t offBits = static_cast<uint32_t>(data[10]) | static_cast<uint32_t>(data[11]) << 8 |
                     static_cast<uint32_t>(data[12]) << 16 | static_cast<uint32_t>(data[13]) << 24;
  size_t pixelOffset = offBits > kFileHeaderSize ? offBits - kFileHeaderSize : 0;
  const uint8_t* dib = data + kFileHeaderSize;
  size_t dibSize = size - kFileHeaderSize;
  // An OS/2 bitmap is read as the Windows one it is rewritten into.
  std::vector<uint8_t> rewritten;
  DibError error = DibError::kNone;
  switch (ConvertOs2Dib(dib, dibSize, &pixelOffset, &rewritten, &error)) {
    case Os2Dib::kRefused:
      ShowError("%s", DibErrorMessage(error).c_str());
      return 0;
    case Os2Dib::kConverted:
      dib = rewritten.data();
      dibSize = rewritten.size();
      break;
    case Os2Dib::kNotOs2:
      break;
  }
  AnimationPtr animation =
      ConvertDibToAnimation(nullptr, dib, dibSize, targetPalette, pixelOffset, highColorChoice);
  if (!animation) return 0;
  if (out) *out = std::move(animation);
  return 1;
}

int ReadBmpFile(const std::string& path, AnimationPtr* out, const Palette* targetPalette) {
  return ReadBmpFile(path, out, targetPalette, 0);
}

int ReadBmpFile(const std::string& path, AnimationPtr* out, const Palette* targetPalette,
                PaletteChoice highColorChoice) {
  if (out) out->reset();
  std::error_code ec;
  std::unique_ptr<FILE, int (*)(FILE*)> file(
      std::filesystem::is_regular_file(path, ec) ? std::fopen(path.c_str(), "rb") : nullptr, &std::fclose);
  if (!file) {
    ShowError("Unable to open file '%s'.", path.c_str());
    return 0;
  }
  // The actual length of the file, bounded, decides how much is read.
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return 0;
  long length = std::ftell(file.get());
  if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return 0;
  if (static_cast<uint64_t>(length) > MaxBmpFileSize()) {
    ShowError("%s", DibErrorMessage(DibError::kTooLarge).c_str());
    return 0;
  }
  std::vector<uint8_t> data;
  try {
    data.resize(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    ShowError("Insufficient memory for reading this BMP/DIB file");
    return 0;
  }
  if (!data.empty() && std::fread(data.data(), 1, data.size(), file.get()) != data.size()) return 0;
  file.reset();
  return ReadBmpMemory(data.data(), data.size(), out, targetPalette, highColorChoice);
}

}  // namespace lw
