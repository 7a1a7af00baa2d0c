// The clip encoder: few-colour clips come out exact, a still background keeps its indices while something
// moves over it, lower quality gives fewer bytes, and what it writes composes alike in our reader and
// giflib, frame for frame the pictures it quantized.
#include "io/clip_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "gif/gif_writer.h"
#include "io/files.h"
#include "support/builders.h"
#include "support/composed.h"
#include "support/decoders.h"

namespace lw {
namespace {

using Picture = std::vector<uint32_t>;  // 0xRRGGBB, rows top-down

// A clip of `frames` pictures, each pixel from px(x, y, frame).
std::vector<Picture> MakeClip(int w, int h, int frames, const std::function<uint32_t(int, int, int)>& px) {
  std::vector<Picture> clip;
  for (int k = 0; k < frames; ++k) {
    Picture p;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p.push_back(px(x, y, k));
    clip.push_back(std::move(p));
  }
  return clip;
}

AnimationPtr Encode(const std::vector<Picture>& clip, int w, int h, int quality) {
  ClipEncoder encoder(w, h, {quality, 2});
  for (const Picture& p : clip) encoder.SampleFrame(p.data());
  EXPECT_TRUE(encoder.MakePalette());
  for (const Picture& p : clip) EXPECT_TRUE(encoder.AddFrame(p.data(), 7));
  return encoder.Finish(0);
}

// Composed 0xAABBGGRR as 0xRRGGBB.
uint32_t Rgb(uint32_t abgr) {
  return (abgr & 0xFF) << 16 | (abgr & 0xFF00) | (abgr >> 16 & 0xFF);
}

// A photo-like background of far more than 256 colours: gradients with a fixed noise.
uint32_t Photo(int x, int y) {
  const uint32_t n = (static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u) % 23;
  const uint32_t r = (x * 255 / 95 + n) % 256, g = (y * 255 / 63 + 2 * n) % 256, b = ((x + y) * 2 + n) % 256;
  return r << 16 | g << 8 | b;
}

double Psnr(const Picture& a, const std::vector<uint32_t>& composed) {
  double sse = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const uint32_t c = Rgb(composed[i]);
    for (int s = 0; s < 24; s += 8) {
      const double d = static_cast<double>(a[i] >> s & 0xFF) - static_cast<double>(c >> s & 0xFF);
      sse += d * d;
    }
  }
  return sse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * 3.0 * static_cast<double>(a.size()) / sse);
}

TEST(ClipEncoder, AFewColoursComeOutExact) {
  // Moving stripes and a moving block of few colours. Lossless, even colours one step apart (a text colour
  // and its neighbour) stay apart; at lower qualities colours farther apart than the lossy level do.
  const int w = 64, h = 40;
  auto close = [](int i) { return 0x336699u + static_cast<uint32_t>(i); };
  auto apart = [](int i) {
    return static_cast<uint32_t>(i % 3 * 127) << 16 | static_cast<uint32_t>(i / 3 % 3 * 127) << 8 |
           static_cast<uint32_t>(i / 9 * 127);
  };
  for (int quality : {100, 90, 40}) {
    auto colour = [&](int i) { return quality == 100 ? close(i) : apart(i); };
    std::vector<Picture> clip = MakeClip(w, h, 12, [&](int x, int y, int k) {
      if (x >= 4 * k && x < 4 * k + 10 && y >= 10 && y < 25) return colour(13 + (x + y) % 14);
      return colour((x / 3 + k) % 13);
    });
    AnimationPtr a = Encode(clip, w, h, quality);
    ASSERT_TRUE(a);
    ASSERT_EQ(a->frameCount, 12);
    std::vector<std::vector<uint32_t>> shown = test::ComposedFrames(*a);
    for (size_t k = 0; k < clip.size(); ++k)
      for (size_t i = 0; i < clip[k].size(); ++i)
        ASSERT_EQ(Rgb(shown[k][i]), clip[k][i]) << "quality " << quality << " frame " << k << " pixel " << i;
  }
}

