#include <cstring>

#include "optimize/best_pictures.h"

namespace lw::best_detail {

FrameNeeds Analyse(const IdPicture& q, const IdPicture& canvas, const IdPicture* next, int W, int H,
                   IdCounts& drawn, IdCounts& repeated) {
  FrameNeeds need;
  int cx0 = W, cx1 = -1, cy0 = H, cy1 = -1, tx0 = W, tx1 = -1, ty0 = H, ty1 = -1;
  for (int y = 0; y < H; ++y) {
    const ColourId* qr = q.data() + static_cast<size_t>(y) * W;
    const ColourId* cr = canvas.data() + static_cast<size_t>(y) * W;
    if (std::memcmp(qr, cr, sizeof(ColourId) * static_cast<size_t>(W)) != 0) {
      int x = 0;
      while (qr[x] == cr[x]) ++x;
      int e = W - 1;
      while (qr[e] == cr[e]) --e;
      cx0 = std::min(cx0, x);
      cx1 = std::max(cx1, e);
      cy0 = std::min(cy0, y);
      cy1 = y;
    }
    if (next) {
      const ColourId* nr = next->data() + static_cast<size_t>(y) * W;
      for (int x = 0; x < W; ++x) {
        if (nr[x] == 0 && qr[x] != 0) {
          tx0 = std::min(tx0, x);
          tx1 = std::max(tx1, x);
          ty0 = std::min(ty0, y);
          ty1 = y;
        }
      }
    }
  }
  Rect changed, clear;
  if (cx1 >= 0) changed = {cx0, cy0, cx1 + 1, cy1 + 1};
  if (tx1 >= 0) clear = {tx0, ty0, tx1 + 1, ty1 + 1};
  need.rect = changed;
  need.rect.Add(clear);
  need.disposal = clear.Empty() ? 1 : 2;
  if (need.rect.Empty()) need.rect = {0, 0, 1, 1};
  drawn.Clear();
  repeated.Clear();
  for (int y = need.rect.y0; y < need.rect.y1; ++y) {
    const ColourId* qr = q.data() + static_cast<size_t>(y) * W;
    const ColourId* cr = canvas.data() + static_cast<size_t>(y) * W;
    ColourId runId = 0;
    uint32_t runCount = 0;
    IdCounts* runTable = nullptr;
    for (int x = need.rect.x0; x < need.rect.x1; ++x) {
      IdCounts* table;
      if (qr[x] != cr[x]) {
        table = &drawn;
      } else if (qr[x] != 0) {
        table = &repeated;
      } else {
        need.forcedTransparent = true;
        continue;
      }
      if (table == runTable && qr[x] == runId) {
        ++runCount;
        continue;
      }
      if (runCount) runTable->Add(runId, runCount);
      runTable = table;
      runId = qr[x];
      runCount = 1;
    }
    if (runCount) runTable->Add(runId, runCount);
  }
  return need;
}

// What lies beneath the next frame: this picture, with the rectangle cleared when the frame clears it.
void Leave(IdPicture& canvas, const IdPicture& q, const FrameNeeds& need, int W) {
  canvas = q;
  if (need.disposal == 2)
    for (int y = need.rect.y0; y < need.rect.y1; ++y)
      std::fill_n(canvas.begin() + static_cast<std::ptrdiff_t>(y) * W + need.rect.x0, need.rect.Width(), 0u);
}

}  // namespace lw::best_detail
