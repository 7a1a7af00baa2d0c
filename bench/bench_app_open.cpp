// Start-up of the editor on a large animation: from starting the program to the first painted filmstrip,
// measured by starting the real program on the offscreen platform, side by side with what reading the
// same file costs the engine alone and giflib (DGifSlurp) alone.
//   bench_app_open [ROUNDS] [GIF...]
// Without GIFs, two 200-frame 800 × 600 clips are made with ffmpeg into build/bench-inputs: the test
// pattern dithered onto its palette (noisy, hard to compress) and the same without dithering.
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "io/files.h"
#include "platform/ui_hooks.h"

#if LW_HAVE_GIFLIB
#include <gif_lib.h>
#endif

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

double ProcessCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Starts the editor and reads the start-up time it reports when the filmstrip first shows frames.
bool RunApp(const std::string& app, const std::string& gif, const std::string& config, double* firstPaintMs,
            double* cpuMs, double* wallMs) {
  std::string command = "env QT_QPA_PLATFORM=offscreen LOOPWRIGHT_FIRST_PAINT=exit XDG_CONFIG_HOME='" +
                        config + "' '" + app + "' '" + gif + "' 2>/dev/null";
  auto t0 = Clock::now();
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  char line[256];
  bool found = false;
  while (std::fgets(line, sizeof line, pipe))
    if (std::sscanf(line, "first-paint-ms %lf cpu-ms %lf", firstPaintMs, cpuMs) == 2) found = true;
  int status = pclose(pipe);
  *wallMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  return found && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Makes a 200-frame 800 × 600 test clip with ffmpeg.
bool MakeInput(const std::string& gif, const char* dither) {
  fs::create_directories(fs::path(gif).parent_path());
  std::string make =
      std::string("ffmpeg -v error -y -f lavfi -t 8 -i testsrc2=size=800x600:rate=25 -frames:v 200 ") +
      "-filter_complex 'split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=" + dither +
      "' '" + gif + "'";
  return std::system(make.c_str()) == 0;
}

int BenchOne(const std::string& app, const std::string& gif, int rounds, const std::string& config) {
  std::vector<double> engine, engineCpu, giflib, giflibCpu, paint, paintCpu, wall;
  uint64_t frames = 0;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    double c0 = ProcessCpuMs();
    lw::AnimationPtr a;
    if (lw::ReadAnyFile(gif, &a, nullptr) != 1) {
      std::fprintf(stderr, "engine could not read %s\n", gif.c_str());
      return 1;
    }
    engine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    engineCpu.push_back(ProcessCpuMs() - c0);
    frames = static_cast<uint64_t>(a->frameCount);
#if LW_HAVE_GIFLIB
    t0 = Clock::now();
    c0 = ProcessCpuMs();
    int error = 0;
    GifFileType* g = DGifOpenFileName(gif.c_str(), &error);
    if (!g || DGifSlurp(g) != GIF_OK) return 1;
    DGifCloseFile(g, &error);
    giflib.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    giflibCpu.push_back(ProcessCpuMs() - c0);
#endif
    double firstPaint = 0, cpuMs = 0, wallMs = 0;
    if (!RunApp(app, gif, config, &firstPaint, &cpuMs, &wallMs)) {
      std::fprintf(stderr, "the editor did not report a first paint\n");
      return 1;
    }
    paint.push_back(firstPaint);
    paintCpu.push_back(cpuMs);
    wall.push_back(wallMs);
  }
  std::printf("%s: %llu frames, %llu bytes, %d rounds (medians)\n", gif.c_str(),
              static_cast<unsigned long long>(frames), static_cast<unsigned long long>(fs::file_size(gif)),
              rounds);
  std::printf("  (wall ms / CPU ms; CPU time is the steadier figure on a shared machine)\n");
  std::printf("  editor, start to first painted filmstrip  %8.1f / %8.1f\n", Median(paint), Median(paintCpu));
  std::printf("  editor, whole process (start to exit)     %8.1f\n", Median(wall));
  std::printf("  engine ReadAnyFile (decode, names, count) %8.1f / %8.1f   editor/engine (CPU) %.2f\n",
              Median(engine), Median(engineCpu), Median(paintCpu) / Median(engineCpu));
#if LW_HAVE_GIFLIB
  std::printf("  giflib DGifSlurp (decode only)            %8.1f / %8.1f   editor/giflib (CPU) %.2f\n",
              Median(giflib), Median(giflibCpu), Median(paintCpu) / Median(giflibCpu));
#endif
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path self = fs::absolute(argv[0]).parent_path();
  std::string app = (self / ".." / "src" / "app" / "loopwright").lexically_normal().string();
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::vector<std::string> gifs(argv + std::min(argc, 2), argv + argc);
  if (gifs.empty()) {
    fs::path inputs = self / ".." / "bench-inputs";
    const std::pair<const char*, const char*> made[] = {{"testsrc2-800x600x200-dithered.gif", "bayer"},
                                                        {"testsrc2-800x600x200-plain.gif", "none"}};
    for (const auto& [name, dither] : made) {
      std::string gif = (inputs / name).lexically_normal().string();
      if (!fs::exists(gif) && !MakeInput(gif, dither)) {
        std::fprintf(stderr, "could not make %s with ffmpeg\n", gif.c_str());
        return 1;
      }
      gifs.push_back(gif);
    }
  }
  if (!fs::exists(app)) {
    std::fprintf(stderr, "no editor at %s (build the app first)\n", app.c_str());
    return 1;
  }
  std::string config = (fs::temp_directory_path() / "lw-bench-app-config").string();
  lw::ConsoleUiHooks hooks;
  lw::SetUiHooks(&hooks);
  for (const std::string& gif : gifs)
    if (int code = BenchOne(app, gif, rounds, config)) return code;
  return 0;
}
