#include "io/avi_export.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "io/rle8.h"
#include "platform/progress.h"
#include "platform/temp_file.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

constexpr uint32_t kIndexKeyFrame = 0x10;
constexpr uint32_t kAviHasIndex = 0x10;

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v);
  Put16(b, v >> 16);
}
void PutTag(std::vector<uint8_t>& b, const char* tag) {
  b.insert(b.end(), tag, tag + 4);
}
void SetAt(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

struct IndexEntry {
  uint32_t flags;
  uint32_t offset;  // from the 'movi' tag
  uint32_t size;
};

// The RIFF file under construction: the header in memory, the samples streamed to the file.
class AviWriter {
 public:
  ~AviWriter() {
    if (file_) std::fclose(file_);
  }
  int Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "wb");
    return file_ ? 0 : (errno ? errno : EIO);
  }
  int WriteHeader(const std::vector<uint8_t>& header) {
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) return EIO;
    moviTag_ = header.size() - 4;
    written_ = header.size();
    return 0;
  }
  int WriteSample(const char* tag, const uint8_t* data, size_t size, uint32_t flags) {
    if (written_ + size + 8 + 16 * (index_.size() + 1) > 0xFFFFFFF0u) return EFBIG;
    std::vector<uint8_t> head;
    PutTag(head, tag);
    Put32(head, static_cast<uint32_t>(size));
    index_.push_back({flags, static_cast<uint32_t>(written_ - moviTag_), static_cast<uint32_t>(size)});
    if (std::fwrite(head.data(), 1, 8, file_) != 8) return EIO;
    if (size && std::fwrite(data, 1, size, file_) != size) return EIO;
    written_ += 8 + size;
    if (size & 1) {
      if (std::fputc(0, file_) == EOF) return EIO;
      ++written_;
    }
    return 0;
  }
  // The index, then the list and file sizes.
  int Finish(const char* tag, size_t moviListSizeAt) {
    std::vector<uint8_t> idx;
    PutTag(idx, "idx1");
    Put32(idx, static_cast<uint32_t>(16 * index_.size()));
    for (const IndexEntry& e : index_) {
      PutTag(idx, tag);
      Put32(idx, e.flags);
      Put32(idx, e.offset);
      Put32(idx, e.size);
    }
    const size_t moviEnd = written_;
    if (std::fwrite(idx.data(), 1, idx.size(), file_) != idx.size()) return EIO;
    written_ += idx.size();
    std::vector<uint8_t> word;
    Put32(word, static_cast<uint32_t>(written_ - 8));
    if (std::fseek(file_, 4, SEEK_SET) != 0 || std::fwrite(word.data(), 1, 4, file_) != 4) return EIO;
    word.clear();
    Put32(word, static_cast<uint32_t>(moviEnd - moviListSizeAt - 4));
    if (std::fseek(file_, static_cast<long>(moviListSizeAt), SEEK_SET) != 0 ||
        std::fwrite(word.data(), 1, 4, file_) != 4)
      return EIO;
    FILE* f = file_;
    file_ = nullptr;
    return std::fclose(f) == 0 ? 0 : EIO;
  }

 private:
  FILE* file_ = nullptr;
  size_t moviTag_ = 0;
  size_t written_ = 0;
  std::vector<IndexEntry> index_;
};

struct ProgressCloser {
  ProgressPtr& record;
  ~ProgressCloser() { EndProgress(record); }
};

}  // namespace

uint32_t CommonTimeUnit(const uint32_t* delays, int count) {
  if (count <= 0) return 1;
  uint32_t m = 0xFFFFFFFF;
  for (int i = 0; i < count && m >= 2; ++i) m = std::min(m, delays[i]);
  for (uint32_t k = 1; k <= m / 2; ++k) {
    if (m % k) continue;
    const uint32_t candidate = m / k;
    bool all = true;
    for (int i = 0; i < count && all; ++i) all = delays[i] % candidate == 0;
    if (all) return candidate;
  }
  return 1;
}

