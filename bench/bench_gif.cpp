// Decode and encode throughput of the GIF codec against giflib (DGifSlurp / EGifSpew), side by side in
// one run, both working from and to memory.
//   bench_gif FILE...   (inputs: bench/make_inputs.sh, and tests/data/gif)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "platform/ui_hooks.h"

#if LW_HAVE_GIFLIB
#include <gif_lib.h>
#endif

using namespace lw;

namespace {

class QuietHooks : public UiHooks {
 public:
  void Error(const std::string&) override {}
  MsgResult MessageBox(const std::string&, const std::string&, MsgButtons, MsgIcon) override {
    return MsgResult::Ok;
  }
};

// The machine is shared, so time is measured as CPU time, not wall time: the whole process's, as the
// reader decodes large files on several threads and all of their work counts.
double Now() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Wall time as well for decoding, which is what a user waiting for a large file sees.
double WallNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Best time of `rounds` rounds of `reps` calls, in seconds per call.
template <typename F>
double Best(int rounds, int reps, F&& f, double (*clock)() = Now) {
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    double t0 = clock();
    for (int i = 0; i < reps; ++i) f();
    best = std::min(best, (clock() - t0) / reps);
  }
  return best;
}

#if LW_HAVE_GIFLIB
struct MemIn {
  const std::vector<uint8_t>* data;
  size_t pos;
};
int ReadMem(GifFileType* g, GifByteType* dst, int n) {
  auto* in = static_cast<MemIn*>(g->UserData);
  size_t take = std::min<size_t>(static_cast<size_t>(n), in->data->size() - in->pos);
  std::memcpy(dst, in->data->data() + in->pos, take);
  in->pos += take;
  return static_cast<int>(take);
}
int WriteMem(GifFileType* g, const GifByteType* src, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(g->UserData);
  out->insert(out->end(), src, src + n);
  return n;
}
GifFileType* GiflibSlurp(const std::vector<uint8_t>& bytes) {
  MemIn in{&bytes, 0};
  int error = 0;
  GifFileType* g = DGifOpen(&in, ReadMem, &error);
  if (g && DGifSlurp(g) != GIF_OK) {
    DGifCloseFile(g, &error);
    return nullptr;
  }
  if (g) g->UserData = nullptr;
  return g;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  QuietHooks hooks;
  SetUiHooks(&hooks);
  std::printf("%-28s %9s %8s | %12s %12s %6s %6s | %12s %12s %6s\n", "file", "frames", "Mpix", "decode MP/s",
              "giflib MP/s", "ratio", "wall", "encode MP/s", "giflib MP/s", "ratio");
  double decodeRatioMin = 1e30, encodeRatioMin = 1e30;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    AnimationPtr a;
    if (ReadGif(bytes.data(), bytes.size(), &a, nullptr) != 1) {
      std::printf("%s: not read completely, skipped\n", argv[i]);
      continue;
    }
    double pixels = 0;
    for (Frame* f = FirstFrame(*a); f; f = NextFrame(f)) pixels += double(f->width) * double(f->height);
    const int reps = std::clamp(static_cast<int>(10e6 / std::max(pixels, 1.0)), 1, 20000);
    const int rounds = 9;
    std::string name = argv[i];
    name = name.substr(name.find_last_of('/') + 1);

    // Ours and giflib's in turn, round by round, so that both see the same load; the best round counts.
    MemorySink sink;
    double ourDecode = 1e30, ourEncode = 1e30, theirDecode = 0, theirEncode = 0;
    double ourDecodeWall = 1e30, theirDecodeWall = 0;
#if LW_HAVE_GIFLIB
    theirDecode = theirEncode = theirDecodeWall = 1e30;
    GifFileType* source = GiflibSlurp(bytes);
    std::vector<uint8_t> out;
#endif
    for (int r = 0; r < rounds; ++r) {
      ourDecode = std::min(ourDecode, Best(1, reps, [&] {
                             AnimationPtr x;
                             ReadGif(bytes.data(), bytes.size(), &x, nullptr);
                           }));
      ourDecodeWall = std::min(ourDecodeWall, Best(
                                                  1, reps,
                                                  [&] {
                                                    AnimationPtr x;
                                                    ReadGif(bytes.data(), bytes.size(), &x, nullptr);
                                                  },
                                                  WallNow));
      ourEncode = std::min(ourEncode, Best(1, reps, [&] {
                             sink.bytes.clear();
                             WriteGif(sink, *a, nullptr);
                           }));
#if LW_HAVE_GIFLIB
      theirDecode = std::min(theirDecode, Best(1, reps, [&] {
                               int error = 0;
                               if (GifFileType* g = GiflibSlurp(bytes)) DGifCloseFile(g, &error);
                             }));
      theirDecodeWall = std::min(theirDecodeWall, Best(
                                                      1, reps,
                                                      [&] {
                                                        int error = 0;
                                                        if (GifFileType* g = GiflibSlurp(bytes))
                                                          DGifCloseFile(g, &error);
                                                      },
                                                      WallNow));
      // EGifSpew frees what it writes, so each call gets a fresh copy made outside the timing.
      double total = 0;
      for (int k = 0; k < reps; ++k) {
        out.clear();
        int error = 0;
        GifFileType* g = EGifOpen(&out, WriteMem, &error);
        g->SWidth = source->SWidth;
        g->SHeight = source->SHeight;
        g->SColorResolution = source->SColorResolution;
        g->SBackGroundColor = source->SBackGroundColor;
        g->AspectByte = source->AspectByte;
        if (source->SColorMap)
          g->SColorMap = GifMakeMapObject(source->SColorMap->ColorCount, source->SColorMap->Colors);
        for (int j = 0; j < source->ImageCount; ++j) GifMakeSavedImage(g, &source->SavedImages[j]);
        for (int j = 0; j < source->ExtensionBlockCount; ++j) {
          const ::ExtensionBlock& e = source->ExtensionBlocks[j];
          GifAddExtensionBlock(&g->ExtensionBlockCount, &g->ExtensionBlocks, e.Function,
                               static_cast<unsigned>(e.ByteCount), e.Bytes);
        }
        double t0 = Now();
        EGifSpew(g);
        total += Now() - t0;
      }
      theirEncode = std::min(theirEncode, total / reps);
#endif
    }
#if LW_HAVE_GIFLIB
    int error = 0;
    DGifCloseFile(source, &error);
#endif
    double mp = pixels / 1e6;
    double dr = theirDecode > 0 ? theirDecode / ourDecode : 0,
           er = theirEncode > 0 ? theirEncode / ourEncode : 0;
    decodeRatioMin = std::min(decodeRatioMin, dr);
    encodeRatioMin = std::min(encodeRatioMin, er);
    double wr = theirDecodeWall > 0 ? theirDecodeWall / ourDecodeWall : 0;
    std::printf("%-28.28s %9d %8.2f | %12.1f %12.1f %6.2f %6.2f | %12.1f %12.1f %6.2f\n", name.c_str(),
                a->frameCount, mp, mp / ourDecode, theirDecode > 0 ? mp / theirDecode : 0.0, dr, wr,
                mp / ourEncode, theirEncode > 0 ? mp / theirEncode : 0.0, er);
    std::fflush(stdout);
  }
  std::printf(
      "lowest ratios: decode %.2f, encode %.2f (x giflib, processor time; higher is faster; 'wall'\n"
      "is the decode ratio in elapsed time, large files being decoded on several threads)\n",
      decodeRatioMin, encodeRatioMin);
  return 0;
}
