// Runs a shell command for a test and gives what it printed on its standard output.
#pragma once

#include <cstdio>
#include <string>

namespace lw::test {

inline std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  return out;
}

}  // namespace lw::test
