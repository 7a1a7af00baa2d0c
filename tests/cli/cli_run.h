// Running loopwright-cli as a user does, for the command-line tests.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "engine/gif_support.h"
#include "engine/support/builders.h"
#include "io/files.h"
#include "platform/recording_ui_hooks.h"

namespace lw::test {

struct CliRun {
  int exitCode = -1;
  std::string out, err;
};

// Runs the tool with the arguments; the shell runs `before` first (a limit, for one), then the tool.
inline CliRun Cli(const std::string& args, const TempDir& dir, const std::string& before = "") {
  std::string errPath = dir / "stderr.txt";
  std::string command = before + std::string(LW_CLI_PATH) + " " + args + " 2>" + errPath;
  CliRun r;
  FILE* p = popen(command.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int status = pclose(p);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errPath);
  r.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return r;
}

// Reads a file the tool wrote, without messages; the test fails unless it reads completely.
inline AnimationPtr Load(const std::string& path) {
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  AnimationPtr a;
  EXPECT_EQ(ReadAnyFile(path, &a, nullptr), 1) << path;
  return a;
}

}  // namespace lw::test
