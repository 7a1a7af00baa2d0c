#include "io/picture_import.h"

#include <cctype>
#include <cstdio>
#include <new>

#include "edit/transforms/compose_frames.h"
#include "io/clip_encoder.h"
#include "io/picture_frames.h"
#include "model/limits.h"
#include "model/preferences.h"
#include "platform/picture_probe.h"
#include "platform/picture_source.h"
#include "platform/progress.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

struct ProgressCloser {
  ProgressPtr& record;
  ~ProgressCloser() { EndProgress(record); }
};

// The header facts our probe reads, checked before the library decodes anything.
bool CheckHeader(const std::string& path, PictureProbe* probeOut, std::string* why) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *why = "cannot be opened";
    return false;
  }
  std::vector<uint8_t> head(1 << 16);
  head.resize(std::fread(head.data(), 1, head.size(), file));
  std::fclose(file);
  const PictureProbe probe = ProbePicture(head.data(), head.size());
  *probeOut = probe;
  if (probe.format == PictureFormat::kUnknown) {
    *why = "not a PNG, JPEG or WebP file";
    return false;
  }
  if (probe.format == PictureFormat::kPng || probe.format == PictureFormat::kApng) {
    if (probe.width == 0 || probe.height == 0) {
      *why = "damaged PNG header";
      return false;
    }
    if (uint64_t{probe.width} * probe.height > Limits().maxFramePixels || probe.width > 32767 ||
        probe.height > 32767) {
      *why = "picture too large";
      return false;
    }
    if (probe.frameCount > kMaxPictureFrames ||
        uint64_t{probe.width} * probe.height * probe.frameCount > Limits().maxTotalPixels) {
      *why = "too many frames";
      return false;
    }
  }
  return true;
}

PictureLimits SourceLimits() {
  PictureLimits limits;
  limits.maxFramePixels = Limits().maxFramePixels;
  limits.maxFrames = kMaxPictureFrames;
  return limits;
}

// Opens a picture file once its header was checked; null after the message.
std::unique_ptr<PictureSource> OpenChecked(const std::string& path, PictureProbe* probe) {
  std::string why;
  std::unique_ptr<PictureSource> source =
      CheckHeader(path, probe, &why) ? OpenPictureSource(path, SourceLimits(), &why) : nullptr;
  if (!source) ShowError("Unable to read the picture in %s: %s.", path.c_str(), why.c_str());
  return source;
}

// The next frame of a source, turned upright by a JPEG's EXIF orientation: 1 with it, 0 after the last,
// -1 failed after the message.
int NextPicture(PictureSource& source, const std::string& path, PictureFrame* frame, int32_t* width,
                int32_t* height) {
  std::string why;
  const int got = source.NextFrame(frame, &why);
  if (got == 0) return 0;
  if (got < 0) {
    ShowError("Unable to read the picture in %s: %s.", path.c_str(), why.c_str());
    return -1;
  }
  const PictureInfo& info = source.Info();
  *width = info.width;
  *height = info.height;
  if (info.format == PictureFormat::kJpeg && !info.exif.empty() &&
      !ApplyExifOrientation(ExifOrientation(info.exif.data(), info.exif.size()), width, height,
                            &frame->rgba)) {
    ShowError("Not enough memory to read the picture.");
    return -1;
  }
  if (frame->rgba.size() != static_cast<size_t>(*width) * static_cast<size_t>(*height) * 4) {
    ShowError("Unable to read the picture in %s: damaged frame.", path.c_str());
    return -1;
  }
  return 1;
}

// The loop count a single animation file asks for, else the preference's.
uint32_t LoopCountOf(const std::vector<std::string>& paths, const PictureSource& source,
                     const PictureProbe& probe) {
  const PictureInfo& info = source.Info();
  if (paths.size() == 1 && info.frameCount != 1 && info.format != PictureFormat::kPng &&
      info.format != PictureFormat::kJpeg)
    return info.format == PictureFormat::kApng ? probe.plays : info.loopCount;
  return GetPreference(kPrefDefaultIterations);
}

