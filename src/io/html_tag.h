// The HTML image tag offered for an animation: its file name, logical screen size, an optional link, a
// border width and an optional description.
#pragma once

#include <string>

#include "model/animation.h"

namespace lw {

struct HtmlTagFields {
  std::string fileName;
  std::string link;
  std::string description;
  std::string border;  // as typed; read as an unsigned number, 0 when it is not one
};

// The widest border the tag offers, in pixels.
constexpr unsigned kMaxHtmlBorder = 100;

// The tag, or "" when the file name is empty. Each field is taken up to 259 characters (a character of
// several UTF-8 bytes is kept whole) and HTML-escaped; the border is held to 0..100.
std::string BuildHtmlTag(const Animation& a, const HtmlTagFields& fields);

// The part of a document's path after its last folder separator ("" for a document never saved).
std::string HtmlBaseName(const std::string& path);

// The border field read as an unsigned number: 0 when it holds anything but digits (spaces around them
// are allowed) or is too large.
unsigned ReadUnsignedField(const std::string& text);
// The border as the tag gives it: ReadUnsignedField held to at most kMaxHtmlBorder.
unsigned ReadBorderField(const std::string& text);

// The text with & < > and " replaced by their HTML entities.
std::string EscapeHtml(const std::string& text);

}  // namespace lw
