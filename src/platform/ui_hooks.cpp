#include "platform/ui_hooks.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "platform/progress.h"

namespace lw {
namespace {

ConsoleUiHooks g_consoleHooks;
std::atomic<UiHooks*> g_hooks{nullptr};

}  // namespace

UiHooks* SetUiHooks(UiHooks* hooks) {
  return g_hooks.exchange(hooks);
}

UiHooks& Hooks() {
  UiHooks* hooks = g_hooks.load();
  return hooks ? *hooks : g_consoleHooks;
}

void ShowError(const char* format, ...) {
  char text[1025];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Hooks().Error(text);
}

uint32_t PaletteConflictPreselection(uint32_t flags) {
  if (flags & 0x0400) return 0x0200;  // a movie's pictures: "Best for video"
  for (uint32_t bit = 0x01; bit <= 0x20; bit <<= 1) {
    if (flags & bit) {
      uint32_t choice = bit | 0x80;
      if (bit == 0x02) choice |= 8u << 16;
      return choice;
    }
  }
  return 0;
}

UiHooks::PaletteConflictAnswer UiHooks::AskPaletteConflict(uint32_t flags) {
  return {PaletteConflictPreselection(flags), false};
}

void ConsoleUiHooks::Error(const std::string& text) {
  std::fprintf(stderr, "loopwright: %s\n", text.c_str());
}

MsgResult ConsoleUiHooks::MessageBox(const std::string& caption, const std::string& text, MsgButtons buttons,
                                     MsgIcon) {
  std::fprintf(stderr, "loopwright: %s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
  switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel:
      return MsgResult::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
      return MsgResult::Yes;
  }
  return MsgResult::Ok;
}

}  // namespace lw
