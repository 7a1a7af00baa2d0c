// UiHooks for tests: every message and question is recorded, answers come from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/ui_hooks.h"

namespace lw {

class RecordingUiHooks : public UiHooks {
 public:
  struct Entry {
    std::string kind;  // "error", "box", "palette-conflict", …
    std::string caption;
    std::string text;
    uint32_t flags = 0;
  };

  std::vector<Entry> entries;
  std::deque<MsgResult> boxAnswers;                  // popped per message box; empty = first button
  std::deque<PaletteConflictAnswer> paletteAnswers;  // empty = the preselection
  std::deque<FrameSizeAnswer> frameSizeAnswers;      // empty = the preselection

  void Error(const std::string& text) override { entries.push_back({"error", "", text, 0}); }

  MsgResult MessageBox(const std::string& caption, const std::string& text, MsgButtons buttons,
                       MsgIcon) override {
    entries.push_back({"box", caption, text, 0});
    if (!boxAnswers.empty()) {
      MsgResult answer = boxAnswers.front();
      boxAnswers.pop_front();
      return answer;
    }
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes
                                                                              : MsgResult::Ok;
  }

  PaletteConflictAnswer AskPaletteConflict(uint32_t flags) override {
    entries.push_back({"palette-conflict", "Palette Conflict", "", flags});
    if (!paletteAnswers.empty()) {
      PaletteConflictAnswer answer = paletteAnswers.front();
      paletteAnswers.pop_front();
      return answer;
    }
    return UiHooks::AskPaletteConflict(flags);
  }

  FrameSizeAnswer AskFrameSizeConflict() override {
    entries.push_back({"frame-size-conflict", "Frame Size Conflict", "", 0});
    if (!frameSizeAnswers.empty()) {
      FrameSizeAnswer answer = frameSizeAnswers.front();
      frameSizeAnswers.pop_front();
      return answer;
    }
    return UiHooks::AskFrameSizeConflict();
  }

  // The texts of every recorded entry of one kind, in order.
  std::vector<std::string> Texts(const std::string& kind = "error") const {
    std::vector<std::string> out;
    for (const Entry& e : entries)
      if (e.kind == kind) out.push_back(e.text);
    return out;
  }
};

// Installs hooks for the lifetime of a scope and puts the previous ones back.
class ScopedUiHooks {
 public:
  explicit ScopedUiHooks(UiHooks* hooks) : previous_(SetUiHooks(hooks)) {}
  ~ScopedUiHooks() { SetUiHooks(previous_); }
  ScopedUiHooks(const ScopedUiHooks&) = delete;
  ScopedUiHooks& operator=(const ScopedUiHooks&) = delete;

 private:
  UiHooks* previous_;
};

}  // namespace lw
