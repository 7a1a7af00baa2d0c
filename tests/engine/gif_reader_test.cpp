// Reading GIF files: the corpus against giflib's own decode, the block rules, and the messages a damaged
// file gives, in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "gif_support.h"
#include "io/files.h"
#include "model/limits.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"
#include "support/stop_after.h"

namespace lw {
namespace {

using test::GifBytes;

struct ReadOutcome {
  int result = -1;
  AnimationPtr a;
  std::vector<std::string> errors;
};

ReadOutcome Read(const std::vector<uint8_t>& bytes, ProgressRecord* progress = nullptr) {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  ReadOutcome r;
  r.result = ReadGif(bytes.data(), bytes.size(), &r.a, progress);
  r.errors = hooks.Texts();
  return r;
}

std::vector<uint8_t> Pixels(int n, int colors) {
  std::vector<uint8_t> p(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) p[static_cast<size_t>(i)] = static_cast<uint8_t>((i * 7 + i / 5) % colors);
  return p;
}

// giflib's gif2rgb paints every image, opaque, onto a screen filled with the background colour and dumps
// the screen with the global colour map: the same picture must come out of our frames.
TEST(GifReader, CorpusMatchesGiflibScreenDumps) {
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(LW_TEST_DATA) + "/gif-expected")) {
    if (entry.path().extension() != ".rgb") continue;
    std::string stem = entry.path().stem().string();
    SCOPED_TRACE(stem);
    std::vector<uint8_t> expected = test::LoadBytes(entry.path().string());
    ReadOutcome r = Read(test::LoadBytes(test::GifData(stem + ".gif")));
    ASSERT_EQ(r.result, 1);
    ASSERT_TRUE(r.errors.empty());
    const Animation& a = *r.a;
    ASSERT_TRUE(a.globalPalette);
    ASSERT_EQ(expected.size(), static_cast<size_t>(a.screenWidth) * static_cast<size_t>(a.screenHeight) * 3);
    std::ifstream map(std::string(LW_TEST_DATA) + "/gif-expected/" + stem + ".map");
    int index, red, green, blue, entries = 0;
    while (map >> index >> red >> green >> blue) {
      ASSERT_LT(index, a.globalPalette->Count());
      EXPECT_EQ((*a.globalPalette)[index],
                (PaletteEntry{static_cast<uint8_t>(red), static_cast<uint8_t>(green),
                              static_cast<uint8_t>(blue), 0}));
      ++entries;
    }
    EXPECT_EQ(entries, a.globalPalette->Count());
    std::vector<PaletteEntry> screen(static_cast<size_t>(a.screenWidth) * static_cast<size_t>(a.screenHeight),
                                     (*a.globalPalette)[a.backgroundIndex]);
    for (Frame* f = FirstFrame(a); f; f = NextFrame(f))
      for (int y = 0; y < f->height; ++y)
        for (int x = 0; x < f->width; ++x)
          if (f->left + x < a.screenWidth && f->top + y < a.screenHeight)
            screen[static_cast<size_t>((f->top + y) * a.screenWidth + f->left + x)] =
                (*f->palette)[f->Row(y)[x]];
    size_t mismatches = 0;
    for (size_t i = 0; i < screen.size(); ++i)
      mismatches += screen[i].red != expected[i * 3] || screen[i].green != expected[i * 3 + 1] ||
                    screen[i].blue != expected[i * 3 + 2];
    EXPECT_EQ(mismatches, 0u);
    ++compared;
  }
  EXPECT_EQ(compared, 8);
}

