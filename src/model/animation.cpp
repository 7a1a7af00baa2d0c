#include "model/animation.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "model/preferences.h"
#include "platform/progress.h"
#include "platform/ui_hooks.h"

namespace lw {

Frame::~Frame() {
  if (nameAtom) DeleteAtom(nameAtom);
}

uint8_t* Frame::MutableBits() {
  if (!bitmap) return nullptr;
  mask.reset();
  return bitmap->MutableBits();
}

Animation::Animation() : head(new HeadBlock) {}

Animation::~Animation() {
  // Iterative, so that long lists never recurse.
  GifBlock* b = head;
  while (b) {
    GifBlock* next = b->next;
    delete b;
    b = next;
  }
}

// ---- List walking ----

Frame* NextFrame(const GifBlock* b) {
  for (GifBlock* p = NextBlock(b); p; p = p->next)
    if (p->kind == kImageBlock) return static_cast<Frame*>(p);
  return nullptr;
}

Frame* PrevFrame(const GifBlock* b) {
  for (GifBlock* p = PrevBlock(b); p; p = p->prev)
    if (p->kind == kImageBlock) return static_cast<Frame*>(p);
  return nullptr;
}

Frame* FirstFrame(const Animation& a) {
  return NextFrame(a.head);
}

Frame* NthFrame(const Animation& a, int n) {
  if (n < 0) return nullptr;
  Frame* f = FirstFrame(a);
  while (f && n-- > 0) f = NextFrame(f);
  return f;
}

GifBlock* LastBlock(const Animation& a) {
  GifBlock* b = a.head;
  while (b && b->next) b = b->next;
  return b;
}

int FrameIndex(const Animation& a, const Frame* target) {
  int i = 0;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f), ++i)
    if (f == target) return i;
  return -1;
}

// ---- List editing ----

void LinkBlocks(GifBlock* a, GifBlock* b) {
  if (a) a->next = b;
  if (b) b->prev = a;
}

GifBlock* InsertBlockAfter(GifBlock* a, BlockPtr b) {
  GifBlock* raw = b.release();
  GifBlock* oldNext = a->next;
  LinkBlocks(a, raw);
  LinkBlocks(raw, oldNext);
  return raw;
}

GifBlock* AppendBlock(Animation& a, BlockPtr b) {
  return InsertBlockAfter(LastBlock(a), std::move(b));
}

BlockPtr UnlinkBlock(GifBlock* b) {
  if (!b) return nullptr;
  if (b->prev) {
    LinkBlocks(b->prev, b->next);
  } else if (b->next) {
    b->next->prev = nullptr;
  }
  b->next = b->prev = nullptr;
  return BlockPtr(b);
}

void UnlinkAndFreeBlock(GifBlock* b) {
  UnlinkBlock(b);
}

// ---- Creation ----

std::unique_ptr<ExtensionBlock> NewExtensionBlock(uint8_t kind) {
  return std::unique_ptr<ExtensionBlock>(new (std::nothrow) ExtensionBlock(kind));
}

FramePtr NewFrameBlock(const uint8_t* gce) {
  FramePtr f(new (std::nothrow) Frame);
  if (!f) return nullptr;
  if (gce) {
    f->controlFlags = gce[0];
    f->delay = static_cast<uint32_t>(gce[1] | (gce[2] << 8));
    f->transparentIndex = gce[3];
  } else {
    f->delay = GetPreference(kPrefDefaultDelay);
  }
  return f;
}

AnimationPtr NewAnimation() {
  return AnimationPtr(new (std::nothrow) Animation);
}

AnimationPtr CloneAnimationHeader(const Animation& a) {
  AnimationPtr c = NewAnimation();
  if (!c) return nullptr;
  c->screenWidth = a.screenWidth;
  c->screenHeight = a.screenHeight;
  c->loopCount = a.loopCount;
  c->frameCount = a.frameCount;
  c->backgroundIndex = a.backgroundIndex;
  c->aspectByte = a.aspectByte;
  c->fileSize = a.fileSize.load();
  c->colorUse = a.colorUse;
  c->screenFlags = 0;
  return c;
}

