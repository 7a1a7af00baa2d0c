// Writing GIF files: the exact bytes, round trips of the corpus, giflib reading what we write, the saved
// size, the clipping question and saving without ever leaving a half-written file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "gif/gif_reader.h"
#include "gif/gif_write_form.h"
#include "gif/gif_writer.h"
#include "gif_support.h"
#include "io/files.h"
#include "model/preferences.h"
#include "optimize/pictures.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"

namespace lw {
namespace {

std::vector<uint8_t> Write(Animation& a) {
  MemorySink sink;
  EXPECT_EQ(WriteGif(sink, a, nullptr), 1);
  return sink.bytes;
}

AnimationPtr ReadBack(const std::vector<uint8_t>& bytes) {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a;
  EXPECT_EQ(ReadGif(bytes.data(), bytes.size(), &a, nullptr), 1);
  EXPECT_TRUE(hooks.Texts().empty());
  return a;
}

TEST(GifWriter, BytesOfASmallAnimation) {
  AnimationPtr a = test::MakeAnimation(1, 1, 1, 3);
  a->loopCount = 5;
  Frame* f = FirstFrame(*a);
  f->delay = 0x1234;
  SetDisposal(*f, 2);
  AppendBlock(*a, test::MakeComment("hi"));
  std::vector<uint8_t> expected = {
      'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x91, 0, 0,
      // three entries padded to four with black
      0, 255, 0, 1, 254, 7, 2, 253, 14, 0, 0, 0,
      // looping block
      0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 5, 0, 0,
      // graphic control extension (restoring to background, so with a transparent index the pixels leave
      // free), image descriptor, data (code size 2)
      0x21, 0xF9, 4, 2 << 2 | 1, 0x34, 0x12, 1, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0,
      // the comment, then the trailer
      0x21, 0xFE, 2, 'h', 'i', 0, 0x3B};
  EXPECT_EQ(Write(*a), expected);
  // Loop count 1 writes no looping block; 0 writes count 0.
  a->loopCount = 1;
  EXPECT_EQ(Write(*a).size(), expected.size() - 19);
  a->loopCount = 0;
  EXPECT_EQ(Write(*a)[6 + 7 + 12 + 16], 0);
}

TEST(GifWriter, TableSizesAndCodeSizes) {
  // No global palette: no table and bit 7 clear; a 2-entry local palette still gives code size 2.
  AnimationPtr a = test::MakeAnimation(0, 4, 4);
  SetGlobalPalette(*a, nullptr);
  FramePtr f = test::MakeFrame(4, 4, nullptr, [](int x, int) { return static_cast<uint8_t>(x & 1); });
  SetLocalPalette(*f, test::MakePalette(2));
  AppendBlock(*a, std::move(f));
  AddFrameCount(*a, 1);
  std::vector<uint8_t> bytes = Write(*a);
  EXPECT_EQ(bytes[10] & 0x80, 0);
  EXPECT_EQ(bytes[6 + 7 + 19 + 8 + 9], 0x80);    // local table of 2 entries
  EXPECT_EQ(bytes[6 + 7 + 19 + 8 + 10 + 6], 2);  // minimum code size
  // Indices beyond the palette (a 2-entry table holding 200) raise the code size so they survive.
  FirstFrame(*a)->MutableBits()[5] = 200;
  bytes = Write(*a);
  EXPECT_EQ(bytes[6 + 7 + 19 + 8 + 10 + 6], 8);
  AnimationPtr back = ReadBack(bytes);
  EXPECT_EQ(test::FramePixels(*FirstFrame(*back)), test::FramePixels(*FirstFrame(*a)));
  // A frame that a GIF cannot hold is a failed write, not a corrupt file.
  FirstFrame(*a)->width = 70000;
  MemorySink sink;
  EXPECT_EQ(WriteGif(sink, *a, nullptr), 0);
}

// The code size covers the widest pixel wherever it sits in a row: in the words the rows are scanned
// by, in the tail after them, in the last row.
TEST(GifWriter, CodeSizeCoversEveryPixelPosition) {
  AnimationPtr a = test::MakeAnimation(0, 21, 3, 4);
  for (int y : {0, 2})
    for (int x = 0; x < 21; ++x) {
      FramePtr f = test::MakeFrame(21, 3, a->globalPalette.get(), [](int, int) { return uint8_t{1}; });
      f->codeSize = 2;
      f->MutableBits()[static_cast<size_t>(y) * static_cast<size_t>(f->Stride()) + static_cast<size_t>(x)] =
          x % 2 ? 0x1F : 0x9;
      EXPECT_EQ(MinimumCodeSize(*f), x % 2 ? 5 : 4) << x << "," << y;
    }
}

TEST(GifWriter, FrameWithoutControlExtensionGetsOne) {
  std::vector<uint8_t> p(4, 1);
  auto bytes = test::GifBytes().Header(2, 2).Image(0, 0, 2, 2, p).Trailer().b;
  SetPreference(kPrefDefaultDelay, 9);
  AnimationPtr a = ReadBack(bytes);
  SetPreference(kPrefDefaultDelay, DefaultPreferences()[kPrefDefaultDelay]);
  std::vector<uint8_t> out = Write(*a);
  const uint8_t control[] = {0x21, 0xF9, 4, 0, 9, 0, 0, 0};
  EXPECT_NE(std::search(out.begin(), out.end(), control, control + 8), out.end());
}

// Where decoders disagree unless a frame has a transparent index, it is written with one its pixels leave
// free; the document keeps its values, and frames that need none are written as they stand.
TEST(GifWriter, DisputedFramesGetAFreeTransparentIndex) {
  AnimationPtr a = test::MakeAnimation(0, 4, 2, 4);
  // The first frame leaves the right half of the screen uncovered; it draws indices 0 to 2.
  AppendBlock(*a, test::MakeFrame(2, 2, a->globalPalette.get(), [](int x, int y) { return uint8_t(x + y); }));
  // Restores to background, covering the screen, drawing 1 and 3.
  FramePtr clears =
      test::MakeFrame(4, 2, a->globalPalette.get(), [](int x, int) { return uint8_t(x % 2 ? 3 : 1); });
  SetDisposal(*clears, 2);
  AppendBlock(*a, std::move(clears));
  // Restores to previous after the first frame: read alike everywhere.
  FramePtr restores = test::MakeFrame(1, 1, a->globalPalette.get(), [](int, int) { return uint8_t(2); });
  SetDisposal(*restores, 3);
  AppendBlock(*a, std::move(restores));
  SetFrameCount(*a, 3);
  AnimationPtr b = ReadBack(Write(*a));
  ASSERT_TRUE(b);
  const Frame* f = FirstFrame(*b);
  EXPECT_TRUE(IsTransparent(*f));
  EXPECT_EQ(f->transparentIndex, 3);
  EXPECT_TRUE(IsTransparent(*NextFrame(f)));
  EXPECT_EQ(NextFrame(f)->transparentIndex, 0);
  EXPECT_FALSE(IsTransparent(*NthFrame(*b, 2)));
  EXPECT_EQ(b->globalPalette->Count(), 4);  // a free entry served: the table did not grow
  EXPECT_FALSE(IsTransparent(*FirstFrame(*a)));
  EXPECT_EQ(PictureDigests(*b), PictureDigests(*a));

  // A first frame covering the screen is disputed only when it restores to previous; a later one never.
  SetFrameSize(*FirstFrame(*a), 4, 2);
  EXPECT_FALSE(NeedsTransparentIndex(*a, *FirstFrame(*a), true));
  SetDisposal(*FirstFrame(*a), 3);
  EXPECT_TRUE(NeedsTransparentIndex(*a, *FirstFrame(*a), true));
  EXPECT_FALSE(NeedsTransparentIndex(*a, *NthFrame(*a, 2), false));
}

TEST(GifWriter, ATableWhoseEveryEntryIsDrawnGrowsByOneBitForTheTransparentIndex) {
  AnimationPtr a = test::MakeAnimation(0, 4, 1, 4);
  FramePtr f = test::MakeFrame(4, 1, a->globalPalette.get(), [](int x, int) { return uint8_t(x); });
  SetLocalPalette(*f, test::MakePalette(4));
  SetDisposal(*f, 2);
  AppendBlock(*a, std::move(f));
  SetFrameCount(*a, 1);
  std::vector<uint8_t> bytes = Write(*a);
  AnimationPtr b = ReadBack(bytes);
  ASSERT_TRUE(b);
  const Frame* g = FirstFrame(*b);
  EXPECT_EQ(g->localPalette->Count(), 8);
  EXPECT_TRUE(IsTransparent(*g));
  EXPECT_EQ(g->transparentIndex, 4);
  EXPECT_EQ(test::FramePixels(*g), (std::vector<uint8_t>{0, 1, 2, 3}));
  EXPECT_EQ(ComputeFileSize(*a, true, nullptr), bytes.size());
  // The code size follows the grown table, so the file read back writes the same bytes again.
  EXPECT_EQ(Write(*b), bytes);
}

TEST(GifWriter, CorpusRoundTrips) {
  for (const auto& entry : std::filesystem::directory_iterator(std::string(LW_TEST_DATA) + "/gif")) {
    SCOPED_TRACE(entry.path().filename().string());
    AnimationPtr a = ReadBack(test::LoadBytes(entry.path().string()));
    std::vector<uint8_t> written = Write(*a);
    AnimationPtr b = ReadBack(written);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->screenWidth, a->screenWidth);
    EXPECT_EQ(b->screenHeight, a->screenHeight);
    EXPECT_EQ(b->loopCount, a->loopCount);
    EXPECT_EQ(b->screenFlags, a->screenFlags);
    EXPECT_EQ(b->backgroundIndex, a->backgroundIndex);
    EXPECT_EQ(b->aspectByte, a->aspectByte);
    EXPECT_EQ(a->globalPalette != nullptr, b->globalPalette != nullptr);
    if (a->globalPalette) {
      EXPECT_EQ(*a->globalPalette, *b->globalPalette);
    }
    GifBlock* x = a->head->next;
    GifBlock* y = b->head->next;
    for (bool first = true; x && y; x = x->next, y = y->next) {
      ASSERT_EQ(x->kind, y->kind);
      if (const Frame* f = AsFrame(x)) {
        const Frame* g = AsFrame(y);
        // A frame that decoders would read differently comes back with a transparent index its pixels
        // leave free.
        const bool added = NeedsTransparentIndex(*a, *f, first);
        first = false;
        EXPECT_EQ(std::tie(f->left, f->top, f->width, f->height, f->delay, f->imageFlags),
                  std::tie(g->left, g->top, g->width, g->height, g->delay, g->imageFlags));
        EXPECT_EQ(f->controlFlags | (added ? kControlTransparent : 0), g->controlFlags);
        if (!added) {
          EXPECT_EQ(f->transparentIndex, g->transparentIndex);
        }
        EXPECT_EQ(f->localPalette != nullptr, g->localPalette != nullptr);
        if (f->localPalette) {
          EXPECT_EQ(*f->localPalette, *g->localPalette);
        }
        ASSERT_EQ(test::FramePixels(*f), test::FramePixels(*g));
      } else {
        EXPECT_EQ(AsExtension(x)->subBlocks, AsExtension(y)->subBlocks);
      }
    }
    EXPECT_EQ(x, nullptr);
    EXPECT_EQ(y, nullptr);
    EXPECT_EQ(PictureDigests(*b), PictureDigests(*a));
    // Writing what was read back gives the same bytes again.
    EXPECT_EQ(Write(*b), written);
    EXPECT_EQ(ComputeFileSize(*b, true, nullptr), written.size());
  }
}

// The bytes written for real files of other programs are pinned: a change in the writer or the encoder
// that alters any file shows here (the hash covers the files in this order).
TEST(GifWriter, WrittenCorpusFilesAreThePinnedBytes) {
  uint64_t hash = 14695981039346656037ull;
  for (const char* name : {"gifplayer-muybridge.gif", "sample_big.gif", "moon_impact.gif", "fire.gif",
                           "welcome2.gif", "interlaced.gif", "solid2.gif", "x-trans.gif"}) {
    AnimationPtr a = ReadBack(test::LoadBytes(test::GifData(name)));
    ASSERT_TRUE(a) << name;
    for (uint8_t b : Write(*a)) hash = (hash ^ b) * 1099511628211ull;
  }
  EXPECT_EQ(hash, 0xbe1efa114a7ca904ull);
}

#if LW_HAVE_GIFLIB
TEST(GifWriter, GiflibDecodesWhatWeWrite) {
  for (const auto& entry : std::filesystem::directory_iterator(std::string(LW_TEST_DATA) + "/gif")) {
    SCOPED_TRACE(entry.path().filename().string());
    AnimationPtr a = ReadBack(test::LoadBytes(entry.path().string()));
    std::vector<uint8_t> written = Write(*a);
    test::GiflibFile g;
    ASSERT_TRUE(test::GiflibDecode(written, &g));
    ASSERT_EQ(g.gif->ImageCount, a->frameCount);
    EXPECT_EQ(g.gif->Error, 0);
    int i = 0;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f), ++i) {
      const SavedImage& s = g.gif->SavedImages[i];
      std::vector<uint8_t> theirs(s.RasterBits, s.RasterBits + f->width * f->height);
      ASSERT_EQ(test::FramePixels(*f), theirs) << "frame " << i;
    }
  }
}
#endif

