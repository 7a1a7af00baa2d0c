#include <gtest/gtest.h>

#include <cstring>

#include "edit/clipboard.h"
#include "support/builders.h"
#include "support/hooks_fixture.h"

namespace lw {
namespace {

class Clipboard : public test::RecordingTest {};

// A 40 x 30 screen whose one 5 x 3 frame sits at (7, 4) with every field set away from its default.
AnimationPtr Sample(bool local) {
  AnimationPtr a = test::MakeAnimation(1, 40, 30, 8);
  a->loopCount = 3;
  a->backgroundIndex = 2;
  a->aspectByte = 49;
  Frame* f = FirstFrame(*a);
  FramePtr small = test::MakeFrame(5, 3, a->globalPalette.get(),
                                   [](int x, int y) { return static_cast<uint8_t>((x + 2 * y) % 8); });
  SetFrameBitmap(*f, small->bitmap->Clone());
  SetFrameSize(*f, 5, 3);
  SetFramePosition(*f, 7, 4);
  SetDelay(*f, 37);
  SetDisposal(*f, 3);
  SetUserInput(*f, true);
  SetTransparentIndex(*f, 5);
  SetTransparent(*f, true);
  SetInterlaced(*f, true);
  SetFrameName(*f, "Walk cycle");
  if (local)
    SetLocalPalette(*f, test::MakePalette(4, {{9, 8, 7, 0}, {1, 2, 3, 0}, {200, 100, 50, 0}, {0, 0, 0, 0}}));
  return a;
}

std::vector<uint8_t> Pixels(const Frame& f) {
  std::vector<uint8_t> out;
  for (int y = 0; y < f.height; ++y) out.insert(out.end(), f.Row(y), f.Row(y) + f.width);
  return out;
}

void ExpectSameFrame(const Frame& got, const Frame& want) {
  EXPECT_EQ(got.left, want.left);
  EXPECT_EQ(got.top, want.top);
  EXPECT_EQ(got.width, want.width);
  EXPECT_EQ(got.height, want.height);
  EXPECT_EQ(got.delay, want.delay);
  EXPECT_EQ(got.controlFlags, want.controlFlags);
  EXPECT_EQ(got.transparentIndex, want.transparentIndex);
  EXPECT_EQ(got.imageFlags, want.imageFlags);
  EXPECT_EQ(GetFrameName(got), GetFrameName(want));
  EXPECT_EQ(Pixels(got), Pixels(want));
  EXPECT_EQ(got.palette->Entries(), want.palette->Entries());
}

TEST_F(Clipboard, CopyThenPasteGivesEveryFieldBack) {
  for (bool local : {false, true}) {
    AnimationPtr a = Sample(local);
    Frame& f = *FirstFrame(*a);
    std::vector<uint8_t> block = BuildFrameBlock(*a, f);
    ASSERT_EQ(block.size(), 1124u + 10);
    EXPECT_EQ(block[1056], 0x2C);
    std::vector<uint8_t> bmp = BuildFrameBmp(f);
    AnimationPtr pasted;
    ASSERT_EQ(PasteFrameData(block.data(), block.size(), bmp.data(), bmp.size(), nullptr, &pasted),
              PasteResult::kPasted);
    EXPECT_EQ(pasted->frameCount, 1);
    EXPECT_EQ(pasted->screenWidth, 40);
    EXPECT_EQ(pasted->screenHeight, 30);
    EXPECT_EQ(pasted->backgroundIndex, 2);
    EXPECT_EQ(pasted->loopCount, 1u);  // a pasted frame brings no looping
    ExpectSameFrame(*FirstFrame(*pasted), f);
    EXPECT_EQ(FirstFrame(*pasted)->localPalette != nullptr, local);
  }
  EXPECT_TRUE(hooks.entries.empty());
}

TEST_F(Clipboard, TheDibIsAPlain8BitBitmapBottomRowFirst) {
  AnimationPtr a = Sample(false);
  Frame& f = *FirstFrame(*a);
  std::vector<uint8_t> dib = BuildFrameDib(f);
  // 40-byte header, 8 colours, 3 rows of 8 bytes.
  ASSERT_EQ(dib.size(), 40u + 8 * 4 + 3 * 8);
  EXPECT_EQ(dib[14], 8);
  EXPECT_EQ(dib[32], 8);  // colours used
  // The transparent entry keeps its own colour (entry 5 = 5, 250, 35), not the editor's display colour.
  EXPECT_EQ(dib[40 + 5 * 4 + 0], 35);
  EXPECT_EQ(dib[40 + 5 * 4 + 1], 250);
  EXPECT_EQ(dib[40 + 5 * 4 + 2], 5);
  const uint8_t* bottom = dib.data() + 40 + 32;
  for (int x = 0; x < 5; ++x) EXPECT_EQ(bottom[x], f.Row(2)[x]);
  std::vector<uint8_t> bmp = BuildFrameBmp(f);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[10], 14 + 40 + 32);  // where the rows start
}

TEST_F(Clipboard, DamagedBlocksAreRefused) {
  AnimationPtr a = Sample(false);
  const std::vector<uint8_t> good = BuildFrameBlock(*a, *FirstFrame(*a));
  FrameBlock fields;
  ASSERT_TRUE(ParseFrameBlock(good.data(), good.size(), &fields));
  EXPECT_EQ(GetFrameName(*fields.frame), "Walk cycle");

  auto refused = [&](const std::function<void(std::vector<uint8_t>&)>& damage) {
    std::vector<uint8_t> b = good;
    damage(b);
    return !ParseFrameBlock(b.data(), b.size(), nullptr);
  };
  EXPECT_TRUE(refused([](auto& b) { b.resize(1120); }));                             // no name at all
  EXPECT_TRUE(refused([](auto& b) { std::fill(b.begin() + 1120, b.end(), 'x'); }));  // no terminator
  EXPECT_TRUE(refused([](auto& b) { b[1056] = 0x21; }));                             // not an image
  EXPECT_TRUE(refused([](auto& b) { b.resize(kFrameBlockMaxSize + 1, 0); }));        // too long
  EXPECT_TRUE(refused([](auto& b) { b[1076] = 0; }));                                // width 0
  EXPECT_TRUE(refused([](auto& b) { b[1083] = 0x80; }));                             // negative height
  EXPECT_TRUE(refused([](auto& b) { b[1078] = 1; }));                                // width over 65535
  EXPECT_TRUE(refused([](auto& b) { b[1098] = 1; }));                                // delay over 65535
  EXPECT_TRUE(refused([](auto& b) { b[3] = 0x80; }));                                // negative screen
  std::vector<uint8_t> longName = good;
  longName.resize(1120);
  longName.insert(longName.end(), 260, 'n');
  longName.insert(longName.end(), 4, 0);
  EXPECT_FALSE(ParseFrameBlock(longName.data(), longName.size(), nullptr));
  EXPECT_FALSE(ParseFrameBlock(nullptr, 0, nullptr));
}

TEST_F(Clipboard, ABlockThatDoesNotFitThePicturePastesItAsAForeignPicture) {
  AnimationPtr a = Sample(true);
  Frame& f = *FirstFrame(*a);
  std::vector<uint8_t> block = BuildFrameBlock(*a, f);
  std::vector<uint8_t> bmp = BuildFrameBmp(f);
  block[1076] = 6;  // says 6 wide; the picture is 5
  AnimationPtr pasted;
  ASSERT_EQ(PasteFrameData(block.data(), block.size(), bmp.data(), bmp.size(), nullptr, &pasted),
            PasteResult::kPasted);
  Frame& p = *FirstFrame(*pasted);
  EXPECT_EQ(GetFrameName(p), "[Unnamed]");
  EXPECT_EQ(p.delay, 100u);  // the default delay
  EXPECT_EQ(p.left, 0);
  EXPECT_FALSE(IsTransparent(p));
  EXPECT_EQ(pasted->screenWidth, 5);
  EXPECT_EQ(Pixels(p), Pixels(f));
  // A damaged block beside a sound picture: the same.
  block[1076] = 5;
  block[1056] = 0;
  ASSERT_EQ(PasteFrameData(block.data(), block.size(), bmp.data(), bmp.size(), nullptr, &pasted),
            PasteResult::kPasted);
  EXPECT_EQ(GetFrameName(*FirstFrame(*pasted)), "[Unnamed]");
}

TEST_F(Clipboard, TableFlagsFollowThePalettesReallyBuilt) {
  AnimationPtr a = Sample(false);
  Frame& f = *FirstFrame(*a);
  std::vector<uint8_t> block = BuildFrameBlock(*a, f);
  std::vector<uint8_t> bmp = BuildFrameBmp(f);
  // A block that claims a sorted 256-entry table beside an 8-colour picture without a local table.
  block[1102] = 0x40 | 0x20 | 7;
  AnimationPtr pasted;
  ASSERT_EQ(PasteFrameData(block.data(), block.size(), bmp.data(), bmp.size(), nullptr, &pasted),
            PasteResult::kPasted);
  EXPECT_EQ(FirstFrame(*pasted)->imageFlags, kImageInterlaced);
  // The other way: a local table claimed with the wrong size gets the size of the palette built.
  block[1102] = 0x80 | 1;
  ASSERT_EQ(PasteFrameData(block.data(), block.size(), bmp.data(), bmp.size(), nullptr, &pasted),
            PasteResult::kPasted);
  EXPECT_EQ(FirstFrame(*pasted)->imageFlags, 0x80 | 2);  // 8 colours: size field 2
  EXPECT_EQ(FirstFrame(*pasted)->localPalette->Count(), 8);
}

TEST_F(Clipboard, PicturesThatCannotBeReadAreLeftForOtherFormats) {
  AnimationPtr a = Sample(false);
  Frame& f = *FirstFrame(*a);
  std::vector<uint8_t> block = BuildFrameBlock(*a, f);
  std::vector<uint8_t> bmp = BuildFrameBmp(f);
  AnimationPtr pasted;
  // Rows cut short: the picture is bounded by the bytes there are.
  std::vector<uint8_t> cut(bmp.begin(), bmp.end() - 9);
  EXPECT_EQ(PasteFrameData(block.data(), block.size(), cut.data(), cut.size(), nullptr, &pasted),
            PasteResult::kUnusable);
  EXPECT_EQ(PasteFrameData(block.data(), block.size(), nullptr, 0, nullptr, &pasted), PasteResult::kUnusable);
  EXPECT_EQ(pasted, nullptr);
  // More colours said to be used than the data holds: refused, nothing read past the end.
  std::vector<uint8_t> many = bmp;
  many[14 + 32] = 0x2C;
  many[14 + 33] = 0x01;  // 300 colours
  EXPECT_EQ(PasteFrameData(block.data(), block.size(), many.data(), many.size(), nullptr, &pasted),
            PasteResult::kUnusable);
  // A table of 300 entries really there: 8 bits index 256 of them, the palette has no more.
  std::vector<uint8_t> dib = BuildFrameDib(f);
  std::vector<uint8_t> wide(dib.begin(), dib.begin() + 40);
  wide[32] = 0x2C;
  wide[33] = 0x01;
  wide.insert(wide.end(), dib.begin() + 40, dib.begin() + 40 + 32);
  wide.insert(wide.end(), (300 - 8) * 4, 0);
  wide.insert(wide.end(), dib.begin() + 40 + 32, dib.end());
  ASSERT_EQ(PasteFrameData(block.data(), block.size(), wide.data(), wide.size(), nullptr, &pasted),
            PasteResult::kPasted);
  EXPECT_EQ(FirstFrame(*pasted)->palette->Count(), 256);
  EXPECT_EQ(Pixels(*FirstFrame(*pasted)), Pixels(f));
  EXPECT_TRUE(hooks.Texts().empty());
}

}  // namespace
}  // namespace lw