// Whether the pictures make an animation: several files, or one file of several frames.
bool IsAnimation(const std::vector<std::string>& paths) {
  if (paths.size() != 1) return paths.size() > 1;
  PictureProbe probe;
  std::string why;
  if (!CheckHeader(paths[0], &probe, &why)) return false;
  if (probe.format == PictureFormat::kApng) return probe.frameCount > 1;
  if (probe.format != PictureFormat::kWebp) return false;
  std::unique_ptr<PictureSource> source = OpenPictureSource(paths[0], SourceLimits(), &why);
  return source && source->Info().frameCount > 1;
}

// The frames through the picture frame builder: as ImportPictures says, or kWantsClipEncoder with nothing
// given back.
int BuildFrames(const std::vector<std::string>& paths, AnimationPtr* out, const Palette* currentGlobal,
                PaletteChoice highColorChoice, bool animation) {
  PictureFrameBuilder builder(currentGlobal, highColorChoice, animation);
  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  ProgressCloser closer{progress};
  SetProgressText(progress.get(), "Reading pictures... (Esc to abort)");
  uint32_t loopCount = GetPreference(kPrefDefaultIterations);
  uint32_t frames = 0;
  int result = 1;
  for (const std::string& path : paths) {
    PictureProbe probe;
    std::unique_ptr<PictureSource> source = OpenChecked(path, &probe);
    if (!source) return 0;
    if (paths.size() == 1) {
      SetProgressRange(progress.get(), source->Info().frameCount);
      loopCount = LoopCountOf(paths, *source, probe);
    } else {
      SetProgressRange(progress.get(), static_cast<uint32_t>(paths.size()));
    }
    PictureFrame frame;
    int32_t width = 0, height = 0;
    for (;;) {
      const int got = NextPicture(*source, path, &frame, &width, &height);
      if (got < 0) return 0;
      if (got == 0) break;
      if (++frames > kMaxPictureFrames) {
        ShowError("Unable to read the picture in %s: too many frames.", path.c_str());
        return 0;
      }
      const int added = builder.Add(frame.rgba.data(), width, height, frame.durationMs);
      if (added == kWantsClipEncoder) return added;
      if (added <= 0) return 0;  // failed after its message, or the question was cancelled
      if (paths.size() == 1 && !SetProgressPosition(progress.get(), frames)) {
        result = 2;
        break;
      }
    }
    if (result == 2) break;
    if (paths.size() > 1 &&
        !SetProgressPosition(progress.get(), static_cast<uint32_t>(&path - paths.data() + 1))) {
      result = 2;
      break;
    }
  }
  AnimationPtr made = builder.Finish(loopCount);
  if (!made) {
    ShowError("Unable to read the picture: it holds no frames.");
    return 0;
  }
  if (out) *out = std::move(made);
  return result;
}

