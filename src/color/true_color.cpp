#include "color/true_color.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "color/best_quantize.h"
#include "color/dib.h"
#include "color/dither.h"
#include "color/exact_colors.h"
#include "color/palette_choice.h"
#include "color/quantize.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"

namespace lw {
namespace {

void ReverseRows(uint8_t* bits, size_t stride, int height) {
  std::vector<uint8_t> tmp(stride);
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = bits + static_cast<size_t>(top) * stride;
    uint8_t* b = bits + static_cast<size_t>(bottom) * stride;
    std::memcpy(tmp.data(), a, stride);
    std::memcpy(a, b, stride);
    std::memcpy(b, tmp.data(), stride);
  }
}

// 1- and 4-bit rows into one index byte per pixel, in memory order.
void ExpandPackedRows(const DibView& view, uint8_t* dst, size_t dstStride) {
  const DibHeader& h = view.header;
  const size_t srcStride = DibStride(h.width, h.bitCount);
  for (int y = 0; y < h.AbsHeight(); ++y) {
    const uint8_t* s = view.bits + static_cast<size_t>(y) * srcStride;
    uint8_t* d = dst + static_cast<size_t>(y) * dstStride;
    if (h.bitCount == 1) {
      for (int x = 0; x < h.width; ++x) d[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
    } else {
      for (int x = 0; x < h.width; ++x) d[x] = x & 1 ? s[x >> 1] & 0x0F : s[x >> 1] >> 4;
    }
  }
}

}  // namespace

bool ConvertDibByChoice(const DibHeader& header, uint8_t* dst, const uint8_t* src, const Palette& palette,
                        PaletteChoice choice) {
  const bool dither = choice & kChoiceDither;
  if (!(choice & kChoiceBest)) return ConvertDibTo8Bit(header, dst, src, palette, dither);
  if (MapDibExactly(header, src, dst, palette) || MapDibBest(header, src, dst, palette, dither)) return true;
  ShowError("Not enough memory to map the picture onto its palette.");
  return false;
}

PaletteChoice GetHighColorChoice(const Palette* currentGlobal, bool movie) {
  uint32_t stored = GetPreference(kPrefHighColor);
  uint32_t flags = kConflictHighColor | kChoiceAdaptive | kChoiceWebCube | (movie ? kConflictMovie : 0);
  if ((stored & kChoiceVideo) && !movie)
    stored = ChoiceWithBits((stored & (kChoiceDither | kChoiceAlwaysAsk)) | kChoiceAdaptive | kChoiceBest, 8);
  if (!(stored & kChoiceAlwaysAsk) && (stored & kChoiceGlobalOnly) && !currentGlobal) {
    // "Only the current global palette" cannot serve without one: ask, and do not let it be stored.
    stored |= kChoiceAlwaysAsk;
    flags |= kConflictHideMakeDefault;
  }
  if (!(stored & kChoiceAlwaysAsk)) return stored;
  if (currentGlobal) flags |= kChoiceGlobalOnly;
  return AskPaletteChoice(flags);
}

AnimationPtr ConvertDibToAnimation(const OwnFrameRecord* own, const uint8_t* dib, size_t size,
                                   const Palette* currentGlobal, size_t pixelOffset,
                                   PaletteChoice highColorChoice) {
  DibView view;
  if (DibError error = ReadDib(dib, size, pixelOffset, &view); error != DibError::kNone) {
    ShowError("%s", DibErrorMessage(error).c_str());
    return nullptr;
  }
  const DibHeader& h = view.header;
  uint32_t choice = 0;
  if (h.bitCount > 8) {
    choice = highColorChoice ? highColorChoice : GetHighColorChoice(currentGlobal);
    if (!choice) return nullptr;
  }
  const int width = h.width, height = h.AbsHeight();

  FramePtr frame = NewFrameBlock(nullptr);
  AnimationPtr animation = NewAnimation();
  if (!frame || !animation) {
    ShowError("Insufficient memory to paste.");
    return nullptr;
  }

  PalettePtr palette;
  if (h.bitCount > 8) {
    if ((choice & kChoiceGlobalOnly) && currentGlobal && currentGlobal->Count() > 0)
      palette = CopyPalette(currentGlobal);
    else
      palette = BuildDibPalette(h, view.bits, choice | kChoiceAdaptive);
  } else {
    int count = static_cast<int>(std::min<uint32_t>(view.tableCount, 1u << h.bitCount));
    palette = DibTablePalette(view, count);
  }
  if (!palette) {
    if (h.bitCount <= 8) ShowError("Insufficient memory to paste.");
    return nullptr;
  }

  FrameBitmapPtr bitmap = FrameBitmap::Make(width, height, palette.get());
  uint8_t* bits = bitmap ? bitmap->MutableBits() : nullptr;
  if (!bits) {
    ShowError("Ran out of memory building new frame.");
    return nullptr;
  }
  const size_t stride = static_cast<size_t>(bitmap->Stride());

  // Pixels, in the order the DIB keeps its rows; turned upright below.
  if (h.compression == kDibRle8 || h.compression == kDibRle4) {
    DecodeDibRle(view, bits, stride);
  } else if (h.bitCount == 8) {
    std::memcpy(bits, view.bits, stride * static_cast<size_t>(height));
  } else if (h.bitCount < 8) {
    ExpandPackedRows(view, bits, stride);
  } else if (!ConvertDibByChoice(h, bits, view.bits, *palette, choice)) {
    return nullptr;  // the dithering buffers could not be had; the message has been shown
  }
  if (!h.TopDown()) ReverseRows(bits, stride, height);

  if (own && own->animation && own->frame) {
    const Animation& a = *own->animation;
    const Frame& f = *own->frame;
    animation->screenWidth = a.screenWidth;
    animation->screenHeight = a.screenHeight;
    animation->screenFlags = a.screenFlags;
    animation->backgroundIndex = a.backgroundIndex;
    animation->aspectByte = a.aspectByte;
    frame->left = f.left;
    frame->top = f.top;
    frame->delay = f.delay;
    frame->controlFlags = f.controlFlags;
    frame->transparentIndex = f.transparentIndex;
    // The table fields are set again from the palette really built below; the record's may not match it.
    frame->imageFlags = f.imageFlags & (kImageLocalTable | kImageInterlaced | kImageSorted);
    SetFrameName(*frame, GetFrameName(f));
  } else {
    animation->screenWidth = width;
    animation->screenHeight = height;
    animation->backgroundIndex = 0;
    animation->aspectByte = 0;
    SetFrameName(*frame, "[Unnamed]");
  }
  // The pixels are the picture's whatever a record says.
  frame->width = width;
  frame->height = height;
  animation->fileSize = kUnknownFileSize;
  animation->loopCount = 1;

  if (frame->imageFlags & kImageLocalTable) {
    SetLocalPalette(*frame, std::move(palette));
    SetGlobalPalette(*animation, CopyPalette(&DefaultPalette()));
  } else {
    frame->imageFlags &= static_cast<uint8_t>(~kImageSorted);  // a sort flag belongs to a local table
    SetGlobalPalette(*animation, std::move(palette));
    frame->palette = animation->globalPalette.get();
  }
  SetFrameBitmap(*frame, std::move(bitmap));
  AppendBlock(*animation, std::move(frame));
  SetFrameCount(*animation, 1);
  CountGlobalColorUse(*animation, animation->colorUse, true);
  return animation;
}

}  // namespace lw
