#include "gif/gif_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gif/gif_lzw.h"
#include "gif/gif_write_form.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"

namespace lw {

namespace {

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
  v = std::min<uint32_t>(v, 0xFFFF);
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// A colour table padded with black to 2^bits entries.
void PutColorTable(std::vector<uint8_t>& out, const Palette& p, int bits) {
  int count = std::min(p.Count(), 256);
  int padded = 1 << bits;
  for (int i = 0; i < padded; ++i) {
    PaletteEntry e = i < count ? p[i] : PaletteEntry{};
    out.push_back(e.red);
    out.push_back(e.green);
    out.push_back(e.blue);
  }
}

// The table bits of a packed byte always describe the table that is written, so a file can never
// announce a table it does not have (or the other way round). Without a table the size bits mean nothing
// and stay as the file had them, like every other bit.
uint8_t TableBits(uint8_t packed, const Palette* table, int bits, uint8_t presentBit) {
  if (!table) return static_cast<uint8_t>(packed & ~presentBit);
  return static_cast<uint8_t>((packed & ~7) | presentBit | (bits - 1));
}

int ColorResolution(const Animation& a, const GifWriteForm& form) {
  int r = std::max((a.screenFlags >> 4) & 7, a.screenFlags & 7);
  if (a.globalPalette) r = std::max(r, form.globalTableBits - 1);
  for (const FrameWriteForm& f : form.frames) r = std::max(r, f.localTableBits - 1);
  return r;
}

bool FrameFitsGif(const Frame& f) {
  return f.bitmap && f.width > 0 && f.height > 0 && f.width <= 0xFFFF && f.height <= 0xFFFF &&
         f.bitmap->Width() == f.width && f.bitmap->Height() == f.height;
}

// The signature, screen descriptor, global table and loop extension.
bool WriteHead(GifSink& sink, const Animation& a, uint8_t screenFlags, int globalTableBits) {
  static const uint8_t kSignature[6] = {'G', 'I', 'F', '8', '9', 'a'};
  std::vector<uint8_t> head(kSignature, kSignature + sizeof kSignature);
  PutLe16(head, static_cast<uint32_t>(std::max(a.screenWidth, 0)));
  PutLe16(head, static_cast<uint32_t>(std::max(a.screenHeight, 0)));
  head.push_back(TableBits(screenFlags, a.globalPalette.get(), globalTableBits, kScreenGlobalTable));
  head.push_back(a.backgroundIndex);
  head.push_back(a.aspectByte);
  if (a.globalPalette) PutColorTable(head, *a.globalPalette, globalTableBits);
  if (a.loopCount != 1) {
    static const uint8_t kLoop[14] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S',
                                      'C',  'A',  'P',  'E', '2', '.', '0'};
    head.insert(head.end(), kLoop, kLoop + sizeof kLoop);
    head.push_back(0x03);
    head.push_back(0x01);
    PutLe16(head, a.loopCount);
    head.push_back(0x00);
  }
  return sink.Write(head.data(), head.size());
}

bool WriteExtension(GifSink& sink, const ExtensionBlock& e, std::vector<uint8_t>& out) {
  out.clear();
  out.push_back(0x21);
  out.push_back(e.label);
  // The stored sub-blocks up to the first zero length byte (one that runs past the end is dropped).
  const std::vector<uint8_t>& s = e.subBlocks;
  for (size_t i = 0; i < s.size() && s[i] != 0 && i + 1 + s[i] <= s.size(); i += 1 + s[i])
    out.insert(out.end(), s.begin() + static_cast<std::ptrdiff_t>(i),
               s.begin() + static_cast<std::ptrdiff_t>(i + 1 + s[i]));
  out.push_back(0x00);
  return sink.Write(out.data(), out.size());
}

// The control extension, image descriptor, local table and picture of one frame.
bool WriteImage(GifSink& sink, const Animation& a, const Frame& f, const FrameWriteForm& ff,
                int globalTableBits, std::vector<uint8_t>& out) {
  if (!FrameFitsGif(f)) return false;
  out.clear();
  const uint8_t control[8] = {
      0x21,
      0xF9,
      0x04,
      static_cast<uint8_t>(f.controlFlags | (ff.addTransparent ? kControlTransparent : 0)),
      static_cast<uint8_t>(std::min<uint32_t>(f.delay, 0xFFFF)),
      static_cast<uint8_t>(std::min<uint32_t>(f.delay, 0xFFFF) >> 8),
      ff.addTransparent ? ff.transparentIndex : f.transparentIndex,
      0x00};
  out.insert(out.end(), control, control + sizeof control);
  out.push_back(0x2C);
  PutLe16(out, static_cast<uint16_t>(f.left));
  PutLe16(out, static_cast<uint16_t>(f.top));
  PutLe16(out, static_cast<uint32_t>(f.width));
  PutLe16(out, static_cast<uint32_t>(f.height));
  out.push_back(TableBits(f.imageFlags, f.localPalette.get(), ff.localTableBits, kImageLocalTable));
  if (f.localPalette) PutColorTable(out, *f.localPalette, ff.localTableBits);
  if (!sink.Write(out.data(), out.size())) return false;
  // One encoder per thread, kept between writes (the saved-size job writes thousands of times).
  static thread_local LzwEncoder encoder;
  LzwImage image{f.Bits(), f.Stride(), f.width, f.height, IsInterlaced(f)};
  const int tableBits = f.localPalette ? ff.localTableBits : a.globalPalette ? globalTableBits : 0;
  return encoder.Encode(sink, image, MinimumCodeSize(f, tableBits), f.keepFullTable);
}

bool WriteTrailer(GifSink& sink) {
  const uint8_t trailer = 0x3B;
  return sink.Write(&trailer, 1);
}

int WriteGifImpl(GifSink& sink, Animation& a, ProgressRecord* progress, bool storeResolution) {
  const GifWriteForm form = PlanGifWrite(a);
  int resolution = ColorResolution(a, form);
  uint8_t screenFlags = static_cast<uint8_t>((a.screenFlags & 0x8F) | (resolution << 4));
  if (storeResolution) a.screenFlags = screenFlags;
  if (!WriteHead(sink, a, screenFlags, form.globalTableBits)) return 0;

  SetProgressRange(progress, static_cast<uint32_t>(std::max(a.frameCount, 0)));
  std::vector<uint8_t> out;
  size_t frameIndex = 0;
  for (GifBlock* b = a.head ? a.head->next : nullptr; b; b = b->next) {
    if (!ProgressContinues(progress)) return 2;
    if (const ExtensionBlock* e = AsExtension(b)) {
      if (!WriteExtension(sink, *e, out)) return 0;
      continue;
    }
    const Frame* f = AsFrame(b);
    if (!f) continue;
    if (!WriteImage(sink, a, *f, form.frames[frameIndex++], form.globalTableBits, out)) return 0;
    if (!StepProgress(progress)) return 2;
  }
  return WriteTrailer(sink) ? 1 : 0;
}

}  // namespace