BlockPtr CopyBlock(const GifBlock& b, Palette* palette) {
  if (const ExtensionBlock* e = AsExtension(&b)) {
    auto copy = NewExtensionBlock(e->kind);
    if (!copy) return nullptr;
    copy->label = e->label;
    copy->subBlocks = e->subBlocks;
    return copy;
  }
  const Frame* src = AsFrame(&b);
  if (!src) return nullptr;  // the head is never copied
  FramePtr f(new (std::nothrow) Frame);
  if (!f) return nullptr;
  f->left = src->left;
  f->top = src->top;
  f->width = src->width;
  f->height = src->height;
  f->delay = src->delay;
  f->controlFlags = src->controlFlags;
  f->transparentIndex = src->transparentIndex;
  f->imageFlags = src->imageFlags;
  f->codeSize = src->codeSize;
  f->keepFullTable = src->keepFullTable;
  if (src->localPalette) {
    PalettePtr local = CopyPalette(src->localPalette.get());
    if (!local) return nullptr;
    SetLocalPalette(*f, std::move(local));
  } else {
    f->palette = palette;
  }
  if (src->bitmap) {
    FrameBitmapPtr bitmap = src->bitmap->Clone();  // shares the pixels
    bitmap->SetColorTable(f->palette);
    f->bitmap = std::move(bitmap);
    if (IsTransparent(*f)) {
      ShowTransparentColor(*f, true);
      f->mask = src->mask;  // same pixels, same index: the same mask
    }
  }
  if (src->nameAtom) f->nameAtom = AddAtom(GetAtomName(src->nameAtom));
  return f;
}

AnimationPtr CopyAnimation(const Animation& a, ProgressRecord* progress) {
  AnimationPtr c = CloneAnimationHeader(a);
  if (!c) return nullptr;
  if (a.globalPalette) {
    c->globalPalette = CopyPalette(a.globalPalette.get());
    if (!c->globalPalette) return nullptr;
  }
  c->screenFlags = a.screenFlags;
  SetProgressRange(progress, static_cast<uint32_t>(std::max(a.frameCount, 0)));
  GifBlock* tail = c->head;
  for (GifBlock* b = a.head->next; b; b = b->next) {
    if (!StepProgress(progress)) return c;
    BlockPtr copy = CopyBlock(*b, c->globalPalette.get());
    if (!copy) return nullptr;
    tail = InsertBlockAfter(tail, std::move(copy));
  }
  return c;
}

void SwapAnimations(Animation& a, Animation& b) {
  std::swap(a.screenWidth, b.screenWidth);
  std::swap(a.screenHeight, b.screenHeight);
  std::swap(a.loopCount, b.loopCount);
  std::swap(a.frameCount, b.frameCount);
  std::swap(a.head, b.head);
  std::swap(a.globalPalette, b.globalPalette);
  std::swap(a.screenFlags, b.screenFlags);
  std::swap(a.backgroundIndex, b.backgroundIndex);
  std::swap(a.aspectByte, b.aspectByte);
  uint32_t size = a.fileSize.load();
  a.fileSize = b.fileSize.load();
  b.fileSize = size;
  std::swap(a.colorUse, b.colorUse);
}

// ---- Animation values ----

bool SetLoopCount(Animation& a, uint32_t loopCount) {
  if (a.loopCount == loopCount) return false;
  a.loopCount = loopCount;
  return true;
}

void SetScreenSize(Animation& a, int32_t width, int32_t height) {
  a.screenWidth = width;
  a.screenHeight = height;
}

int32_t SetFrameCount(Animation& a, int32_t count) {
  int32_t old = a.frameCount;
  a.frameCount = count;
  return old;
}

int32_t AddFrameCount(Animation& a, int32_t delta) {
  return a.frameCount += delta;
}

PalettePtr SetGlobalPalette(Animation& a, PalettePtr palette) {
  if (palette) {
    auto n = static_cast<uint8_t>(BitsForCount(palette->Count()) - 1);
    a.screenFlags = static_cast<uint8_t>(kScreenGlobalTable | (n << 4) | n);
  } else {
    a.screenFlags = 0;
  }
  std::swap(a.globalPalette, palette);
  return palette;
}

void UpdateColorResolution(Animation& a) {
  int r = std::max((a.screenFlags >> 4) & 7, a.screenFlags & 7);
  for (Frame* f = FirstFrame(a); f && r < 7; f = NextFrame(f))
    if (f->localPalette) r = std::max(r, BitsForCount(f->localPalette->Count()) - 1);
  a.screenFlags = static_cast<uint8_t>((a.screenFlags & 0x8F) | (r << 4));
}

Extent GetExtent(const Animation& a) {
  Extent e;
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    e.width = std::max(e.width, f->left + f->width);
    e.height = std::max(e.height, f->top + f->height);
  }
  return e;
}

// ---- Frame values ----

Extent SetFrameSize(Frame& f, int32_t width, int32_t height) {
  Extent old{f.width, f.height};
  f.width = width;
  f.height = height;
  return old;
}

Point SetFramePosition(Frame& f, int32_t left, int32_t top) {
  Point old{f.left, f.top};
  f.left = left;
  f.top = top;
  return old;
}

uint32_t SetDelay(Frame& f, uint32_t delay) {
  uint32_t old = f.delay;
  f.delay = delay;
  return old;
}

int SetDisposal(Frame& f, int disposal) {
  int old = GetDisposal(f);
  f.controlFlags = static_cast<uint8_t>((f.controlFlags & ~0x1C) | ((disposal & 7) << 2));
  return old;
}

