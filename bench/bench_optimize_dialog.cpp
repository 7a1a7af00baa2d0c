// The Optimize Animation and Reduce Palette dialogs on a 200-frame 800 x 600 animation, driven offscreen:
// how long after opening the first size preview appears, how long each change of a choice takes to show
// its result, and the longest time the interface thread's event loop was held up meanwhile (the largest
// gap between ticks of a 1 ms timer, from just before the dialog is shown to its last result). The lossy
// slider and the size field wait 300 ms for the user to pause before they start a run: their changes
// include that pause.
//   bench_optimize_dialog [ROUNDS]
#include <sys/resource.h>
#include <time.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <type_traits>
#include <vector>

#include "app/dialogs/optimize_dialog.h"
#include "app/dialogs/reduce_palette_dialog.h"
#include "gif/gif_writer.h"
#include "model/animation.h"
#include "model/preferences.h"

using namespace lw;

namespace {

constexpr int kFrames = 200, kWidth = 800, kHeight = 600, kBox = 160;

// A still, slightly noisy gradient with a 160 x 160 patch that moves and changes from frame to frame
// (the shape of a screen recording): the frame pass has real work to do on every frame.
AnimationPtr MakeClip() {
  AnimationPtr a = NewAnimation();
  a->screenWidth = kWidth;
  a->screenHeight = kHeight;
  std::vector<PaletteEntry> colors;
  for (int i = 0; i < 256; ++i)
    colors.push_back(
        {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7), 0});
  SetGlobalPalette(*a, std::make_unique<Palette>(std::move(colors)));
  for (int k = 0; k < kFrames; ++k) {
    FramePtr f = NewFrameBlock(nullptr);
    f->width = kWidth;
    f->height = kHeight;
    f->palette = a->globalPalette.get();
    f->delay = 4;
    FrameBitmapPtr bitmap = FrameBitmap::Make(kWidth, kHeight, a->globalPalette.get());
    uint8_t* bits = bitmap->MutableBits();
    uint32_t seed = 7;
    int bx = (k * 13) % (kWidth - kBox), by = (k * 7) % (kHeight - kBox);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        bool patch = x >= bx && x < bx + kBox && y >= by && y < by + kBox;
        int value = patch ? (x * 3 + y * 5 + k * 11) : (x / 4 + y / 8 + static_cast<int>((seed >> 16) % 3));
        bits[y * bitmap->Stride() + x] = static_cast<uint8_t>(value & 0xFF);
      }
    SetFrameBitmap(*f, std::move(bitmap));
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
  CountGlobalColorUse(*a, a->colorUse, true);
  return a;
}

// Watches the event loop: the largest gap between ticks of a 1 ms timer, and the most processor time the
// interface thread spent within one gap. On a loaded machine a gap can be long while the thread merely
// waits for a core; the second figure is what the program itself held the loop for.
class StallMeter {
 public:
  StallMeter() {
    ticker_.setTimerType(Qt::PreciseTimer);
    ticker_.setInterval(1);
    QObject::connect(&ticker_, &QTimer::timeout, [this] { Tick(); });
  }
  void Start() {
    clock_.start();
    last_ = 0;
    lastCpu_ = ThreadCpuNs();
    longest_ = longestBusy_ = 0;
    ticker_.start();
  }
  // Counts the time since the last tick too (a stall that has not ended yet).
  double LongestMs() {
    Tick();
    return static_cast<double>(longest_) / 1e6;
  }
  double LongestBusyMs() const { return static_cast<double>(longestBusy_) / 1e6; }
  double NowMs() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e6; }

 private:
  static qint64 ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
  }
  void Tick() {
    qint64 now = clock_.nsecsElapsed(), cpu = ThreadCpuNs();
    longest_ = std::max(longest_, now - last_);
    longestBusy_ = std::max(longestBusy_, cpu - lastCpu_);
    last_ = now;
    lastCpu_ = cpu;
  }
  QTimer ticker_;
  QElapsedTimer clock_;
  qint64 last_ = 0, longest_ = 0, lastCpu_ = 0, longestBusy_ = 0;
};

// Processor time of the whole process (both threads), in milliseconds.
double ProcessCpuMs() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1e3 +
         static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e3;
}

// Whether the dialog's preview for its newest choice is still to come.
bool Waiting(app::OptimizeDialog& d) {
  return d.Waiting();
}
bool Waiting(app::ReducePaletteDialog& d) {
  return d.Job().IsBusy() || !d.Job().HasResult();
}

// Runs the event loop until the dialog has a result for its newest choice; gives the milliseconds taken
// and adds the processor time spent to cpuMs.
template <typename Dialog>
double WaitForResult(Dialog& d, StallMeter& meter, double* cpuMs) {
  double start = meter.NowMs(), cpu = ProcessCpuMs();
  while (Waiting(d)) {
    QEventLoop loop;
    QTimer::singleShot(1, &loop, &QEventLoop::quit);
    loop.exec();
  }
  *cpuMs += ProcessCpuMs() - cpu;
  return meter.NowMs() - start;
}

struct Figures {
  double showMs = 0, firstMs = 0, firstCpuMs = 0, stallMs = 0, busyMs = 0;
  std::vector<double> changeMs, changeCpuMs;
  uint32_t before = 0, after = 0;
  QString note;  // the fit's words
};

