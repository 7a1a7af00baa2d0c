// The 'Palette Conflict' dialog: how the colours of frames that do not fit the global palette are to be
// mapped. The flags say why it is asked (0x1000 insertion, 0x2000 local palette removal, 0x4000 a
// full-colour picture), which choices it offers (bits 0x01 … 0x20) and whether the box "Make this the
// default and don't ask again" is hidden (0x8000).
#pragma once

#include <QDialog>

#include "platform/ui_hooks.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace lw::app {

class PaletteConflictDialog : public QDialog {
  Q_OBJECT

 public:
  PaletteConflictDialog(uint32_t flags, QWidget* owner);

  // The choice as the dialog stands: the chosen bit, 0x80 for "Dither to palette", the adaptive palette's
  // size, and whether it is to become the default.
  UiHooks::PaletteConflictAnswer Answer() const;

  static UiHooks::PaletteConflictAnswer Ask(uint32_t flags, QWidget* owner);

  // The message line for the flags.
  static QString MessageFor(uint32_t flags);
  // The text of one approach bit (0x01 … 0x20); empty for any other value.
  static QString ChoiceText(uint32_t bit);

 private:
  void UpdateEnabling();

  QComboBox* choices_;
  QLabel* colorsLabel_;
  QComboBox* colors_;
  QCheckBox* dither_;
  QCheckBox* makeDefault_;
};

}  // namespace lw::app
