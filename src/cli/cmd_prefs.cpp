// prefs: show the nine preference slots, or set one.
#include <cstdio>
#include <cstdlib>

#include "cli/cli.h"
#include "model/preferences.h"
#include "platform/settings_store.h"

namespace lw::cli {
namespace {

int RunPrefs(const std::vector<std::string>& args) {
  if (args.empty()) {
    PreferenceRecord record = GetPreferenceRecord();
    for (int slot = 0; slot < kPrefCount; ++slot) {
      uint32_t v = record[static_cast<size_t>(slot)];
      std::printf("%d  %-10u 0x%08x  %s\n", slot, v, v, DescribePreference(slot, v).c_str());
    }
    return kExitOk;
  }
  if (args[0] == "set" && args.size() == 3) {
    auto slot = ParseInt(args[1], 0, kPrefCount - 1);
    if (!slot) return UsageError("prefs", "the slot must be 0 to 8");
    // Decimal or 0x-prefixed hexadecimal.
    char* end = nullptr;
    unsigned long long v = std::strtoull(args[2].c_str(), &end, 0);
    if (args[2].empty() || *end != '\0' || v > 0xFFFFFFFFull || args[2][0] == '-')
      return UsageError("prefs", "the value must be a 32-bit unsigned number");
    SetPreference(static_cast<int>(*slot), static_cast<uint32_t>(v));
    uint32_t stored = GetPreference(static_cast<int>(*slot));
    std::printf("%d  %-10u 0x%08x  %s\n", static_cast<int>(*slot), stored, stored,
                DescribePreference(static_cast<int>(*slot), stored).c_str());
    return kExitOk;
  }
  if (args[0] == "reset" && args.size() == 1) {
    PreferenceRecord d = DefaultPreferences();
    for (int slot = 0; slot < kPrefCount; ++slot) SetPreference(slot, d[static_cast<size_t>(slot)]);
    return kExitOk;
  }
  return UsageError("prefs", "unknown prefs arguments");
}

}  // namespace

LW_CLI_COMMAND("prefs", "[set SLOT VALUE | reset]",
               "show the nine preference slots with their meaning, or set one (stored at once)", RunPrefs);

}  // namespace lw::cli
