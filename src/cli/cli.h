// loopwright-cli: each command lives in its own file and registers itself with LW_CLI_COMMAND.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_hooks.h"

namespace lw::cli {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct Command {
  const char* name;
  const char* usage;    // one line: arguments after the command name
  const char* summary;  // one line: what it does
  int (*run)(const std::vector<std::string>& args);
};

struct Registrar {
  explicit Registrar(const Command& command);
};
const std::map<std::string, Command>& Commands();

#define LW_CLI_CONCAT2(a, b) a##b
#define LW_CLI_CONCAT(a, b) LW_CLI_CONCAT2(a, b)
#define LW_CLI_COMMAND(name, usage, summary, fn) \
  static const ::lw::cli::Registrar LW_CLI_CONCAT(lwCliRegistrar, __LINE__)({name, usage, summary, fn})

// Simple argument reader: positionals, flags (--x) and options with values (--x V or --x=V).
class Args {
 public:
  // valueOptions are the option names (with dashes) that take a value; others are flags.
  Args(const std::vector<std::string>& args, std::vector<std::string> valueOptions);
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::vector<std::string>& positional() const { return positional_; }
  bool Flag(const std::string& name) const;
  std::optional<std::string> Value(const std::string& name) const;
  std::vector<std::string> Values(const std::string& name) const;
  // Names given that the command does not know (for a usage error).
  std::vector<std::string> Unknown(const std::vector<std::string>& known) const;

 private:
  std::vector<std::string> positional_;
  std::multimap<std::string, std::string> options_;
  std::vector<std::string> order_;
  std::string error_;
};

// Prints "loopwright-cli: <message>" and the command's usage line on stderr; gives kExitUsage.
int UsageError(const std::string& command, const std::string& message);

// Parses an integer in [lo, hi]; nullopt when it is not one.
std::optional<long long> ParseInt(const std::string& text, long long lo, long long hi);

// The level of a --lossy[=N] flag: 0 without the flag, 20 without a level, -1 when the level is not 0…255.
int LossyFlag(const Args& args);

// The hooks the command-line tool uses: errors and notices on stderr, questions answered from the answers
// the command set up (by the caption of the box), else the default answer with a notice on stderr.
class CliUiHooks : public UiHooks {
 public:
  void Error(const std::string& text) override;
  MsgResult MessageBox(const std::string& caption, const std::string& text, MsgButtons buttons,
                       MsgIcon icon) override;
  PaletteConflictAnswer AskPaletteConflict(uint32_t flags) override;
  FrameSizeAnswer AskFrameSizeConflict() override;
  std::unique_ptr<ProgressSink> CreateProgressDialog() override;

  std::map<std::string, MsgResult> boxAnswers;  // by caption
  std::optional<uint32_t> paletteConflictAnswer;
  std::optional<int> frameSizeAnswer;  // 2 clip, 3 grow
  int errorCount = 0;
  bool quiet = false;
};

CliUiHooks& TheHooks();

}  // namespace lw::cli