#if LW_HAVE_GIFLIB
TEST(GifReader, EveryCorpusFrameMatchesGiflib) {
  for (const auto& entry : std::filesystem::directory_iterator(std::string(LW_TEST_DATA) + "/gif")) {
    SCOPED_TRACE(entry.path().filename().string());
    std::vector<uint8_t> bytes = test::LoadBytes(entry.path().string());
    ReadOutcome r = Read(bytes);
    ASSERT_EQ(r.result, 1);
    test::GiflibFile g;
    ASSERT_TRUE(test::GiflibDecode(bytes, &g));
    ASSERT_EQ(g.gif->ImageCount, r.a->frameCount);
    int i = 0;
    for (Frame* f = FirstFrame(*r.a); f; f = NextFrame(f), ++i) {
      const SavedImage& s = g.gif->SavedImages[i];
      ASSERT_EQ(s.ImageDesc.Width, f->width);
      ASSERT_EQ(s.ImageDesc.Height, f->height);
      std::vector<uint8_t> theirs(s.RasterBits, s.RasterBits + f->width * f->height);
      ASSERT_EQ(test::FramePixels(*f), theirs) << "frame " << i;
    }
  }
}
#endif

TEST(GifReader, ControlExtensionsAreFoldedIntoTheNextImage) {
  SetPreference(kPrefDefaultDelay, 7);
  std::vector<uint8_t> p = Pixels(4, 4);
  auto bytes = GifBytes()
                   .Header(2, 2)
                   .Image(0, 0, 2, 2, p)           // no control extension: the default delay
                   .Control(0x09, 1, 3)            // replaced by the next one
                   .Control((2 << 2) | 1, 300, 2)  // disposal 2, transparent index 2
                   .Raw({0x00})                    // a stray terminator is skipped
                   .Image(0, 0, 2, 2, p, 2, 0x40)  // interlaced
                   .Control(0, 5, 0)               // directly before the trailer: dropped
                   .Trailer()
                   .Raw({0x12, 0x34})  // after the trailer: ignored
                   .b;
  ReadOutcome r = Read(bytes);
  ASSERT_EQ(r.result, 1);
  EXPECT_TRUE(r.errors.empty());
  ASSERT_EQ(r.a->frameCount, 2);
  EXPECT_EQ(r.a->loopCount, 1u);
  EXPECT_EQ(r.a->fileSize, bytes.size());
  Frame* f1 = FirstFrame(*r.a);
  Frame* f2 = NextFrame(f1);
  EXPECT_EQ(f1->delay, 7u);
  EXPECT_EQ(f1->controlFlags, 0);
  EXPECT_EQ(f2->delay, 300u);
  EXPECT_EQ(GetDisposal(*f2), 2);
  EXPECT_TRUE(IsTransparent(*f2));
  EXPECT_EQ(f2->transparentIndex, 2);
  EXPECT_TRUE(IsInterlaced(*f2));
  EXPECT_EQ(test::FramePixels(*f2), p);
  EXPECT_NE(GetMask(*f2), nullptr);
  EXPECT_EQ(NextBlock(f2), nullptr);
  SetPreference(kPrefDefaultDelay, DefaultPreferences()[kPrefDefaultDelay]);
}

TEST(GifReader, LoopingBlockRules) {
  std::vector<uint8_t> p = Pixels(4, 4);
  ReadOutcome forever = Read(GifBytes().Header(2, 2).Loop(0).Image(0, 0, 2, 2, p).Trailer().b);
  EXPECT_EQ(forever.a->loopCount, 0u);
  EXPECT_EQ(NextBlock(forever.a->head)->kind, kImageBlock);  // taken into loopCount, not kept

  // A data sub-block that is not 3 bytes long keeps the block as an application extension.
  auto fiveBytes = GifBytes().Header(2, 2).Raw(
      {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 5, 1, 2, 3, 4, 5, 0});
  ReadOutcome kept = Read(fiveBytes.Image(0, 0, 2, 2, p).Trailer().b);
  ASSERT_EQ(kept.result, 1);
  EXPECT_EQ(kept.a->loopCount, 1u);
  auto* e = AsExtension(NextBlock(kept.a->head));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->kind, kApplicationBlock);
  EXPECT_EQ(e->subBlocks.size(), 12u + 6u + 1u);

  // An empty second sub-block is the terminator.
  auto empty = GifBytes().Header(2, 2).Raw(
      {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0, 0x21, 0xFE, 1, 'x', 0});
  ReadOutcome closed = Read(empty.Image(0, 0, 2, 2, p).Trailer().b);
  ASSERT_EQ(closed.result, 1);
  e = AsExtension(NextBlock(closed.a->head));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->subBlocks.size(), 13u);
  EXPECT_EQ(GetCommentText(*NextBlock(e)), "x");

  // A looping block that is not closed.
  auto open =
      GifBytes()
          .Header(2, 2)
          .Image(0, 0, 2, 2, p)
          .Raw({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 9});
  ReadOutcome bad = Read(open.Trailer().b);
  EXPECT_EQ(bad.result, 2);
  EXPECT_EQ(bad.errors,
            (std::vector<std::string>{"Netscape Animation block is invalid.", "Error reading extension",
                                      "Only part of the animation was read"}));
}

