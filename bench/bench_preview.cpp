// The animation preview: how closely the frame timer keeps the delays, and what composing one frame
// costs on an 800 × 600 screen.
//   bench_preview [FRAMES]
// Timing: the preview window plays FRAMES (default 100) frames of delay 5 (50 ms) of 800 × 600 on the
// offscreen platform; the intervals between shown frames are measured on the monotonic clock, side by
// side with a plain timer that is started again with the delay after each frame (what a simple player
// does, and what drifts). The preview passes when its mean interval lies within 2 ms of 50 ms.
// Composing: the preview's composer against the browser-style composer the optimizer checks pictures
// with (which copies the whole screen for each frame), for full-screen frames and for 64 × 64 frames with
// the disposal methods mixed.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/views/preview_window.h"
#include "edit/preview_composer.h"
#include "model/animation.h"
#include "optimize/pictures.h"

using Clock = std::chrono::steady_clock;

namespace {

lw::AnimationPtr MakeClip(int frames, int screenW, int screenH, int frameW, int frameH, uint32_t delay) {
  lw::AnimationPtr a = lw::NewAnimation();
  a->screenWidth = screenW;
  a->screenHeight = screenH;
  std::vector<lw::PaletteEntry> colors;
  for (int i = 0; i < 256; ++i)
    colors.push_back(
        {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 3), static_cast<uint8_t>(255 - i), 0});
  lw::SetGlobalPalette(*a, std::make_unique<lw::Palette>(colors));
  for (int k = 0; k < frames; ++k) {
    lw::FramePtr f = lw::NewFrameBlock(nullptr);
    f->width = frameW;
    f->height = frameH;
    f->left = (k * 37) % std::max(screenW - frameW + 1, 1);
    f->top = (k * 23) % std::max(screenH - frameH + 1, 1);
    f->palette = a->globalPalette.get();
    lw::FrameBitmapPtr bitmap = lw::FrameBitmap::Make(frameW, frameH, f->palette);
    uint8_t* bits = bitmap->MutableBits();
    for (int y = 0; y < frameH; ++y)
      for (int x = 0; x < frameW; ++x) bits[y * bitmap->Stride() + x] = static_cast<uint8_t>((x ^ y) + k);
    lw::SetFrameBitmap(*f, std::move(bitmap));
    lw::SetDelay(*f, delay);
    lw::SetDisposal(*f, k % 4);
    if (k % 3 == 0) {
      lw::SetTransparentIndex(*f, static_cast<uint8_t>(k));
      lw::SetTransparent(*f, true);
    }
    lw::AppendBlock(*a, std::move(f));
    lw::AddFrameCount(*a, 1);
  }
  return a;
}

struct Intervals {
  double mean = 0, median = 0, p95 = 0, max = 0, drift = 0;
};

Intervals Summarize(const std::vector<Clock::time_point>& times) {
  std::vector<double> ms;
  for (size_t i = 1; i < times.size(); ++i)
    ms.push_back(std::chrono::duration<double, std::milli>(times[i] - times[i - 1]).count());
  Intervals r;
  if (ms.empty()) return r;
  double sum = 0;
  for (double v : ms) sum += v;
  r.mean = sum / static_cast<double>(ms.size());
  // How far the last frame came from where exact delays would have put it.
  r.drift = sum - 50.0 * static_cast<double>(ms.size());
  std::sort(ms.begin(), ms.end());
  r.median = ms[ms.size() / 2];
  r.p95 = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
  r.max = ms.back();
  return r;
}

// The preview window playing the clip: the times at which frames were shown.
std::vector<Clock::time_point> TimePreview(lw::Animation& a, int frames) {
  std::vector<Clock::time_point> times;
  lw::app::PreviewWindow window(&a, nullptr);
  window.show();
  QEventLoop loop;
  QObject::connect(&window, &lw::app::PreviewWindow::FrameShown, [&](int) {
    times.push_back(Clock::now());
    // One more than the frames measured: the first interval starts at the first frame shown.
    if (static_cast<int>(times.size()) > frames) loop.quit();
  });
  loop.exec();
  window.Detach();
  return times;
}

// A plain timer started again with the delay after each composed frame.
std::vector<Clock::time_point> TimePlainTimer(lw::Animation& a, int frames) {
  std::vector<Clock::time_point> times;
  lw::PreviewComposer composer(&a);
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QEventLoop loop;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    composer.PreviewAdvance();
    times.push_back(Clock::now());
    if (static_cast<int>(times.size()) > frames)
      loop.quit();
    else
      timer.start(composer.CurrentDelayMs());
  });
  timer.start(1);
  loop.exec();
  return times;
}

template <typename Fn>
double MicrosPerFrame(int frames, Fn&& step) {
  const auto start = Clock::now();
  for (int i = 0; i < frames; ++i) step();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / frames;
}

void CompareComposers(const char* name, lw::Animation& a, int rounds) {
  const int frames = a.frameCount * rounds;
  lw::PreviewComposer preview(&a);
  const double ours = MicrosPerFrame(frames, [&] { preview.PreviewAdvance(); });
  lw::PictureComposer browser(a.screenWidth, a.screenHeight);
  const lw::Frame* f = nullptr;
  const double theirs = MicrosPerFrame(frames, [&] {
    f = f ? lw::NextFrame(f) : nullptr;
    if (!f) f = lw::FirstFrame(a);
    browser.Show(*f);
  });
  std::printf("%-28s preview %8.1f us/frame   browser-style %8.1f us/frame   ratio %.2fx\n", name, ours,
              theirs, theirs / ours);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int frames = argc > 1 ? std::max(std::atoi(argv[1]), 2) : 100;

  lw::AnimationPtr clip = MakeClip(frames, 800, 600, 800, 600, 5);
  const Intervals preview = Summarize(TimePreview(*clip, frames));
  const Intervals plain = Summarize(TimePlainTimer(*clip, frames));
  std::printf("frame timer, %d frames of delay 5 (50 ms), 800 x 600:\n", frames);
  std::printf(
      "  preview      mean %6.2f ms  median %6.2f  p95 %6.2f  max %6.2f  drift after %d frames %+7.1f ms\n",
      preview.mean, preview.median, preview.p95, preview.max, frames, preview.drift);
  std::printf(
      "  plain timer  mean %6.2f ms  median %6.2f  p95 %6.2f  max %6.2f  drift after %d frames %+7.1f ms\n",
      plain.mean, plain.median, plain.p95, plain.max, frames, plain.drift);
  const bool ok = std::fabs(preview.mean - 50.0) <= 2.0;
  std::printf("  preview mean within 2 ms of 50 ms: %s\n", ok ? "yes" : "NO");

  std::printf("composing one frame on an 800 x 600 screen:\n");
  lw::AnimationPtr full = MakeClip(40, 800, 600, 800, 600, 5);
  CompareComposers("full 800x600 frames", *full, 10);
  lw::AnimationPtr small = MakeClip(40, 800, 600, 64, 64, 5);
  CompareComposers("64x64 frames", *small, 50);
  return ok ? 0 : 1;
}