// What the clip encoder makes of the pictures: 1 done, 2 stopped (nothing given back, as for a movie), 0
// failed after its message, -1 not for the clip encoder (a transparent pixel, or pictures of different
// sizes), nothing said. Two passes over the files, the first for the colours, as for a movie.
int EncodeAsClip(const std::vector<std::string>& paths, AnimationPtr* out, const ClipSettings& settings) {
  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  ProgressCloser closer{progress};
  SetProgressText(progress.get(), "Reading pictures... (Esc to abort)");
  std::unique_ptr<ClipEncoder> encoder;
  std::vector<uint32_t> rgb;
  int32_t clipWidth = 0, clipHeight = 0;
  // Frames expected: one a picture among several, else what the one file says.
  uint32_t expected = paths.size() > 1 ? static_cast<uint32_t>(paths.size()) : 0;
  uint32_t loopCount = GetPreference(kPrefDefaultIterations), count = 0, every = 1;
  DelayClock clock;
  // pass 0 samples the colours (about 300 frames spread over a long animation), pass 1 adds the frames.
  for (int pass = 0; pass < 2; ++pass) {
    uint32_t index = 0;
    for (const std::string& path : paths) {
      PictureProbe probe;
      std::unique_ptr<PictureSource> source = OpenChecked(path, &probe);
      if (!source) return 0;
      if (pass == 0 && paths.size() == 1) {
        loopCount = LoopCountOf(paths, *source, probe);
        expected = std::max(std::max(source->Info().frameCount, probe.frameCount), 1u);
      }
      if (pass == 0 && index == 0) {
        SetProgressRange(progress.get(), 2 * expected);
        every = std::max<uint32_t>(1, expected / 300);
      }
      PictureFrame frame;
      int32_t width = 0, height = 0;
      for (;;) {
        const int got = NextPicture(*source, path, &frame, &width, &height);
        if (got < 0) return 0;
        if (got == 0) break;
        if (index == 0 && pass == 0) {
          clipWidth = width;
          clipHeight = height;
          encoder = std::make_unique<ClipEncoder>(width, height, settings);
          rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        }
        if (width != clipWidth || height != clipHeight) return -1;
        if (++index > kMaxPictureFrames ||
            static_cast<uint64_t>(index) * rgb.size() > Limits().maxTotalPixels) {
          ShowError("The picture has more pixels than the program can hold.");
          return 0;
        }
        for (size_t i = 0; i < rgb.size(); ++i) {
          const uint8_t* p = frame.rgba.data() + 4 * i;
          if (p[3] < kOpaqueAlpha) return -1;
          rgb[i] = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
        }
        if (pass == 0) {
          if ((index - 1) % every == 0) encoder->SampleFrame(rgb.data());
        } else {
          const uint32_t delay =
              frame.durationMs > 0 ? clock.Next(frame.durationMs) : GetPreference(kPrefDefaultDelay);
          if (!encoder->AddFrame(rgb.data(), delay)) {
            ShowError("Not enough memory to read the picture.");
            return 0;
          }
        }
        if (!SetProgressPosition(progress.get(), std::min(pass * count + index, 2 * expected))) return 2;
      }
    }
    if (pass == 0) {
      count = index;
      if (count == 0) {
        ShowError("Unable to read the picture: it holds no frames.");
        return 0;
      }
      if (!encoder->MakePalette()) {
        ShowError("Not enough memory to read the picture.");
        return 0;
      }
    } else if (index != count) {
      ShowError("Unable to read the picture in %s: damaged frame.", paths.back().c_str());
      return 0;
    }
  }
  AnimationPtr animation = encoder->Finish(loopCount);
  if (!animation) {
    ShowError("Not enough memory to read the picture.");
    return 0;
  }
  if (out) *out = std::move(animation);
  return 1;
}

// Frames that each show the whole screen are cut down to what changes from the one before, as the
// optimizer does (the pictures shown stay the same); pictures of other sizes are left as they are.
void CutToChanges(Animation& a) {
  if (a.frameCount < 2) return;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f))
    if (f->left != 0 || f->top != 0 || f->width != a.screenWidth || f->height != a.screenHeight) return;
  ReoptimizeComposed(a, nullptr);
}

}  // namespace

bool IsPictureFileName(const std::string& path) {
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* known : {"png", "apng", "jpg", "jpeg", "jpe", "jfif", "webp"})
    if (ext == known) return true;
  return false;
}

int ImportPictures(const std::vector<std::string>& paths, AnimationPtr* out, const Palette* currentGlobal,
                   const PictureImportOptions& options) {
  if (out) out->reset();
  const bool animation = IsAnimation(paths);
  PaletteChoice choice = options.highColorChoice;
  if (animation && !choice && options.clipQuality > 0) choice = kChoiceVideo;
  int r = BuildFrames(paths, out, currentGlobal, choice, animation);
  if (r != kWantsClipEncoder) {
    if (r > 0 && out && *out) CutToChanges(**out);
    return r;
  }
  ClipSettings settings;
  if (options.clipQuality > 0) settings.quality = options.clipQuality;
  try {
    r = EncodeAsClip(paths, out, settings);
  } catch (const std::bad_alloc&) {
    ShowError("Not enough memory to read the picture.");
    return 0;
  }
  if (r >= 0) return r;
  // Transparency or frames of different sizes: each frame gets the high-quality adaptive palette.
  r = BuildFrames(paths, out, currentGlobal, ChoiceWithBits(kChoiceAdaptive | kChoiceBest, 8), false);
  if (r > 0 && out && *out) CutToChanges(**out);
  return r;
}

}  // namespace lw
