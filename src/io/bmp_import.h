// BMP and DIB files open as a new one-frame Animation named "[Unnamed]".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "color/palette_choice.h"
#include "model/animation.h"

namespace lw {

// Reads the file and converts its picture (full-colour pictures by the high-colour choice, mapped for the
// target palette when that choice asks for it). 1 and the Animation, or 0 after a message.
int ReadBmpFile(const std::string& path, AnimationPtr* out, const Palette* targetPalette);
// The same with the high-colour choice given (0: ask for it as usual).
int ReadBmpFile(const std::string& path, AnimationPtr* out, const Palette* targetPalette,
                PaletteChoice highColorChoice);

// The same for a whole file already in memory (file header included).
int ReadBmpMemory(const uint8_t* data, size_t size, AnimationPtr* out, const Palette* targetPalette,
                  PaletteChoice highColorChoice = 0);

}  // namespace lw
