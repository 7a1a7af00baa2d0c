// The editor's saved-size job on a 200-frame 800 x 600 animation: how long the size takes (engine alone,
// and through the background job until the status bar would show it), side by side with giflib encoding
// the same frames; and how long the interface thread is held up meanwhile: the longest gap between ticks
// of a 1 ms timer while the job runs, and what restarting the job (cancel, wait, start) costs it.
//   bench_size_job [ROUNDS]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "app/shell/background_jobs.h"
#include "gif/gif_writer.h"
#include "model/animation.h"
#include "platform/progress.h"

#if LW_HAVE_GIFLIB
#include <gif_lib.h>
#endif

using namespace lw;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFrames = 200, kWidth = 800, kHeight = 600;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Frames like a dithered video: a moving gradient with noise, 256 colours. noise = 0 gives smooth frames
// that compress well, 255 pure noise (the encoder's worst case).
AnimationPtr MakeClip(int noise) {
  AnimationPtr a = NewAnimation();
  a->screenWidth = kWidth;
  a->screenHeight = kHeight;
  a->loopCount = 0;
  std::vector<PaletteEntry> colors;
  for (int i = 0; i < 256; ++i)
    colors.push_back(
        {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7), 0});
  SetGlobalPalette(*a, std::make_unique<Palette>(std::move(colors)));
  uint32_t seed = 7;
  for (int k = 0; k < kFrames; ++k) {
    FramePtr f = NewFrameBlock(nullptr);
    f->width = kWidth;
    f->height = kHeight;
    f->palette = a->globalPalette.get();
    f->delay = 4;
    FrameBitmapPtr bitmap = FrameBitmap::Make(kWidth, kHeight, a->globalPalette.get());
    uint8_t* bits = bitmap->MutableBits();
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        int n = noise ? static_cast<int>((seed >> 16) % static_cast<uint32_t>(noise + 1)) : 0;
        bits[y * bitmap->Stride() + x] = static_cast<uint8_t>((x / 4 + y / 8 + k * 3 + n) & 0xFF);
      }
    SetFrameBitmap(*f, std::move(bitmap));
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
  return a;
}

#if LW_HAVE_GIFLIB
int CountBytes(GifFileType* g, const GifByteType*, int n) {
  *static_cast<size_t*>(g->UserData) += static_cast<size_t>(n);
  return n;
}

// giflib encoding the same frames (screen, global table, loop block left out, one control block each),
// counting the bytes as ComputeFileSize does.
size_t GiflibSize(const Animation& a) {
  size_t count = 0;
  int error = 0;
  GifFileType* g = EGifOpen(&count, CountBytes, &error);
  if (!g) return 0;
  EGifSetGifVersion(g, true);
  std::vector<GifColorType> table;
  for (int i = 0; i < a.globalPalette->Count(); ++i)
    table.push_back({(*a.globalPalette)[i].red, (*a.globalPalette)[i].green, (*a.globalPalette)[i].blue});
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(table.size()), table.data());
  EGifPutScreenDesc(g, a.screenWidth, a.screenHeight, 8, 0, map);
  std::vector<GifPixelType> row(static_cast<size_t>(a.screenWidth));
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    GifByteType control[4] = {0, static_cast<GifByteType>(f->delay), 0, 0};
    EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, 4, control);
    EGifPutImageDesc(g, 0, 0, f->width, f->height, false, nullptr);
    for (int y = 0; y < f->height; ++y) {
      std::copy(f->Row(y), f->Row(y) + f->width, row.begin());
      EGifPutLine(g, row.data(), f->width);
    }
  }
  EGifCloseFile(g, &error);
  GifFreeMapObject(map);
  return count;
}
#endif

struct JobRun {
  double resultMs = 0;      // start to the size arriving on the interface thread
  double longestGapMs = 0;  // the longest time between two ticks of the 1 ms timer meanwhile
  int ticks = 0;
};

// Starts the job and runs the event loop until its size arrives, timing the ticks of a 1 ms timer.
JobRun RunJob(app::BackgroundJobs& jobs, Animation& a) {
  JobRun run;
  QEventLoop loop;
  QElapsedTimer clock;
  qint64 lastTick = 0;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(1);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    qint64 now = clock.nsecsElapsed();
    run.longestGapMs = std::max(run.longestGapMs, static_cast<double>(now - lastTick) / 1e6);
    lastTick = now;
    ++run.ticks;
  });
  auto connection = QObject::connect(&jobs, &app::BackgroundJobs::FileSizeChanged, [&](qint64 size) {
    if (size >= 0) {
      run.resultMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
      loop.quit();
    }
  });
  clock.start();
  ticker.start();
  jobs.StartFileSizeJob(&a, true);
  loop.exec();
  ticker.stop();
  QObject::disconnect(connection);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::printf("saved-size job, %d frames of %d x %d, best of %d rounds\n", kFrames, kWidth, kHeight, rounds);
  std::printf("%-8s %12s | %10s %10s | %10s %8s | %11s %10s | %12s %12s\n", "clip", "bytes", "size ms",
              "cpu ms", "giflib cpu", "ratio", "job->ui ms", "stall ms", "restart med", "restart max");
  for (int noise : {0, 16, 255}) {
    AnimationPtr a = MakeClip(noise);
    const char* name = noise == 0 ? "smooth" : noise == 16 ? "dither" : "noise";
    double best = 1e30, bestCpu = 1e30, theirs = 1e30;
    uint32_t size = 0;
    for (int r = 0; r < rounds; ++r) {
      // Ours and giflib's in turn, so that both see the same load.
      double cpu0 = ThreadCpuMs();
      auto t0 = Clock::now();
      size = ComputeFileSize(*a, true, nullptr);
      best = std::min(best, Ms(Clock::now() - t0));
      bestCpu = std::min(bestCpu, ThreadCpuMs() - cpu0);
#if LW_HAVE_GIFLIB
      // Processor time on both sides: the machine is shared.
      cpu0 = ThreadCpuMs();
      size_t their = GiflibSize(*a);
      theirs = std::min(theirs, ThreadCpuMs() - cpu0);
      if (their == 0) theirs = 0;
#else
      theirs = 0;
#endif
    }
    // Through the background job, with the interface thread's event loop running.
    app::BackgroundJobs jobs;
    double jobBest = 1e30, stallWorst = 0;
    for (int r = 0; r < rounds; ++r) {
      JobRun run = RunJob(jobs, *a);
      jobBest = std::min(jobBest, run.resultMs);
      stallWorst = std::max(stallWorst, run.longestGapMs);
    }
    // Restarting while the job runs: what an edit costs the interface thread (cancel, wait, start).
    std::vector<double> restarts;
    for (int r = 0; r < 20; ++r) {
      jobs.StartFileSizeJob(a.get(), true);
      QThread::usleep(static_cast<unsigned long>(5000 + (r * 7919) % 40000));
      auto t0 = Clock::now();
      jobs.StartFileSizeJob(a.get(), true);
      restarts.push_back(Ms(Clock::now() - t0));
    }
    jobs.StopJobs();
    std::printf("%-8s %12u | %10.1f %10.1f | %10.1f %8.2f | %11.1f %10.1f | %12.1f %12.1f\n", name, size,
                best, bestCpu, theirs, theirs > 0 ? theirs / bestCpu : 0.0, jobBest, stallWorst,
                Median(restarts), *std::max_element(restarts.begin(), restarts.end()));
    std::fflush(stdout);
  }
  std::printf(
      "ratio = giflib processor time / ours (higher is faster); stall = longest gap of a 1 ms timer on the "
      "interface thread while the job ran\n");
  return 0;
}
