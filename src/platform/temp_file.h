// Temporary files: made with mkstemp, in $TMPDIR (default /tmp) or in a given folder.
#pragma once

#include <cstddef>
#include <string>

namespace lw {

// The system's temporary folder: $TMPDIR when set, else /tmp.
std::string TempDirectory();

// Creates a new empty file "<dir>/<prefix>XXXXXX" opened for reading and writing; gives the descriptor
// and its path, or -1.
int MakeTempFileIn(const std::string& dir, const std::string& prefix, std::string* path);
inline int MakeTempFile(const std::string& prefix, std::string* path) {
  return MakeTempFileIn(TempDirectory(), prefix, path);
}

// Writes every byte, retrying short writes; false on any failure.
bool WriteAll(int fd, const void* data, size_t size);

// Removes a file when it goes out of scope unless Keep() was called.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
  ~TempFileGuard();
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;
  void Keep() { path_.clear(); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace lw
