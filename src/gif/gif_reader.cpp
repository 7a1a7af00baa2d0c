#include "gif/gif_reader.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "gif/gif_lzw.h"
#include "model/limits.h"
#include "platform/ui_hooks.h"

namespace lw {

bool CheckGifSignature(const uint8_t* data, size_t size) {
  return size >= 6 && std::memcmp(data, "GIF8", 4) == 0 && (data[4] == '9' || data[4] == '7') &&
         data[5] == 'a';
}

namespace {

// The file as a stream of reads; a read past the end fails and reads nothing.
struct Input {
  const uint8_t* data;
  size_t size;
  size_t pos;

  bool Read(void* dst, size_t n) {
    if (n > size - pos) return false;
    std::memcpy(dst, data + pos, n);
    pos += n;
    return true;
  }
  bool ReadByte(uint8_t& b) { return Read(&b, 1); }
  // A data sub-block, its length byte included; false when it cannot be read or is empty.
  bool ReadSubBlock(std::vector<uint8_t>& into) {
    uint8_t length;
    if (!ReadByte(length) || length == 0 || length > size - pos) return false;
    into.push_back(length);
    into.insert(into.end(), data + pos, data + pos + length);
    pos += length;
    return true;
  }
};

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// One decoder per thread, kept between reads: its tables are set up once, not for every file.
LzwDecoder& ThreadDecoder() {
  static thread_local LzwDecoder decoder;
  return decoder;
}

enum State { kReading = 0, kTrailer = 1, kFailed = 2 };
enum class Extension { Block, Loop, Failed };
enum class Decoded { Pending, Ok, Corrupt, NoMemory };

// An image whose header has been read and whose bitmap is allocated: where its data sub-blocks lie.
struct PendingImage {
  Frame* frame = nullptr;
  int minCodeSize = 0;
  size_t dataStart = 0;    // the first sub-block's length byte
  size_t codeBytes = 0;    // the sub-blocks' data bytes, lengths left out
  size_t end = 0;          // the file position after the image
  uint16_t loopCount = 0;  // the document's loop count before this image was read
};

// Scratch memory of one decoding thread.
struct DecodeScratch {
  std::vector<uint8_t> codes;   // the image data sub-blocks joined
  std::vector<uint8_t> raster;  // the pixels in stream order
};

constexpr size_t kParallelFileBytes = 256 * 1024;
constexpr unsigned kMaxDecodeThreads = 8;
std::atomic<size_t> parallelThreshold{kDefaultParallelReadThreshold};

// Asked once: the library reads it from the system's files every time.
size_t Processors() {
  static const size_t count = std::max(1u, std::thread::hardware_concurrency());
  return count;
}

size_t ParallelThreshold() {
  size_t t = parallelThreshold.load(std::memory_order_relaxed);
  if (t != kDefaultParallelReadThreshold) return t;
  return Processors() > 1 ? kParallelFileBytes : SIZE_MAX;
}

class GifReader {
 public:
  GifReader(const uint8_t* data, size_t size, ProgressRecord* progress)
      : in_{data, size, std::min<size_t>(6, size)}, progress_(progress) {}

  int Read(AnimationPtr* out);

 private:
  Extension ReadExtension(uint8_t label, BlockPtr* block);
  Extension KeepExtension(uint8_t label, std::vector<uint8_t> body, BlockPtr* block);
  bool ParseImage(Frame& f, PendingImage* image);
  Decoded DecodeImage(const PendingImage& image, LzwDecoder& decoder, DecodeScratch& scratch) const;
  // The deferred images decoded, progress shown in file order. Gives the index of the first image that
  // failed (with its result in *failure), or of the last one kept when the user stopped (*stopped set),
  // or images_.size().
  size_t DecodeDeferred(Decoded* failure, bool* stopped);
  void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

