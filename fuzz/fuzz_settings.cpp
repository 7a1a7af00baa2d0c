// Settings files are outside data: a damaged one must give defaults, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  if (auto values = lw::ParseSettingsText(text)) {
    // What parses must format and parse back to the same values.
    auto again = lw::ParseSettingsText(lw::FormatSettingsText(*values));
    if (!again || *again != *values) __builtin_trap();
  }
  return 0;
}
