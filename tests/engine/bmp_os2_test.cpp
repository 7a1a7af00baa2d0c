#include <gtest/gtest.h>

#include "io/bmp_import.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"

namespace lw {
namespace {

// Little-endian; runs longer than four bytes are zero-filled past the value.
void Put(std::vector<uint8_t>& v, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) v.push_back(i < 4 ? static_cast<uint8_t>(value >> (8 * i)) : 0);
}

// A file header whose pixel offset is given (0: none).
std::vector<uint8_t> FileHeader(uint32_t offBits) {
  std::vector<uint8_t> v = {'B', 'M'};
  Put(v, 0, 4);
  Put(v, 0, 4);
  Put(v, offBits, 4);
  return v;
}

std::vector<uint8_t> CoreHeader(int w, int h, int bits) {
  std::vector<uint8_t> v;
  Put(v, 12, 4);
  Put(v, static_cast<uint32_t>(w), 2);
  Put(v, static_cast<uint32_t>(h), 2);
  Put(v, 1, 2);
  Put(v, static_cast<uint32_t>(bits), 2);
  return v;
}

std::vector<uint8_t> Os2V2Header(int w, int h, int bits, uint32_t compression, uint32_t colors) {
  std::vector<uint8_t> v;
  Put(v, 64, 4);
  Put(v, static_cast<uint32_t>(w), 4);
  Put(v, static_cast<uint32_t>(h), 4);
  Put(v, 1, 2);
  Put(v, static_cast<uint32_t>(bits), 2);
  Put(v, compression, 4);
  Put(v, 0, 4 * 3);
  Put(v, colors, 4);
  Put(v, 0, 4);
  Put(v, 0, 24);  // units, reserved, recording, rendering, sizes, encoding, identifier
  return v;
}

class Os2Bmp : public ::testing::Test {
 protected:
  void SetUp() override { ReadPreferences(nullptr); }
  void TearDown() override { ReadPreferences(nullptr); }
  AnimationPtr Read(const std::vector<uint8_t>& file) {
    AnimationPtr a;
    const int r = ReadBmpMemory(file.data(), file.size(), &a, nullptr, kChoiceAdaptive | 8u << 16);
    EXPECT_EQ(r == 1, a != nullptr);
    return a;
  }
  RecordingUiHooks hooks;
  ScopedUiHooks scope{&hooks};
};

TEST_F(Os2Bmp, CoreHeaderWithThreeByteEntriesReadsBottomUp) {
  // 1 bit, 3 x 2: top row 1 0 1, bottom row 0 1 1; table black, then (10, 20, 30) as blue-green-red.
  std::vector<uint8_t> file = FileHeader(0);
  auto head = CoreHeader(3, 2, 1);
  file.insert(file.end(), head.begin(), head.end());
  file.insert(file.end(), {0, 0, 0, 30, 20, 10});
  file.insert(file.end(), {0b01100000, 0, 0, 0});  // bottom row first
  file.insert(file.end(), {0b10100000, 0, 0, 0});
  AnimationPtr a = Read(file);
  ASSERT_TRUE(a) << (hooks.entries.empty() ? "" : hooks.entries[0].text);
  const Frame* f = FirstFrame(*a);
  ASSERT_EQ(f->width, 3);
  ASSERT_EQ(f->height, 2);
  EXPECT_EQ(std::vector<uint8_t>(f->Row(0), f->Row(0) + 3), (std::vector<uint8_t>{1, 0, 1}));
  EXPECT_EQ(std::vector<uint8_t>(f->Row(1), f->Row(1) + 3), (std::vector<uint8_t>{0, 1, 1}));
  EXPECT_EQ((*f->palette)[1], (PaletteEntry{10, 20, 30, 0}));
}

TEST_F(Os2Bmp, CoreTableCutShortByTheFileOffsetAndFullColour) {
  // 8 bits but only two entries before the rows the file header points at.
  std::vector<uint8_t> file = FileHeader(14 + 12 + 6);
  auto head = CoreHeader(2, 1, 8);
  file.insert(file.end(), head.begin(), head.end());
  file.insert(file.end(), {255, 0, 0, 0, 0, 255});
  file.insert(file.end(), {1, 0, 0, 0});
  AnimationPtr a = Read(file);
  ASSERT_TRUE(a);
  const Frame* f = FirstFrame(*a);
  EXPECT_EQ((*f->palette)[f->Row(0)[0]], (PaletteEntry{255, 0, 0, 0}));
  EXPECT_EQ((*f->palette)[f->Row(0)[1]], (PaletteEntry{0, 0, 255, 0}));
  // 24 bits after the 64-byte header: blue, green, red per pixel.
  std::vector<uint8_t> deep = FileHeader(0);
  auto head2 = Os2V2Header(2, 1, 24, 0, 0);
  deep.insert(deep.end(), head2.begin(), head2.end());
  deep.insert(deep.end(), {3, 2, 1, 9, 8, 7, 0, 0});
  AnimationPtr b = Read(deep);
  ASSERT_TRUE(b) << (hooks.entries.empty() ? "" : hooks.entries[0].text);
  const Frame* g = FirstFrame(*b);
  EXPECT_EQ((*g->palette)[g->Row(0)[0]], (PaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ((*g->palette)[g->Row(0)[1]], (PaletteEntry{7, 8, 9, 0}));
}

TEST_F(Os2Bmp, OwnCompressionsAndShortFilesAreRefusedWithAMessage) {
  std::vector<uint8_t> huffman = FileHeader(0);
  auto head = Os2V2Header(8, 1, 1, 3, 2);
  huffman.insert(huffman.end(), head.begin(), head.end());
  huffman.insert(huffman.end(), 16, 0);
  EXPECT_FALSE(Read(huffman));
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_NE(hooks.entries[0].text.find("compress"), std::string::npos) << hooks.entries[0].text;
  // A core header whose 256-entry table runs past the end of the file.
  std::vector<uint8_t> cut = FileHeader(0);
  auto core = CoreHeader(4, 4, 8);
  cut.insert(cut.end(), core.begin(), core.end());
  cut.insert(cut.end(), 100, 7);
  EXPECT_FALSE(Read(cut));
  EXPECT_EQ(hooks.entries.size(), 2u);
  // Rows missing: the checks of every other bitmap apply.
  std::vector<uint8_t> rowless = FileHeader(0);
  auto tall = CoreHeader(4, 4000, 24);
  rowless.insert(rowless.end(), tall.begin(), tall.end());
  rowless.insert(rowless.end(), 64, 1);
  EXPECT_FALSE(Read(rowless));
  EXPECT_EQ(hooks.entries.size(), 3u);
}

}  // namespace
}  // namespace lw