TEST(GifReader, ExtensionsAreKeptByteForByte) {
  std::vector<uint8_t> p = Pixels(4, 4);
  auto bytes = GifBytes()
                   .Header(2, 2)
                   .Raw({0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0})
                   .Image(0, 0, 2, 2, p)
                   .Raw({0x21, 0x01, 12, 0, 0, 0, 0, 2, 0, 2, 0, 1, 1, 0, 0, 1, 'z', 0})
                   .Trailer()
                   .b;
  ReadOutcome r = Read(bytes);
  ASSERT_EQ(r.result, 1);
  auto* comment = AsExtension(NextBlock(r.a->head));
  ASSERT_TRUE(comment);
  EXPECT_EQ(comment->subBlocks, (std::vector<uint8_t>{3, 'a', 'b', 'c', 2, 'd', 'e', 0}));
  auto* text = AsExtension(NextBlock(NextBlock(comment)));
  ASSERT_TRUE(text);
  EXPECT_EQ(text->kind, kPlainTextBlock);
  EXPECT_EQ(text->subBlocks.size(), 16u);
}

TEST(GifReader, GlobalTableResolutionIsRaisedToItsSize) {
  ReadOutcome r = Read(GifBytes().Header(2, 2, true, 1, 0).Image(0, 0, 2, 2, Pixels(4, 4)).Trailer().b);
  EXPECT_EQ(r.a->screenFlags, 0x91);
  EXPECT_EQ(r.a->globalPalette->Count(), 4);
}