int MinimumCodeSize(const Frame& f, int tableBits) {
  int bits = f.codeSize  ? f.codeSize
             : tableBits ? tableBits
                         : BitsForCount(f.palette ? f.palette->Count() : 0);
  if (f.bitmap && bits < 8) {
    // Files in the wild use indices beyond their table; the codes must still cover every pixel.
    int w = std::min(f.width, f.bitmap->Width()), h = std::min(f.height, f.bitmap->Height());
    unsigned all = 0;
    // Eight pixels at a time: only the highest bit set anywhere matters.
    for (int y = 0; y < h && all < 0x80; ++y) {
      const uint8_t* row = f.bitmap->Row(y);
      uint64_t wide = 0;
      int x = 0;
      for (; x + 8 <= w; x += 8) {
        uint64_t eight;
        std::memcpy(&eight, row + x, 8);
        wide |= eight;
      }
      for (; x < w; ++x) wide |= row[x];
      for (int shift = 0; shift < 64; shift += 8) all |= static_cast<unsigned>(wide >> shift) & 0xFF;
    }
    int needed = 1;
    while (needed < 8 && (all >> needed) != 0) ++needed;
    bits = std::max(bits, needed);
  }
  return std::max(bits, 2);
}

int WriteGif(GifSink& sink, Animation& a, ProgressRecord* progress) {
  return WriteGifImpl(sink, a, progress, true);
}

bool CheckClippingBeforeSave(Animation& a) {
  if (!(GetPreference(kPrefFlags) & kPrefClipWithoutAsking)) {
    bool needed = false;
    for (Frame* f = FirstFrame(a); f && !needed; f = NextFrame(f))
      needed = FrameNeedsClipping(*f, a.screenWidth, a.screenHeight);
    if (!needed) return true;
    MsgResult answer = Hooks().MessageBox(
        "Animation needs clipping",
        "This animation has some frames that extend beyond the GIF \"screen\" and should be "
        "clipped (not a reversible action).\n\nShould the animation be clipped and saved?",
        MsgButtons::YesNo, MsgIcon::Exclamation);
    if (answer != MsgResult::Yes) return false;
  }
  return ClipAllFrames(a);
}

bool GifStreamWriter::Begin(Animation& a) {
  if (begun_) return false;
  begun_ = true;
  // Nothing of the frames is known yet: the header is what it would be for the animation without them.
  GifWriteForm form = PlanGifWrite(a);
  globalTableBits_ = form.globalTableBits;
  a.screenFlags = static_cast<uint8_t>((a.screenFlags & 0x8F) | (ColorResolution(a, form) << 4));
  return ok_ = WriteHead(sink_, a, a.screenFlags, globalTableBits_);
}

bool GifStreamWriter::WriteFrame(const Animation& a, const Frame& f) {
  if (!ok_) return false;
  const bool first = frames_++ == 0;
  FrameWriteForm ff;
  ff.localTableBits = TableBitsFor(f.localPalette.get());
  // The global table is written already and cannot grow to make room for a transparent index, nor can the
  // colour resolution grow for a larger local table.
  if (NeedsTransparentIndex(a, f, first) || ff.localTableBits - 1 > ((a.screenFlags >> 4) & 7))
    return ok_ = false;
  std::vector<uint8_t> out;
  return ok_ = WriteImage(sink_, a, f, ff, globalTableBits_, out);
}

bool GifStreamWriter::End() {
  return ok_ = ok_ && WriteTrailer(sink_);
}

uint32_t ComputeFileSize(Animation& a, bool force, ProgressRecord* progress) {
  if (!force && a.fileSize != kUnknownFileSize) return a.fileSize;
  a.fileSize = kUnknownFileSize;
  // Counting the bytes gives the length the written file has, without a file.
  CountingSink counter;
  if (WriteGifImpl(counter, a, progress, false) == 1 && counter.count < kUnknownFileSize)
    a.fileSize = static_cast<uint32_t>(counter.count);
  return a.fileSize;
}

}  // namespace lw
