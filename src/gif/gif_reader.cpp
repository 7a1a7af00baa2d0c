#include "gif/gif_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
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

class GifReader {
 public:
  GifReader(const uint8_t* data, size_t size, ProgressRecord* progress)
      : in_{data, size, std::min<size_t>(6, size)}, progress_(progress) {}

  int Read(AnimationPtr* out);

 private:
  Extension ReadExtension(uint8_t label, BlockPtr* block);
  bool ReadImage(Frame& f);

  Input in_;
  ProgressRecord* progress_;
  AnimationPtr a_;
  LzwDecoder& decoder_ = ThreadDecoder();
  std::vector<uint8_t> codes_;   // the image data sub-blocks joined
  std::vector<uint8_t> raster_;  // the pixels in stream order
  uint64_t totalPixels_ = 0;
};

int GifReader::Read(AnimationPtr* out) {
  uint8_t screen[7];
  if (!in_.Read(screen, sizeof screen)) {
    ShowError("Unable to read file successfully");
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
      ShowError("EOF found instead of trailer block");
      ShowError("Unable to read file successfully");
      return 0;
    }
    a.globalPalette = Palette::FromRgb(rgb, count);
    if (!a.globalPalette) return 0;
  }
  a.screenFlags = packed;

  SetProgressRange(progress_, static_cast<uint32_t>(std::min<size_t>(in_.size, UINT32_MAX)));
  GifBlock* tail = a.head;
  FramePtr pending;  // made from a graphic control extension, waiting for its image
  int state = kReading;
  bool aborted = false;
  while (state == kReading) {
    uint8_t introducer;
    if (!in_.ReadByte(introducer)) {
      ShowError("EOF found instead of trailer block");
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
          ShowError("EOF found instead of trailer block");
          state = kFailed;
          break;
        }
        if (label == kPlainTextBlock || label == kCommentBlock || label == kApplicationBlock) {
          Extension e = ReadExtension(label, &block);
          if (e == Extension::Failed) {
            ShowError("Error reading extension");
            state = kFailed;
          }
        } else if (label == 0xF9) {
          uint8_t control[6];
          if (!in_.Read(control, sizeof control)) {
            ShowError("EOF found instead of trailer block");
            state = kFailed;
            break;
          }
          pending = NewFrameBlock(control + 1);
          if (!pending) state = kFailed;
        } else {
          ShowError("Unrecognized Control Block");
          state = kFailed;
        }
        break;
      }
      case 0x2C: {
        FramePtr f = pending ? std::move(pending) : NewFrameBlock(nullptr);
        if (!f) {
          state = kFailed;
          break;
        }
        if (!ReadImage(*f)) {
          state = kFailed;
          break;
        }
        ++a.frameCount;
        block = std::move(f);
        break;
      }
      case 0x3B:
        state = kTrailer;
        break;
      default:
        ShowError("Unrecognized data block");
        state = kFailed;
        break;
    }
    if (block && state == kReading) {
      tail = InsertBlockAfter(tail, std::move(block));
      if (!SetProgressPosition(progress_, static_cast<uint32_t>(std::min<size_t>(in_.pos, UINT32_MAX)))) {
        aborted = true;
        break;
      }
    }
  }

  if (state != kFailed) {
    if (!aborted) a.fileSize = static_cast<uint32_t>(std::min<size_t>(in_.size, kUnknownFileSize));
    *out = std::move(a_);
    return aborted ? 2 : 1;
  }
  if (a.frameCount == 0) {
    ShowError("Unable to read file successfully");
    return 0;
  }
  ShowError("Only part of the animation was read");
  *out = std::move(a_);
  return 2;
}

Extension GifReader::ReadExtension(uint8_t label, BlockPtr* block) {
  std::vector<uint8_t> body;
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
          ShowError("Netscape Animation block is invalid.");
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
  auto e = NewExtensionBlock(label);
  if (!e) return Extension::Failed;
  e->subBlocks = std::move(body);
  *block = std::move(e);
  return Extension::Block;
}

bool GifReader::ReadImage(Frame& f) {
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
      ShowError("Unable to create a local palette");
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
  if (pixels == 0 || pixels > limits.maxFramePixels || totalPixels_ + pixels > limits.maxTotalPixels) {
    ShowError("Not enough memory to build frame image");
    return false;
  }

  // The image data: the minimum code size, then sub-blocks up to the zero terminator. A sub-block that
  // cannot be read ends the data (the file is cut short).
  uint8_t minCodeSize = 0;
  bool haveCodeSize = in_.ReadByte(minCodeSize);
  codes_.clear();
  if (haveCodeSize) {
    for (;;) {
      uint8_t length;
      if (!in_.ReadByte(length) || length == 0) break;
      if (length > in_.size - in_.pos) {
        in_.pos = in_.size;
        break;
      }
      codes_.insert(codes_.end(), in_.data + in_.pos, in_.data + in_.pos + length);
      in_.pos += length;
    }
  }
  if (!haveCodeSize || minCodeSize > kLzwMaxCodeSize ||
      pixels > LzwDecoder::MaxPixelsFor(minCodeSize, codes_.size())) {
    ShowError("Error decompressing image data. File is corrupt.");
    return false;
  }

  // Every byte is written below, so the bitmap need not be cleared first.
  FrameBitmapPtr bitmap =
      FrameBitmap::MakeUninitialized(f.width, f.height, f.palette ? f.palette : &DefaultPalette());
  uint8_t* bits = bitmap ? bitmap->MutableBits() : nullptr;
  if (!bits) {
    ShowError("Not enough memory to build frame image");
    return false;
  }
  const bool interlaced = f.imageFlags & kImageInterlaced;
  try {
    codes_.resize(codes_.size() + kLzwInputPadding, 0);
    if (interlaced) raster_.resize(static_cast<size_t>(pixels));
  } catch (const std::bad_alloc&) {
    ShowError("Not enough memory to build frame image");
    return false;
  }
  // Rows in file order go straight into the bitmap; interlaced ones through the raster buffer.
  if (!decoder_.Decode(minCodeSize, codes_.data(), codes_.size() - kLzwInputPadding,
                       interlaced ? raster_.data() : bits, static_cast<size_t>(pixels))) {
    ShowError("Error decompressing image data. File is corrupt.");
    return false;
  }
  const auto width = static_cast<size_t>(f.width);
  const auto stride = static_cast<size_t>(bitmap->Stride());
  if (interlaced) {
    std::vector<int> rows = RowOrder(f.height, true);
    for (size_t i = 0; i < rows.size(); ++i)
      std::memcpy(bits + static_cast<size_t>(rows[i]) * stride, raster_.data() + i * width, width);
  } else if (stride != width) {
    // Spread the packed rows out to the padded stride, last row first.
    for (size_t y = static_cast<size_t>(f.height); y-- > 1;)
      std::memmove(bits + y * stride, bits + y * width, width);
  }
  if (stride != width)
    for (size_t y = 0; y < static_cast<size_t>(f.height); ++y)
      std::memset(bits + y * stride + width, 0, stride - width);
  totalPixels_ += pixels;
  // The mask of a transparent frame is built when it is first drawn (GetMask), not for every frame read.
  f.bitmap = std::move(bitmap);
  ShowTransparentColor(f, true);
  return true;
}

}  // namespace

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
