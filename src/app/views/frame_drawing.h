// Drawing frames: a frame's 8-bit pixels become a 32-bit image once, through its bitmap's colour table
// (which already holds the display colour of the transparent index), and are drawn scaled without
// smoothing. The cache keeps each frame's image until the frame changes, so painting never converts
// pixels that were converted before.
#pragma once

#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "model/animation.h"

namespace lw::app {

// The frame's pixels as an image of the bitmap's size. Opaque (RGB32) through the colour table, or with
// withMask premultiplied ARGB32 whose pixels of the transparent index are left out (transparent frames
// only). A null image for a frame without pixels.
QImage FrameToImage(const Frame& f, bool withMask);

class FrameImageCache {
 public:
  explicit FrameImageCache(size_t budgetBytes = size_t{256} << 20) : budget_(budgetBytes) {}

  // The frame's image, converted again only when its bitmap, pixel buffer, size or colour table changed
  // since the last call, or after Invalidate.
  const QImage& Image(const Frame& f, bool withMask);
  // Forget one frame's image (its pixels were written in place) or every image.
  void Invalidate(const Frame* f);
  void Clear();

  size_t Bytes() const { return bytes_; }
  size_t Entries() const { return entries_.size(); }
  // How many conversions were made (for tests and measurements).
  uint64_t Conversions() const { return conversions_; }

 private:
  struct Entry {
    const FrameBitmap* bitmap = nullptr;
    const uint8_t* bits = nullptr;
    int width = 0, height = 0;
    bool masked = false;
    uint8_t transparentIndex = 0;
    ColorTable colors{};
    QImage image;
    uint64_t lastUse = 0;
  };
  void Evict(const Frame* keep);

  size_t budget_;
  size_t bytes_ = 0;
  uint64_t tick_ = 0;
  uint64_t conversions_ = 0;
  std::unordered_map<const Frame*, Entry> entries_;
};

// Draws the frame like the platform's stretched blit: at (x + left × num / den, y + top × num / den),
// width × num / den by height × num / den (integer division), nearest pixels, no blending. With the mask,
// transparent pixels leave the background as it was.
void DrawFrame(QPainter& painter, FrameImageCache& cache, const Frame& f, int x, int y, int numerator,
               int denominator, bool withMask);

}  // namespace lw::app
