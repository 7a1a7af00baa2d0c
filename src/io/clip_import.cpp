#include "io/clip_import.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "color/dib.h"
#include "color/dib_rows.h"
#include "io/avi_import.h"
#include "model/limits.h"
#include "model/preferences.h"
#include "platform/progress.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

struct ProgressCloser {
  ProgressPtr& record;
  ~ProgressCloser() { EndProgress(record); }
};

// The frame's pixels as 0xRRGGBB, rows top-down. False when it is not a full-colour DIB of the size.
bool FramePixels(const VideoFrame& frame, int width, int height, std::vector<uint32_t>& rgb) {
  DibView view;
  if (ReadDib(frame.dib.data(), frame.dib.size(), 0, &view) != DibError::kNone ||
      view.header.width != width || view.header.AbsHeight() != height)
    return false;
  DibRowReader reader(view.header);
  if (!reader.Valid()) return false;
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = reader.Row(view.bits, view.header.TopDown() ? y : height - 1 - y);
    std::copy(row, row + width, rgb.begin() + static_cast<std::ptrdiff_t>(y) * width);
  }
  return true;
}

// Hundredths from the start of the stream to a sample, rounded: delays taken as differences of these keep
// the clip's timing instead of losing a fraction on every frame.
int64_t Hundredths(int64_t samples, uint32_t scale, uint32_t rate) {
  if (rate == 0 || samples <= 0) return 0;
  return std::llround(static_cast<double>(samples) * scale * 100.0 / rate);
}

}  // namespace

int ImportClip(const std::string& path, AnimationPtr* out, const ClipImportOptions& options) {
  if (out) out->reset();
  std::unique_ptr<VideoSource> source = OpenVideoSource(path, options.limit);
  if (!source) {
    ShowError("Unable to find video stream in %s.", path.c_str());
    return 0;
  }
  const VideoStreamInfo info = source->Info();  // a copy: the source is opened again for pass two
  if (info.bitCount == 8) {
    // The stream's own palettes are exact already.
    source.reset();
    AviImportOptions avi;
    avi.limit = options.limit;
    return ImportAvi(path, out, nullptr, avi);
  }
  if (info.bitCount != 16 && info.bitCount != 24) {
    ShowError("Can't read this type of AVI: unfamiliar BitCount.");
    return 0;
  }
  const int width = info.width, height = info.height;
  const uint64_t framePixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (width <= 0 || height <= 0 || framePixels > Limits().maxFramePixels) {
    ShowError("Ran out of memory while reading video.");
    return 0;
  }

  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  ProgressCloser closer{progress};
  SetProgressText(progress.get(), "Reading AVI File... (Esc to abort)");
  const uint32_t length = std::max<uint32_t>(info.length, 1);
  SetProgressRange(progress.get(), 2 * length);

  std::vector<uint32_t> rgb;
  try {
    rgb.resize(framePixels);
  } catch (const std::bad_alloc&) {
    ShowError("Ran out of memory while reading video.");
    return 0;
  }
  ClipEncoder encoder(width, height, options.settings);
  const uint32_t loopCount = GetPreference(kPrefDefaultIterations);
  if (options.output) encoder.SendFramesTo(options.output, loopCount);
  // Pass one: the colours. Long clips are sampled, about 300 frames spread over the whole.
  VideoFrame frame;
  uint32_t seen = 0;
  const uint32_t every = std::max<uint32_t>(1, info.length / 300);
  for (;;) {
    const int got = source->NextFrame(&frame);
    if (got < 0) {
      ShowError("Error encountered while reading video.");
      return 0;
    }
    if (got == 0) break;
    if (seen++ % every != 0) continue;
    if (!FramePixels(frame, width, height, rgb)) {
      ShowError("Error encountered while reading video.");
      return 0;
    }
    try {
      encoder.SampleFrame(rgb.data());
    } catch (const std::bad_alloc&) {
      ShowError("Ran out of memory while reading video.");
      return 0;
    }
    if (!SetProgressPosition(progress.get(),
                             std::min(frame.position > info.start ? frame.position - info.start : 0, length)))
      return 2;
  }
  if (seen == 0) {
    ShowError("Error encountered while reading video.");
    return 0;
  }
  if (!encoder.MakePalette()) {
    ShowError("Unable to create 8-bit global palette");
    return 0;
  }

  // Pass two: every frame mapped and written.
  source = OpenVideoSource(path, options.limit);
  if (!source) {
    ShowError("Unable to find video stream in %s.", path.c_str());
    return 0;
  }
  VideoFrame next;
  int got = source->NextFrame(&frame);
  uint64_t totalPixels = 0;
  while (got > 0) {
    if (!FramePixels(frame, width, height, rgb)) {
      ShowError("Error encountered while reading video.");
      return 0;
    }
    got = source->NextFrame(&next);
    if (got < 0) {
      ShowError("Error encountered while reading video.");
      return 0;
    }
    const uint32_t end = std::max(info.start + info.length, frame.position + 1);
    const uint32_t until = got > 0 ? next.position : end;
    const int64_t delay = Hundredths(int64_t{until} - info.start, info.scale, info.rate) -
                          Hundredths(int64_t{frame.position} - info.start, info.scale, info.rate);
    // Frames that go to an output are not held.
    if (!options.output) totalPixels += framePixels;
    if (totalPixels > Limits().maxTotalPixels ||
        !encoder.AddFrame(rgb.data(), static_cast<uint32_t>(std::clamp<int64_t>(delay, 0, 0xFFFF)))) {
      if (!encoder.OutputFailed()) ShowError("Ran out of memory while reading video.");
      return 0;
    }
    if (!SetProgressPosition(
            progress.get(),
            length + std::min(frame.position > info.start ? frame.position - info.start : 0, length))) {
      return 2;
    }
    frame = std::move(next);
  }
  AnimationPtr animation = encoder.Finish(loopCount);
  if (options.output && animation && animation->frameCount > 0) return 1;
  if (!animation || options.output) {
    ShowError("Error encountered while reading video.");
    return 0;
  }
  if (out) *out = std::move(animation);
  return 1;
}

}  // namespace lw
