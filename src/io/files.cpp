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

int WriteGifFile(const std::string& path, Animation& a) {
  // Write beside the real file (a link is followed), so that the rename never crosses file systems.
  std::error_code ec;
  std::filesystem::path target = std::filesystem::path(path);
  if (std::filesystem::is_symlink(target, ec)) {
    std::filesystem::path resolved = std::filesystem::canonical(target, ec);
    if (!ec) target = resolved;
  }
  std::string dir = target.parent_path().string();
  if (dir.empty()) dir = ".";
  std::string tempPath;
  int fd = MakeTempFileIn(dir, ".GIF", &tempPath);
  if (fd < 0) {
    ShowError("Unable to save to '%s' (temporary file).", (dir + "/.GIFXXXXXX").c_str());
    return 0;
  }
  TempFileGuard guard(tempPath);
  // The saved file gets the old file's permissions, or the usual ones for a new file.
  struct stat st {};
  mode_t mode;
  if (stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);

  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  SetProgressText(progress.get(), "Writing GIF animation... (Esc to abort)");
  FileSink sink(fd);
  int result = WriteGif(sink, a, progress.get());
  EndProgress(progress);
  if (result == 1 && (!sink.Flush() || fsync(fd) != 0)) result = 0;
  if (close(fd) != 0 && result == 1) result = 0;
  if (result == 0) {
    ShowError("Error saving to '%s'.", path.c_str());
    return 0;
  }
  if (result != 1) return result;  // stopped by the user: the target stays as it was
  if (rename(tempPath.c_str(), target.c_str()) != 0) {
    ShowError("Unable to write to %s.", path.c_str());
    return 0;
  }
  guard.Keep();
  // Make the rename itself durable.
  int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return 1;
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
