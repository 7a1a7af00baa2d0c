#include <gtest/gtest.h>

#include "color/dither.h"
#include "color/palette_choice.h"
#include "color/true_color.h"
#include "color_dib_support.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::Concat;
using test::DibHead;
using test::DibLayout;
using test::DibRows;

// Every test starts from the default preferences (high colour: adaptive 256, dither, always ask).
class TrueColor : public ::testing::Test {
 protected:
  void SetUp() override { ReadPreferences(nullptr); }
  void TearDown() override { ReadPreferences(nullptr); }
  RecordingUiHooks hooks;
  ScopedUiHooks scope{&hooks};
};

TEST_F(TrueColor, HighColorChoiceAsksWithTheRightFlags) {
  hooks.paletteAnswers.push_back({0x88, false});
  EXPECT_EQ(GetHighColorChoice(nullptr), 0x88u);
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_EQ(hooks.entries[0].flags, 0x400Au);

  Palette current(std::vector<PaletteEntry>{{1, 2, 3, 0}});
  GetHighColorChoice(&current);
  EXPECT_EQ(hooks.entries[1].flags, 0x400Eu);  // the current palette is offered too

  // Stored "only the current global palette" without a document: asked, without the default box, and an
  // answer marked as default is not stored.
  SetPreference(kPrefHighColor, 0x84);
  hooks.paletteAnswers.push_back({0x80002, true});
  EXPECT_EQ(GetHighColorChoice(nullptr), 0x80002u);
  EXPECT_EQ(hooks.entries[2].flags, 0xC00Au);
  EXPECT_EQ(GetPreference(kPrefHighColor), 0x84u);
  // With a document it is used as stored, without a question.
  EXPECT_EQ(GetHighColorChoice(&current), 0x84u);
  EXPECT_EQ(hooks.entries.size(), 3u);
}

TEST_F(TrueColor, AnAnswerMadeTheDefaultIsStoredInItsSlotWithoutTheAskBit) {
  hooks.paletteAnswers.push_back({0x30182, true});
  EXPECT_EQ(GetHighColorChoice(nullptr), 0x30182u);
  EXPECT_EQ(GetPreference(kPrefHighColor), 0x30082u);
  EXPECT_EQ(GetHighColorChoice(nullptr), 0x30082u);  // no longer asked
  EXPECT_EQ(hooks.entries.size(), 1u);

  uint32_t conflict = GetPreference(kPrefPaletteConflict);
  hooks.paletteAnswers.push_back({0x11, true});
  EXPECT_EQ(AskPaletteChoice(kConflictInsert | 0x25), 0x11u);
  EXPECT_EQ(GetPreference(kPrefPaletteConflict), 0x11u);
  EXPECT_EQ(GetPreference(kPrefHighColor), 0x30082u);
  hooks.paletteAnswers.push_back({0, true});  // Cancel stores nothing
  EXPECT_EQ(AskPaletteChoice(kConflictInsert | 0x25), 0u);
  EXPECT_EQ(GetPreference(kPrefPaletteConflict), 0x11u);
  (void)conflict;
}

std::vector<PaletteEntry> Greys(int n) {
  std::vector<PaletteEntry> t;
  for (int i = 0; i < n; ++i)
    t.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0});
  return t;
}

TEST_F(TrueColor, EightBitTableOfSixteenAndRowsRightAfterIt) {
  DibLayout s{.width = 3, .height = 2, .bitCount = 8, .colorsUsed = 16, .table = Greys(16)};
  auto dib = Concat(
      DibHead(s), DibRows(s, [](int y, std::vector<uint8_t>& r) {
        r = {static_cast<uint8_t>(y * 3), static_cast<uint8_t>(y * 3 + 1), static_cast<uint8_t>(y * 3 + 2)};
      }));
  SetPreference(kPrefDefaultDelay, 42);
  AnimationPtr a = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr);
  ASSERT_TRUE(a);
  Frame* f = FirstFrame(*a);
  ASSERT_TRUE(f);
  EXPECT_EQ(a->globalPalette->Count(), 16);
  EXPECT_EQ(f->palette, a->globalPalette.get());
  EXPECT_EQ(f->localPalette, nullptr);
  // Bottom-up: memory row 0 is the picture's bottom row.
  EXPECT_EQ(f->Row(0)[0], 3);
  EXPECT_EQ(f->Row(1)[2], 2);
  EXPECT_EQ(GetFrameName(*f), "[Unnamed]");
  EXPECT_EQ(f->delay, 42u);
  EXPECT_EQ(a->screenWidth, 3);
  EXPECT_EQ(a->screenHeight, 2);
  EXPECT_EQ(a->loopCount, 1u);
  EXPECT_EQ(a->frameCount, 1);
  EXPECT_EQ(a->fileSize.load(), kUnknownFileSize);
  EXPECT_EQ(a->colorUse[3], 1u);
  EXPECT_EQ(a->colorUse[15], 0u);
  EXPECT_TRUE(hooks.entries.empty());  // 8 bits ask nothing

  // Top-down rows are copied as they are; colorsUsed 0 gives the full 256-entry table.
  DibLayout t{.width = 3, .height = -2, .bitCount = 8, .table = Greys(256)};
  auto td = Concat(DibHead(t),
                   DibRows(t, [](int y, std::vector<uint8_t>& r) { r = {static_cast<uint8_t>(200 + y)}; }));
  a = ConvertDibToAnimation(nullptr, td.data(), td.size(), nullptr);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->globalPalette->Count(), 256);
  EXPECT_EQ(FirstFrame(*a)->Row(0)[0], 200);
  EXPECT_EQ(FirstFrame(*a)->Row(1)[0], 201);
}

