#include "optimize/best.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "gif/gif_write_form.h"
#include "gif/gif_writer.h"
#include "optimize/best_encoder.h"
#include "optimize/best_pictures.h"
#include "optimize/lzw_choice.h"
#include "optimize/optimizer.h"

namespace lw {

namespace {

using namespace best_detail;

// What the first walk finds for one output frame: what it must do, and which colours it draws and
// repeats.
struct Plan {
  const Frame* source = nullptr;  // the first frame showing the picture
  FrameNeeds need;
  std::vector<ColourId> drawn;     // at most 256, else no frame can show them
  std::vector<ColourId> repeated;  // the most repeated ones, by falling count (at most 256)
  size_t repeatedColours = 0;      // how many colours it repeats in all
};

// What the encoding walk shares between its workers, all read only.
struct Shared {
  const Animation& a;
  const Colours& colours;
  const std::vector<Plan>& plans;
  int W, H;
  const std::vector<ColourId>& global;
  const std::vector<int16_t>& globalIndex;
  size_t globalCount;
  int spareIndex;
  Palette* globalPalette;
};

// What one worker keeps from frame to frame.
struct Worker {
  explicit Worker(size_t ids) : localIndex(ids, -1), isDrawn(ids, false) {}
  Encoder encoder;
  std::vector<int16_t> localIndex;  // colour number -> index in the frame's local palette
  std::vector<bool> isDrawn;        // colour number -> the frame draws it
  std::vector<uint8_t> colour, clear, opaque, bestPixels;
};

struct Encoded {
  FramePtr frame;
  uint64_t size = 0;  // of the image data
  bool global = false;
};

// One output frame: its palette, its transparent index, and its pixels the smallest way. The frame is
// null when it cannot be made (out of memory, or more colours than a palette holds).
Encoded EncodeFrame(const Shared& sh, Worker& w, const Plan& plan, const IdPicture& q,
                    const IdPicture& canvas, const Frame& source, uint32_t delay) {
  Encoded result;
  const FrameNeeds& need = plan.need;
  const std::vector<ColourId>& top = plan.repeated;
  for (ColourId id : plan.drawn) w.isDrawn[id] = true;

  // The palette: the global one when it holds every colour the frame draws, else a local one of those
  // colours, filled up with repeated ones while the table has room.
  bool useGlobal = true;
  for (ColourId id : plan.drawn) useGlobal &= sh.globalIndex[id] >= 0;
  const std::vector<int16_t>* indexOf = &sh.globalIndex;
  PalettePtr local;
  int t = -1;
  bool allRepeatedDrawable = true;
  if (useGlobal) {
    // Within the indices the drawn pixels need anyway when there is one (the codes stay as short),
    // the most repeated colour not drawn, else the lowest index not drawn, else the spare entry.
    int maxDrawn = 0;
    for (ColourId id : plan.drawn) maxDrawn = std::max<int>(maxDrawn, sh.globalIndex[id]);
    const int within = 1 << std::max(2, BitsForCount(maxDrawn + 1));
    for (int pass = 0; pass < 2 && t < 0; ++pass)
      for (ColourId id : top)
        if (!w.isDrawn[id] && sh.globalIndex[id] > 0 && (pass == 1 || sh.globalIndex[id] < within)) {
          t = sh.globalIndex[id];
          break;
        }
    if (t < 0) {
      for (size_t i = 1; i <= sh.globalCount && t < 0; ++i)
        if (!w.isDrawn[sh.global[i % sh.globalCount]]) t = static_cast<int>(i % sh.globalCount);
    }
    if (t < 0) t = sh.spareIndex;
    // A frame repeating more colours than one palette holds cannot draw them all again.
    allRepeatedDrawable = plan.repeatedColours <= top.size();
    for (ColourId id : top) allRepeatedDrawable &= sh.globalIndex[id] >= 0;
    if (t < 0 && (need.forcedTransparent || !allRepeatedDrawable)) useGlobal = false;
  }
  std::vector<ColourId> members;
  if (!useGlobal) {
    std::vector<PaletteEntry> entries;
    members = plan.drawn;
    const size_t room = size_t{1} << BitsForCount(static_cast<int>(std::max<size_t>(members.size(), 2)));
    t = -1;
    for (ColourId id : top) {
      if (members.size() >= room) break;
      if (w.isDrawn[id]) continue;
      if (t < 0) t = static_cast<int>(members.size());
      members.push_back(id);
    }
    // Index 0 to the last colour (for the compressor's sake, as above), unless that is the transparent one.
    const ColourId clearId = t >= 0 ? members[static_cast<size_t>(t)] : 0;
    if (members.size() > 1) {
      size_t last = members.size() - 1;
      if (members[last] == clearId) --last;
      if (last > 0)
        std::rotate(members.begin(), members.begin() + static_cast<std::ptrdiff_t>(last),
                    members.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    }
    for (size_t i = 0; i < members.size(); ++i) {
      entries.push_back(EntryOf(sh.colours.rgb[members[i]]));
      w.localIndex[members[i]] = static_cast<int16_t>(i);
      if (members[i] == clearId && t >= 0) t = static_cast<int>(i);
    }
    allRepeatedDrawable = plan.repeatedColours <= top.size();
    for (ColourId id : top) allRepeatedDrawable &= w.localIndex[id] >= 0;
    if (t < 0 && (need.forcedTransparent || !allRepeatedDrawable || entries.size() < room)) {
      if (entries.size() >= 256) {
        for (ColourId id : members) w.localIndex[id] = -1;
        for (ColourId id : plan.drawn) w.isDrawn[id] = false;
        return result;  // 256 colours drawn and a pixel to keep: no room
      }
      t = static_cast<int>(entries.size());
      entries.push_back(PaletteEntry{});
    }
    while (entries.size() < 2) entries.push_back(PaletteEntry{});
    local = std::make_unique<Palette>(std::move(entries));
    indexOf = &w.localIndex;
  }

  // The pixels: in the source's row order, and in plain order as well for an interlaced source
  // (interlacing changes nothing that is shown once the frame is there, and seldom compresses better).
  const int width = need.rect.Width(), height = need.rect.Height();
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  uint64_t best = UINT64_MAX;
  bool transparent = false, interlaced = false;
  const int orders = IsInterlaced(source) ? 2 : 1;
  for (int order = 0; order < orders; ++order) {
    const bool inInterlace = order == 1;
    w.colour.resize(n);
    w.clear.resize(n);
    bool opaquePossible = !need.forcedTransparent;
    // The writer uses the smallest code size the pixels allow; the values each kind of pixel may take,
    // or-ed together, give it.
    uint8_t opaqueAll = 0, fixedAll = static_cast<uint8_t>(std::max(t, 0));
    size_t k = 0;
    for (int row : FileRowOrder(height, inInterlace)) {
      const int y = need.rect.y0 + row;
      const ColourId* qr = q.data() + static_cast<size_t>(y) * sh.W;
      const ColourId* cr = canvas.data() + static_cast<size_t>(y) * sh.W;
      for (int x = need.rect.x0; x < need.rect.x1; ++x, ++k) {
        const ColourId id = qr[x];
        const int i = id ? (*indexOf)[id] : -1;
        if (id != cr[x]) {
          // Every drawn colour has its entry.
          w.colour[k] = w.clear[k] = static_cast<uint8_t>(i);
          fixedAll = static_cast<uint8_t>(fixedAll | i);
          opaqueAll = static_cast<uint8_t>(opaqueAll | i);
        } else if (i < 0) {
          // Nothing shown, or a colour the palette lacks: only transparency keeps it.
          w.colour[k] = w.clear[k] = static_cast<uint8_t>(t);
          opaquePossible = false;
        } else {
          w.colour[k] = static_cast<uint8_t>(i);
          w.clear[k] = static_cast<uint8_t>(t >= 0 ? t : i);
          opaqueAll = static_cast<uint8_t>(opaqueAll | i);
          if (t < 0) fixedAll = static_cast<uint8_t>(fixedAll | i);
        }
      }
    }
    // The ways with transparency keep to the code size that the drawn pixels and the transparent index
    // need: a repeated pixel whose own index is beyond it takes the transparent index instead of widening
    // every code of the frame.
    const int codeSize = CodeSizeForValues(fixedAll);
    w.opaque.clear();
    if (opaquePossible) w.opaque = w.colour;
    bool freedom = false;
    for (size_t i = 0; i < n; ++i) {
      if (w.colour[i] >> codeSize) w.colour[i] = w.clear[i];
      freedom |= w.colour[i] != w.clear[i];
    }
    const uint64_t size =
        w.encoder.Pick(w.opaque, w.colour, w.clear, freedom, CodeSizeForValues(opaqueAll), codeSize, best);
    if (w.encoder.Won()) {
      best = size;
      w.encoder.TakePixels(w.bestPixels);
      transparent = w.encoder.Transparent();
      interlaced = inInterlace;
    }
  }
  for (ColourId id : members) w.localIndex[id] = -1;  // the local numbers are this frame's only
  for (ColourId id : plan.drawn) w.isDrawn[id] = false;
  if (best == UINT64_MAX) return result;
  // A frame long enough to fill the string table may be smaller when the full table is kept to its end
  // (patterns that repeat all through it) than when it starts again.
  bool keepFullTable = false;
  if (n >= kLzwPixelsToFillTable) {
    uint8_t all = 0;
    for (size_t i = 0; i < n; ++i) all = static_cast<uint8_t>(all | w.bestPixels[i]);
    const uint64_t kept = w.encoder.KeptTableSize(w.bestPixels.data(), n, CodeSizeForValues(all), best);
    if (kept < best) {
      best = kept;
      keepFullTable = true;
    }
  }

  FramePtr f = NewFrameBlock(nullptr);
  if (!f) return result;
  f->left = need.rect.x0;
  f->top = need.rect.y0;
  f->width = width;
  f->height = height;
  f->delay = delay;
  f->controlFlags = static_cast<uint8_t>(source.controlFlags & ~(0x1C | kControlTransparent));
  SetDisposal(*f, need.disposal);
  f->codeSize = 2;  // as small as the pixels allow
  f->keepFullTable = keepFullTable;
  SetInterlaced(*f, interlaced);
  if (source.nameAtom) SetFrameName(*f, GetFrameName(source));
  if (useGlobal) {
    f->palette = sh.globalPalette;
  } else {
    SetLocalPalette(*f, std::move(local));
  }
  FrameBitmapPtr bitmap = FrameBitmap::Make(width, height, f->palette);
  uint8_t* bits = bitmap ? bitmap->MutableBits() : nullptr;
  if (!bits) return result;
  const std::vector<int> rows = FileRowOrder(height, interlaced);
  for (size_t r = 0; r < rows.size(); ++r)
    std::memcpy(bits + static_cast<size_t>(rows[r]) * static_cast<size_t>(bitmap->Stride()),
                w.bestPixels.data() + r * static_cast<size_t>(width), static_cast<size_t>(width));
  SetFrameBitmap(*f, std::move(bitmap));
  if (transparent) {
    // The mask is built when the frame is first drawn, as for a frame read from a file; the display
    // colour is set once the workers are done (it may ask the user interface).
    f->transparentIndex = static_cast<uint8_t>(t);
    f->controlFlags |= kControlTransparent;
  }
  result.frame = std::move(f);
  result.size = best;
  result.global = useGlobal;
  return result;
}

// Encodes the frames [begin, end) of the walk (composing the ones before to know what lies beneath).
// The main worker (with a progress record) steps it for the frames every worker has done; the others
// only count them. Gives false when a frame could not be made or the walk was stopped.
bool EncodeFrames(const Shared& sh, size_t begin, size_t end, std::vector<Encoded>& results,
                  std::atomic<bool>& stop, std::atomic<uint32_t>& done, ProgressRecord* progress,
                  uint32_t& stepped) {
  Worker w(sh.colours.rgb.size());
  IdPicture canvas(static_cast<size_t>(sh.W) * static_cast<size_t>(sh.H), 0);
  size_t index = 0;
  for (Pictures p(sh.a, sh.colours); !p.Done() && index < end; p.Advance(), ++index) {
    if (stop) return false;
    const Plan& plan = sh.plans[index];
    if (index >= begin) {
      results[index] = EncodeFrame(sh, w, plan, p.Current(), canvas, *p.Source(), p.Delay());
      if (!results[index].frame) {
        stop = true;
        return false;
      }
      done += static_cast<uint32_t>(p.SourceFrames());
      if (progress) {
        for (; stepped < done; ++stepped)
          if (!StepProgress(progress)) {
            stop = true;
            return false;
          }
      }
    }
    Leave(canvas, p.Current(), plan.need, sh.W);
  }
  return true;
}

// The work (pixels of all output frames) from which the encoding walk is split in two.
constexpr uint64_t kSplitFrom = 1u << 17;

// Builds the animation afresh; null when it cannot (a frame needing more than 256 colours) or was stopped.
// The size of the file the writer makes of an animation whose image data takes imageData bytes in all:
// header and screen, global table, looping block, extension blocks, and per frame its control block,
// descriptor and local table. (A test holds this to what the writer writes.)
uint64_t FileSizeAround(const Animation& a, uint64_t imageData) {
  // The tables as the writer writes them (one may grow to give a frame a transparent index).
  const GifWriteForm form = PlanGifWrite(a);
  auto table = [](const Palette* p, int bits) -> uint64_t { return p ? 3u << bits : 0; };
  uint64_t size =
      13 + table(a.globalPalette.get(), form.globalTableBits) + (a.loopCount != 1 ? 19 : 0) + 1 + imageData;
  size_t frame = 0;
  for (const GifBlock* b = a.head ? a.head->next : nullptr; b; b = b->next) {
    if (const ExtensionBlock* e = AsExtension(b)) {
      size += 3;  // introducer, label, terminator
      const std::vector<uint8_t>& sub = e->subBlocks;
      for (size_t i = 0; i < sub.size() && sub[i] != 0 && i + 1 + sub[i] <= sub.size(); i += 1 + sub[i])
        size += 1 + sub[i];
    } else if (const Frame* f = AsFrame(b)) {
      size += 8 + 10 + table(f->localPalette.get(), form.frames[frame++].localTableBits);
    }
  }
  return size;
}

// The rebuild keeps several composed screens of four bytes a pixel at once (about 24 bytes a screen pixel
// in all); a larger screen is left to the passes on palette indices, which need two bytes a pixel.
constexpr uint64_t kRebuildMaxScreenPixels = uint64_t{1} << 24;

AnimationPtr Rebuild(const Animation& a, ProgressRecord* progress, bool& stopped, uint64_t* fileSize) {
  stopped = false;
  const int W = a.screenWidth, H = a.screenHeight;
  if (W <= 0 || H <= 0 || !FirstFrame(a)) return nullptr;
  if (static_cast<uint64_t>(W) * static_cast<uint64_t>(H) > kRebuildMaxScreenPixels) return nullptr;
  const Colours colours(a);
  const size_t ids = colours.rgb.size();
  IdCounts drawn(ids), repeated(ids);

  // A first walk finds what each frame must do and which colours it draws and repeats.

  std::vector<Plan> plans;
  std::vector<uint32_t> drawnBy(ids, 0);
  {
    IdPicture canvas(static_cast<size_t>(W) * static_cast<size_t>(H), 0);
    for (Pictures p(a, colours); !p.Done(); p.Advance()) {
      Plan plan;
      plan.source = p.Source();
      plan.need = Analyse(p.Current(), canvas, p.Next(), W, H, drawn, repeated);
      if (drawn.Size() > 256) return nullptr;
      plan.drawn = drawn.Ids();
      plan.repeated = repeated.Top(256);
      plan.repeatedColours = repeated.Size();
      for (ColourId id : plan.drawn) ++drawnBy[id];
      Leave(canvas, p.Current(), plan.need, W);
      plans.push_back(std::move(plan));
      for (int i = 0; i < p.SourceFrames(); ++i)
        if (!StepProgress(progress)) {
          stopped = true;
          return nullptr;
        }
    }
  }
  // The global palette takes the colours frame by frame, the frames drawing the fewest colours first, as
  // long as they fit: a frame whose colours all have small indices is written with shorter codes, and a
  // frame whose colours are all global needs no table of its own. Within a frame, colours drawn by more
  // frames go first.
  std::vector<size_t> byColours(plans.size());
  for (size_t i = 0; i < byColours.size(); ++i) byColours[i] = i;
  std::stable_sort(byColours.begin(), byColours.end(),
                   [&](size_t x, size_t y) { return plans[x].drawn.size() < plans[y].drawn.size(); });
  std::vector<ColourId> global;
  std::vector<bool> inGlobal(ids, false);
  for (size_t i : byColours) {
    std::vector<ColourId> adding;
    for (ColourId id : plans[i].drawn)
      if (!inGlobal[id]) adding.push_back(id);
    if (global.size() + adding.size() > 256) continue;
    std::stable_sort(adding.begin(), adding.end(),
                     [&](ColourId x, ColourId y) { return drawnBy[x] > drawnBy[y]; });
    for (ColourId id : adding) {
      inGlobal[id] = true;
      global.push_back(id);
    }
  }
  // Index 0 goes to the colour drawn least. The writer's compressor (the classic one of the compress
  // family) takes a table key of 0, the string "index 0, index 0", for a free slot, so strings of index
  // 0 compress worse than any other.
  if (global.size() > 1) std::rotate(global.begin(), global.end() - 1, global.end());
  // A spare entry for transparency when the table has room for it anyway.
  const size_t globalCount = global.size();
  const bool globalSpare =
      globalCount < 256 && globalCount < (size_t{1} << BitsForCount(static_cast<int>(globalCount)));
  PalettePtr globalPalette;
  std::vector<int16_t> globalIndex(ids, -1);
  {
    std::vector<PaletteEntry> entries;
    for (size_t i = 0; i < global.size(); ++i) {
      entries.push_back(EntryOf(colours.rgb[global[i]]));
      globalIndex[global[i]] = static_cast<int16_t>(i);
    }
    if (globalSpare) entries.push_back(PaletteEntry{});
    while (entries.size() < 2) entries.push_back(PaletteEntry{});
    globalPalette = std::make_unique<Palette>(std::move(entries));
  }
  const int spareIndex = globalSpare ? static_cast<int>(globalCount) : -1;

  // The walk that encodes, in two halves of about equal work when there is much of it: the second half
  // on a thread of its own (or after the first when none can be had). The halves are the same either
  // way, so the result does not depend on the machine.
  AnimationPtr out = CloneAnimationHeader(a);
  if (!out) return nullptr;
  const Shared shared{a,      colours,     plans,       W,          H,
                      global, globalIndex, globalCount, spareIndex, globalPalette.get()};
  std::vector<Encoded> results(plans.size());
  uint64_t work = 0;
  for (const Plan& plan : plans)
    work += static_cast<uint64_t>(plan.need.rect.Width()) * plan.need.rect.Height();
  size_t split = plans.size();
  if (work >= kSplitFrom && plans.size() >= 4) {
    uint64_t sum = 0;
    for (split = 0; split < plans.size() && sum * 2 < work; ++split)
      sum += static_cast<uint64_t>(plans[split].need.rect.Width()) * plans[split].need.rect.Height();
  }
  std::atomic<bool> halt{false};
  std::atomic<uint32_t> done{0};
  uint32_t stepped = 0;
  bool secondOk = true;
  std::thread second;
  if (split < plans.size()) {
    try {
      second = std::thread([&] {
        uint32_t unused = 0;
        try {
          secondOk = EncodeFrames(shared, split, plans.size(), results, halt, done, nullptr, unused);
        } catch (const std::bad_alloc&) {
          // Out of memory on this thread: the rebuild is given up, as on the first.
          secondOk = false;
          halt = true;
        }
      });
    } catch (const std::system_error&) {
    }
  }
  bool ok = false;
  try {
    ok = EncodeFrames(shared, 0, split, results, halt, done, progress, stepped);
  } catch (const std::bad_alloc&) {
    halt = true;
  }
  if (second.joinable())
    second.join();
  else if (ok && split < plans.size())
    secondOk = EncodeFrames(shared, split, plans.size(), results, halt, done, nullptr, stepped);
  ok = ok && secondOk;
  for (; ok && stepped < done; ++stepped) ok = StepProgress(progress);
  if (!ok) {
    stopped = !ProgressContinues(progress);
    return nullptr;
  }
  uint64_t imageData = 0;
  bool anyGlobal = false;
  for (const Encoded& e : results) {
    imageData += e.size;
    anyGlobal |= e.global;
    ShowTransparentColor(*e.frame, true);
  }

  // The blocks in their order: extension blocks copied, each output frame where its first source was.
  if (anyGlobal) SetGlobalPalette(*out, std::move(globalPalette));
  size_t next = 0;
  for (const GifBlock* b = a.head ? a.head->next : nullptr; b; b = b->next) {
    if (b->kind != kImageBlock) {
      if (BlockPtr copy = CopyBlock(*b, nullptr)) AppendBlock(*out, std::move(copy));
      continue;
    }
    if (next < results.size() && plans[next].source == b) AppendBlock(*out, std::move(results[next++].frame));
  }
  SetFrameCount(*out, static_cast<int32_t>(next));
  CountGlobalColorUse(*out, out->colorUse, true);
  out->fileSize = kUnknownFileSize;
  // The image data was sized with codes as wide as any value the frame might have taken; the writer
  // uses what the chosen values need, so the file is at most this large.
  *fileSize = FileSizeAround(*out, imageData);
  return out;
}

}  // namespace

bool OptimizeAnimationBest(Animation& a, ProgressRecord* progress, BestOptimizeStats* stats) {
  BestOptimizeStats s;
  s.inputBytes = ComputeFileSize(a, false, nullptr);
  const uint32_t frames = static_cast<uint32_t>(std::max(a.frameCount, 0));
  SetProgressText(progress, "Optimizing Frame Images...");
  SetProgressRange(progress, 2 * frames);
  bool stopped = false;
  uint64_t rebuiltAtMost = 0;
  AnimationPtr rebuilt;
  try {
    rebuilt = Rebuild(a, progress, stopped, &rebuiltAtMost);
  } catch (const std::bad_alloc&) {
    // Not enough memory to rebuild: the passes on the file's own indices are tried instead.
  }
  if (stopped) return false;
  if (rebuilt) s.rebuiltBytes = rebuiltAtMost;

  // Should the rebuild not be possible (a frame drawing more colours than a palette holds), the passes
  // on the file's own palette indices still are.
  AnimationPtr standard;
  if (!rebuilt) {
    standard = CopyAnimation(a);
    if (standard) {
      OptimizeAnimation(*standard,
                        kShrinkFrames | kDuplicatesToTransparency | kShrinkPalettes | kRemoveUnneededFrames,
                        nullptr);
      s.standardBytes = ComputeFileSize(*standard, true, nullptr);
    }
  }

  Animation* winner = nullptr;
  uint64_t best = s.inputBytes;
  if (standard && s.standardBytes < best) {
    winner = standard.get();
    best = s.standardBytes;
  }
  if (rebuilt && s.rebuiltBytes < best) {
    winner = rebuilt.get();
    best = s.rebuiltBytes;
  }
  s.resultBytes = best;
  if (stats) *stats = s;
  if (!winner) return false;
  SwapAnimations(a, *winner);
  return true;
}

}  // namespace lw
