// Reading GIF files (87a and 89a) into an Animation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/animation.h"
#include "platform/progress.h"

namespace lw {

// True when the data starts with "GIF87a" or "GIF89a".
bool CheckGifSignature(const uint8_t* data, size_t size);

// Reads a whole GIF file held in memory (signature included; it is not checked here). Gives 0 when
// nothing could be read (no Animation), 1 when the whole file was read, 2 when only part of it was read
// or the user stopped the read (the partial Animation is given back). Problems are reported through
// ShowError as they are found.
int ReadGif(const uint8_t* data, size_t size, AnimationPtr* out, ProgressRecord* progress);

// Files of at least this many bytes have their images decoded on several threads after their structure is
// read (the default: 256 KiB with more than one processor, otherwise never). Tests and the fuzz target set
// it to compare both ways of reading on the same bytes; gives the previous value.
size_t SetParallelReadThreshold(size_t bytes);
constexpr size_t kDefaultParallelReadThreshold = 0;  // stands for the default above

// Names the frames that have no name yet after the file: the file name alone for a one-frame animation,
// else "<name> - Frame <n>" with n counting every frame from 1.
void SetDefaultFrameNames(Animation& a, const std::string& fileName);

}  // namespace lw
