#include "cli/cli_edit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/temp_file.h"

namespace lw::cli {

bool CopyFileForEdit(const std::string& from, const std::string& path) {
  std::vector<uint8_t> bytes;
  {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
      std::fprintf(stderr, "loopwright-cli: unable to read %s\n", from.c_str());
      return false;
    }
    uint8_t buffer[65536];
    ssize_t got;
    while ((got = read(in, buffer, sizeof buffer)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    close(in);
    if (got < 0) {
      std::fprintf(stderr, "loopwright-cli: unable to read %s\n", from.c_str());
      return false;
    }
  }
  std::string dir = std::filesystem::path(path).parent_path().string();
  if (dir.empty()) dir = ".";
  std::string tempPath;
  int fd = MakeTempFileIn(dir, ".GIF", &tempPath);
  if (fd < 0) {
    std::fprintf(stderr, "loopwright-cli: unable to write in %s\n", dir.c_str());
    return false;
  }
  TempFileGuard guard(tempPath);
  fchmod(fd, 0644);
  bool ok = WriteAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || std::rename(tempPath.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "loopwright-cli: unable to write %s\n", path.c_str());
    return false;
  }
  guard.Keep();
  return true;
}

std::optional<std::pair<long long, long long>> ParsePair(const std::string& text, char sep, long long lo,
                                                         long long hi) {
  size_t at = text.find(sep);
  if (at == std::string::npos) return std::nullopt;
  auto a = ParseInt(text.substr(0, at), lo, hi);
  auto b = ParseInt(text.substr(at + 1), lo, hi);
  if (!a || !b) return std::nullopt;
  return std::make_pair(*a, *b);
}

Frame* FrameArgument(const std::string& command, const Animation& a,
                     const std::optional<std::string>& value) {
  if (!value) {
    UsageError(command, "--frame N is needed");
    return nullptr;
  }
  auto n = ParseInt(*value, 1, 0x7FFFFFFF);
  Frame* f = n ? NthFrame(a, static_cast<int>(*n - 1)) : nullptr;
  if (!f) {
    UsageError(command, "--frame must name a frame from 1 to " + std::to_string(a.frameCount));
    return nullptr;
  }
  return f;
}

}  // namespace lw::cli