TEST_F(TrueColor, OneAndFourBitPixelsKeepTheirIndices) {
  DibLayout s4{.width = 5, .height = -1, .bitCount = 4, .colorsUsed = 16, .table = Greys(16)};
  auto d4 = Concat(DibHead(s4), DibRows(s4, [](int, std::vector<uint8_t>& r) { r = {0x1F, 0xA0, 0x70}; }));
  AnimationPtr a = ConvertDibToAnimation(nullptr, d4.data(), d4.size(), nullptr);
  ASSERT_TRUE(a);
  const uint8_t* row = FirstFrame(*a)->Row(0);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 5), (std::vector<uint8_t>{1, 15, 10, 0, 7}));
  EXPECT_EQ(a->globalPalette->Count(), 16);

  DibLayout s1{.width = 10, .height = 2, .bitCount = 1, .table = {{0, 0, 0, 0}, {255, 255, 255, 0}}};
  auto d1 = Concat(DibHead(s1), DibRows(s1, [](int y, std::vector<uint8_t>& r) {
                     r = y == 0 ? std::vector<uint8_t>{0xA5, 0x80} : std::vector<uint8_t>{0x00, 0x40};
                   }));
  a = ConvertDibToAnimation(nullptr, d1.data(), d1.size(), nullptr);
  ASSERT_TRUE(a);
  const Frame* f = FirstFrame(*a);
  EXPECT_EQ(a->globalPalette->Count(), 2);
  EXPECT_EQ(std::vector<uint8_t>(f->Row(1), f->Row(1) + 10),
            (std::vector<uint8_t>{1, 0, 1, 0, 0, 1, 0, 1, 1, 0}));
  EXPECT_EQ(std::vector<uint8_t>(f->Row(0), f->Row(0) + 10),
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST_F(TrueColor, RunLengthBitmapsAreDecoded) {
  // RLE8, 4 × 3: bottom row a run of 4 × 5; next row 2 literals then end of line; then a delta of (1, 0)
  // and a run of 2 × 9, then end of bitmap.
  DibLayout s{
      .width = 4, .height = 3, .bitCount = 8, .compression = kDibRle8, .colorsUsed = 16, .table = Greys(16)};
  auto dib = Concat(DibHead(s), {4, 5, 0, 0, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 0, 2, 9, 0, 1});
  AnimationPtr a = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr);
  ASSERT_TRUE(a);
  const Frame* f = FirstFrame(*a);
  EXPECT_EQ(std::vector<uint8_t>(f->Row(2), f->Row(2) + 4), (std::vector<uint8_t>{5, 5, 5, 5}));
  EXPECT_EQ(std::vector<uint8_t>(f->Row(1), f->Row(1) + 4), (std::vector<uint8_t>{1, 2, 3, 0}));
  EXPECT_EQ(std::vector<uint8_t>(f->Row(0), f->Row(0) + 4), (std::vector<uint8_t>{0, 9, 9, 0}));

  // RLE4, 6 × 1: a run of 3 alternating 1 and 2, then 3 literal nibbles 7, 8, 9 (two bytes, a word).
  DibLayout s4{
      .width = 6, .height = 1, .bitCount = 4, .compression = kDibRle4, .colorsUsed = 16, .table = Greys(16)};
  auto d4 = Concat(DibHead(s4), {3, 0x12, 0, 3, 0x78, 0x90, 0, 1});
  a = ConvertDibToAnimation(nullptr, d4.data(), d4.size(), nullptr);
  ASSERT_TRUE(a);
  f = FirstFrame(*a);
  EXPECT_EQ(std::vector<uint8_t>(f->Row(0), f->Row(0) + 6), (std::vector<uint8_t>{1, 2, 1, 7, 8, 9}));
}

