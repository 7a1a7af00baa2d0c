#include "model/palette.h"

namespace lw {

std::unique_ptr<Palette> Palette::FromRgb(const uint8_t* rgb, int count) {
  if (count < 1 || count > 256 || !rgb) return nullptr;
  std::vector<PaletteEntry> entries(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    entries[static_cast<size_t>(i)] = {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 0};
  }
  return std::make_unique<Palette>(std::move(entries));
}

int Palette::NearestIndex(uint8_t red, uint8_t green, uint8_t blue) const {
  int best = 0;
  int bestDistance = 0x30000;
  for (int i = 0; i < Count(); ++i) {
    const PaletteEntry& e = entries_[static_cast<size_t>(i)];
    int dr = e.red - red, dg = e.green - green, db = e.blue - blue;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

PalettePtr CopyPalette(const Palette* palette) {
  return palette ? std::make_unique<Palette>(*palette) : nullptr;
}

const Palette& DefaultPalette() {
  static const Palette stock(std::vector<PaletteEntry>{
      {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
      {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
      {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
      {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}});
  return stock;
}

}  // namespace lw
