#include "io/picture_export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "model/limits.h"
#include "optimize/pictures.h"
#include "platform/progress.h"
#include "platform/temp_file.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

const char* FormatName(MovieFormat format) {
  switch (format) {
    case MovieFormat::kApng:
      return "APNG";
    case MovieFormat::kWebp:
      return "WebP";
    case MovieFormat::kMp4:
      return "MP4";
    case MovieFormat::kWebm:
      return "WebM";
    case MovieFormat::kPngFrames:
      return "PNG";
  }
  return "movie";
}

struct ProgressCloser {
  ProgressPtr& record;
  ~ProgressCloser() { EndProgress(record); }
};

}  // namespace

std::optional<MovieFormat> MovieFormatForName(const std::string& path) {
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "apng" || ext == "png") return MovieFormat::kApng;
  if (ext == "webp") return MovieFormat::kWebp;
  if (ext == "mp4" || ext == "m4v") return MovieFormat::kMp4;
  if (ext == "webm") return MovieFormat::kWebm;
  return std::nullopt;
}

uint32_t FrameDurationMs(uint32_t delay) {
  return delay < 2 ? 100 : delay * 10;
}

namespace {

// Writes every frame through the sink to sinkPath; path is the name the user gave, for the messages.
int WritePictures(const std::string& sinkPath, const std::string& path, const Animation& a,
                  MovieFormat format, const PictureExportOptions& options) {
  const char* name = FormatName(format);
  PictureSinkOptions sinkOptions;
  sinkOptions.format = format;
  sinkOptions.width = a.screenWidth;
  sinkOptions.height = a.screenHeight;
  sinkOptions.loopCount = a.loopCount;
  sinkOptions.lossless = options.lossless;
  sinkOptions.quality = options.quality;
  std::string why;
  std::unique_ptr<PictureSink> sink = OpenPictureSink(sinkPath, sinkOptions, &why);
  if (!sink) {
    ShowError("Unable to write the %s file %s: %s.", name, path.c_str(), why.c_str());
    return 0;
  }
  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  ProgressCloser closer{progress};
  char text[64];
  std::snprintf(text, sizeof text, "Writing %s file... (Esc to abort)", name);
  SetProgressText(progress.get(), text);
  SetProgressRange(progress.get(), static_cast<uint32_t>(a.frameCount));
  PictureComposer composer(a.screenWidth, a.screenHeight);
  uint32_t done = 0;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    const std::vector<RgbaPixel>& picture = composer.Show(*f);
    // The composer's pixels are 0xAABBGGRR words: red, green, blue, alpha bytes in memory.
    if (!sink->AddFrame(reinterpret_cast<const uint8_t*>(picture.data()), FrameDurationMs(f->delay), &why)) {
      ShowError("Unable to write the %s file %s: %s.", name, path.c_str(), why.c_str());
      return 0;
    }
    if (!SetProgressPosition(progress.get(), ++done)) return 2;
  }
  if (!sink->Finish(&why)) {
    ShowError("Unable to write the %s file %s: %s.", name, path.c_str(), why.c_str());
    return 0;
  }
  return 1;
}

}  // namespace

std::string FramePattern(const std::string& path) {
  std::string pattern;
  const size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
  for (size_t i = 0; i < dot; ++i) {
    pattern += path[i];
    if (path[i] == '%') pattern += '%';  // a literal percent sign for the frame-number format
  }
  return pattern + "_%04d.png";
}

int ExportPictures(const std::string& path, const Animation& a, MovieFormat format,
                   const PictureExportOptions& options) {
  if (a.frameCount <= 0 || a.screenWidth <= 0 || a.screenHeight <= 0 ||
      static_cast<uint64_t>(a.screenWidth) * static_cast<uint64_t>(a.screenHeight) >
          Limits().maxFramePixels) {
    ShowError("Unable to write %s: the animation has no frames or its screen is too large.", path.c_str());
    return 0;
  }
  // One file per frame, named after the target; each is written whole by the encoder.
  if (format == MovieFormat::kPngFrames) return WritePictures(FramePattern(path), path, a, format, options);
  // The file is made beside the target, so that the rename never crosses file systems.
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  const std::string dir = parent.empty() ? std::string(".") : parent.string();
  std::string tempPath;
  int fd = MakeTempFileIn(dir, ".LWX", &tempPath);
  if (fd < 0) {
    ShowError("Unable to write to %s.", path.c_str());
    return 0;
  }
  close(fd);
  TempFileGuard guard(tempPath);
  if (int r = WritePictures(tempPath, path, a, format, options); r != 1) return r;
  // The temporary file was made private; the export gets the usual permissions of a new file.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(tempPath.c_str(), 0666 & ~mask);
  if (std::rename(tempPath.c_str(), path.c_str()) != 0) {
    ShowError("Unable to write to %s.", path.c_str());
    return 0;
  }
  guard.Keep();
  return 1;
}

}  // namespace lw