TEST(GifReader, DamagedFilesGiveTheirMessagesInOrder) {
  std::vector<uint8_t> p = Pixels(64, 4);
  auto twoFrames = GifBytes().Header(8, 8).Image(0, 0, 8, 8, p).Image(0, 0, 8, 8, p);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int result;
    std::vector<std::string> errors;
  };
  // The file without its last 6 bytes (built from a range: GCC's overflow warning misreads a resize
  // by size() - 6 in the sanitizer build).
  const std::vector<uint8_t> cutInData(twoFrames.b.begin(), twoFrames.b.end() - 6);
  std::vector<Case> cases = {
      {"no trailer",
       twoFrames.b,
       2,
       {"EOF found instead of trailer block", "Only part of the animation was read"}},
      {"cut in the second image",
       cutInData,
       2,
       {"Error decompressing image data. File is corrupt.", "Only part of the animation was read"}},
      {"cut in the screen descriptor",
       GifBytes().Raw({'G', 'I', 'F', '8', '9', 'a', 1, 0}).b,
       0,
       {"Unable to read file successfully"}},
      {"unknown block",
       GifBytes().Header(8, 8).Raw({0x99}).b,
       0,
       {"Unrecognized data block", "Unable to read file successfully"}},
      {"unknown extension cut short",
       GifBytes().Header(8, 8).Image(0, 0, 8, 8, p).Raw({0x21, 0x02, 4, 1, 0}).b,
       2,
       {"Error reading extension", "Only part of the animation was read"}},
      {"extension cut short",
       GifBytes().Header(8, 8).Raw({0x21, 0xFE, 5, 'a'}).b,
       0,
       {"Error reading extension", "Unable to read file successfully"}},
      {"code size 12",
       GifBytes().Header(8, 8).Raw({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 12, 1, 0, 0, 0x3B}).b,
       0,
       {"Error decompressing image data. File is corrupt.", "Unable to read file successfully"}},
      {"no data",
       GifBytes().Header(8, 8).Raw({0x2C, 0, 0, 0, 0, 8, 0, 8, 0, 0, 2, 0, 0x3B}).b,
       0,
       {"Error decompressing image data. File is corrupt.", "Unable to read file successfully"}},
      {"4 GiB frame",
       GifBytes().Header(8, 8).Raw({0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0, 0x3B}).b,
       0,
       {"Not enough memory to build frame image", "Unable to read file successfully"}},
      {"frame of width 0",
       GifBytes().Header(8, 8).Raw({0x2C, 0, 0, 0, 0, 0, 0, 8, 0, 0, 2, 0, 0x3B}).b,
       0,
       {"A frame of this file has a width or height of 0 and holds no picture.",
        "Unable to read file successfully"}},
      {"frame of height 0 after a good one",
       GifBytes().Header(8, 8).Image(0, 0, 8, 8, p).Raw({0x2C, 0, 0, 0, 0, 8, 0, 0, 0, 0, 2, 0, 0x3B}).b,
       2,
       {"A frame of this file has a width or height of 0 and holds no picture.",
        "Only part of the animation was read"}},
      {"local table cut short",
       GifBytes().Header(8, 8).Raw({0x2C, 0, 0, 0, 0, 8, 0, 8, 0, 0x87, 1, 2}).b,
       0,
       {"Unable to read file successfully"}},
  };
  // Read in order, and with the images decoded by threads after the structure pass.
  for (size_t threshold : {SIZE_MAX, size_t{1}}) {
    size_t previous = SetParallelReadThreshold(threshold);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (threshold == 1 ? " (threads)" : ""));
      ReadOutcome r = Read(c.bytes);
      EXPECT_EQ(r.result, c.result);
      EXPECT_EQ(r.errors, c.errors);
      EXPECT_EQ(r.a != nullptr, c.result != 0);
      if (r.a) {
        EXPECT_EQ(r.a->fileSize, kUnknownFileSize);
      }
    }
    SetParallelReadThreshold(previous);
  }
  ReadOutcome two = Read(twoFrames.b);
  EXPECT_EQ(two.a->frameCount, 2);
}

// Files that other decoders read: a comment with no data sub-blocks is an empty comment, and an extension
// of a label we do not know (here 0x2A, the same byte as our list head's kind) is kept; both are written
// back as they were read.
TEST(GifReader, EmptyCommentsAndUnknownExtensionsAreKeptAndWrittenBack) {
  const std::vector<uint8_t> p = Pixels(4, 4);
  const std::vector<uint8_t> empty = {0x21, 0xFE, 0};
  const std::vector<uint8_t> unknown = {0x21, 0x2A, 3, 'a', 'b', 'c', 2, 'd', 'e', 0};
  GifBytes g;
  g.Header(2, 2).Raw({0x21, 0xFE, 0}).Image(0, 0, 2, 2, p);
  g.b.insert(g.b.end(), unknown.begin(), unknown.end());
  ReadOutcome r = Read(g.Trailer().b);
  ASSERT_EQ(r.result, 1);
  EXPECT_TRUE(r.errors.empty());
  const GifBlock* comment = r.a->head->next;
  ASSERT_EQ(comment->kind, kCommentBlock);
  EXPECT_EQ(GetCommentText(*comment), "");
  const ExtensionBlock* other = AsExtension(comment->next->next);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->kind, kOtherExtensionBlock);
  EXPECT_EQ(other->label, 0x2A);
  EXPECT_EQ(other->subBlocks, std::vector<uint8_t>(unknown.begin() + 2, unknown.end()));

  MemorySink sink;
  ASSERT_EQ(WriteGif(sink, *r.a, nullptr), 1);
  auto holds = [&](const std::vector<uint8_t>& part) {
    return std::search(sink.bytes.begin(), sink.bytes.end(), part.begin(), part.end()) != sink.bytes.end();
  };
  EXPECT_TRUE(holds(empty));
  EXPECT_TRUE(holds(unknown));
  // A copy of the document keeps the label too.
  AnimationPtr copy = CopyAnimation(*r.a);
  EXPECT_EQ(AsExtension(copy->head->next->next->next)->label, 0x2A);
}

