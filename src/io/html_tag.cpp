#include "io/html_tag.h"

#include <cstdint>
#include <cstdio>

namespace lw {

namespace {

constexpr size_t kFieldLength = 259;

std::string Field(const std::string& text) {
  return text.substr(0, kFieldLength);
}

}  // namespace

unsigned ReadUnsignedField(const std::string& raw) {
  std::string text = Field(raw);
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return 0;
  size_t end = text.find_last_not_of(" \t") + 1;
  uint64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu) return 0;
  }
  return static_cast<unsigned>(value);
}

std::string BuildHtmlTag(const Animation& a, const HtmlTagFields& fields) {
  const std::string name = Field(fields.fileName), link = Field(fields.link),
                    description = Field(fields.description);
  if (name.empty()) return {};
  std::string tag;
  if (!link.empty()) tag += "<a href=\"" + link + "\">";
  tag += "<img src=\"" + name + "\"";
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, " width=%d height=%d", a.screenWidth, a.screenHeight);
  tag += numbers;
  std::snprintf(numbers, sizeof numbers, " border=%u", ReadUnsignedField(fields.border));
  tag += numbers;
  if (!description.empty()) tag += " alt=\"" + description + "\"";
  tag += ">";
  if (!link.empty()) tag += "</a>";
  return tag;
}

std::string HtmlBaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace lw
