// The engine's only way to talk to a person: errors, message boxes, questions and progress displays.
// The editor implements these with dialogs, the command-line tool with flags and stderr, tests with
// scripted answers. The engine never shows anything itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/progress.h"

namespace lw {

// Message box buttons and icons, and the answers a box can give.
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Question, Exclamation, Stop };
enum class MsgResult { Ok, Cancel, Yes, No };

class UiHooks {
 public:
  virtual ~UiHooks() = default;

  // A failure the engine detected; the text is already formatted.
  virtual void Error(const std::string& text) = 0;

  // A message box with a caption. An empty caption means the program's default one.
  virtual MsgResult MessageBox(const std::string& caption, const std::string& text, MsgButtons buttons,
                               MsgIcon icon) = 0;

  // The 'Palette Conflict' question: flags carry the message bit (0x1000 insert, 0x2000 local palette
  // removal, 0x4000 full-colour picture, with 0x0400 when they are a movie's, which offers "Best for
  // video", 0x0200), the offered choice bits (0x01 … 0x20) and 0x8000 to hide
  // "Make this the default and don't ask again". The answer is a PaletteChoice (0 = Cancel) and whether
  // the box to make it the default was checked. The default answer is the dialog's preselection.
  struct PaletteConflictAnswer {
    uint32_t choice = 0;
    bool makeDefault = false;
  };
  virtual PaletteConflictAnswer AskPaletteConflict(uint32_t flags);

  // The 'Frame Size Conflict' question: the inserted frames are larger than the animation. The answer is
  // 2 (clip the inserted frame to the current size), 3 (change the current size to fit) or 0 (Cancel), and
  // whether "Make this the default and don't ask again" was checked. The default answer is the dialog's
  // preselection, 2.
  struct FrameSizeAnswer {
    int choice = 2;
    bool makeDefault = false;
  };
  virtual FrameSizeAnswer AskFrameSizeConflict() { return {}; }

  // A display for a progress record that owns its dialog (flag 2). May return null: the operation then
  // runs without a display.
  virtual std::unique_ptr<ProgressSink> CreateProgressDialog() { return nullptr; }

  // The colour the desktop gives to button faces, 0x00BBGGRR; used as the default transparency display.
  virtual uint32_t ButtonFaceColor() { return 0x00F0F0F0; }
};

// What the 'Palette Conflict' dialog preselects for these flags: "Best for video" for a movie, else the
// first offered choice, 256 colours for the adaptive one, "Dither to palette" checked.
uint32_t PaletteConflictPreselection(uint32_t flags);

// Installs the hooks the engine uses from now on (null restores the default, which writes to stderr and
// answers every question with its first button). Returns the previous hooks. Not owned.
UiHooks* SetUiHooks(UiHooks* hooks);
UiHooks& Hooks();

// Formats a printf-style message of at most 1024 characters and reports it through the hooks.
void ShowError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The hooks the engine falls back on: messages go to stderr, questions take the default answer.
class ConsoleUiHooks : public UiHooks {
 public:
  void Error(const std::string& text) override;
  MsgResult MessageBox(const std::string& caption, const std::string& text, MsgButtons buttons,
                       MsgIcon icon) override;
};

}  // namespace lw