TEST(GifReader, DataPastTheLastPixelIsSkippedToTheTerminator) {
  // A 2 × 2 image whose data holds 8 pixels (and no end code until after them), then a second frame.
  std::vector<uint8_t> eight = Pixels(8, 4);
  auto bytes = GifBytes().Header(2, 2).Image(0, 0, 2, 4, eight).b;
  bytes[6 + 7 + 12 + 7] = 2;  // the descriptor's height: 4 -> 2
  auto rest = GifBytes().Image(0, 0, 2, 2, Pixels(4, 4)).Trailer().b;
  bytes.insert(bytes.end(), rest.begin(), rest.end());
  ReadOutcome r = Read(bytes);
  EXPECT_EQ(r.result, 1);
  EXPECT_TRUE(r.errors.empty());
  ASSERT_EQ(r.a->frameCount, 2);
  EXPECT_EQ(test::FramePixels(*FirstFrame(*r.a)), std::vector<uint8_t>(eight.begin(), eight.begin() + 4));
}

TEST(GifReader, TotalPixelLimitIsKept) {
  PixelLimits saved = Limits();
  Limits().maxTotalPixels = 100;
  std::vector<uint8_t> p = Pixels(64, 4);
  ReadOutcome r = Read(GifBytes().Header(8, 8).Image(0, 0, 8, 8, p).Image(0, 0, 8, 8, p).Trailer().b);
  Limits() = saved;
  EXPECT_EQ(r.result, 2);
  EXPECT_EQ(r.errors, (std::vector<std::string>{"Not enough memory to build frame image",
                                                "Only part of the animation was read"}));
  EXPECT_EQ(r.a->frameCount, 1);
}

TEST(GifReader, StoppingTheReadKeepsWhatWasRead) {
  test::StopAfter sink(1);
  ProgressPtr progress = BeginProgress(kProgressOwnerBar, 0, &sink);
  std::vector<uint8_t> p = Pixels(4, 4);
  ReadOutcome r =
      Read(GifBytes().Header(2, 2).Image(0, 0, 2, 2, p).Image(0, 0, 2, 2, p).Image(0, 0, 2, 2, p).Trailer().b,
           progress.get());
  EXPECT_EQ(r.result, 2);
  EXPECT_TRUE(r.errors.empty());
  EXPECT_EQ(r.a->frameCount, 2);
}

