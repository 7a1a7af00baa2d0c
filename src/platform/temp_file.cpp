#include "platform/temp_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace lw {

std::string TempDirectory() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? std::string(dir) : std::string("/tmp");
}

int MakeTempFileIn(const std::string& dir, const std::string& prefix, std::string* path) {
  std::string pattern = (dir.empty() ? std::string(".") : dir) + "/" + prefix + "XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  int fd = mkstemp(buf.data());
  if (fd >= 0 && path) *path = buf.data();
  return fd;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

TempFileGuard::~TempFileGuard() {
  if (!path_.empty()) unlink(path_.c_str());
}

}  // namespace lw
