#include "app/views/frame_drawing.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lw::app {
namespace {

QRgb ToRgb(const PaletteEntry& e) {
  return qRgb(e.red, e.green, e.blue);
}

}  // namespace

QImage FrameToImage(const Frame& f, bool withMask) {
  const FrameBitmap* bitmap = f.bitmap.get();
  if (!bitmap || !bitmap->Bits() || bitmap->Width() <= 0 || bitmap->Height() <= 0) return {};
  bool masked = withMask && IsTransparent(f);
  QImage image(bitmap->Width(), bitmap->Height(),
               masked ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (image.isNull()) return {};
  QRgb lut[256];
  const ColorTable& colors = bitmap->Colors();
  for (int i = 0; i < 256; ++i) lut[i] = ToRgb(colors[static_cast<size_t>(i)]);
  if (masked) lut[f.transparentIndex] = 0;
  const int width = bitmap->Width();
  for (int y = 0; y < bitmap->Height(); ++y) {
    const uint8_t* src = bitmap->Row(y);
    auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) dst[x] = lut[src[x]];
  }
  return image;
}

const QImage& FrameImageCache::Image(const Frame& f, bool withMask) {
  bool masked = withMask && IsTransparent(f);
  Entry& e = entries_[&f];
  const FrameBitmap* bitmap = f.bitmap.get();
  bool valid = !e.image.isNull() && e.bitmap == bitmap && bitmap && e.bits == bitmap->Bits() &&
               e.width == bitmap->Width() && e.height == bitmap->Height() && e.masked == masked &&
               (!masked || e.transparentIndex == f.transparentIndex) &&
               std::memcmp(e.colors.data(), bitmap->Colors().data(), sizeof(ColorTable)) == 0;
  e.lastUse = ++tick_;
  if (valid) return e.image;
  bytes_ -= static_cast<size_t>(e.image.sizeInBytes());
  e.image = FrameToImage(f, withMask);
  ++conversions_;
  e.bitmap = bitmap;
  e.bits = bitmap ? bitmap->Bits() : nullptr;
  e.width = bitmap ? bitmap->Width() : 0;
  e.height = bitmap ? bitmap->Height() : 0;
  e.masked = masked;
  e.transparentIndex = f.transparentIndex;
  if (bitmap) e.colors = bitmap->Colors();
  bytes_ += static_cast<size_t>(e.image.sizeInBytes());
  if (bytes_ > budget_) Evict(&f);
  return entries_[&f].image;
}

void FrameImageCache::Evict(const Frame* keep) {
  // Least recently drawn first, never the image just made.
  std::vector<std::pair<uint64_t, const Frame*>> order;
  order.reserve(entries_.size());
  for (const auto& [frame, entry] : entries_)
    if (frame != keep) order.emplace_back(entry.lastUse, frame);
  std::sort(order.begin(), order.end());
  for (const auto& [use, frame] : order) {
    if (bytes_ <= budget_ * 3 / 4) break;
    auto it = entries_.find(frame);
    bytes_ -= static_cast<size_t>(it->second.image.sizeInBytes());
    entries_.erase(it);
  }
}

void FrameImageCache::Invalidate(const Frame* f) {
  auto it = entries_.find(f);
  if (it == entries_.end()) return;
  bytes_ -= static_cast<size_t>(it->second.image.sizeInBytes());
  entries_.erase(it);
}

void FrameImageCache::Clear() {
  entries_.clear();
  bytes_ = 0;
}

void DrawFrame(QPainter& painter, FrameImageCache& cache, const Frame& f, int x, int y, int numerator,
               int denominator, bool withMask) {
  if (denominator <= 0 || numerator <= 0) return;
  const QImage& image = cache.Image(f, withMask);
  if (image.isNull()) return;
  auto scale = [&](int32_t v) { return static_cast<int>(static_cast<int64_t>(v) * numerator / denominator); };
  QRect target(x + scale(f.left), y + scale(f.top), scale(f.width), scale(f.height));
  if (target.isEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter.drawImage(target, image);
  painter.restore();
}

}  // namespace lw::app
