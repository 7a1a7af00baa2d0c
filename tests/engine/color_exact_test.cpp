// Full-colour pictures with no more colours than the palette holds keep every colour exactly; richer ones
// still go through the quantizer.
#include <gtest/gtest.h>

#include <set>

#include "color/exact_colors.h"
#include "color/palette_choice.h"
#include "color/true_color.h"
#include "color_dib_support.h"
#include "support/hooks_fixture.h"

namespace lw {
namespace {

using test::Concat;
using test::DibHead;
using test::DibLayout;
using test::DibRows;

// Colour number k (k < 512) of a set spread over the whole cube, all of them different.
uint32_t Colour(int k) {
  return static_cast<uint32_t>((k * 97 + 3) % 256) << 16 |
         static_cast<uint32_t>(((k * 59 + 5) % 256) ^ (k >> 8) * 0x55) << 8 |
         static_cast<uint32_t>((k * 31 + 6) % 256);
}

// A 24-bit bottom-up picture whose pixel (x, y) is Colour(pick(x, y)).
std::vector<uint8_t> Picture24(int w, int h, const std::function<int(int, int)>& pick) {
  DibLayout s{.width = w, .height = h, .bitCount = 24};
  return Concat(DibHead(s), DibRows(s, [&](int row, std::vector<uint8_t>& r) {
                  for (int x = 0; x < w; ++x) {
                    const uint32_t c = Colour(pick(x, h - 1 - row));
                    r.insert(r.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                                       static_cast<uint8_t>(c >> 16)});
                  }
                }));
}

// How many of the picture's pixels come out with another colour than pick gives.
int WrongPixels(const Animation& a, const std::function<int(int, int)>& pick) {
  const Frame* f = FirstFrame(a);
  int wrong = 0;
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x) {
      const PaletteEntry& e = (*f->palette)[f->Row(y)[x]];
      const uint32_t c = Colour(pick(x, y));
      wrong += e.red != (c >> 16 & 0xFF) || e.green != (c >> 8 & 0xFF) || e.blue != (c & 0xFF);
    }
  return wrong;
}

class ExactColours : public test::RecordingTest {};

TEST_F(ExactColours, PicturesThatFitKeepEveryColourWithOrWithoutDither) {
  for (int colours : {16, 256}) {
    for (uint32_t dither : {0u, kChoiceDither}) {
      auto pick = [colours](int x, int y) { return (x * 7 + y * 13) % colours; };
      auto dib = Picture24(37, 23, pick);  // 851 pixels: every colour appears
      AnimationPtr a = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr, 0,
                                             ChoiceWithBits(kChoiceAdaptive | dither, 8));
      ASSERT_TRUE(a);
      EXPECT_EQ(a->globalPalette->Count(), colours);
      EXPECT_EQ(WrongPixels(*a, pick), 0) << colours << " colours, dither " << dither;
    }
  }
  EXPECT_TRUE(hooks.Texts().empty());
}

TEST_F(ExactColours, OneColourMoreThanThePaletteHoldsIsQuantized) {
  // 257 colours into 256 entries, and 17 into the 16 of a 4-bit adaptive choice: some pixel must change.
  for (auto [count, bits] : {std::pair{257, 8}, std::pair{17, 4}, std::pair{16, 4}}) {
    const int colours = count;  // clang 14 cannot capture a structured binding
    auto pick = [colours](int x, int y) { return (x + y * 31) % colours; };
    auto dib = Picture24(31, 17, pick);
    AnimationPtr a = ConvertDibToAnimation(nullptr, dib.data(), dib.size(), nullptr, 0,
                                           ChoiceWithBits(kChoiceAdaptive, bits));
    ASSERT_TRUE(a);
    EXPECT_LE(a->globalPalette->Count(), 1 << bits);
    if (colours > 1 << bits)
      EXPECT_GT(WrongPixels(*a, pick), 0) << colours;
    else
      EXPECT_EQ(WrongPixels(*a, pick), 0) << colours;
  }
}

TEST_F(ExactColours, MostUsedFirstAndMasksRead) {
  // 16 bits with 5-6-5 masks: colours are read as the DIB's channels give them.
  DibLayout s{.width = 5,
              .height = -2,
              .bitCount = 16,
              .compression = kDibBitFields,
              .masks = {0xF800, 0x07E0, 0x001F}};
  const uint16_t px[2][5] = {{0xF800, 0xF800, 0x07E0, 0xF800, 0x001F},
                             {0x07E0, 0xF800, 0xFFFF, 0xF800, 0x07E0}};
  auto dib = Concat(DibHead(s), DibRows(s, [&](int y, std::vector<uint8_t>& r) {
                      for (uint16_t v : px[y])
                        r.insert(r.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
                    }));
  DibView view;
  ASSERT_EQ(ReadDib(dib.data(), dib.size(), 0, &view), DibError::kNone);
  PaletteEntry out[256];
  ASSERT_EQ(ExactDibColors(view.header, view.bits, out, 256), 4);
  EXPECT_EQ(out[0], (PaletteEntry{248, 0, 0, 0}));  // five pixels
  EXPECT_EQ(out[1], (PaletteEntry{0, 252, 0, 0}));  // three
  EXPECT_EQ(out[2], (PaletteEntry{0, 0, 248, 0}));  // one each, in order of appearance
  EXPECT_EQ(out[3], (PaletteEntry{248, 252, 248, 0}));
  EXPECT_EQ(ExactDibColors(view.header, view.bits, out, 3), 0);

  // Onto a palette with the same colour twice, the lower index is used; a missing colour refuses.
  Palette doubled(std::vector<PaletteEntry>{
      {1, 1, 1, 0}, {0, 0, 248, 0}, {248, 0, 0, 0}, {0, 252, 0, 0}, {248, 0, 0, 0}, {248, 252, 248, 0}});
  std::vector<uint8_t> rows(16, 0xEE);
  ASSERT_TRUE(MapDibExactly(view.header, view.bits, rows.data(), doubled));
  EXPECT_EQ(std::vector<uint8_t>(rows.begin(), rows.begin() + 5), (std::vector<uint8_t>{2, 2, 3, 2, 1}));
  EXPECT_EQ(std::vector<uint8_t>(rows.begin() + 8, rows.begin() + 13), (std::vector<uint8_t>{3, 2, 5, 2, 3}));
  doubled.Entries().pop_back();
  EXPECT_FALSE(MapDibExactly(view.header, view.bits, rows.data(), doubled));
}

}  // namespace
}  // namespace lw