TEST(ClipEncoder, AStillBackgroundKeepsItsIndicesWhileABlockMoves) {
  const int w = 96, h = 64;
  auto block = [](int x, int y, int k) { return x >= 6 * k && x < 6 * k + 12 && y >= 20 && y < 36; };
  std::vector<Picture> clip =
      MakeClip(w, h, 10, [&](int x, int y, int k) { return block(x, y, k) ? 0xE02020u : Photo(x, y); });
  for (int quality : {100, 90, 60}) {
    AnimationPtr a = Encode(clip, w, h, quality);
    ASSERT_TRUE(a);
    std::vector<std::vector<uint32_t>> shown = test::ComposedFrames(*a);
    ASSERT_EQ(shown.size(), clip.size());
    // Where the block is in neither picture, the screen does not change at all: no shimmer.
    size_t still = 0;
    for (int k = 1; k < 10; ++k)
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          if (block(x, y, k) || block(x, y, k - 1)) continue;
          const size_t i = static_cast<size_t>(y * w + x);
          ASSERT_EQ(shown[static_cast<size_t>(k)][i], shown[static_cast<size_t>(k) - 1][i])
              << "quality " << quality << " frame " << k << " at " << x << "," << y;
          ++still;
        }
    EXPECT_GT(still, 9u * 96u * 50u);
    // The block itself is drawn where it is, and the whole picture stays close to the source.
    for (int k = 0; k < 10; ++k) {
      EXPECT_EQ(Rgb(shown[static_cast<size_t>(k)][static_cast<size_t>(28 * w + 6 * k + 5)]), 0xE02020u);
      EXPECT_GT(Psnr(clip[static_cast<size_t>(k)], shown[static_cast<size_t>(k)]), quality >= 90 ? 30 : 24);
    }
    // Later frames hold only the rectangle that changed.
    const Frame* second = NextFrame(FirstFrame(*a));
    ASSERT_TRUE(second);
    EXPECT_LE(second->width, 18);
    EXPECT_LE(second->height, 16);
  }
}

TEST(ClipEncoder, LowerQualityWritesFewerBytesAndEveryDecoderShowsWhatItQuantized) {
  // A pan over the photo with a little sensor noise: what lossy settings are for.
  const int w = 96, h = 64;
  std::vector<Picture> clip = MakeClip(w, h, 10, [](int x, int y, int k) {
    const uint32_t c = Photo(x + 2 * k, y);
    const uint32_t noise = (static_cast<uint32_t>(x * 31 + y * 17 + k * 7) * 2654435761u >> 29) & 3;
    return c ^ noise;
  });
  test::TempDir dir;
  uintmax_t previous = 0;
  for (int quality : {100, 80, 40}) {
    AnimationPtr a = Encode(clip, w, h, quality);
    ASSERT_TRUE(a);
    const std::vector<std::vector<uint32_t>> quantized = test::ComposedFrames(*a);
    const std::string path = (dir.path() / ("q" + std::to_string(quality) + ".gif")).string();
    ASSERT_EQ(WriteGifFile(path, *a), 1);
    const uintmax_t bytes = std::filesystem::file_size(path);
    if (previous) {
      EXPECT_LT(bytes, previous) << "quality " << quality;
    }
    previous = bytes;
    std::optional<test::ComposedGif> ours = test::ComposeWithOurReader(path);
    ASSERT_TRUE(ours);
    EXPECT_EQ(ours->frames, quantized) << "quality " << quality;
#if LW_HAVE_GIFLIB
    std::optional<test::ComposedGif> giflib = test::ComposeWithGiflib(path, test::Reading::kBrowser);
    ASSERT_TRUE(giflib);
    EXPECT_EQ(giflib->frames, quantized) << "quality " << quality;
#endif
    for (size_t k = 0; k < clip.size(); ++k) EXPECT_GT(Psnr(clip[k], quantized[k]), quality >= 80 ? 28 : 22);
  }
}