bool SetUserInput(Frame& f, bool on) {
  bool old = GetUserInput(f);
  f.controlFlags =
      static_cast<uint8_t>(on ? f.controlFlags | kControlUserInput : f.controlFlags & ~kControlUserInput);
  return old;
}

void SetTransparent(Frame& f, bool on) {
  if (IsTransparent(f) == on) return;
  DropMask(f);
  if (on) {
    f.controlFlags |= kControlTransparent;
    BuildMask(f);
  } else {
    f.controlFlags = static_cast<uint8_t>(f.controlFlags & ~kControlTransparent);
  }
}

uint8_t SetTransparentIndex(Frame& f, uint8_t index) {
  uint8_t old = f.transparentIndex;
  if (old == index) return old;
  DropMask(f);
  f.transparentIndex = index;
  if (IsTransparent(f)) BuildMask(f);
  return old;
}

bool SetInterlaced(Frame& f, bool on) {
  bool old = IsInterlaced(f);
  f.imageFlags =
      static_cast<uint8_t>(on ? f.imageFlags | kImageInterlaced : f.imageFlags & ~kImageInterlaced);
  return old;
}

Palette* SetFramePalette(Frame& f, Palette* palette) {
  Palette* old = f.palette;
  f.palette = palette;
  return old;
}

PalettePtr SetLocalPalette(Frame& f, PalettePtr palette) {
  if (palette) {
    f.imageFlags =
        static_cast<uint8_t>((f.imageFlags & 0x78) | kImageLocalTable | (BitsForCount(palette->Count()) - 1));
    f.palette = palette.get();
  } else {
    f.imageFlags = static_cast<uint8_t>(f.imageFlags & 0x78);
  }
  std::swap(f.localPalette, palette);
  return palette;
}

std::string GetFrameName(const Frame& f) {
  return GetAtomName(f.nameAtom);
}

bool SetFrameName(Frame& f, const std::string& name) {
  Atom atom = AddAtom(name);
  if (atom == f.nameAtom) {
    DeleteAtom(atom);
    return false;
  }
  if (f.nameAtom) DeleteAtom(f.nameAtom);
  f.nameAtom = atom;
  return true;
}

// ---- Comments ----

std::string GetCommentText(const GifBlock& b) {
  const ExtensionBlock* e = AsExtension(&b);
  if (!e || e->kind != kCommentBlock) return {};
  std::string text;
  const std::vector<uint8_t>& s = e->subBlocks;
  for (size_t i = 0; i < s.size() && s[i] != 0;) {
    size_t len = s[i];
    size_t end = std::min(s.size(), i + 1 + len);
    text.append(s.begin() + static_cast<std::ptrdiff_t>(i + 1), s.begin() + static_cast<std::ptrdiff_t>(end));
    i = end;
  }
  return text;
}

bool SetCommentText(GifBlock& b, const std::string& text) {
  ExtensionBlock* e = AsExtension(&b);
  if (!e || e->kind != kCommentBlock) {
    ShowError("Setting comment to non-comment block!");
    return false;
  }
  size_t len = std::min<size_t>(text.size(), 255);
  e->subBlocks.clear();
  if (len > 0) {
    e->subBlocks.push_back(static_cast<uint8_t>(len));
    e->subBlocks.insert(e->subBlocks.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(len));
  }
  e->subBlocks.push_back(0);
  return true;
}

// ---- Pixels ----

void SetFrameBitmap(Frame& f, FrameBitmapPtr bitmap) {
  f.bitmap = std::move(bitmap);
  f.mask.reset();
  if (IsTransparent(f) && f.bitmap) BuildMask(f);
}

uint32_t TransparentDisplayColor() {
  uint32_t view = GetPreference(kPrefTransparencyView);
  if ((view >> 24) == 1) return kShowFrameColor;
  if (view > 0xFFFFFF) return view & 0xFFFFFF;
  return Hooks().ButtonFaceColor() & 0xFFFFFF;
}

void ShowTransparentColor(Frame& f, bool forDisplay) {
  if (!IsTransparent(f) || !f.bitmap) return;
  uint32_t color = forDisplay ? TransparentDisplayColor() : kShowFrameColor;
  if (color == kShowFrameColor) {
    PaletteEntry own{};
    if (f.palette && f.transparentIndex < f.palette->Count()) own = (*f.palette)[f.transparentIndex];
    f.bitmap->SetColor(f.transparentIndex, own);
  } else {
    f.bitmap->SetColor(f.transparentIndex,
                       {static_cast<uint8_t>(color & 0xFF), static_cast<uint8_t>((color >> 8) & 0xFF),
                        static_cast<uint8_t>((color >> 16) & 0xFF), 0});
  }
}

