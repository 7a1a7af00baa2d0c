// The recent-file list: values "File1" … "File7" of the settings store, most recent first.
#pragma once

#include <string>
#include <vector>

namespace lw {
class SettingsStore;
}

namespace lw::app {

// The stored entries in order, up to the first missing value.
std::vector<std::string> ReadRecentFiles(const SettingsStore& store);

// Puts the path first: the others move down by one, an earlier copy of the same path (byte for byte)
// disappears, and the seventh entry drops off.
void AddRecentFile(SettingsStore& store, const std::string& path);

}  // namespace lw::app