TEST(ClipEncoder, APictureThatFlickersByLessThanTheLossIsNotWrittenAgain) {
  // Exposure flicker: every other frame the whole picture is 3 steps brighter in every channel, so no
  // pixel stays the same from one frame to the next. 120 colours, twice: the palette holds them exactly.
  const int w = 96, h = 64;
  std::vector<Picture> clip = MakeClip(w, h, 12, [](int x, int y, int k) {
    const uint32_t c = static_cast<uint32_t>((x / 2 + y) % 12 * 20) << 16 |
                       static_cast<uint32_t>((y / 3 + x / 5) % 10 * 24) << 8 | 0x40;
    return k % 2 ? c + 0x030303 : c;
  });
  test::TempDir dir;
  uintmax_t bytes[2] = {0, 0};
  std::vector<std::vector<uint32_t>> shown[2];
  for (int q : {0, 1}) {
    AnimationPtr a = Encode(clip, w, h, q ? 90 : 100);
    ASSERT_TRUE(a);
    shown[q] = test::ComposedFrames(*a);
    const std::string path = (dir.path() / ("q" + std::to_string(q) + ".gif")).string();
    ASSERT_EQ(WriteGifFile(path, *a), 1);
    bytes[q] = std::filesystem::file_size(path);
  }
  // Lossless, every frame is coded again; at quality 90 the first one stands for them all.
  EXPECT_LT(bytes[1] * 3, bytes[0]);
  // And every pixel shown stays within the loss (under 7 steps at 90) of its source, beyond what the
  // palette costs anyway.
  auto distance = [](uint32_t a, uint32_t b) {
    double sum = 0;
    for (int s = 0; s < 24; s += 8) {
      const double d = static_cast<double>(a >> s & 0xFF) - static_cast<double>(b >> s & 0xFF);
      sum += d * d;
    }
    return std::sqrt(sum);
  };
  for (size_t k = 0; k < clip.size(); ++k)
    for (size_t i = 0; i < clip[k].size(); ++i) {
      const double exact = distance(Rgb(shown[0][k][i]), clip[k][i]);
      ASSERT_LE(distance(Rgb(shown[1][k][i]), clip[k][i]), exact + 7) << "frame " << k << " pixel " << i;
    }
}

}  // namespace
}  // namespace lw

namespace lw {
namespace {

// Writes what it is given straight into a GIF, as the CLI does with long movies.
struct StreamOut : ClipFrameOutput {
  MemorySink sink;
  GifStreamWriter writer{sink};
  int frames = 0;
  int refuseAt = -1;
  bool Begin(Animation& header) override {
    EXPECT_EQ(header.frameCount, 0);
    return writer.Begin(header);
  }
  bool Take(const Animation& header, const Frame& frame) override {
    return frames++ != refuseAt && writer.WriteFrame(header, frame);
  }
};

TEST(ClipEncoder, FramesSentOutAsTheyAreMadeGiveTheBytesOfTheWholeAnimation) {
  const int w = 96, h = 64;
  std::vector<Picture> clip = MakeClip(w, h, 12, [](int x, int y, int k) {
    return x >= 5 * k && x < 5 * k + 20 && y > 10 && y < 30 ? 0x2040E0u : Photo(x, y);
  });
  for (int quality : {100, 70}) {
    AnimationPtr whole = Encode(clip, w, h, quality);
    ASSERT_TRUE(whole);
    MemorySink expected;
    ASSERT_EQ(WriteGif(expected, *whole, nullptr), 1);

    ClipEncoder encoder(w, h, {quality, 2});
    for (const Picture& p : clip) encoder.SampleFrame(p.data());
    ASSERT_TRUE(encoder.MakePalette());
    StreamOut out;
    encoder.SendFramesTo(&out, 0);
    for (const Picture& p : clip) ASSERT_TRUE(encoder.AddFrame(p.data(), 7));
    AnimationPtr rest = encoder.Finish(5);
    ASSERT_TRUE(rest);
    EXPECT_EQ(FirstFrame(*rest), nullptr);  // nothing held
    EXPECT_EQ(rest->frameCount, 12);
    ASSERT_TRUE(out.writer.End());
    EXPECT_EQ(out.sink.bytes, expected.bytes) << "quality " << quality;
  }

  // An output that gives up stops the encoder, and says it was the output.
  ClipEncoder encoder(w, h, {90, 2});
  for (const Picture& p : clip) encoder.SampleFrame(p.data());
  ASSERT_TRUE(encoder.MakePalette());
  StreamOut out;
  out.refuseAt = 3;
  encoder.SendFramesTo(&out, 0);
  for (int k = 0; k < 3; ++k) ASSERT_TRUE(encoder.AddFrame(clip[static_cast<size_t>(k)].data(), 7));
  EXPECT_FALSE(encoder.OutputFailed());
  EXPECT_FALSE(encoder.AddFrame(clip[3].data(), 7));
  EXPECT_TRUE(encoder.OutputFailed());
}

TEST(GifStreamWriter, RefusesAFrameThatWouldNeedTheHeaderChanged) {
  // A first frame that leaves part of the screen uncovered is written with a transparent index found by
  // looking at every frame; a stream cannot, so it says so instead of writing something else.
  AnimationPtr a = test::MakeAnimation(1, 4, 4);
  a->screenWidth = a->screenHeight = 8;
  MemorySink sink;
  GifStreamWriter writer(sink);
  ASSERT_TRUE(writer.Begin(*a));
  EXPECT_FALSE(writer.WriteFrame(*a, *FirstFrame(*a)));
  EXPECT_FALSE(writer.End());
}

}  // namespace
}  // namespace lw
