#include "color/palette_choice.h"

#include "model/preferences.h"
#include "platform/ui_hooks.h"

namespace lw {

PaletteChoice AskPaletteChoice(uint32_t flags) {
  UiHooks::PaletteConflictAnswer answer = Hooks().AskPaletteConflict(flags);
  if (answer.choice != 0 && answer.makeDefault && !(flags & kConflictHideMakeDefault)) {
    SetPreference(flags & kConflictHighColor ? kPrefHighColor : kPrefPaletteConflict,
                  answer.choice & ~kChoiceAlwaysAsk);
  }
  return answer.choice;
}

}  // namespace lw
