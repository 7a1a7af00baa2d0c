#include "app/shell/command_line.h"

#include <filesystem>
#include <system_error>

namespace lw::app {

std::string FileFromCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += ' ';
    line += arg;
  }
  if (line.empty()) return {};
  size_t blank = line.find(' ');
  if (blank != std::string::npos && blank + 1 < line.size() && line[blank + 1] == '/') line.resize(blank);
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(line, ec);
  return ec ? line : absolute.lexically_normal().string();
}

}  // namespace lw::app
