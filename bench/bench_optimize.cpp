// The optimizer side by side with gifsicle -O3 and ImageMagick's -layers Optimize: bytes and seconds per
// file, and whether every output still shows the input's pictures for as long (checked by composing the
// frames of each output as a browser does).
//
//   bench/make_optimize_inputs.sh            makes build/bench-inputs/optimize
//   build/bench/bench_optimize [DIR] [--repeat N] [--no-magick]
//
// Each tool runs as a whole process (read, optimize, write); its processor time (user + system, which a
// machine shared with other work disturbs far less than wall time) and its wall time are each the best
// of N runs. --best may use a second thread on large animations: its wall time can be below its
// processor time.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "io/files.h"
#include "model/animation.h"
#include "optimize/pictures.h"
#include "platform/ui_hooks.h"

namespace fs = std::filesystem;
using namespace lw;

namespace {

class QuietHooks : public ConsoleUiHooks {
 public:
  void Error(const std::string&) override {}
  MsgResult MessageBox(const std::string&, const std::string&, MsgButtons buttons, MsgIcon) override {
    return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes
                                                                              : MsgResult::Ok;
  }
};

using Timeline = std::vector<std::pair<uint64_t, uint64_t>>;

// The pictures in order with how long each shows; runs of equal pictures joined.
bool ReadTimeline(const std::string& path, Timeline* out) {
  AnimationPtr a;
  if (ReadAnyFile(path, &a, nullptr) != 1) return false;
  std::vector<uint64_t> digests = PictureDigests(*a);
  out->clear();
  size_t i = 0;
  for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f), ++i) {
    if (!out->empty() && out->back().first == digests[i])
      out->back().second += f->delay;
    else
      out->emplace_back(digests[i], f->delay);
  }
  return true;
}

// Processor time of every finished child so far.
double ChildSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Result {
  bool ran = false;
  uint64_t bytes = 0;
  double seconds = 0;  // processor
  double wall = 0;
  bool same = false;
};

Result RunTool(const std::string& command, const std::string& output, const Timeline& expected, int repeat) {
  Result r;
  r.seconds = r.wall = 1e9;
  for (int i = 0; i < repeat; ++i) {
    fs::remove(output);
    const double before = ChildSeconds();
    const auto start = std::chrono::steady_clock::now();
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double s = ChildSeconds() - before;
    if (status != 0 || !fs::exists(output)) return r;
    r.seconds = std::min(r.seconds, s);
    r.wall = std::min(r.wall, wall);
  }
  r.ran = true;
  r.bytes = fs::file_size(output);
  Timeline got;
  r.same = ReadTimeline(output, &got) && got == expected;
  return r;
}

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

std::string Cell(const Result& r) {
  if (!r.ran) return "      failed               ";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%9llu %6.3f %6.3f%s", static_cast<unsigned long long>(r.bytes), r.seconds,
                r.wall, r.same ? "  " : " !");
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  QuietHooks hooks;
  SetUiHooks(&hooks);
  std::string dir = "build/bench-inputs/optimize";
  int repeat = 3;
  bool magick = true;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--repeat" && i + 1 < argc)
      repeat = std::max(1, std::atoi(argv[++i]));
    else if (a == "--no-magick")
      magick = false;
    else
      dir = a;
  }
  const std::string cli =
      (fs::canonical("/proc/self/exe").parent_path().parent_path() / "loopwright-cli").string();
  if (!fs::exists(cli)) {
    std::fprintf(stderr, "bench_optimize: %s not found\n", cli.c_str());
    return 1;
  }
  std::vector<std::string> inputs;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".gif") inputs.push_back(e.path().string());
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "bench_optimize: no GIF files in %s (run bench/make_optimize_inputs.sh)\n",
                 dir.c_str());
    return 1;
  }
  char tmpl[] = "/tmp/lwbenchXXXXXX";
  const std::string tmp = mkdtemp(tmpl);

  std::printf("%-24s %9s | %-26s | %-26s | %-26s | %-26s | %7s %7s %7s\n", "file", "input", "gifsicle -O3",
              "ImageMagick", "optimize", "optimize --best", "bytes", "cpu", "wall");
  std::printf("%-24s %9s | %-26s | %-26s | %-26s | %-26s | %7s %7s %7s\n", "", "bytes",
              "    bytes    cpu   wall", "    bytes    cpu   wall", "    bytes    cpu   wall",
              "    bytes    cpu   wall", "vs peer", "vs -O3", "vs -O3");
  double sumBytesRatio = 0, sumTimeRatio = 0, sumWallRatio = 0;
  int counted = 0, wins = 0, unequal = 0;
  for (const std::string& in : inputs) {
    Timeline expected;
    if (!ReadTimeline(in, &expected)) {
      std::printf("%-24s unreadable\n", fs::path(in).filename().c_str());
      continue;
    }
    const std::string out = tmp + "/out.gif";
    Result gs = RunTool("gifsicle -O3 " + Quote(in) + " -o " + Quote(out), out, expected, repeat);
    Result im;
    if (magick) im = RunTool("convert " + Quote(in) + " -layers Optimize " + Quote(out), out, expected, 1);
    Result ours = RunTool(Quote(cli) + " optimize " + Quote(in) + " -o " + Quote(out), out, expected, repeat);
    Result best =
        RunTool(Quote(cli) + " optimize --best " + Quote(in) + " -o " + Quote(out), out, expected, repeat);
    // The peers' smaller output among the ones that kept the pictures.
    uint64_t peer = UINT64_MAX;
    if (gs.ran && gs.same) peer = std::min(peer, gs.bytes);
    if (im.ran && im.same) peer = std::min(peer, im.bytes);
    double bytesRatio = best.ran && peer != UINT64_MAX ? double(best.bytes) / double(peer) : 0;
    double timeRatio = best.ran && gs.ran ? best.seconds / gs.seconds : 0;
    double wallRatio = best.ran && gs.ran ? best.wall / gs.wall : 0;
    std::printf("%-24s %9llu | %s | %s | %s | %s | %7.4f %7.2f %7.2f\n", fs::path(in).filename().c_str(),
                static_cast<unsigned long long>(fs::file_size(in)), Cell(gs).c_str(),
                magick ? Cell(im).c_str() : "             -             ", Cell(ours).c_str(),
                Cell(best).c_str(), bytesRatio, timeRatio, wallRatio);
    if (bytesRatio > 0) {
      sumBytesRatio += bytesRatio;
      sumTimeRatio += timeRatio;
      sumWallRatio += wallRatio;
      ++counted;
      wins += best.bytes <= peer;
    }
    unequal += (ours.ran && !ours.same) + (best.ran && !best.same);
  }
  std::printf(
      "\n%d files: --best no larger than the smaller lossless peer on %d; mean bytes ratio %.4f; mean time "
      "ratio to gifsicle -O3 %.2f (processor), %.2f (wall)\n",
      counted, wins, counted ? sumBytesRatio / counted : 0, counted ? sumTimeRatio / counted : 0,
      counted ? sumWallRatio / counted : 0);
  std::printf("'!' marks an output whose pictures (or their timing) differ from the input's (ours: %d)\n",
              unequal);
  fs::remove_all(tmp);
  return unequal ? 1 : 0;
}