  Input in_;
  ProgressRecord* progress_;
  AnimationPtr a_;
  DecodeScratch scratch_;
  uint64_t totalPixels_ = 0;
  // Large files: images wait for the decoding threads, and the messages of the structure pass wait too,
  // since an image that turns out corrupt ends the read before anything that follows it.
  bool defer_ = false;
  std::vector<PendingImage> images_;
  std::vector<std::string> deferredMessages_;
};

void GifReader::Fail(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (defer_)
    deferredMessages_.emplace_back(text);
  else
    ShowError("%s", text);
}

int GifReader::Read(AnimationPtr* out) {
  uint8_t screen[7];
  if (!in_.Read(screen, sizeof screen)) {
    Fail("Unable to read file successfully");
    return 0;
  }
  a_ = NewAnimation();
  if (!a_) return 0;
  Animation& a = *a_;
  a.screenWidth = Le16(screen);
  a.screenHeight = Le16(screen + 2);
  a.loopCount = 1;
  a.frameCount = 0;
  uint8_t packed = screen[4];
  a.aspectByte = screen[6];
  a.fileSize = kUnknownFileSize;
  a.colorUse.fill(0);
  if (packed & kScreenGlobalTable) {
    int sizeField = packed & 7;
    if (((packed >> 4) & 7) < sizeField) packed = static_cast<uint8_t>((packed & 0x8F) | (sizeField << 4));
    a.backgroundIndex = screen[5];
    int count = 2 << sizeField;
    uint8_t rgb[256 * 3];
    if (!in_.Read(rgb, static_cast<size_t>(count) * 3)) {
      // A table cut short is the end of the file.
      Fail("EOF found instead of trailer block");
      Fail("Unable to read file successfully");
      return 0;
    }
    a.globalPalette = Palette::FromRgb(rgb, count);
    if (!a.globalPalette) return 0;
  }
  a.screenFlags = packed;

  SetProgressRange(progress_, static_cast<uint32_t>(std::min<size_t>(in_.size, UINT32_MAX)));
  defer_ = in_.size >= ParallelThreshold();
  GifBlock* tail = a.head;
  FramePtr pending;  // made from a graphic control extension, waiting for its image
  int state = kReading;
  bool aborted = false;
  while (state == kReading) {
    uint8_t introducer;
    if (!in_.ReadByte(introducer)) {
      Fail("EOF found instead of trailer block");
      state = kFailed;
      break;
    }
    BlockPtr block;
    switch (introducer) {
      case 0x00:  // a stray terminator
        break;
      case 0x21: {
        uint8_t label;
        if (!in_.ReadByte(label)) {
          Fail("EOF found instead of trailer block");
          state = kFailed;
          break;
        }
        if (label != 0xF9) {
          // Other programs' extensions (labels this reader does not know) are kept like the known ones.
          Extension e = ReadExtension(label, &block);
          if (e == Extension::Failed) {
            Fail("Error reading extension");
            state = kFailed;
          }
        } else {
          uint8_t control[6];
          if (!in_.Read(control, sizeof control)) {
            Fail("EOF found instead of trailer block");
            state = kFailed;
            break;
          }
          pending = NewFrameBlock(control + 1);
          if (!pending) state = kFailed;
        }
        break;
      }
      case 0x2C: {
        FramePtr f = pending ? std::move(pending) : NewFrameBlock(nullptr);
        if (!f) {
          state = kFailed;
          break;
        }
        PendingImage image;
        if (!ParseImage(*f, &image)) {
          state = kFailed;
          break;
        }
        if (defer_) {
          images_.push_back(image);
        } else {
          Decoded d = DecodeImage(image, ThreadDecoder(), scratch_);
          if (d != Decoded::Ok) {
            Fail(d == Decoded::NoMemory ? "Not enough memory to build frame image"
                                        : "Error decompressing image data. File is corrupt.");
            state = kFailed;
            break;
          }
        }
        ++a.frameCount;
        block = std::move(f);
        break;
      }
      case 0x3B:
        state = kTrailer;
        break;
      default:
        Fail("Unrecognized data block");
        state = kFailed;
        break;
    }
    if (block && state == kReading) {
      tail = InsertBlockAfter(tail, std::move(block));
      // Deferred images show their progress as they are decoded.
      if (!defer_ &&
          !SetProgressPosition(progress_, static_cast<uint32_t>(std::min<size_t>(in_.pos, UINT32_MAX)))) {
        aborted = true;
        break;
      }
    }
  }

  if (defer_) {
    defer_ = false;
    Decoded failure = Decoded::Ok;
    bool stopped = false;
    size_t last = DecodeDeferred(&failure, &stopped);
    if (last < images_.size()) {
      // What the file holds after the image is dropped, as a read that stops there would have it, and the
      // messages of the structure pass with it.
      const PendingImage& at = images_[last];
      GifBlock* cut = stopped ? at.frame->next : at.frame;
      while (cut) {
        GifBlock* next = cut->next;
        UnlinkAndFreeBlock(cut);
        cut = next;
      }
      a.frameCount = static_cast<int32_t>(stopped ? last + 1 : last);
      if (!stopped) a.loopCount = at.loopCount;
      deferredMessages_.clear();
      if (stopped) {
        aborted = true;
        state = kTrailer;
      } else {
        ShowError("%s", failure == Decoded::NoMemory ? "Not enough memory to build frame image"
                                                     : "Error decompressing image data. File is corrupt.");
        state = kFailed;
      }
    }
    for (const std::string& m : deferredMessages_) ShowError("%s", m.c_str());
  }

  if (state != kFailed) {
    if (!aborted) a.fileSize = static_cast<uint32_t>(std::min<size_t>(in_.size, kUnknownFileSize));
    *out = std::move(a_);
    return aborted ? 2 : 1;
  }
  if (a.frameCount == 0) {
    Fail("Unable to read file successfully");
    return 0;
  }
  Fail("Only part of the animation was read");
  *out = std::move(a_);
  return 2;
}

Extension GifReader::ReadExtension(uint8_t label, BlockPtr* block) {
  std::vector<uint8_t> body;
  // A terminator at once is an empty extension (an empty comment, for one), not a damaged one.
  if (in_.pos < in_.size && in_.data[in_.pos] == 0) {
    ++in_.pos;
    return KeepExtension(label, {0}, block);
  }
  if (!in_.ReadSubBlock(body)) return Extension::Failed;
  bool closed = false;
  if (label == kApplicationBlock && body.size() == 12 &&
      std::memcmp(body.data() + 1, "NETSCAPE2.0", 11) == 0) {
    uint8_t length;
    if (!in_.ReadByte(length)) return Extension::Failed;
    if (length == 0) {
      closed = true;  // an empty second sub-block is the terminator
    } else {
      if (length > in_.size - in_.pos) return Extension::Failed;
      const uint8_t* loop = in_.data + in_.pos;
      in_.pos += length;
      if (length == 3) {
        uint8_t terminator;
        if (!in_.ReadByte(terminator)) return Extension::Failed;
        if (terminator != 0) {
          Fail("Netscape Animation block is invalid.");
          return Extension::Failed;
        }
        a_->loopCount = Le16(loop + 1);
        return Extension::Loop;
      }
      body.push_back(length);
      body.insert(body.end(), loop, loop + length);
    }
  }
  while (!closed) {
    uint8_t length;
    if (!in_.ReadByte(length)) return Extension::Failed;
    if (length == 0) break;
    if (length > in_.size - in_.pos) return Extension::Failed;
    body.push_back(length);
    body.insert(body.end(), in_.data + in_.pos, in_.data + in_.pos + length);
    in_.pos += length;
  }
  body.push_back(0);
  return KeepExtension(label, std::move(body), block);
}

Extension GifReader::KeepExtension(uint8_t label, std::vector<uint8_t> body, BlockPtr* block) {
  const bool known = label == kPlainTextBlock || label == kCommentBlock || label == kApplicationBlock;
  auto e = NewExtensionBlock(known ? label : uint8_t{kOtherExtensionBlock});
  if (!e) return Extension::Failed;
  e->label = label;
  e->subBlocks = std::move(body);
  *block = std::move(e);
  return Extension::Block;
}

bool GifReader::ParseImage(Frame& f, PendingImage* image) {
  uint8_t desc[9];
  if (!in_.Read(desc, sizeof desc)) return false;
  f.left = Le16(desc);
  f.top = Le16(desc + 2);
  f.width = Le16(desc + 4);
  f.height = Le16(desc + 6);
  f.imageFlags = desc[8];
  if (f.imageFlags & kImageLocalTable) {
    int count = 2 << (f.imageFlags & 7);
    uint8_t rgb[256 * 3];
    if (!in_.Read(rgb, static_cast<size_t>(count) * 3)) return false;
    PalettePtr local = Palette::FromRgb(rgb, count);
    if (!local) {
      Fail("Unable to create a local palette");
      return false;
    }
    f.localPalette = std::move(local);
    f.palette = f.localPalette.get();
  } else {
    f.palette = a_->globalPalette.get();
  }

  // Sizes come from the file: refuse what the limits do not allow before asking for any memory.
  const uint64_t pixels = static_cast<uint64_t>(f.width) * static_cast<uint64_t>(f.height);
  const PixelLimits& limits = Limits();
  if (pixels == 0) {
    Fail("A frame of this file has a width or height of 0 and holds no picture.");
    return false;
  }
  if (pixels > limits.maxFramePixels || totalPixels_ + pixels > limits.maxTotalPixels) {
    Fail("Not enough memory to build frame image");
    return false;
  }

  // The image data: the minimum code size, then sub-blocks up to the zero terminator. A sub-block that
  // cannot be read ends the data (the file is cut short).
  uint8_t minCodeSize = 0;
  bool haveCodeSize = in_.ReadByte(minCodeSize);
  image->dataStart = in_.pos;
  image->codeBytes = 0;
  if (haveCodeSize) {
    for (;;) {
      uint8_t length;
      if (!in_.ReadByte(length) || length == 0) break;
      if (length > in_.size - in_.pos) {
        in_.pos = in_.size;
        break;
      }
      image->codeBytes += length;
      in_.pos += length;
    }
  }
  if (!haveCodeSize || minCodeSize > kLzwMaxCodeSize ||
      pixels > LzwDecoder::MaxPixelsFor(minCodeSize, image->codeBytes)) {
    Fail("Error decompressing image data. File is corrupt.");
    return false;
  }

  // Every byte is written by the decoding, so the bitmap need not be cleared first.
  FrameBitmapPtr bitmap =
      FrameBitmap::MakeUninitialized(f.width, f.height, f.palette ? f.palette : &DefaultPalette());
  if (!bitmap || !bitmap->MutableBits()) {
    Fail("Not enough memory to build frame image");
    return false;
  }
  totalPixels_ += pixels;
  // The mask of a transparent frame is built when it is first drawn (GetMask), not for every frame read.
  f.bitmap = std::move(bitmap);
  ShowTransparentColor(f, true);
  image->frame = &f;
  image->minCodeSize = minCodeSize;
  image->end = in_.pos;
  image->loopCount = a_->loopCount;
  return true;
}

// Touches only the image's own bitmap and the scratch, so images decode on several threads at once.
Decoded GifReader::DecodeImage(const PendingImage& image, LzwDecoder& decoder, DecodeScratch& scratch) const {
  Frame& f = *image.frame;
  const auto pixels = static_cast<size_t>(f.width) * static_cast<size_t>(f.height);
  const bool interlaced = f.imageFlags & kImageInterlaced;
  std::vector<uint8_t>& codes = scratch.codes;
  try {
    codes.resize(image.codeBytes + kLzwInputPadding);
    if (interlaced) scratch.raster.resize(pixels);
  } catch (const std::bad_alloc&) {
    return Decoded::NoMemory;
  }
  // Joins the sub-blocks again: the structure pass counted whole ones only.
  size_t pos = image.dataStart;
  size_t filled = 0;
  while (filled < image.codeBytes) {
    size_t length = std::min<size_t>(in_.data[pos++], image.codeBytes - filled);
    std::memcpy(codes.data() + filled, in_.data + pos, length);
    filled += length;
    pos += length;
  }
  std::memset(codes.data() + filled, 0, kLzwInputPadding);

  uint8_t* bits = f.bitmap->MutableBits();
  // Rows in file order go straight into the bitmap; interlaced ones through the raster buffer.
  if (!decoder.Decode(image.minCodeSize, codes.data(), image.codeBytes,
                      interlaced ? scratch.raster.data() : bits, pixels))
    return Decoded::Corrupt;
  const auto width = static_cast<size_t>(f.width);
  const auto stride = static_cast<size_t>(f.bitmap->Stride());
  if (interlaced) {
    std::vector<int> rows = RowOrder(f.height, true);
    for (size_t i = 0; i < rows.size(); ++i)
      std::memcpy(bits + static_cast<size_t>(rows[i]) * stride, scratch.raster.data() + i * width, width);
  } else if (stride != width) {
    // Spread the packed rows out to the padded stride, last row first.
    for (size_t y = static_cast<size_t>(f.height); y-- > 1;)
      std::memmove(bits + y * stride, bits + y * width, width);
  }
  if (stride != width)
    for (size_t y = 0; y < static_cast<size_t>(f.height); ++y)
      std::memset(bits + y * stride + width, 0, stride - width);
  return Decoded::Ok;
}

size_t GifReader::DecodeDeferred(Decoded* failure, bool* stopped) {
  const size_t count = images_.size();
  if (count == 0) return 0;
  std::mutex mutex;
  std::condition_variable done;
  std::vector<Decoded> results(count, Decoded::Pending);
  size_t next = 0;      // the next image to take
  bool cancel = false;  // set when the read ends early: the threads take no more images

  // Takes images in file order until none is left; gives false when there was none to take.
  auto work = [&](LzwDecoder& decoder, DecodeScratch& scratch, bool once) {
    bool took = false;
    for (;;) {
      size_t i;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (cancel || next == count) return took;
        i = next++;
      }
      took = true;
      Decoded d = DecodeImage(images_[i], decoder, scratch);
      {
        std::lock_guard<std::mutex> lock(mutex);
        results[i] = d;
      }
      done.notify_all();
      if (once) return true;
    }
  };

