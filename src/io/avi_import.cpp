#include "io/avi_import.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "color/dib.h"
#include "color/dither.h"
#include "color/quantize.h"
#include "color/true_color.h"
#include "io/clip_import.h"
#include "model/limits.h"
#include "model/preferences.h"
#include "platform/progress.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

// A palette from count entries of a DIB colour table (blue, green, red, reserved).
PalettePtr TablePalette(const uint8_t* table, uint32_t count) {
  if (count == 0 || count > 256) count = 256;
  std::vector<PaletteEntry> entries(count);
  for (uint32_t i = 0; i < count; ++i) entries[i] = {table[4 * i + 2], table[4 * i + 1], table[4 * i], 0};
  return std::make_unique<Palette>(std::move(entries));
}

// Whole hundredths from a number of samples, wrapping like the 32-bit arithmetic it stands for.
uint32_t SampleDelay(uint32_t samples, uint32_t scale, uint32_t rate) {
  if (rate == 0) return 0;
  return samples * scale * 100u / rate;
}

struct ProgressCloser {
  ProgressPtr& record;
  ~ProgressCloser() { EndProgress(record); }
};

}  // namespace

int ImportAvi(const std::string& path, AnimationPtr* out, const Palette* currentGlobal,
              const AviImportOptions& options) {
  if (out) out->reset();
  std::unique_ptr<VideoSource> source = OpenVideoSource(path, options.limit);
  if (!source) {
    ShowError("Unable to find video stream in %s.", path.c_str());
    return 0;
  }
  AnimationPtr animation = NewAnimation();
  if (!animation) {
    ShowError("Insufficient memory for building an animation");
    return 0;
  }
  const VideoStreamInfo& info = source->Info();
  if (info.bitCount != 8 && info.bitCount != 16 && info.bitCount != 24) {
    ShowError("Can't read this type of AVI: unfamiliar BitCount.");
    return 0;
  }
  const int width = info.width, height = info.height;

  // The fixed palette: an 8-bit stream's own, or the current global palette when the choice says so.
  PaletteChoice choice = 0;
  PalettePtr fixed;
  if (info.bitCount == 8) {
    if (info.colorTable.size() < 1024) {
      ShowError("Unable to create 8-bit global palette");
      return 0;
    }
    fixed = TablePalette(info.colorTable.data(), info.colorsUsed);
  } else {
    choice = options.highColorChoice ? options.highColorChoice : GetHighColorChoice(currentGlobal, true);
    if (!choice) return 0;
    if (choice & kChoiceVideo) {
      source.reset();
      ClipImportOptions clip;
      clip.limit = options.limit;
      return ImportClip(path, out, clip);
    }
    if ((choice & kChoiceGlobalOnly) && currentGlobal && currentGlobal->Count() > 0)
      fixed = CopyPalette(currentGlobal);
  }
  if (fixed) SetGlobalPalette(*animation, std::move(fixed));

  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  ProgressCloser closer{progress};
  SetProgressText(progress.get(), "Reading AVI File... (Esc to abort)");
  SetProgressRange(progress.get(), info.length);

  const uint64_t framePixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  uint64_t totalPixels = 0;
  VideoFrame current, next;
  int got = source->NextFrame(&current);
  if (got < 0) {
    ShowError("Error encountered while reading video.");
    return 0;
  }
  const uint32_t formatCount = info.colorsUsed;
  int result = 1;
  while (got > 0) {
    DibView view;
    if (ReadDib(current.dib.data(), current.dib.size(), 0, &view) != DibError::kNone ||
        view.header.width != width || view.header.AbsHeight() != height) {
      ShowError("Error encountered while reading video.");
      return 0;
    }
    totalPixels += framePixels;
    PalettePtr own;
    if (!animation->globalPalette) {
      own = BuildDibPalette(view.header, view.bits, choice | kChoiceAdaptive);
      if (!own) {
        ShowError("Unable to create 8-bit global palette");
        return 0;
      }
    }
    const Palette* palette = own ? own.get() : animation->globalPalette.get();
    FrameBitmapPtr bitmap =
        totalPixels > Limits().maxTotalPixels ? nullptr : FrameBitmap::Make(width, height, palette);
    uint8_t* bits = bitmap ? bitmap->MutableBits() : nullptr;
    FramePtr frame = bits ? NewFrameBlock(nullptr) : nullptr;
    if (!frame) {
      // A frame that cannot be held (memory, or more pixels than the engine agrees to hold) ends the read.
      ShowError("Ran out of memory while reading video.");
      return 0;
    }
    const size_t stride = static_cast<size_t>(bitmap->Stride());
    if (info.bitCount == 8) {
      for (int y = 0; y < height; ++y) std::memcpy(bits + stride * y, view.bits + stride * y, stride);
    } else if (!ConvertDibByChoice(view.header, bits, view.bits, *palette, choice)) {
      return 0;
    }
    if (!view.header.TopDown()) {
      for (int y = 0; y < height / 2; ++y)
        std::swap_ranges(bits + stride * y, bits + stride * (y + 1), bits + stride * (height - 1 - y));
    }

    got = source->NextFrame(&next);
    if (got < 0) {
      ShowError("Error encountered while reading video.");
      return 0;
    }
    const uint32_t end = std::max(info.start + info.length, current.position + 1);
    const uint32_t q = got > 0 ? next.position : end;
    frame->width = width;
    frame->height = height;
    frame->delay = SampleDelay(q - current.position, info.scale, info.rate);

    if (info.bitCount == 8) {
      frame->palette = animation->globalPalette.get();
      if (formatCount > 0 && view.tableCount >= formatCount &&
          std::memcmp(view.colorTable, info.colorTable.data(), 4 * formatCount) != 0) {
        PalettePtr local = TablePalette(view.colorTable, formatCount);
        bitmap->SetColorTable(local.get());
        SetLocalPalette(*frame, std::move(local));
      }
    } else if (own) {
      SetLocalPalette(*frame, std::move(own));
    } else {
      frame->palette = animation->globalPalette.get();
    }
    SetFrameBitmap(*frame, std::move(bitmap));
    AppendBlock(*animation, std::move(frame));
    AddFrameCount(*animation, 1);

    if (!SetProgressPosition(progress.get(), current.position)) {
      result = 2;
      break;
    }
    current = std::move(next);
  }
  animation->screenWidth = width;
  animation->screenHeight = height;
  animation->loopCount = GetPreference(kPrefDefaultIterations);
  UpdateColorResolution(*animation);
  if (out) *out = std::move(animation);
  return result;
}

}  // namespace lw