// Large files have their images decoded on several threads after the structure is read: a damaged image in
// the middle must still end the read there, as if read in order, and stopping keeps whole frames only.
TEST(GifReader, LargeFilesDecodedInParallelKeepTheOrderOfARead) {
  const int side = 128, count = 24, damaged = 13;
  std::vector<std::vector<uint8_t>> frames;
  GifBytes file;
  file.Header(side, side, true, 7).Loop(3);
  std::mt19937 noise(5);
  for (int i = 0; i < count; ++i) {
    std::vector<uint8_t> p(static_cast<size_t>(side * side));
    for (uint8_t& v : p) v = static_cast<uint8_t>(noise());
    frames.push_back(p);
    if (i != damaged) {
      file.Image(0, 0, side, side, p, 8);
      continue;
    }
    // Codes far beyond the table, enough of them to pass the size check of the structure pass.
    file.Raw({0x2C}).Le16(0).Le16(0).Le16(side).Le16(side).Raw({0, 8});
    const std::vector<uint8_t> subBlock(256, 0xFF);  // length 255, then 255 bytes of all-ones codes
    for (int block = 0; block < 90; ++block) file.b.insert(file.b.end(), subBlock.begin(), subBlock.end());
    file.Raw({0});
    file.Loop(7);
  }
  std::vector<uint8_t> bytes = file.Raw({0x99}).b;  // a bad block after everything
  ASSERT_GE(bytes.size(), 300u * 1024);

  ReadOutcome r = Read(bytes);
  EXPECT_EQ(r.result, 2);
  EXPECT_EQ(r.errors, (std::vector<std::string>{"Error decompressing image data. File is corrupt.",
                                                "Only part of the animation was read"}));
  ASSERT_TRUE(r.a);
  ASSERT_EQ(r.a->frameCount, damaged);
  EXPECT_EQ(r.a->loopCount, 3);  // the looping block after the damaged image was never reached
  int n = 0;
  for (const Frame* f = FirstFrame(*r.a); f; f = NextFrame(f), ++n)
    EXPECT_EQ(test::FramePixels(*f), frames[static_cast<size_t>(n)]) << n;
  EXPECT_EQ(n, damaged);
  EXPECT_EQ(LastBlock(*r.a)->kind, kImageBlock);

  // Stopped part way: whole frames only, no message, the size left unknown.
  test::StopAfter sink(4);
  ProgressPtr progress = BeginProgress(kProgressOwnerBar, 0, &sink);
  r = Read(bytes, progress.get());
  EXPECT_EQ(r.result, 2);
  EXPECT_TRUE(r.errors.empty());
  ASSERT_TRUE(r.a);
  EXPECT_GE(r.a->frameCount, 1);
  EXPECT_LT(r.a->frameCount, damaged);
  EXPECT_EQ(r.a->fileSize, kUnknownFileSize);
  n = 0;
  for (const Frame* f = FirstFrame(*r.a); f; f = NextFrame(f), ++n)
    EXPECT_EQ(test::FramePixels(*f), frames[static_cast<size_t>(n)]) << n;
  EXPECT_EQ(n, r.a->frameCount);
}

TEST(GifReader, ReadAnyFileNamesFramesAndCountsColours) {
  test::TempDir dir;
  std::vector<uint8_t> p = Pixels(4, 4);
  auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return dir / name;
  };
  std::string one = write("one.Gif", GifBytes().Header(2, 2).Image(0, 0, 2, 2, p).Trailer().b);
  std::string three = write(
      "three.gif",
      GifBytes().Header(2, 2).Image(0, 0, 2, 2, p).Image(0, 0, 2, 2, p).Image(0, 0, 2, 2, p).Trailer().b);
  std::string notGif = write("fake.gif", {'G', 'I', 'F', '8', '8', 'a', 0, 0});
  std::string bmp = write("picture.png", {1, 2, 3});
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a;
  ASSERT_EQ(ReadAnyFile(one, &a, nullptr), 1);
  EXPECT_EQ(GetFrameName(*FirstFrame(*a)), "one.Gif");
  ColorCounts expected{};
  for (uint8_t v : p) ++expected[v];
  EXPECT_EQ(a->colorUse, expected);
  ASSERT_EQ(ReadAnyFile(three, &a, nullptr), 1);
  EXPECT_EQ(GetFrameName(*NthFrame(*a, 2)), "three.gif - Frame 3");
  std::vector<uint8_t> bytes = test::LoadBytes(three);
  ASSERT_EQ(ReadGif(bytes.data(), bytes.size(), &a, nullptr), 1);
  SetFrameName(*NthFrame(*a, 1), "kept");
  SetDefaultFrameNames(*a, "/x/y.gif");
  EXPECT_EQ(GetFrameName(*NthFrame(*a, 0)), "y.gif - Frame 1");
  EXPECT_EQ(GetFrameName(*NthFrame(*a, 1)), "kept");
  EXPECT_EQ(ReadAnyFile(notGif, &a, nullptr), 0);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(ReadAnyFile(bmp, &a, nullptr), 0);
  EXPECT_EQ(ReadAnyFile(dir / "missing.gif", &a, nullptr), 0);
  EXPECT_EQ(hooks.Texts(), (std::vector<std::string>{
                               notGif + " is not a valid GIF File.",
                               "Unable to read the picture in " + bmp + ": not a PNG, JPEG or WebP file.",
                               "Unable to open file '" + (dir / "missing.gif") + "'."}));
}

}  // namespace
}  // namespace lw
