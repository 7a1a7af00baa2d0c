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
  f.description = "A \"moving\" thing";
  f.border = " 12 ";
  EXPECT_EQ(BuildHtmlTag(*a, f),
            "<a href=\"http://example.org/\"><img src=\"anim.gif\" width=100 height=50 border=12 "
            "alt=\"A \"moving\" thing\"></a>");
  f.border = "1x";
  f.link.clear();
  f.description.clear();
  EXPECT_EQ(BuildHtmlTag(*a, f), "<img src=\"anim.gif\" width=100 height=50 border=0>");
  f.fileName.clear();
  EXPECT_EQ(BuildHtmlTag(*a, f), "");  // no file name: no code
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
