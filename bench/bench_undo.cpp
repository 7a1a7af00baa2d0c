// The undo history on a 200-frame 800 x 600 animation in the editor's own window (offscreen): the bytes
// one step adds to the history for a field edit (the delay box) and a one-frame pixel edit (Rotate 180°),
// and how long Undo and Redo take on the interface thread, from the
// command to the views, the preview and the restarted jobs.
//   bench_undo [ROUNDS]
#include <QApplication>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app/shell/toolbars.h"
#include "model/animation.h"
#include "model/preferences.h"
#include "platform/recording_ui_hooks.h"

using namespace lw;
using namespace lw::app;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFrames = 200, kWidth = 800, kHeight = 600;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

AnimationPtr MakeDocument() {
  AnimationPtr a = NewAnimation();
  a->screenWidth = kWidth;
  a->screenHeight = kHeight;
  std::vector<PaletteEntry> colors(256);
  for (int i = 0; i < 256; ++i)
    colors[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7),
                                      static_cast<uint8_t>(255 - i), 0};
  SetGlobalPalette(*a, std::make_unique<Palette>(colors));
  for (int n = 0; n < kFrames; ++n) {
    FramePtr f = NewFrameBlock();
    f->width = kWidth;
    f->height = kHeight;
    f->palette = a->globalPalette.get();
    f->bitmap = FrameBitmap::Make(kWidth, kHeight, f->palette);
    if (!f->bitmap) return nullptr;
    uint8_t* bits = f->MutableBits();
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        bits[y * f->Stride() + x] = static_cast<uint8_t>((x + y + 3 * n) & 255);
    AppendBlock(*a, std::move(f));
    AddFrameCount(*a, 1);
  }
  return a;
}

struct Row {
  const char* what;
  uint64_t bytes;
  double undoMs, redoMs, worstMs;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  RecordingUiHooks quiet;
  ScopedUiHooks scope(&quiet);
  ReadPreferences(nullptr);
  MainWindow w(nullptr);
  w.resize(1000, 700);
  w.show();
  AnimationPtr doc = MakeDocument();
  if (!doc) {
    std::fprintf(stderr, "bench_undo: not enough memory for the document\n");
    return 1;
  }
  w.SetCurrentAnimation(std::move(doc));
  Animation& a = *w.CurrentAnimation();
  w.SelectFrame(100);
  QApplication::processEvents();

  auto measure = [&](const char* what, const std::function<void()>& edit) {
    uint64_t held = w.History().HeldBytes(a);
    edit();
    QApplication::processEvents();
    Row row{what, w.History().HeldBytes(a) - held, 0, 0, 0};
    std::vector<double> undo, redo, stops;
    for (int r = 0; r < rounds; ++r) {
      // What stopping the size and colour jobs alone costs (each undo and redo stops them first).
      QApplication::processEvents();
      Clock::time_point s0 = Clock::now();
      w.Jobs().StopJobs();
      stops.push_back(Ms(Clock::now() - s0));
      w.Jobs().ResumeJobs(&a);
      Clock::time_point t0 = Clock::now();
      w.DispatchCommand(kCmdUndo);
      undo.push_back(Ms(Clock::now() - t0));
      QApplication::processEvents();
      t0 = Clock::now();
      w.DispatchCommand(kCmdRedo);
      redo.push_back(Ms(Clock::now() - t0));
      QApplication::processEvents();
    }
    row.undoMs = Median(undo);
    row.redoMs = Median(redo);
    for (double ms : undo) row.worstMs = std::max(row.worstMs, ms);
    for (double ms : redo) row.worstMs = std::max(row.worstMs, ms);
    std::printf("    stopping the jobs: median %.2f ms, slowest %.2f ms\n", Median(stops),
                *std::max_element(stops.begin(), stops.end()));
    std::printf("%-22s %12llu bytes  undo %7.2f ms  redo %7.2f ms  (slowest %.2f ms)\n", row.what,
                static_cast<unsigned long long>(row.bytes), row.undoMs, row.redoMs, row.worstMs);
  };
  std::printf("%d frames of %d x %d (%llu pixel bytes), median of %d rounds\n", kFrames, kWidth, kHeight,
              static_cast<unsigned long long>(kFrames) * kWidth * kHeight, rounds);
  measure("field edit (delay)", [&] { w.Bars()->DelayBox()->setText("7"); });
  measure("one frame (rotate)", [&] { w.DispatchCommand(kCmdRotate180); });
  std::printf("history holds %llu bytes in %zu steps\n",
              static_cast<unsigned long long>(w.History().HeldBytes(a)), w.History().UndoCount());
  return 0;
}