template <typename Dialog>
Figures Drive(Animation& a, const std::vector<std::function<void(Dialog&)>>& changes) {
  Figures fig;
  StallMeter meter;
  Dialog d(a, nullptr);
  meter.Start();
  d.show();
  fig.showMs = meter.NowMs();
  fig.firstMs = WaitForResult(d, meter, &fig.firstCpuMs) + fig.showMs;
  for (const auto& change : changes) {
    double cpu = 0;
    double start = meter.NowMs();
    change(d);
    WaitForResult(d, meter, &cpu);
    double ms = meter.NowMs() - start;  // the change itself included
    fig.changeMs.push_back(ms);
    fig.changeCpuMs.push_back(cpu);
  }
  fig.stallMs = meter.LongestMs();
  fig.busyMs = meter.LongestBusyMs();
  fig.before = a.fileSize.load();
  fig.after = d.Job().Result().size;
  if constexpr (std::is_same_v<Dialog, app::OptimizeDialog>)
    fig.note = app::FitText(d.Job().Result().fitLimit, d.Job().Result());
  d.reject();
  return fig;
}

void Print(const char* name, const Figures& f) {
  std::printf("%-22s show %3.0f ms, first preview %5.0f ms (cpu %5.0f)   changes:", name, f.showMs, f.firstMs,
              f.firstCpuMs);
  for (size_t i = 0; i < f.changeMs.size(); ++i)
    std::printf(" %5.0f (cpu %5.0f)", f.changeMs[i], f.changeCpuMs[i]);
  std::printf(" ms   longest stall %5.1f ms (busy %4.1f ms)   %u -> %u bytes\n", f.stallMs, f.busyMs,
              f.before, f.after);
  if (!f.note.isEmpty()) std::printf("%-22s %s\n", "", qPrintable(f.note));
}

// The editor has its window up before any dialog opens: the style, fonts and platform are warm.
void WarmUp() {
  QDialog warm;
  auto* box = new QCheckBox("warm", &warm);
  (void)box;
  warm.show();
  QEventLoop loop;
  QTimer::singleShot(50, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
  ReadPreferences(nullptr);
  WarmUp();
  std::printf("making %d frames of %d x %d...\n", kFrames, kWidth, kHeight);
  AnimationPtr a = MakeClip();
  // The status bar's size job has measured the document before a dialog opens.
  QElapsedTimer clock;
  clock.start();
  ComputeFileSize(*a, true, nullptr);
  std::printf("saved size %u bytes, measured in %lld ms\n", a->fileSize.load(), clock.elapsed());
  // A limit 30 % under what the techniques alone reach.
  AnimationPtr lossless = CopyAnimation(*a);
  OptimizeAnimation(*lossless, kShrinkFrames | kDuplicatesToTransparency | kShrinkPalettes, nullptr);
  const int fitKilobytes = static_cast<int>(ComputeFileSize(*lossless, true, nullptr) / 10 * 7 / 1024);
  lossless.reset();
  using app::OptimizeDialog;
  using app::ReducePaletteDialog;
  auto box = [](int id) {
    return [id](OptimizeDialog& d) { d.findChild<QCheckBox*>(QString::number(id))->toggle(); };
  };
  for (int round = 0; round < rounds; ++round) {
    SetPreference(kPrefOptimize, kShrinkFrames | kDuplicatesToTransparency | kShrinkPalettes);
    Print("optimize", Drive<OptimizeDialog>(*a, {box(app::kOptDuplicates), box(app::kOptShrinkPalettes),
                                                 box(app::kOptRemoveFrames), box(app::kOptShrinkFrames)}));
    // Four quick changes in a row: only the last one's result counts.
    SetPreference(kPrefOptimize, kShrinkFrames | kDuplicatesToTransparency | kShrinkPalettes);
    Print("optimize, quick clicks", Drive<OptimizeDialog>(*a, {[](OptimizeDialog& d) {
            for (int id :
                 {app::kOptDuplicates, app::kOptShrinkPalettes, app::kOptDuplicates, app::kOptShrinkPalettes})
              d.findChild<QCheckBox*>(QString::number(id))->toggle();
          }}));
    // The loss on top of the techniques: two levels, then the fit under a size the lossless result misses.
    SetPreference(kPrefOptimize, kShrinkFrames | kDuplicatesToTransparency | kShrinkPalettes);
    auto level = [](int n) {
      return [n](OptimizeDialog& d) { d.findChild<QSlider*>(QString::number(app::kOptLossy))->setValue(n); };
    };
    auto fitUnder = [](int kilobytes) {
      return [kilobytes](OptimizeDialog& d) {
        d.findChild<QLineEdit*>(QString::number(app::kOptFitUnder))->setText(QString::number(kilobytes));
      };
    };
    Print("optimize, lossy 40/80", Drive<OptimizeDialog>(*a, {level(40), level(80)}));
    Print("optimize, fit under", Drive<OptimizeDialog>(*a, {fitUnder(fitKilobytes)}));
    SetPreference(kPrefReduce, 0x10007);
    auto bits = [](int item) { return [item](ReducePaletteDialog& d) { d.Combo()->setCurrentIndex(item); }; };
    Print("reduce palettes",
          Drive<ReducePaletteDialog>(
              *a, {bits(2), [](ReducePaletteDialog& d) { d.Dither()->toggle(); }, bits(4)}));
  }
  return 0;
}