  // This thread decodes too.
  const size_t helpers = std::min<size_t>({Processors(), kMaxDecodeThreads, count}) - 1;
  std::vector<std::thread> threads;
  for (size_t t = 0; t < helpers; ++t) {
    try {
      threads.emplace_back([&] {
        LzwDecoder decoder;
        DecodeScratch scratch;
        work(decoder, scratch, false);
      });
    } catch (const std::system_error&) {
      break;  // fewer threads: this one does the rest
    }
  }

  // This thread reports progress for the images done in order, and decodes one itself between reports.
  size_t shown = 0;
  size_t result = count;
  while (shown < count) {
    Decoded d;
    {
      std::unique_lock<std::mutex> lock(mutex);
      d = results[shown];
    }
    if (d == Decoded::Pending) {
      if (!work(ThreadDecoder(), scratch_, true)) {
        std::unique_lock<std::mutex> lock(mutex);
        done.wait(lock, [&] { return results[shown] != Decoded::Pending; });
      }
      continue;
    }
    if (d != Decoded::Ok) {
      *failure = d;
      result = shown;
      break;
    }
    if (!SetProgressPosition(progress_,
                             static_cast<uint32_t>(std::min<size_t>(images_[shown].end, UINT32_MAX)))) {
      *stopped = true;
      result = shown;
      break;
    }
    ++shown;
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    cancel = true;
  }
  for (std::thread& t : threads) t.join();
  return result;
}

}  // namespace

size_t SetParallelReadThreshold(size_t bytes) {
  return parallelThreshold.exchange(bytes);
}

int ReadGif(const uint8_t* data, size_t size, AnimationPtr* out, ProgressRecord* progress) {
  if (out) out->reset();
  AnimationPtr result;
  GifReader reader(data, size, progress);
  int r = reader.Read(&result);
  if (out) *out = std::move(result);
  return r;
}

void SetDefaultFrameNames(Animation& a, const std::string& fileName) {
  size_t slash = fileName.find_last_of('/');
  std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  bool single = a.frameCount == 1;
  int counter = 1;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f), ++counter) {
    if (f->nameAtom) continue;
    SetFrameName(*f, single ? base : base + " - Frame " + std::to_string(counter));
  }
}

}  // namespace lw
