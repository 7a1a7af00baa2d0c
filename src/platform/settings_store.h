// The per-user store of named binary and string values that stands in for the registry key
// Software\Tessaly\Loopwright\2.0. It lives in one text file; every change rewrites the file through a
// temporary file and a rename, and the previous good file is kept as a backup, so neither a crash nor a
// damaged file loses the last good settings.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace lw {

class SettingsStore {
 public:
  using Binary = std::vector<uint8_t>;
  using Value = std::variant<Binary, std::string>;

  // A store over the given file. Nothing is read until Load.
  explicit SettingsStore(std::string path);

  // $XDG_CONFIG_HOME/Tessaly/Loopwright/2.0.conf (~/.config/… when the variable is unset or empty).
  static std::string DefaultPath();

  // Reads the file (or, when it is missing or damaged, the backup). Returns whether a store existed.
  // A damaged or unreadable store gives an empty set of values, never a failure.
  bool Load();

  const std::string& Path() const { return path_; }
  bool Exists() const { return exists_; }

  std::optional<Binary> GetBinary(const std::string& name) const;
  std::optional<std::string> GetString(const std::string& name) const;
  bool Has(const std::string& name) const { return values_.count(name) != 0; }

  // Each change is written to disk at once; the result says whether that succeeded (the value is kept in
  // memory either way).
  bool SetBinary(const std::string& name, const Binary& value);
  bool SetString(const std::string& name, const std::string& value);
  // Removes a value; false when it did not exist.
  bool Delete(const std::string& name);

  const std::map<std::string, Value>& Values() const { return values_; }

 private:
  bool Save();

  std::string path_;
  std::map<std::string, Value> values_;
  bool exists_ = false;
};

// Parses the text of a store; nullopt when it is not a complete store (missing header or end line).
std::optional<std::map<std::string, SettingsStore::Value>> ParseSettingsText(const std::string& text);
std::string FormatSettingsText(const std::map<std::string, SettingsStore::Value>& values);

}  // namespace lw
