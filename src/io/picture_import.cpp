#include "io/picture_import.h"

#include <cctype>
#include <cstdio>

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
                   PaletteChoice highColorChoice) {
  if (out) out->reset();
  PictureFrameBuilder builder(currentGlobal, highColorChoice);
  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  ProgressCloser closer{progress};
  SetProgressText(progress.get(), "Reading pictures... (Esc to abort)");
  PictureLimits limits;
  limits.maxFramePixels = Limits().maxFramePixels;
  limits.maxFrames = kMaxPictureFrames;
  uint32_t loopCount = GetPreference(kPrefDefaultIterations);
  uint32_t frames = 0;
  int result = 1;
  for (const std::string& path : paths) {
    std::string why;
    PictureProbe probe;
    std::unique_ptr<PictureSource> source =
        CheckHeader(path, &probe, &why) ? OpenPictureSource(path, limits, &why) : nullptr;
    if (!source) {
      ShowError("Unable to read the picture in %s: %s.", path.c_str(), why.c_str());
      return 0;
    }
    const PictureInfo& info = source->Info();
    if (paths.size() == 1) {
      SetProgressRange(progress.get(), info.frameCount);
      if (info.frameCount != 1 && info.format != PictureFormat::kPng && info.format != PictureFormat::kJpeg)
        loopCount = info.format == PictureFormat::kApng ? probe.plays : info.loopCount;
    } else {
      SetProgressRange(progress.get(), static_cast<uint32_t>(paths.size()));
    }
    PictureFrame frame;
    for (;;) {
      int got = source->NextFrame(&frame, &why);
      if (got == 0) break;
      if (got < 0) {
        ShowError("Unable to read the picture in %s: %s.", path.c_str(), why.c_str());
        return 0;
      }
      if (++frames > kMaxPictureFrames) {
        ShowError("Unable to read the picture in %s: too many frames.", path.c_str());
        return 0;
      }
      int32_t width = info.width, height = info.height;
      if (info.format == PictureFormat::kJpeg && !info.exif.empty() &&
          !ApplyExifOrientation(ExifOrientation(info.exif.data(), info.exif.size()), &width, &height,
                                &frame.rgba)) {
        ShowError("Not enough memory to read the picture.");
        return 0;
      }
      if (frame.rgba.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
        ShowError("Unable to read the picture in %s: damaged frame.", path.c_str());
        return 0;
      }
      int added = builder.Add(frame.rgba.data(), width, height, frame.durationMs);
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
  AnimationPtr animation = builder.Finish(loopCount);
  if (!animation) {
    ShowError("Unable to read the picture: it holds no frames.");
    return 0;
  }
  if (out) *out = std::move(animation);
  return result;
}

}  // namespace lw
