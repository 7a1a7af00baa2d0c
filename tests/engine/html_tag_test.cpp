#include <gtest/gtest.h>

#include "io/html_tag.h"
#include "support/builders.h"

namespace lw {
namespace {

TEST(HtmlTag, BuildsTheTagPieceByPiece) {
  AnimationPtr a = test::MakeAnimation(1, 100, 50);
  HtmlTagFields f;
  f.fileName = "anim.gif";
  f.border = "0";
  EXPECT_EQ(BuildHtmlTag(*a, f), "<img src=\"anim.gif\" width=100 height=50 border=0>");
  f.link = "http://example.org/";
  f.description = "A moving thing";
  f.border = " 12 ";
  EXPECT_EQ(BuildHtmlTag(*a, f),
            "<a href=\"http://example.org/\"><img src=\"anim.gif\" width=100 height=50 border=12 "
            "alt=\"A moving thing\"></a>");
  f.border = "1x";
  f.link.clear();
  f.description.clear();
  EXPECT_EQ(BuildHtmlTag(*a, f), "<img src=\"anim.gif\" width=100 height=50 border=0>");
  f.fileName.clear();
  EXPECT_EQ(BuildHtmlTag(*a, f), "");  // no file name: no code
}

TEST(HtmlTag, TextsAreEscapedAndTheBorderHeldTo100) {
  AnimationPtr a = test::MakeAnimation(1, 10, 20);
  HtmlTagFields f;
  f.fileName = "a&b<1>.gif";
  f.link = "x.htm?q=\"1\"&r=2";
  f.description = "\"><script>alert(1)</script>";
  f.border = "250";
  EXPECT_EQ(BuildHtmlTag(*a, f),
            "<a href=\"x.htm?q=&quot;1&quot;&amp;r=2\"><img src=\"a&amp;b&lt;1&gt;.gif\" width=10 height=20 "
            "border=100 alt=\"&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\"></a>");
  f.border = "100";
  EXPECT_NE(BuildHtmlTag(*a, f).find(" border=100 "), std::string::npos);
  EXPECT_EQ(ReadBorderField("99"), 99u);
  EXPECT_EQ(ReadBorderField("4000000000"), 100u);
  EXPECT_EQ(ReadBorderField("x"), 0u);
}

TEST(HtmlTag, FieldsAreCutAtACharacterBoundary) {
  AnimationPtr a = test::MakeAnimation(1, 1, 1);
  HtmlTagFields f;
  // 258 ASCII letters, then two-byte letters: the 259th character is kept whole, the rest dropped.
  f.fileName = std::string(258, 'n') + "\xC3\xA9\xC3\xA9\xC3\xA9";
  std::string tag = BuildHtmlTag(*a, f);
  EXPECT_NE(tag.find(std::string(258, 'n') + "\xC3\xA9\""), std::string::npos);
  // Three-byte characters count as one each.
  std::string euros;
  for (int i = 0; i < 300; ++i) euros += "\xE2\x82\xAC";
  f.fileName = euros;
  tag = BuildHtmlTag(*a, f);
  EXPECT_NE(tag.find(euros.substr(0, 259 * 3) + "\""), std::string::npos);
  EXPECT_EQ(tag.find(euros.substr(0, 260 * 3)), std::string::npos);
}

TEST(HtmlTag, FieldsAreReadUpTo259Characters) {
  AnimationPtr a = test::MakeAnimation(1, 1, 1);
  HtmlTagFields f;
  f.fileName = std::string(300, 'n');
  f.description = std::string(300, 'd');
  std::string tag = BuildHtmlTag(*a, f);
  EXPECT_NE(tag.find(std::string(259, 'n') + "\""), std::string::npos);
  EXPECT_EQ(tag.find(std::string(260, 'n')), std::string::npos);
  EXPECT_NE(tag.find(std::string(259, 'd') + "\">"), std::string::npos);
}

TEST(HtmlTag, BorderAndBaseName) {
  EXPECT_EQ(ReadUnsignedField(""), 0u);
  EXPECT_EQ(ReadUnsignedField("abc"), 0u);
  EXPECT_EQ(ReadUnsignedField("-3"), 0u);
  EXPECT_EQ(ReadUnsignedField("4294967295"), 4294967295u);
  EXPECT_EQ(ReadUnsignedField("4294967296"), 0u);
  EXPECT_EQ(HtmlBaseName("/home/me/pics/anim.gif"), "anim.gif");
  EXPECT_EQ(HtmlBaseName("anim.gif"), "anim.gif");
  EXPECT_EQ(HtmlBaseName(""), "");
}

}  // namespace
}  // namespace lw