// A 24-bit picture of width × height in a few flat colours.
std::vector<uint8_t> Flat24(int w, int h, bool topDown) {
  DibLayout s{.width = w, .height = topDown ? -h : h, .bitCount = 24};
  return Concat(DibHead(s), DibRows(s, [w](int y, std::vector<uint8_t>& r) {
                  for (int x = 0; x < w; ++x) {
                    bool left = x < w / 2;
                    r.insert(r.end(), {static_cast<uint8_t>(left ? 255 : 0), static_cast<uint8_t>(y * 40),
                                       static_cast<uint8_t>(left ? 0 : 255)});  // blue, green, red
                  }
                }));
}

TEST_F(TrueColor, FullColourGoesThroughTheChoiceAndComesOutUpright) {
  hooks.paletteAnswers.push_back({0x80002 | kChoiceDither, false});
  auto dib = Flat24(6, 4, false);
  AnimationPtr a = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr);
  ASSERT_TRUE(a);
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_EQ(hooks.entries[0].flags, 0x400Au);
  const Frame* f = FirstFrame(*a);
  const Palette& p = *a->globalPalette;
  EXPECT_LE(p.Count(), 256);
  // Top row (memory row 3): green 120; left half blue, right half red. Flat colours of few cells map exactly.
  PaletteEntry topLeft = p[f->Row(0)[0]], bottomRight = p[f->Row(3)[5]];
  EXPECT_EQ(topLeft.blue, 255);
  EXPECT_NEAR(topLeft.green, 120, 4);
  EXPECT_EQ(bottomRight.red, 255);
  EXPECT_NEAR(bottomRight.green, 0, 4);

  // The same picture stored top-down gives the same frame.
  hooks.paletteAnswers.push_back({0x80002 | kChoiceDither, false});
  DibLayout s{.width = 6, .height = -4, .bitCount = 24};
  auto flipped = DibHead(s);
  const size_t stride = 20;
  for (int y = 3; y >= 0; --y)
    flipped.insert(flipped.end(), dib.begin() + 40 + y * static_cast<long>(stride),
                   dib.begin() + 40 + (y + 1) * static_cast<long>(stride));
  AnimationPtr b = ConvertDibToAnimation(nullptr, flipped.data(), flipped.size(), nullptr);
  ASSERT_TRUE(b);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(p[f->Row(y)[x]], (*b->globalPalette)[FirstFrame(*b)->Row(y)[x]]) << x << "," << y;
}

TEST_F(TrueColor, CurrentGlobalPaletteAndWebCubeChoices) {
  Palette current(std::vector<PaletteEntry>{{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}});
  SetPreference(kPrefHighColor, kChoiceGlobalOnly);  // no dither, no question
  auto dib = Flat24(4, 1, true);
  AnimationPtr a = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), &current);
  ASSERT_TRUE(a);
  EXPECT_EQ(*a->globalPalette, current);
  const uint8_t* row = FirstFrame(*a)->Row(0);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 4), (std::vector<uint8_t>{2, 2, 1, 1}));

  SetPreference(kPrefHighColor, kChoiceWebCube);
  a = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), &current);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->globalPalette->Count(), 256);
  row = FirstFrame(*a)->Row(0);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 4), (std::vector<uint8_t>{5, 5, 180, 180}));
  EXPECT_TRUE(hooks.entries.empty());
}

TEST_F(TrueColor, AGivenChoiceIsUsedWithoutAsking) {
  auto dib = Flat24(4, 1, true);
  AnimationPtr a = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr, 0, kChoiceWebCube);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->globalPalette->Count(), 256);
  EXPECT_TRUE(hooks.entries.empty());  // the stored preference says "always ask"
  a = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr, 0, kChoiceAdaptive | 1u << 16);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->globalPalette->Count(), 2);
}

TEST_F(TrueColor, CancelAndDitherFailureGiveNoAnimation) {
  // More colours than a palette holds, so that the picture is dithered rather than kept exactly.
  DibLayout s{.width = 300, .height = 1, .bitCount = 24};
  auto dib = Concat(DibHead(s), DibRows(s, [](int, std::vector<uint8_t>& r) {
                      for (int x = 0; x < 300; ++x)
                        r.insert(r.end(), {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), 0});
                    }));
  hooks.paletteAnswers.push_back({0, false});
  EXPECT_EQ(ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr), nullptr);
  EXPECT_TRUE(hooks.Texts().empty());  // Cancel is no error

  hooks.paletteAnswers.push_back({0x80082, false});
  SimulateDitherAllocationFailure(true);
  AnimationPtr a = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr);
  SimulateDitherAllocationFailure(false);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(hooks.Texts(),
            (std::vector<std::string>{"Not enough resources for error diffusion of dithering operations."}));
}