int ExportAvi(const std::string& path, const Animation& a, AviCompression compression) {
  if (compression == kAviCancel) return 0;
  std::vector<uint32_t> delays;
  std::vector<const Frame*> frames;
  uint64_t total = 0;
  bool notFull = false, transparentOrLocal = false;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    uint32_t d = std::max<uint32_t>(f->delay, 1);
    delays.push_back(d);
    frames.push_back(f);
    total += d;
    if (f->left != 0 || f->top != 0 || f->width != a.screenWidth || f->height != a.screenHeight ||
        !f->bitmap || f->bitmap->Width() != f->width || f->bitmap->Height() != f->height)
      notFull = true;
    if (IsTransparent(*f) || f->localPalette) transparentOrLocal = true;
  }
  if (frames.empty() || total > 0xFFFFFFFFu) {
    ShowError("Unable to create AVI file %s.", path.c_str());
    return 0;
  }
  const uint32_t g = CommonTimeUnit(delays.data(), static_cast<int>(delays.size()));
  if (notFull) {
    ShowError(
        "Unable to write an AVI file when the animation contains frames that are not full-sized. Please try "
        "Unoptimizing first.");
    return 0;
  }
  if (transparentOrLocal) {
    ShowError("Unable to write an AVI file with transparency or local palettes in the animation.");
    return 0;
  }
  const int32_t width = a.screenWidth, height = a.screenHeight;
  const uint32_t length = static_cast<uint32_t>(total / g);
  const bool rle = compression == kAviRle8;
  const char* tag = rle ? "00dc" : "00db";
  const Palette* palette = a.globalPalette ? a.globalPalette.get() : frames[0]->palette;
  if (!palette || palette->Count() == 0) palette = &DefaultPalette();
  const uint32_t colors = static_cast<uint32_t>(std::min(palette->Count(), 256));
  const size_t stride = static_cast<size_t>(StrideFor8Bit(width));
  const size_t imageSize = stride * static_cast<size_t>(height);

  AviWriter writer;
  if (int e = writer.Open(path)) {
    ShowError("Unable to AVI open %s. Error: 0x%x", path.c_str(), static_cast<unsigned>(e));
    return 0;
  }

  // RIFF header, main header, the stream's header and format, the start of the sample list.
  std::vector<uint8_t> h;
  PutTag(h, "RIFF");
  Put32(h, 0);
  PutTag(h, "AVI ");
  PutTag(h, "LIST");
  const size_t hdrlSizeAt = h.size();
  Put32(h, 0);
  PutTag(h, "hdrl");
  PutTag(h, "avih");
  Put32(h, 56);
  Put32(h, g * 10000);  // microseconds per sample
  Put32(h, 0);
  Put32(h, 0);
  Put32(h, kAviHasIndex);
  Put32(h, length);
  Put32(h, 0);
  Put32(h, 1);
  Put32(h, static_cast<uint32_t>(imageSize));
  Put32(h, static_cast<uint32_t>(width));
  Put32(h, static_cast<uint32_t>(height));
  for (int i = 0; i < 4; ++i) Put32(h, 0);
  PutTag(h, "LIST");
  const size_t strlSizeAt = h.size();
  Put32(h, 0);
  PutTag(h, "strl");
  PutTag(h, "strh");
  Put32(h, 56);
  PutTag(h, "vids");
  if (rle)
    PutTag(h, "mrle");
  else
    Put32(h, 0);
  Put32(h, 0);  // flags
  Put16(h, 0);  // priority
  Put16(h, 0);  // language
  Put32(h, 0);  // initial frames
  Put32(h, g);
  Put32(h, 100);
  Put32(h, 0);  // start
  Put32(h, length);
  Put32(h, 0);           // suggested buffer size
  Put32(h, 0xFFFFFFFF);  // quality: the codec's default
  Put32(h, 0);           // sample size
  Put16(h, 0);
  Put16(h, 0);
  Put16(h, static_cast<uint32_t>(width));
  Put16(h, static_cast<uint32_t>(height));
  PutTag(h, "strf");
  Put32(h, 40 + 4 * colors);
  Put32(h, 40);
  Put32(h, static_cast<uint32_t>(width));
  Put32(h, static_cast<uint32_t>(height));
  Put16(h, 1);
  Put16(h, 8);
  Put32(h, rle ? 1 : 0);
  Put32(h, rle ? 0 : static_cast<uint32_t>(imageSize));
  Put32(h, 0);
  Put32(h, 0);
  Put32(h, colors);
  Put32(h, 0);
  for (uint32_t i = 0; i < colors; ++i) {
    const PaletteEntry& c = (*palette)[static_cast<int>(i)];
    h.push_back(c.blue);
    h.push_back(c.green);
    h.push_back(c.red);
    h.push_back(0);
  }
  SetAt(h, strlSizeAt, static_cast<uint32_t>(h.size() - strlSizeAt - 4));
  SetAt(h, hdrlSizeAt, static_cast<uint32_t>(h.size() - hdrlSizeAt - 4));
  PutTag(h, "LIST");
  const size_t moviSizeAt = h.size();
  Put32(h, 0);
  PutTag(h, "movi");
  if (writer.WriteHeader(h) != 0) {
    ShowError("Something wrong with format");
    return 0;
  }

  ProgressPtr progress = BeginProgress(kProgressOwnDialog);
  ProgressCloser closer{progress};
  SetProgressText(progress.get(), "Converting to AVI Format... (Esc to abort)");
  SetProgressRange(progress.get(), static_cast<uint32_t>(total));

  std::vector<uint8_t> image(imageSize), packed;
  uint32_t nextSample = 0;
  uint64_t elapsed = 0;
  // One sample: empty samples fill the gap up to it, then the frame's image as a key frame.
  auto writeAt = [&](const Frame& f, uint32_t sample) -> int {
    for (; nextSample < sample; ++nextSample)
      if (int e = writer.WriteSample(tag, nullptr, 0, 0)) return e;
    for (int y = 0; y < height; ++y)
      std::memcpy(image.data() + stride * static_cast<size_t>(height - 1 - y), f.Row(y), stride);
    const uint8_t* data = image.data();
    size_t size = imageSize;
    if (rle) {
      packed.clear();
      EncodeRle8(image.data(), stride, width, height, &packed);
      data = packed.data();
      size = packed.size();
    }
    ++nextSample;
    return writer.WriteSample(tag, data, size, kIndexKeyFrame);
  };
  for (size_t i = 0; i < frames.size(); ++i) {
    const uint32_t sample = static_cast<uint32_t>(elapsed / g);
    if (int e = writeAt(*frames[i], sample)) {
      ShowError("Error 0x%x when outputting frames to AVI", static_cast<unsigned>(e));
      return 0;
    }
    elapsed += delays[i];
    if (!SetProgressPosition(progress.get(), static_cast<uint32_t>(elapsed))) return 0;
  }
  // The last image once more at the last sample, so the stream lasts through the last delay.
  const uint32_t last = static_cast<uint32_t>((elapsed - 1) / g);
  if (last >= nextSample) {
    if (int e = writeAt(*frames.back(), last)) {
      ShowError("Error 0x%x when outputting frames to AVI", static_cast<unsigned>(e));
      return 0;
    }
  }
  if (int e = writer.Finish(tag, moviSizeAt)) {
    ShowError("Error 0x%x when outputting frames to AVI", static_cast<unsigned>(e));
    return 0;
  }
  return 1;
}

int ExportAviFile(const std::string& target, const Animation& a, AviCompression compression) {
  std::string made;
  int fd = MakeTempFile("AVI", &made);
  if (fd < 0) {
    ShowError("Unable to AVI open %s. Error: 0x%x", (TempDirectory() + "/AVI").c_str(),
              static_cast<unsigned>(errno));
    return 0;
  }
  ::close(fd);
  std::remove(made.c_str());
  TempFileGuard temp(made + ".avi");
  if (!ExportAvi(temp.Path(), a, compression)) return 0;
  std::error_code ec;
  std::filesystem::copy_file(temp.Path(), target, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) {
    ShowError("Unable to write to %s.", target.c_str());
    return 0;
  }
  return 1;
}

}  // namespace lw
