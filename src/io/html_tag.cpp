#include "io/html_tag.h"

#include <cstdint>
#include <cstdio>

namespace lw {

namespace {

constexpr size_t kFieldLength = 259;

// The first kFieldLength characters of the text: a UTF-8 sequence is never cut in two.
std::string Field(const std::string& text) {
  size_t chars = 0, i = 0;
  while (i < text.size() && chars < kFieldLength) {
    ++i;
    // Continuation bytes belong to the character before them.
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    ++chars;
  }
  return text.substr(0, i);
}

}  // namespace

std::string EscapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

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

unsigned ReadBorderField(const std::string& text) {
  unsigned border = ReadUnsignedField(text);
  return border > kMaxHtmlBorder ? kMaxHtmlBorder : border;
}

std::string BuildHtmlTag(const Animation& a, const HtmlTagFields& fields) {
  // The texts go inside quoted attributes: a quotation mark or an angle bracket in them would end the
  // attribute or the tag early.
  const std::string name = EscapeHtml(Field(fields.fileName)), link = EscapeHtml(Field(fields.link)),
                    description = EscapeHtml(Field(fields.description));
  if (name.empty()) return {};
  std::string tag;
  if (!link.empty()) tag += "<a href=\"" + link + "\">";
  tag += "<img src=\"" + name + "\"";
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, " width=%d height=%d", a.screenWidth, a.screenHeight);
  tag += numbers;
  std::snprintf(numbers, sizeof numbers, " border=%u", ReadBorderField(fields.border));
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
