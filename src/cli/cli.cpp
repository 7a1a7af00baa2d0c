#include "cli/cli.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/progress.h"

namespace lw::cli {

static std::map<std::string, Command>& Registry() {
  static std::map<std::string, Command> commands;
  return commands;
}

Registrar::Registrar(const Command& command) {
  Registry()[command.name] = command;
}
const std::map<std::string, Command>& Commands() {
  return Registry();
}

Args::Args(const std::vector<std::string>& args, std::vector<std::string> valueOptions) {
  bool onlyPositional = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyPositional || a.size() < 2 || a[0] != '-' || (a[1] != '-' && !(a.size() == 2))) {
      positional_.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyPositional = true;
      continue;
    }
    std::string name = a, value;
    bool hasValue = false;
    if (size_t eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      hasValue = true;
    }
    bool takesValue = false;
    for (const std::string& v : valueOptions) takesValue |= v == name;
    if (takesValue && !hasValue) {
      if (i + 1 >= args.size()) {
        error_ = name + " needs a value";
        return;
      }
      value = args[++i];
      hasValue = true;
    }
    options_.emplace(name, hasValue ? value : std::string());
    order_.push_back(name);
  }
}

bool Args::Flag(const std::string& name) const {
  return options_.count(name) != 0;
}

std::optional<std::string> Args::Value(const std::string& name) const {
  auto range = options_.equal_range(name);
  if (range.first == range.second) return std::nullopt;
  return std::prev(range.second)->second;  // the last one given wins
}

std::vector<std::string> Args::Values(const std::string& name) const {
  std::vector<std::string> out;
  auto range = options_.equal_range(name);
  for (auto it = range.first; it != range.second; ++it) out.push_back(it->second);
  return out;
}

std::vector<std::string> Args::Unknown(const std::vector<std::string>& known) const {
  std::vector<std::string> out;
  for (const std::string& name : order_) {
    bool found = false;
    for (const std::string& k : known) found |= k == name;
    if (!found) out.push_back(name);
  }
  return out;
}

int UsageError(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "loopwright-cli: %s\n", message.c_str());
  auto it = Commands().find(command);
  if (it != Commands().end())
    std::fprintf(stderr, "usage: loopwright-cli %s %s\n", it->second.name, it->second.usage);
  return kExitUsage;
}

std::optional<long long> ParseInt(const std::string& text, long long lo, long long hi) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno || *end != '\0' || v < lo || v > hi) return std::nullopt;
  return v;
}

int LossyFlag(const Args& args) {
  if (!args.Flag("--lossy")) return 0;
  const std::string level = args.Value("--lossy").value_or("");
  const auto n = level.empty() ? std::optional<long long>{20} : ParseInt(level, 0, 255);
  return n ? static_cast<int>(*n) : -1;
}

// ---- Hooks ----

namespace {

// A one-line bar on the terminal, redrawn in place; only used when stderr is a terminal.
class TerminalBar : public ProgressSink {
 public:
  void SetText(const std::string& text) override {
    text_ = text;
    Draw();
  }
  void SetRange(uint32_t total) override { total_ = total; }
  void SetPosition(uint32_t position) override {
    position_ = position;
    Draw();
  }
  void Close() override {
    if (drawn_) std::fprintf(stderr, "\r\033[K");
  }

 private:
  void Draw() {
    int percent = total_ ? static_cast<int>(100.0 * position_ / total_) : 0;
    if (percent == lastPercent_ && drawn_) return;
    lastPercent_ = percent;
    int filled = percent * 30 / 100;
    std::fprintf(stderr, "\r%-40.40s [%.*s%*s] %3d%%", text_.c_str(), filled,
                 "##############################", 30 - filled, "", percent);
    drawn_ = true;
  }
  std::string text_;
  uint32_t total_ = 0, position_ = 0;
  int lastPercent_ = -1;
  bool drawn_ = false;
};

const char* ButtonName(MsgResult r) {
  switch (r) {
    case MsgResult::Ok:
      return "OK";
    case MsgResult::Cancel:
      return "Cancel";
    case MsgResult::Yes:
      return "Yes";
    case MsgResult::No:
      return "No";
  }
  return "?";
}

}  // namespace

void CliUiHooks::Error(const std::string& text) {
  ++errorCount;
  std::fprintf(stderr, "loopwright-cli: %s\n", text.c_str());
}

MsgResult CliUiHooks::MessageBox(const std::string& caption, const std::string& text, MsgButtons buttons,
                                 MsgIcon) {
  auto it = boxAnswers.find(caption);
  MsgResult answer;
  if (it != boxAnswers.end()) {
    answer = it->second;
  } else {
    answer =
        (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel) ? MsgResult::Yes : MsgResult::Ok;
    if (buttons == MsgButtons::Ok) {
      std::fprintf(stderr, "loopwright-cli: %s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ",
                   text.c_str());
      return answer;
    }
  }
  if (!quiet)
    std::fprintf(stderr, "loopwright-cli: %s%s%s -> %s\n", caption.c_str(), caption.empty() ? "" : ": ",
                 text.c_str(), ButtonName(answer));
  return answer;
}

UiHooks::PaletteConflictAnswer CliUiHooks::AskPaletteConflict(uint32_t flags) {
  if (paletteConflictAnswer) return {*paletteConflictAnswer, false};
  PaletteConflictAnswer answer = UiHooks::AskPaletteConflict(flags);
  if (!quiet)
    std::fprintf(stderr, "loopwright-cli: notice: palette conflict settled with the default choice 0x%x\n",
                 answer.choice);
  return answer;
}

UiHooks::FrameSizeAnswer CliUiHooks::AskFrameSizeConflict() {
  if (frameSizeAnswer) return {*frameSizeAnswer, false};
  FrameSizeAnswer answer = UiHooks::AskFrameSizeConflict();
  if (!quiet)
    std::fprintf(stderr,
                 "loopwright-cli: notice: inserted frames are larger than the animation; clipping them "
                 "to the current size (use --size grow to enlarge it)\n");
  return answer;
}

std::unique_ptr<ProgressSink> CliUiHooks::CreateProgressDialog() {
  if (quiet || !isatty(STDERR_FILENO)) return nullptr;
  return std::make_unique<TerminalBar>();
}

CliUiHooks& TheHooks() {
  static CliUiHooks hooks;
  return hooks;
}

}  // namespace lw::cli
