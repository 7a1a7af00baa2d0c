// Where the GIF writer puts its bytes: a file, memory, or just a count (the saved-size computation).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lw {

class GifSink {
 public:
  virtual ~GifSink() = default;
  // Appends the bytes; false when they could not be written (the writer then gives 0).
  virtual bool Write(const uint8_t* data, size_t size) = 0;
  bool WriteByte(uint8_t b) { return Write(&b, 1); }
};

// Collects the file in memory.
class MemorySink : public GifSink {
 public:
  bool Write(const uint8_t* data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  std::vector<uint8_t> bytes;
};

// Counts the bytes a file would have, writing nothing.
class CountingSink : public GifSink {
 public:
  bool Write(const uint8_t*, size_t size) override {
    count += size;
    return true;
  }
  uint64_t count = 0;
};

// Writes to an open file descriptor through a 64 KiB buffer. Flush() before closing.
class FileSink : public GifSink {
 public:
  explicit FileSink(int fd) : fd_(fd) { buffer_.reserve(kBufferSize); }
  bool Write(const uint8_t* data, size_t size) override;
  // Writes out what is buffered; false when any write failed.
  bool Flush();
  bool Failed() const { return failed_; }

 private:
  static constexpr size_t kBufferSize = 64 * 1024;
  int fd_;
  bool failed_ = false;
  std::vector<uint8_t> buffer_;
};

}  // namespace lw