TEST(GifWriter, FileSizeIsTheWrittenLengthAndIsCached) {
  AnimationPtr a = test::MakeAnimation(3, 40, 30, 16);
  uint32_t size = ComputeFileSize(*a, false, nullptr);
  EXPECT_EQ(size, Write(*a).size());
  a->fileSize = 12345;
  EXPECT_EQ(ComputeFileSize(*a, false, nullptr), 12345u);
  EXPECT_EQ(ComputeFileSize(*a, true, nullptr), size);
  // A cancelled size job leaves the size unknown.
  SetJobCancelled(kJobFileSize, true);
  ProgressPtr job = BeginProgress(kProgressSilent, kJobFileSize);
  EXPECT_EQ(ComputeFileSize(*a, true, job.get()), kUnknownFileSize);
  EXPECT_EQ(a->fileSize, kUnknownFileSize);
  SetJobCancelled(kJobFileSize, false);
}

TEST(GifWriter, ClippingCheck) {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = test::MakeAnimation(2, 10, 10);
  EXPECT_TRUE(CheckClippingBeforeSave(*a));
  EXPECT_TRUE(hooks.entries.empty());
  SetFramePosition(*NthFrame(*a, 1), -3, 4);
  hooks.boxAnswers.push_back(MsgResult::No);
  EXPECT_FALSE(CheckClippingBeforeSave(*a));
  ASSERT_EQ(hooks.entries.size(), 1u);
  EXPECT_EQ(hooks.entries[0].caption, "Animation needs clipping");
  EXPECT_EQ(
      hooks.entries[0].text,
      "This animation has some frames that extend beyond the GIF \"screen\" and should be clipped (not a "
      "reversible action).\n\nShould the animation be clipped and saved?");
  EXPECT_EQ(NthFrame(*a, 1)->width, 10);
  hooks.boxAnswers.push_back(MsgResult::Yes);
  EXPECT_TRUE(CheckClippingBeforeSave(*a));
  EXPECT_EQ(NthFrame(*a, 1)->left, 0);
  EXPECT_EQ(NthFrame(*a, 1)->width, 7);
  EXPECT_EQ(NthFrame(*a, 1)->height, 6);
  // Clipping without asking.
  SetPreference(kPrefFlags, GetPreference(kPrefFlags) | kPrefClipWithoutAsking);
  SetFramePosition(*NthFrame(*a, 0), 5, 5);
  EXPECT_TRUE(CheckClippingBeforeSave(*a));
  EXPECT_EQ(hooks.entries.size(), 2u);
  EXPECT_EQ(NthFrame(*a, 0)->width, 5);
  SetPreference(kPrefFlags, DefaultPreferences()[kPrefFlags]);
}

