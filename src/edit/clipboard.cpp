#include "edit/clipboard.h"

#include <cstring>
#include <new>

#include "color/dib.h"
#include "color/true_color.h"
#include "model/byte_order.h"

namespace lw {

namespace {

// Offsets in the own block.
enum : size_t {
  kOffScreenWidth = 0,
  kOffScreenHeight = 4,
  kOffLoopCount = 8,
  kOffFrameCount = 12,
  kOffScreenFlags = 24,
  kOffBackground = 25,
  kOffAspect = 26,
  kOffFileSize = 28,
  kOffColorUse = 32,
  kOffKind = 1056,
  kOffLeft = 1068,
  kOffTop = 1072,
  kOffWidth = 1076,
  kOffHeight = 1080,
  kOffDelay = 1096,
  kOffControl = 1100,
  kOffTransparent = 1101,
  kOffImageFlags = 1102,
  kOffName = kFrameBlockFixedSize,
};

constexpr size_t kFileHeaderSize = 14;
// What a GIF's 16-bit fields can hold; offsets may point either way off the screen.
constexpr int32_t kMaxDimension = 65535;

int32_t GetSigned32(const uint8_t* p) {
  return static_cast<int32_t>(Le32(p));
}

}  // namespace

std::vector<uint8_t> BuildFrameBlock(const Animation& a, const Frame& f) {
  std::string name = GetFrameName(f);
  if (name.size() > kFrameBlockMaxName) name.resize(kFrameBlockMaxName);
  std::vector<uint8_t> block;
  try {
    block.assign(kFrameBlockFixedSize + name.size() + 4, 0);
  } catch (const std::bad_alloc&) {
    return {};
  }
  uint8_t* p = block.data();
  PutLe32(p + kOffScreenWidth, static_cast<uint32_t>(a.screenWidth));
  PutLe32(p + kOffScreenHeight, static_cast<uint32_t>(a.screenHeight));
  PutLe32(p + kOffLoopCount, a.loopCount);
  PutLe16(p + kOffFrameCount, static_cast<uint32_t>(a.frameCount));
  p[kOffScreenFlags] = a.screenFlags;
  p[kOffBackground] = a.backgroundIndex;
  p[kOffAspect] = a.aspectByte;
  PutLe32(p + kOffFileSize, a.fileSize.load());
  for (size_t i = 0; i < 256; ++i) PutLe32(p + kOffColorUse + 4 * i, a.colorUse[i]);
  p[kOffKind] = kImageBlock;
  PutLe32(p + kOffLeft, static_cast<uint32_t>(f.left));
  PutLe32(p + kOffTop, static_cast<uint32_t>(f.top));
  PutLe32(p + kOffWidth, static_cast<uint32_t>(f.width));
  PutLe32(p + kOffHeight, static_cast<uint32_t>(f.height));
  PutLe32(p + kOffDelay, f.delay);
  p[kOffControl] = f.controlFlags;
  p[kOffTransparent] = f.transparentIndex;
  p[kOffImageFlags] = f.imageFlags;
  std::memcpy(p + kOffName, name.data(), name.size());
  return block;
}

std::vector<uint8_t> BuildFrameDib(const Frame& f) {
  if (!f.bitmap || !f.palette || f.width <= 0 || f.height <= 0) return {};
  const int count = f.palette->Count();
  const size_t stride = DibStride(f.width, 8);
  const size_t header = kDibInfoHeaderSize + 4 * static_cast<size_t>(count);
  std::vector<uint8_t> dib;
  try {
    dib.assign(header + stride * static_cast<size_t>(f.height), 0);
  } catch (const std::bad_alloc&) {
    return {};
  }
  uint8_t* p = dib.data();
  PutLe32(p, kDibInfoHeaderSize);
  PutLe32(p + 4, static_cast<uint32_t>(f.width));
  PutLe32(p + 8, static_cast<uint32_t>(f.height));  // positive: bottom row first
  p[12] = 1;                                        // planes
  p[14] = 8;                                        // bits per pixel
  PutLe32(p + 32, static_cast<uint32_t>(count));    // colours used
  for (int i = 0; i < count; ++i) {
    // The palette's own colours, not the display colour a transparent entry may show in the editor.
    const PaletteEntry& e = (*f.palette)[i];
    uint8_t* q = p + kDibInfoHeaderSize + 4 * static_cast<size_t>(i);
    q[0] = e.blue;
    q[1] = e.green;
    q[2] = e.red;
  }
  const size_t rowBytes = static_cast<size_t>(std::min(f.width, f.bitmap->Width()));
  const int rows = std::min(f.height, f.bitmap->Height());
  for (int y = 0; y < rows; ++y)
    std::memcpy(p + header + stride * static_cast<size_t>(f.height - 1 - y), f.Row(y), rowBytes);
  return dib;
}

std::vector<uint8_t> BuildFrameBmp(const Frame& f) {
  std::vector<uint8_t> dib = BuildFrameDib(f);
  if (dib.empty()) return {};
  std::vector<uint8_t> bmp;
  try {
    bmp.assign(kFileHeaderSize, 0);
    bmp.insert(bmp.end(), dib.begin(), dib.end());
  } catch (const std::bad_alloc&) {
    return {};
  }
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutLe32(bmp.data() + 2, static_cast<uint32_t>(bmp.size()));
  PutLe32(bmp.data() + 10, static_cast<uint32_t>(kFileHeaderSize + kDibInfoHeaderSize +
                                                 4 * static_cast<size_t>(f.palette->Count())));
  return bmp;
}

bool ParseFrameBlock(const uint8_t* data, size_t size, FrameBlock* out) {
  if (!data || size <= kOffName || size > kFrameBlockMaxSize) return false;
  if (data[kOffKind] != kImageBlock) return false;
  const void* end = std::memchr(data + kOffName, 0, size - kOffName);
  if (!end) return false;  // a name that runs off the block
  const size_t nameLength = static_cast<size_t>(static_cast<const uint8_t*>(end) - (data + kOffName));
  if (nameLength > kFrameBlockMaxName) return false;

  const int32_t screenWidth = GetSigned32(data + kOffScreenWidth);
  const int32_t screenHeight = GetSigned32(data + kOffScreenHeight);
  const int32_t left = GetSigned32(data + kOffLeft), top = GetSigned32(data + kOffTop);
  const int32_t width = GetSigned32(data + kOffWidth), height = GetSigned32(data + kOffHeight);
  const uint32_t delay = Le32(data + kOffDelay);
  auto within = [](int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; };
  if (!within(screenWidth, 0, kMaxDimension) || !within(screenHeight, 0, kMaxDimension) ||
      !within(width, 1, kMaxDimension) || !within(height, 1, kMaxDimension) ||
      !within(left, -kMaxDimension, kMaxDimension) || !within(top, -kMaxDimension, kMaxDimension) ||
      delay > 65535)
    return false;
  if (!out) return true;

  AnimationPtr animation = NewAnimation();
  FramePtr frame = NewFrameBlock(nullptr);
  if (!animation || !frame) return false;
  animation->screenWidth = screenWidth;
  animation->screenHeight = screenHeight;
  animation->loopCount = Le32(data + kOffLoopCount);
  animation->screenFlags = data[kOffScreenFlags];
  animation->backgroundIndex = data[kOffBackground];
  animation->aspectByte = data[kOffAspect];
  frame->left = left;
  frame->top = top;
  frame->width = width;
  frame->height = height;
  frame->delay = delay;
  frame->controlFlags = data[kOffControl];
  frame->transparentIndex = data[kOffTransparent];
  frame->imageFlags = data[kOffImageFlags];
  SetFrameName(*frame, std::string(reinterpret_cast<const char*>(data + kOffName), nameLength));
  out->animation = std::move(animation);
  out->frame = std::move(frame);
  return true;
}

DibBytes LocateDib(const uint8_t* data, size_t size) {
  DibBytes d;
  if (!data) return d;
  if (size >= kFileHeaderSize && data[0] == 'B' && data[1] == 'M') {
    uint32_t offBits = Le32(data + 10);
    d.dib = data + kFileHeaderSize;
    d.size = size - kFileHeaderSize;
    d.pixelOffset = offBits > kFileHeaderSize ? offBits - kFileHeaderSize : 0;
  } else {
    d.dib = data;
    d.size = size;
  }
  return d;
}

PasteResult PasteFrameData(const uint8_t* block, size_t blockSize, const uint8_t* picture, size_t pictureSize,
                           const Palette* currentGlobal, AnimationPtr* out) {
  if (out) out->reset();
  DibBytes d = LocateDib(picture, pictureSize);
  DibView view;
  if (!d.dib || ReadDib(d.dib, d.size, d.pixelOffset, &view) != DibError::kNone)
    return PasteResult::kUnusable;
  // The block's fields belong to the picture only when it describes a frame of the picture's size; a block
  // left by one copy beside a picture of another is not the picture's.
  FrameBlock fields;
  bool own = block && ParseFrameBlock(block, blockSize, &fields) &&
             fields.frame->width == view.header.width && fields.frame->height == view.header.AbsHeight();
  OwnFrameRecord record{fields.animation.get(), fields.frame.get()};
  AnimationPtr animation =
      ConvertDibToAnimation(own ? &record : nullptr, d.dib, d.size, currentGlobal, d.pixelOffset);
  if (!animation) return PasteResult::kFailed;
  if (out) *out = std::move(animation);
  return PasteResult::kPasted;
}

}  // namespace lw
