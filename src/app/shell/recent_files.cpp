#include "app/shell/recent_files.h"

#include <optional>

#include "app/shell/ids.h"
#include "platform/settings_store.h"

namespace lw::app {
namespace {

std::string ValueName(int n) {
  return "File" + std::to_string(n);
}

}  // namespace

std::vector<std::string> ReadRecentFiles(const SettingsStore& store) {
  std::vector<std::string> files;
  for (int n = 1; n <= kMaxRecentFiles; ++n) {
    std::optional<std::string> value = store.GetString(ValueName(n));
    if (!value) break;
    files.push_back(*value);
  }
  return files;
}

void AddRecentFile(SettingsStore& store, const std::string& path) {
  // Each slot takes the path carried down from the slot above; the walk ends at the first empty slot or
  // where the new path stood before.
  std::string carried = path;
  for (int n = 1; n <= kMaxRecentFiles; ++n) {
    std::optional<std::string> old = store.GetString(ValueName(n));
    store.SetString(ValueName(n), carried);
    if (!old || *old == path) break;
    carried = *old;
  }
}

}  // namespace lw::app