TEST_F(TrueColor, RefusedHeadersNameTheProblem) {
  auto expect = [&](std::vector<uint8_t> dib, const std::string& message) {
    hooks.entries.clear();
    EXPECT_EQ(ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr), nullptr) << message;
    EXPECT_EQ(hooks.Texts(), (std::vector<std::string>{message}));
  };
  auto dib = Flat24(4, 2, false);
  auto os2 = dib;
  os2[0] = 12;
  expect(os2, "Loopwright does not handle this type of image data.");
  auto jpeg = dib;
  jpeg[16] = 4;
  expect(jpeg, "Loopwright does not handle compressed BMP/DIB images.");
  auto odd = dib;
  odd[14] = 7;
  expect(odd, "Loopwright does not handle this type of image data.");
  expect(std::vector<uint8_t>(dib.begin(), dib.end() - 1),
         "The BMP/DIB image data is damaged or incomplete.");
  auto wide = dib;
  test::Set32(wide, 4, 0x7FFFFFFF);
  expect(wide, "The BMP/DIB image is too large to be loaded.");
  auto noWidth = dib;
  test::Set32(noWidth, 4, 0);
  expect(noWidth, "The BMP/DIB image data is damaged or incomplete.");
  auto minHeight = dib;
  test::Set32(minHeight, 8, 0x80000000u);
  expect(minHeight, "The BMP/DIB image data is damaged or incomplete.");
  auto table = dib;
  test::Set32(table, 32, 0x40000000u);  // a colour table far past the data
  expect(table, "The BMP/DIB image data is damaged or incomplete.");
  DibLayout bf{.width = 1, .height = 1, .bitCount = 16, .compression = kDibBitFields};
  auto masks = DibHead(bf);
  masks.resize(44);  // masks cut short
  expect(masks, "The BMP/DIB image data is damaged or incomplete.");
  DibLayout rleDown{.width = 2, .height = -2, .bitCount = 8, .compression = kDibRle8, .table = Greys(256)};
  expect(Concat(DibHead(rleDown), {0, 1}), "The BMP/DIB image data is damaged or incomplete.");
  expect({40, 0, 0}, "The BMP/DIB image data is damaged or incomplete.");
}

TEST_F(TrueColor, OwnFrameRecordGivesTheAttributes) {
  auto source = test::MakeAnimation(1, 3, 2, 4);
  source->screenWidth = 50;
  source->screenHeight = 40;
  source->backgroundIndex = 3;
  Frame* sf = FirstFrame(*source);
  sf->left = 7;
  sf->top = 9;
  sf->delay = 13;
  sf->controlFlags = kControlTransparent | (2 << 2);
  sf->transparentIndex = 1;
  SetFrameName(*sf, "walk 1");
  SetLocalPalette(*sf, test::MakePalette(16));
  OwnFrameRecord own{source.get(), sf};

  DibLayout s{.width = 3, .height = 2, .bitCount = 8, .colorsUsed = 16, .table = Greys(16)};
  auto dib = Concat(DibHead(s), DibRows(s, [](int, std::vector<uint8_t>& r) { r = {1, 2, 1}; }));
  AnimationPtr a = ConvertDibToAnimation(&own, dib.data(), dib.size(), nullptr);
  ASSERT_TRUE(a);
  const Frame* f = FirstFrame(*a);
  EXPECT_EQ(a->screenWidth, 50);
  EXPECT_EQ(a->backgroundIndex, 3);
  EXPECT_EQ(f->left, 7);
  EXPECT_EQ(f->top, 9);
  EXPECT_EQ(f->delay, 13u);
  EXPECT_EQ(GetDisposal(*f), 2);
  EXPECT_EQ(GetFrameName(*f), "walk 1");
  ASSERT_TRUE(f->localPalette);
  EXPECT_EQ(f->palette, f->localPalette.get());
  EXPECT_EQ(f->localPalette->Count(), 16);
  EXPECT_EQ(*a->globalPalette, DefaultPalette());
  ASSERT_TRUE(f->mask);  // transparent: the mask is built over the new pixels
  EXPECT_TRUE(f->mask->IsSet(0, 0));
  EXPECT_FALSE(f->mask->IsSet(1, 0));
}

}  // namespace
}  // namespace lw
