#include "io/files.h"

#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "io/avi_import.h"
#include "io/bmp_import.h"
#include "io/picture_import.h"
#include "platform/progress.h"
#include "platform/temp_file.h"
#include "platform/ui_hooks.h"

namespace lw {

namespace {

// Files larger than this are not read into memory: no GIF the editor could hold is that big.
constexpr uint64_t kMaxFileBytes = uint64_t{4} << 30;

// Reads the whole file; false (with the message) when it cannot be opened or read.
bool LoadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  bool ok = fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<uint64_t>(st.st_size) <= kMaxFileBytes;
  if (ok) {
    try {
      bytes->resize(static_cast<size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  size_t done = 0;
  while (ok && done < bytes->size()) {
    ssize_t n = read(fd, bytes->data() + done, bytes->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the file shrank: read what is there
    done += static_cast<size_t>(n);
  }
  if (ok) bytes->resize(done);
  if (fd >= 0) close(fd);
  if (!ok) ShowError("Unable to open file '%s'.", path.c_str());
  return ok;
}

int ReadGifFile(const std::string& path, AnimationPtr* out, const Palette*) {
  std::vector<uint8_t> bytes;
  if (!LoadFile(path, &bytes)) return 0;
  if (!CheckGifSignature(bytes.data(), bytes.size())) {
    ShowError("%s is not a valid GIF File.", path.c_str());
    return 0;
  }
  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  SetProgressText(progress.get(), "Reading GIF file...  (Esc to abort)");
  int result = ReadGif(bytes.data(), bytes.size(), out, progress.get());
  EndProgress(progress);
  return result;
}

int ReadMovieFile(const std::string& path, AnimationPtr* out, const Palette* targetPalette) {
  return ImportAvi(path, out, targetPalette);
}

// The readers by file extension (lower case, without the dot).
struct FileReader {
  const char* extension;
  int (*read)(const std::string& path, AnimationPtr* out, const Palette* targetPalette);
};
int ReadBitmapFile(const std::string& path, AnimationPtr* out, const Palette* targetPalette) {
  return ReadBmpFile(path, out, targetPalette);
}
int ReadPictureFile(const std::string& path, AnimationPtr* out, const Palette* targetPalette) {
  return ImportPicture(path, out, targetPalette);
}
const FileReader kReaders[] = {
    {"gif", ReadGifFile},
    {"bmp", ReadBitmapFile},
    {"dib", ReadBitmapFile},
    {"avi", ReadMovieFile},
    // Other movies the video source reads come in as AVI files do.
    {"mp4", ReadMovieFile},
    {"m4v", ReadMovieFile},
    {"mov", ReadMovieFile},
    {"mkv", ReadMovieFile},
    {"webm", ReadMovieFile},
    // Pictures and picture animations through the picture source.
    {"png", ReadPictureFile},
    {"apng", ReadPictureFile},
    {"jpg", ReadPictureFile},
    {"jpeg", ReadPictureFile},
    {"jpe", ReadPictureFile},
    {"jfif", ReadPictureFile},
    {"webp", ReadPictureFile},
};

std::string LowerExtension(const std::string& path) {
  size_t dot = path.find_last_of('.');
  size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::string LocaleThousandsSeparator() {
  std::string sep;
  if (locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr))) {
    const char* s = nl_langinfo_l(THOUSEP, loc);
    if (s) sep = s;
    freelocale(loc);
  }
  return sep.empty() ? std::string(",") : sep;
}

}  // namespace

int ReadAnyFile(const std::string& path, AnimationPtr* out, const Palette* targetPalette) {
  if (out) out->reset();
  // The file must open before its name is looked at, as the open dialog's answer may be stale.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    ShowError("Unable to open file '%s'.", path.c_str());
    return 0;
  }
  close(fd);
  std::string ext = LowerExtension(path);
  const FileReader* reader = nullptr;
  for (const FileReader& r : kReaders)
    if (ext == r.extension) reader = &r;
  if (!reader) {
    ShowError("Unable to read this type of file.");
    return 0;
  }
  AnimationPtr a;
  int result = reader->read(path, &a, targetPalette);
  if (result != 0 && a) {
    SetDefaultFrameNames(*a, path);
    CountGlobalColorUse(*a, a->colorUse, true);
  }
  if (out) *out = std::move(a);
  return result;
}

struct SafeGifFile::State {
  std::filesystem::path target;
  std::string dir, tempPath;
  int fd = -1;
  std::unique_ptr<TempFileGuard> guard;
  std::unique_ptr<FileSink> sink;
};

SafeGifFile::SafeGifFile(std::string path) : path_(std::move(path)) {}

SafeGifFile::~SafeGifFile() {
  if (s_ && s_->fd >= 0) close(s_->fd);
}

bool SafeGifFile::Open() {
  s_ = std::make_unique<State>();
  // Write beside the real file (a link is followed), so that the rename never crosses file systems.
  std::error_code ec;
  s_->target = std::filesystem::path(path_);
  if (std::filesystem::is_symlink(s_->target, ec)) {
    std::filesystem::path resolved = std::filesystem::canonical(s_->target, ec);
    if (!ec) s_->target = resolved;
  }
  s_->dir = s_->target.parent_path().string();
  if (s_->dir.empty()) s_->dir = ".";
  s_->fd = MakeTempFileIn(s_->dir, ".GIF", &s_->tempPath);
  if (s_->fd < 0) {
    ShowError("Unable to save to '%s' (temporary file).", (s_->dir + "/.GIFXXXXXX").c_str());
    return false;
  }
  s_->guard = std::make_unique<TempFileGuard>(s_->tempPath);
  // The saved file gets the old file's permissions, or the usual ones for a new file.
  struct stat st {};
  mode_t mode;
  if (stat(s_->target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(s_->fd, mode);
  s_->sink = std::make_unique<FileSink>(s_->fd);
  return true;
}

GifSink& SafeGifFile::Sink() {
  return *s_->sink;
}

int SafeGifFile::Commit() {
  bool ok = !s_->sink->Failed() && s_->sink->Flush() && fsync(s_->fd) == 0;
  if (close(s_->fd) != 0) ok = false;
  s_->fd = -1;
  if (!ok) {
    ShowError("Error saving to '%s'.", path_.c_str());
    return 0;
  }
  if (rename(s_->tempPath.c_str(), s_->target.c_str()) != 0) {
    ShowError("Unable to write to %s.", path_.c_str());
    return 0;
  }
  s_->guard->Keep();
  // Make the rename itself durable.
  int dirFd = open(s_->dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return 1;
}

int WriteGifFile(const std::string& path, Animation& a) {
  SafeGifFile file(path);
  if (!file.Open()) return 0;
  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  SetProgressText(progress.get(), "Writing GIF animation... (Esc to abort)");
  int result = WriteGif(file.Sink(), a, progress.get());
  EndProgress(progress);
  if (result == 0) {
    ShowError("Error saving to '%s'.", path.c_str());
    return 0;
  }
  if (result != 1) return result;  // stopped by the user: the target stays as it was
  return file.Commit();
}

std::string FormatThousands(uint64_t n, const std::string& separator) {
  std::string digits = std::to_string(n);
  size_t first = digits.size() % 3;
  if (first == 0) first = 3;
  std::string out = digits.substr(0, first);
  for (size_t i = first; i < digits.size(); i += 3) out += separator + digits.substr(i, 3);
  return out;
}

std::string FormatThousands(uint64_t n) {
  static const std::string separator = LocaleThousandsSeparator();
  return FormatThousands(n, separator);
}

}  // namespace lw
