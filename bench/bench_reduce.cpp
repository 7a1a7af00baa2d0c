// Palette reduction against gifsicle --colors: seconds, bytes, and how close the composed pictures stay
// to the originals (PSNR over every frame as a browser shows it).
//   bench_reduce FILE.gif...      (gifsicle on the PATH; inputs from bench/make_inputs.sh)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "color/reduce_palettes.h"
#include "io/files.h"
#include "optimize/pictures.h"
#include "platform/recording_ui_hooks.h"

using namespace lw;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::vector<RgbaPixel>> Pictures(const Animation& a) {
  std::vector<std::vector<RgbaPixel>> out;
  PictureComposer composer(a.screenWidth, a.screenHeight);
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) out.push_back(composer.Show(*f));
  return out;
}

double Psnr(const std::vector<std::vector<RgbaPixel>>& a, const std::vector<std::vector<RgbaPixel>>& b) {
  if (a.size() != b.size()) return 0;
  double sum = 0;
  uint64_t n = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].size() != b[i].size()) return 0;
    for (size_t p = 0; p < a[i].size(); ++p) {
      for (int shift = 0; shift < 24; shift += 8) {
        double d = double((a[i][p] >> shift) & 255) - double((b[i][p] >> shift) & 255);
        sum += d * d;
      }
      n += 3;
    }
  }
  double mse = sum / double(n ? n : 1);
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

AnimationPtr Load(const std::string& path) {
  AnimationPtr a;
  if (ReadAnyFile(path, &a, nullptr) != 1) return nullptr;
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  std::string tmp = std::filesystem::temp_directory_path() / "lw-bench-reduce";
  std::filesystem::create_directories(tmp);
  std::printf("%-28s %4s %6s | %9s %8s %6s | %9s %8s %6s | %9s %8s %6s\n", "file", "bits", "dither",
              "lw bytes", "lw s", "PSNR", "gs bytes", "gs s", "PSNR", "in bytes", "", "");
  for (int i = 1; i < argc; ++i) {
    std::string in = argv[i];
    AnimationPtr original = Load(in);
    if (!original) continue;
    auto before = Pictures(*original);
    for (int bits : {4, 6}) {
      for (bool dither : {false, true}) {
        AnimationPtr copy = CopyAnimation(*original);
        auto t0 = Clock::now();
        ReducePalettes(*copy, bits, dither, nullptr);
        double ours = std::chrono::duration<double>(Clock::now() - t0).count();
        std::string lwOut = tmp + "/lw.gif", gsOut = tmp + "/gs.gif";
        WriteGifFile(lwOut, *copy);
        double lwPsnr = Psnr(before, Pictures(*Load(lwOut)));
        std::string cmd = "gifsicle --colors " + std::to_string(1 << bits) + (dither ? " --dither" : "") +
                          " '" + in + "' -o '" + gsOut + "' 2>/dev/null";
        auto t1 = Clock::now();
        int rc = std::system(cmd.c_str());
        double theirs = std::chrono::duration<double>(Clock::now() - t1).count();
        AnimationPtr gs = rc == 0 ? Load(gsOut) : nullptr;
        std::printf("%-28s %4d %6s | %9ju %8.3f %6.2f | %9ju %8.3f %6.2f | %9ju\n",
                    std::filesystem::path(in).filename().string().substr(0, 28).c_str(), bits,
                    dither ? "yes" : "no", uintmax_t(std::filesystem::file_size(lwOut)), ours, lwPsnr,
                    gs ? uintmax_t(std::filesystem::file_size(gsOut)) : 0, theirs,
                    gs ? Psnr(before, Pictures(*gs)) : 0.0, uintmax_t(std::filesystem::file_size(in)));
      }
    }
  }
  return 0;
}
