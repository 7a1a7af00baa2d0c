#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "color/palette_choice.h"
#include "color_dib_support.h"
#include "io/bmp_import.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"

namespace lw {
namespace {

using test::Concat;
using test::DibHead;
using test::DibLayout;
using test::DibRows;

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string DataPath(const std::string& name) {
  return std::string(LW_TEST_DATA) + "/bmp/" + name;
}

class BmpImport : public ::testing::Test {
 protected:
  void SetUp() override {
    ReadPreferences(nullptr);
    SetPreference(kPrefHighColor, kChoiceAdaptive | kChoiceDither | 8u << 16);
  }
  void TearDown() override { ReadPreferences(nullptr); }
  RecordingUiHooks hooks;
  ScopedUiHooks scope{&hooks};
};

struct CorpusFile {
  const char* name;
  const char* reference;
  bool trueColor;
};

const CorpusFile kCorpus[] = {
    {"pal1.bmp", "pal1", false},          {"pal1wb.bmp", "pal1", false},
    {"pal1bg.bmp", "pal1bg", false},      {"pal4.bmp", "pal4", false},
    {"pal4rle.bmp", "pal4", false},       {"pal8.bmp", "pal8", false},
    {"pal8-0.bmp", "pal8", false},        {"pal8rle.bmp", "pal8", false},
    {"pal8topdown.bmp", "pal8", false},   {"pal8v4.bmp", "pal8", false},
    {"pal8v5.bmp", "pal8", false},        {"pal8nonsquare.bmp", "pal8nonsquare", false},
    {"pal8w124.bmp", "pal8w124", false},  {"pal8w125.bmp", "pal8w125", false},
    {"pal8w126.bmp", "pal8w126", false},  {"rgb16.bmp", "rgb16", true},
    {"rgb16-565.bmp", "rgb16-565", true}, {"rgb16-565pal.bmp", "rgb16-565", true},
    {"rgb24.bmp", "rgb24", true},         {"rgb24pal.bmp", "rgb24", true},
    {"rgb32.bmp", "rgb32", true},         {"rgb32bf.bmp", "rgb24", true},
};

TEST_F(BmpImport, EveryCorpusPictureImportsAndLooksLikeItsSource) {
  for (const CorpusFile& c : kCorpus) {
    SCOPED_TRACE(c.name);
    std::string ref = std::string(c.reference) == "rgb32" ? "rgb24" : c.reference;
    std::vector<uint8_t> expected = ReadAll(DataPath("reference/" + ref + ".rgb"));
    ASSERT_FALSE(expected.empty());
    AnimationPtr a;
    ASSERT_EQ(ReadBmpFile(DataPath(c.name), &a, nullptr), 1);
    ASSERT_TRUE(a);
    EXPECT_TRUE(hooks.entries.empty());
    EXPECT_EQ(a->frameCount, 1);
    const Frame* f = FirstFrame(*a);
    ASSERT_TRUE(f);
    EXPECT_EQ(GetFrameName(*f), "[Unnamed]");
    ASSERT_EQ(static_cast<size_t>(f->width) * static_cast<size_t>(f->height) * 3, expected.size());
    const Palette& p = *f->palette;
    // Pixel by pixel for pictures with a palette; for full-colour ones the dithered picture must keep the
    // local average (4 × 4 blocks) and stay close pixel by pixel.
    double absSum = 0;
    int worstBlock = 0;
    for (int y = 0; y < f->height; ++y) {
      for (int x = 0; x < f->width; ++x) {
        const PaletteEntry& e = p[f->Row(y)[x]];
        const uint8_t* want =
            &expected[(static_cast<size_t>(y) * static_cast<size_t>(f->width) + static_cast<size_t>(x)) * 3];
        if (!c.trueColor) {
          ASSERT_EQ((std::array<int, 3>{e.red, e.green, e.blue}),
                    (std::array<int, 3>{want[0], want[1], want[2]}))
              << "pixel " << x << "," << y;
        } else {
          absSum += std::abs(e.red - want[0]) + std::abs(e.green - want[1]) + std::abs(e.blue - want[2]);
        }
      }
    }
    if (c.trueColor) {
      for (int by = 0; by + 4 <= f->height; by += 4) {
        for (int bx = 0; bx + 4 <= f->width; bx += 4) {
          for (int ch = 0; ch < 3; ++ch) {
            int got = 0, want = 0;
            for (int y = by; y < by + 4; ++y)
              for (int x = bx; x < bx + 4; ++x) {
                const PaletteEntry& e = p[f->Row(y)[x]];
                got += ch == 0 ? e.red : ch == 1 ? e.green : e.blue;
                want += expected[(static_cast<size_t>(y) * static_cast<size_t>(f->width) +
                                  static_cast<size_t>(x)) *
                                     3 +
                                 static_cast<size_t>(ch)];
              }
            worstBlock = std::max(worstBlock, std::abs(got - want) / 16);
          }
        }
      }
      double meanAbs = absSum / (3.0 * f->width * f->height);
      EXPECT_LT(meanAbs, 10.0);   // ImageMagick's own 256 colours stay about 6 off on these
      EXPECT_LE(worstBlock, 40);  // the band edges of the picture carry the most error
    }
  }
}

TEST_F(BmpImport, TheOs2CoreHeaderShowsWhatItsWindowsTwinShows) {
  AnimationPtr os2, windows;
  ASSERT_EQ(ReadBmpFile(DataPath("pal8os2.bmp"), &os2, nullptr), 1);
  ASSERT_EQ(ReadBmpFile(DataPath("pal8.bmp"), &windows, nullptr), 1);
  const Frame* f = FirstFrame(*os2);
  const Frame* g = FirstFrame(*windows);
  ASSERT_EQ(f->width, g->width);
  ASSERT_EQ(f->height, g->height);
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x)
      ASSERT_EQ((*f->palette)[f->Row(y)[x]], (*g->palette)[g->Row(y)[x]]) << x << "," << y;
  EXPECT_TRUE(hooks.entries.empty());
}

// An 8-bit 2 × 2 picture with a 4-entry table; rows given.
std::vector<uint8_t> Small8(std::vector<uint8_t> rows) {
  DibLayout s{.width = 2,
              .height = -2,
              .bitCount = 8,
              .colorsUsed = 4,
              .table = {{0, 0, 0, 0}, {10, 10, 10, 0}, {20, 20, 20, 0}, {30, 30, 30, 0}}};
  return Concat(DibHead(s), rows);
}

std::vector<uint8_t> FirstRows(const Animation& a) {
  const Frame* f = FirstFrame(a);
  return {f->Row(0)[0], f->Row(0)[1], f->Row(1)[0], f->Row(1)[1]};
}

TEST_F(BmpImport, PixelOffsetIsFollowedWhenItIsSound) {
  // A gap of 8 bytes between the table and the rows, which the offset points past.
  auto dib = Small8({9, 9, 9, 9, 9, 9, 9, 9, 1, 2, 0, 0, 3, 0, 0, 0});
  uint32_t tableEnd = 14 + 40 + 16;
  AnimationPtr a;
  ASSERT_EQ(ReadBmpMemory(test::BmpFile(dib, tableEnd + 8).data(), dib.size() + 14, &a, nullptr), 1);
  EXPECT_EQ(FirstRows(*a), (std::vector<uint8_t>{1, 2, 3, 0}));
  // Offsets into the header or past the end are not sound: the rows follow the table.
  auto plain = Small8({1, 2, 0, 0, 3, 0, 0, 0});
  for (uint32_t offset : {0u, 20u, tableEnd - 4, 100000u}) {
    auto file = test::BmpFile(plain, offset);
    ASSERT_EQ(ReadBmpMemory(file.data(), file.size(), &a, nullptr), 1) << offset;
    EXPECT_EQ(FirstRows(*a), (std::vector<uint8_t>{1, 2, 3, 0})) << offset;
  }
  EXPECT_TRUE(hooks.entries.empty());
}

TEST_F(BmpImport, TheFileSizeFieldIsNotTrusted) {
  test::TempDir dir;
  auto plain = Small8({1, 2, 0, 0, 3, 0, 0, 0});
  for (uint32_t field : {1u, 30u, 0xFFFFFFF0u}) {
    auto file = test::BmpFile(plain, 0, field);
    std::ofstream(dir / "x.dib", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    AnimationPtr a;
    ASSERT_EQ(ReadBmpFile(dir / "x.dib", &a, nullptr), 1) << field;
    EXPECT_EQ(FirstRows(*a), (std::vector<uint8_t>{1, 2, 3, 0}));
  }
  // A file whose rows are cut short is refused, whatever its size field says.
  auto file = test::BmpFile(plain, 0, 1000);
  file.resize(file.size() - 2);
  std::ofstream(dir / "cut.bmp", std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  AnimationPtr a;
  EXPECT_EQ(ReadBmpFile(dir / "cut.bmp", &a, nullptr), 0);
  EXPECT_EQ(hooks.Texts(), (std::vector<std::string>{"The BMP/DIB image data is damaged or incomplete."}));
}

TEST_F(BmpImport, MissingAndTinyFilesAreReported) {
  test::TempDir dir;
  AnimationPtr a;
  EXPECT_EQ(ReadBmpFile(dir / "none.bmp", &a, nullptr), 0);
  std::ofstream(dir / "tiny.bmp", std::ios::binary) << "BM\x10";
  EXPECT_EQ(ReadBmpFile(dir / "tiny.bmp", &a, nullptr), 0);
  EXPECT_EQ(ReadBmpFile(dir.path().string(), &a, nullptr), 0);  // a folder is no file
  ASSERT_EQ(hooks.Texts().size(), 3u);
  EXPECT_EQ(hooks.Texts()[2], "Unable to open file '" + dir.path().string() + "'.");
  EXPECT_EQ(hooks.Texts()[0], "Unable to open file '" + (dir / "none.bmp") + "'.");
  EXPECT_EQ(hooks.Texts()[1], "The BMP/DIB image data is damaged or incomplete.");
}

TEST_F(BmpImport, V5HeaderCarriesItsOwnMasks) {
  // 32-bit bit fields in a V5 header: red in bits 8-15, green 16-23, blue 24-31.
  DibLayout s{.headerSize = 124,
              .width = 2,
              .height = -1,
              .bitCount = 32,
              .compression = kDibBitFields,
              .masks = {0x0000FF00, 0x00FF0000, 0xFF000000}};
  auto dib = Concat(DibHead(s), {0, 255, 0, 0, 0, 0, 0, 255});  // red, blue
  SetPreference(kPrefHighColor, kChoiceAdaptive | 8u << 16);
  AnimationPtr a;
  auto file = test::BmpFile(dib, 14 + 124);
  ASSERT_EQ(ReadBmpMemory(file.data(), file.size(), &a, nullptr), 1);
  const Frame* f = FirstFrame(*a);
  EXPECT_EQ((*f->palette)[f->Row(0)[0]], (PaletteEntry{255, 0, 0, 0}));
  EXPECT_EQ((*f->palette)[f->Row(0)[1]], (PaletteEntry{0, 0, 255, 0}));
}

}  // namespace
}  // namespace lw