TEST(GifWriter, SavingReplacesTheTargetWholeOrNotAtAll) {
  test::TempDir dir;
  std::string target = dir / "out.gif";
  std::ofstream(target) << "old contents";
  chmod(target.c_str(), 0640);
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = test::MakeAnimation(2, 8, 8);
  ASSERT_EQ(WriteGifFile(target, *a), 1);
  EXPECT_EQ(test::LoadBytes(target), Write(*a));
  struct stat st {};
  stat(target.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // A write that fails (a frame no GIF can hold) reports and leaves the old file.
  std::vector<uint8_t> before = test::LoadBytes(target);
  NthFrame(*a, 1)->height = 70000;
  EXPECT_EQ(WriteGifFile(target, *a), 0);
  EXPECT_EQ(hooks.Texts(), std::vector<std::string>{"Error saving to '" + target + "'."});
  EXPECT_EQ(test::LoadBytes(target), before);
  // No temporary file is left behind.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
  // A folder that cannot take the temporary file.
  EXPECT_EQ(WriteGifFile(dir / "missing/out.gif", *a), 0);
  EXPECT_EQ(hooks.Texts().back().rfind("Unable to save to '", 0), 0u);
}

TEST(GifWriter, StoppedSaveIsSilentAndKeepsTheTarget) {
  class Esc : public ProgressSink {
   public:
    void SetText(const std::string&) override {}
    void SetRange(uint32_t) override {}
    void SetPosition(uint32_t) override {}
    bool Pump() override { return false; }
  };
  class EscHooks : public RecordingUiHooks {
   public:
    std::unique_ptr<ProgressSink> CreateProgressDialog() override { return std::make_unique<Esc>(); }
  };
  test::TempDir dir;
  std::string target = dir / "keep.gif";
  std::ofstream(target) << "old";
  EscHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = test::MakeAnimation(3, 8, 8);
  EXPECT_EQ(WriteGifFile(target, *a), 2);
  EXPECT_TRUE(hooks.Texts().empty());
  std::vector<uint8_t> old = {'o', 'l', 'd'};
  EXPECT_EQ(test::LoadBytes(target), old);
}

TEST(GifWriter, FormatThousands) {
  EXPECT_EQ(FormatThousands(1234567, "."), "1.234.567");
  EXPECT_EQ(FormatThousands(123, "."), "123");
  EXPECT_EQ(FormatThousands(0, ","), "0");
  EXPECT_EQ(FormatThousands(123456, ","), "123,456");
  EXPECT_EQ(FormatThousands(uint64_t{4294967295}, ","), "4,294,967,295");
}

}  // namespace
}  // namespace lw
