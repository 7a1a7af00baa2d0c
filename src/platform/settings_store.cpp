#include "platform/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/temp_file.h"

namespace lw {
namespace {

constexpr const char* kHeader = "# Loopwright 2.0 settings";
constexpr const char* kEnd = "# end";
constexpr size_t kMaxStoreBytes = 1 << 20;  // a settings file is a few hundred bytes; refuse monsters

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string EscapeString(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      static const char digits[] = "0123456789abcdef";
      out += "\\x";
      out += digits[c >> 4];
      out += digits[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::optional<std::string> UnescapeString(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i >= s.size()) return std::nullopt;
    switch (s[i]) {
      case '\\':
        out += '\\';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 'x': {
        if (i + 2 >= s.size()) return std::nullopt;
        int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return out;
}

bool ReadSmallFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string data;
  char buf[4096];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    data.append(buf, static_cast<size_t>(in.gcount()));
    if (data.size() > kMaxStoreBytes) return false;
  }
  out = std::move(data);
  return true;
}

bool MakeDirs(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash))) return false;
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string DirName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

std::optional<std::map<std::string, SettingsStore::Value>> ParseSettingsText(const std::string& text) {
  std::map<std::string, SettingsStore::Value> values;
  std::istringstream in(text);
  std::string line;
  bool header = false, end = false;
  while (std::getline(in, line)) {
    if (end) return std::nullopt;  // nothing may follow the end line
    if (!header) {
      if (line != kHeader) return std::nullopt;
      header = true;
      continue;
    }
    if (line == kEnd) {
      end = true;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    // name=binary:hex or name=string:escaped
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) return std::nullopt;
    std::string name = line.substr(0, eq);
    std::string rest = line.substr(eq + 1);
    if (rest.rfind("binary:", 0) == 0) {
      std::string hex = rest.substr(7);
      if (hex.size() % 2) return std::nullopt;
      SettingsStore::Binary bytes;
      for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
      }
      values[name] = std::move(bytes);
    } else if (rest.rfind("string:", 0) == 0) {
      auto s = UnescapeString(rest.substr(7));
      if (!s) return std::nullopt;
      values[name] = std::move(*s);
    } else {
      return std::nullopt;
    }
  }
  if (!header || !end) return std::nullopt;
  return values;
}

std::string FormatSettingsText(const std::map<std::string, SettingsStore::Value>& values) {
  static const char digits[] = "0123456789abcdef";
  std::string out = std::string(kHeader) + "\n";
  for (const auto& [name, value] : values) {
    out += name + "=";
    if (const auto* bytes = std::get_if<SettingsStore::Binary>(&value)) {
      out += "binary:";
      for (uint8_t b : *bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
      }
    } else {
      out += "string:" + EscapeString(std::get<std::string>(value));
    }
    out += "\n";
  }
  out += std::string(kEnd) + "\n";
  return out;
}

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {}

std::string SettingsStore::DefaultPath() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.config";
  } else {
    base = ".";
  }
  return base + "/Tessaly/Loopwright/2.0.conf";
}

bool SettingsStore::Load() {
  values_.clear();
  exists_ = false;
  for (const std::string& candidate : {path_, path_ + ".bak"}) {
    std::string text;
    if (!ReadSmallFile(candidate, text)) continue;
    if (auto parsed = ParseSettingsText(text)) {
      values_ = std::move(*parsed);
      exists_ = true;
      return true;
    }
  }
  return false;
}

std::optional<SettingsStore::Binary> SettingsStore::GetBinary(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  if (const auto* bytes = std::get_if<Binary>(&it->second)) return *bytes;
  return std::nullopt;
}

std::optional<std::string> SettingsStore::GetString(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  if (const auto* s = std::get_if<std::string>(&it->second)) return *s;
  return std::nullopt;
}

bool SettingsStore::SetBinary(const std::string& name, const Binary& value) {
  values_[name] = value;
  return Save();
}

bool SettingsStore::SetString(const std::string& name, const std::string& value) {
  values_[name] = value;
  return Save();
}

bool SettingsStore::Delete(const std::string& name) {
  if (values_.erase(name) == 0) return false;
  Save();
  return true;
}

bool SettingsStore::Save() {
  std::string dir = DirName(path_);
  if (!MakeDirs(dir)) return false;
  std::string text = FormatSettingsText(values_);
  std::string tmpPath;
  int fd = MakeTempFileIn(dir, ".2.0.conf.", &tmpPath);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text.data(), text.size()) && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (!ok) {
    unlink(tmpPath.c_str());
    return false;
  }
  // Keep the last good file as the backup, then put the new one in place.
  std::string backup = path_ + ".bak";
  if (access(path_.c_str(), F_OK) == 0) {
    unlink(backup.c_str());
    if (link(path_.c_str(), backup.c_str()) != 0) {
      // No hard links here (some file systems): a copy does the same job.
      std::string old;
      if (ReadSmallFile(path_, old)) {
        std::ofstream out(backup, std::ios::binary | std::ios::trunc);
        out << old;
      }
    }
  }
  if (rename(tmpPath.c_str(), path_.c_str()) != 0) {
    unlink(tmpPath.c_str());
    return false;
  }
  exists_ = true;
  return true;
}

}  // namespace lw
