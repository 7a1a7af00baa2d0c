// Reading and writing whole files: the open path that picks a reader by the file's extension, saving a
// GIF without ever leaving a half-written target, and the digit grouping of byte counts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "gif/gif_sink.h"
#include "model/animation.h"

namespace lw {

// Reads any supported file into a new Animation: 0 failure (already reported), 1 complete, 2 cut short
// (the Animation is given back). Unnamed frames are named after the file and the global colour use is
// counted. targetPalette is the open document's global palette (or null), for importers that map onto it.
int ReadAnyFile(const std::string& path, AnimationPtr* out, const Palette* targetPalette);

// Saves the Animation as a GIF file: written to a temporary file beside the target, flushed, then renamed
// over it, so the target is either the old file or the whole new one. 1 saved, 0 failed (reported),
// 2 stopped by the user (silent).
int WriteGifFile(const std::string& path, Animation& a);

// The file WriteGifFile writes through, for writers that make a GIF piece by piece: Open makes the
// temporary file beside the target, Sink takes the bytes, Commit flushes it and renames it over the
// target. Without a Commit the temporary file is removed and the target stays as it was. Open and Commit
// report their failures (false, 0).
class SafeGifFile {
 public:
  explicit SafeGifFile(std::string path);
  ~SafeGifFile();
  SafeGifFile(const SafeGifFile&) = delete;
  SafeGifFile& operator=(const SafeGifFile&) = delete;
  bool Open();
  GifSink& Sink();
  int Commit();

 private:
  struct State;
  std::string path_;
  std::unique_ptr<State> s_;
};

// A byte count with its digits grouped by three with the locale's thousands separator ("," when it has
// none): 1234567 -> "1,234,567".
std::string FormatThousands(uint64_t n);
// The same with a given separator.
std::string FormatThousands(uint64_t n, const std::string& separator);

}  // namespace lw