void BuildMask(Frame& f) {
  if (!IsTransparent(f) || !f.bitmap) return;
  ShowTransparentColor(f, true);
  f.mask = MaskBitmap::Build(*f.bitmap, f.transparentIndex);
}

void DropMask(Frame& f) {
  ShowTransparentColor(f, false);
  f.mask.reset();
}

const MaskBitmap* GetMask(Frame& f) {
  if (!IsTransparent(f) || !f.bitmap) return nullptr;
  if (!f.mask) f.mask = MaskBitmap::Build(*f.bitmap, f.transparentIndex);
  return f.mask.get();
}

bool CropFrame(Frame& f, int32_t x0, int32_t y0, int32_t newWidth, int32_t newHeight) {
  if (!f.bitmap) return false;
  // Never read outside the frame's pixels: the rectangle is clamped to them.
  int64_t bw = f.bitmap->Width(), bh = f.bitmap->Height();
  int64_t x = std::clamp<int64_t>(x0, 0, bw), y = std::clamp<int64_t>(y0, 0, bh);
  int64_t w = std::clamp<int64_t>(newWidth, 0, bw - x), h = std::clamp<int64_t>(newHeight, 0, bh - y);
  if (w <= 0 || h <= 0) return false;
  FrameBitmapPtr bitmap = FrameBitmap::Make(static_cast<int>(w), static_cast<int>(h), f.palette);
  if (!bitmap) return false;
  uint8_t* dst = bitmap->MutableBits();
  for (int64_t row = 0; row < h; ++row)
    std::memcpy(dst + row * bitmap->Stride(), f.bitmap->Row(static_cast<int>(y + row)) + x,
                static_cast<size_t>(w));
  f.width = static_cast<int32_t>(w);
  f.height = static_cast<int32_t>(h);
  f.left += static_cast<int32_t>(x);
  f.top += static_cast<int32_t>(y);
  SetFrameBitmap(f, std::move(bitmap));
  return true;
}

bool FrameNeedsClipping(const Frame& f, int32_t screenWidth, int32_t screenHeight) {
  return f.left < 0 || f.top < 0 || int64_t{f.left} + f.width > screenWidth ||
         int64_t{f.top} + f.height > screenHeight;
}

bool ClipFrame(Frame& f, int32_t screenWidth, int32_t screenHeight) {
  if (!FrameNeedsClipping(f, screenWidth, screenHeight)) return true;
  int64_t x0 = f.left < 0 ? -int64_t{f.left} : 0;
  int64_t y0 = f.top < 0 ? -int64_t{f.top} : 0;
  int64_t w = std::min<int64_t>(int64_t{f.left} + f.width, screenWidth) - std::max<int64_t>(f.left, 0);
  int64_t h = std::min<int64_t>(int64_t{f.top} + f.height, screenHeight) - std::max<int64_t>(f.top, 0);
  if (w <= 0 || h <= 0 || x0 > f.width || y0 > f.height) return false;
  return CropFrame(f, static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(w),
                   static_cast<int32_t>(h));
}

bool ClipAllFrames(Animation& a) {
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f))
    if (!ClipFrame(*f, a.screenWidth, a.screenHeight)) return false;
  return true;
}

// ---- Colour use ----

namespace {

void CountPixels(const Frame& f, ColorCounts& table, bool clear, bool skipTransparent) {
  if (clear) table.fill(0);
  if (!f.bitmap) return;
  int w = std::min(f.width, f.bitmap->Width()), h = std::min(f.height, f.bitmap->Height());
  ColorCounts counts{};
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = f.bitmap->Row(y);
    for (int x = 0; x < w; ++x) ++counts[row[x]];
  }
  if (skipTransparent && IsTransparent(f)) counts[f.transparentIndex] = 0;
  for (size_t i = 0; i < 256; ++i) table[i] += counts[i];
}

bool CountGlobal(const Animation& a, ColorCounts& table, bool clear, bool skipTransparent) {
  if (clear) table.fill(0);
  for (Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    if (f->localPalette) continue;
    if (IsJobCancelled(kJobColorUse)) return false;
    CountPixels(*f, table, false, skipTransparent);
  }
  return true;
}

}  // namespace

void CountFrameColorUse(const Frame& f, ColorCounts& table, bool clear) {
  CountPixels(f, table, clear, false);
}
void CountFrameOpaqueColorUse(const Frame& f, ColorCounts& table, bool clear) {
  CountPixels(f, table, clear, true);
}
bool CountGlobalColorUse(const Animation& a, ColorCounts& table, bool clear) {
  return CountGlobal(a, table, clear, false);
}
bool CountGlobalOpaqueColorUse(const Animation& a, ColorCounts& table, bool clear) {
  return CountGlobal(a, table, clear, true);
}

}  // namespace lw
