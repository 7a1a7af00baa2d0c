// loopwright-cli: every engine operation from the command line.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "model/preferences.h"
#include "platform/settings_store.h"

using namespace lw;
using namespace lw::cli;

static void PrintHelp() {
  std::printf(
      "Loopwright %s - animated GIF editor, command-line tool\n\n"
      "usage: loopwright-cli COMMAND [ARGS...]\n"
      "       loopwright-cli --help | --version\n\n"
      "commands:\n",
      LW_VERSION);
  for (const auto& [name, command] : Commands())
    std::printf("  %-22s %s\n      loopwright-cli %s %s\n", name.c_str(), command.summary, name.c_str(),
                command.usage);
  std::printf(
      "\nExit codes: 0 done, 1 failed (the message is on stderr), 2 usage error.\n"
      "Settings are read from %s.\n",
      SettingsStore::DefaultPath().c_str());
}

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintHelp();
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp();
    return kExitOk;
  }
  if (args[0] == "--version") {
    std::printf("loopwright-cli %s\n", LW_VERSION);
    return kExitOk;
  }
  auto it = Commands().find(args[0]);
  if (it == Commands().end()) {
    std::fprintf(stderr, "loopwright-cli: unknown command '%s' (see --help)\n", args[0].c_str());
    return kExitUsage;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  for (const std::string& a : rest) {
    if (a == "--help") {
      std::printf("usage: loopwright-cli %s %s\n%s\n", it->second.name, it->second.usage, it->second.summary);
      return kExitOk;
    }
  }
  SetUiHooks(&TheHooks());
  // The preferences steer many operations (default delay, conflict choices …), as they do in the editor.
  static SettingsStore store(SettingsStore::DefaultPath());
  store.Load();
  ReadPreferences(&store);
  try {
    return it->second.run(rest);
  } catch (const std::bad_alloc&) {
    // Whatever ran out of memory is given up; the output file is written only at the end, so it is
    // untouched.
    std::fprintf(stderr, "loopwright-cli: Not enough memory to complete the command.\n");
    return kExitFailed;
  }
}
