// Copy, Cut and Paste. A copied frame goes on the clipboard three ways: the program's own block (every
// field, for a paste into another window), the frame as a BMP file (the pixels and palette exactly, read
// back with the block) and as a PNG (for other programs). Paste takes the block with its BMP, else any
// picture another program put there, and inserts it as one step of the history.
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <new>

#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app/shell/toolbars.h"
#include "color/dib.h"
#include "color/palette_choice.h"
#include "edit/clipboard.h"
#include "edit/frame_insert.h"
#include "model/limits.h"
#include "platform/ui_hooks.h"

namespace lw::app {

namespace {

constexpr char kBmpMime[] = "image/bmp";
constexpr char kPngMime[] = "image/png";

QByteArray Bytes(const std::vector<uint8_t>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

// The frame with its palette's own colours; the transparent index fully transparent.
QImage ClipboardImage(const Frame& f) {
  if (!f.bitmap || !f.palette || f.width <= 0 || f.height <= 0) return {};
  QImage image(f.width, f.height, QImage::Format_Indexed8);
  if (image.isNull()) return {};
  QList<QRgb> table;
  for (int i = 0; i < f.palette->Count(); ++i) {
    const PaletteEntry& e = (*f.palette)[i];
    bool clear = IsTransparent(f) && i == f.transparentIndex;
    table.append(qRgba(e.red, e.green, e.blue, clear ? 0 : 255));
  }
  // Indices past the palette show as black, as the writer's table pads them.
  while (table.size() < 256) table.append(qRgb(0, 0, 0));
  image.setColorTable(table);
  const int width = std::min(f.width, f.bitmap->Width()), height = std::min(f.height, f.bitmap->Height());
  for (int y = 0; y < height; ++y) std::memcpy(image.scanLine(y), f.Row(y), static_cast<size_t>(width));
  return image;
}

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) v[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

// A picture from another program as a packed DIB, rows top-down: 8 bits with its colour table when it
// has one, else 32 bits with transparency laid over white. Empty after a message when it is too large.
std::vector<uint8_t> DibFromImage(const QImage& picture) {
  const uint64_t pixels = static_cast<uint64_t>(picture.width()) * static_cast<uint64_t>(picture.height());
  if (pixels == 0 || pixels > Limits().maxFramePixels) {
    ShowError("%s", DibErrorMessage(DibError::kTooLarge).c_str());
    return {};
  }
  const bool indexed = picture.format() == QImage::Format_Indexed8 && picture.colorCount() >= 1 &&
                       picture.colorCount() <= 256 && !picture.hasAlphaChannel();
  QImage image;
  if (indexed) {
    image = picture;
  } else {
    image = QImage(picture.size(), QImage::Format_RGB32);
    if (image.isNull()) {
      ShowError("Not enough memory for operation");
      return {};
    }
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawImage(0, 0, picture);
  }
  const int bitCount = indexed ? 8 : 32;
  const size_t stride = DibStride(image.width(), bitCount);
  const size_t table = indexed ? 4 * static_cast<size_t>(image.colorCount()) : 0;
  std::vector<uint8_t> dib;
  try {
    dib.assign(kDibInfoHeaderSize + table + stride * static_cast<size_t>(image.height()), 0);
  } catch (const std::bad_alloc&) {
    ShowError("Not enough memory for operation");
    return {};
  }
  Put32(dib, 0, kDibInfoHeaderSize);
  Put32(dib, 4, static_cast<uint32_t>(image.width()));
  Put32(dib, 8, static_cast<uint32_t>(-image.height()));  // top-down
  dib[12] = 1;
  dib[14] = static_cast<uint8_t>(bitCount);
  if (indexed) {
    Put32(dib, 32, static_cast<uint32_t>(image.colorCount()));
    for (int i = 0; i < image.colorCount(); ++i) {
      QRgb c = image.color(i);
      size_t at = kDibInfoHeaderSize + 4 * static_cast<size_t>(i);
      dib[at] = static_cast<uint8_t>(qBlue(c));
      dib[at + 1] = static_cast<uint8_t>(qGreen(c));
      dib[at + 2] = static_cast<uint8_t>(qRed(c));
    }
  }
  const size_t rowBytes =
      indexed ? static_cast<size_t>(image.width()) : 4 * static_cast<size_t>(image.width());
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(dib.data() + kDibInfoHeaderSize + table + stride * static_cast<size_t>(y),
                image.constScanLine(y), rowBytes);
  return dib;
}

// The first picture of the clipboard Qt's image readers take.
QImage ForeignPicture(const QMimeData& mime) {
  if (mime.hasImage()) {
    QImage image = qvariant_cast<QImage>(mime.imageData());
    if (!image.isNull()) return image;
  }
  for (const QString& format : mime.formats()) {
    if (!format.startsWith("image/")) continue;
    QImage image = QImage::fromData(mime.data(format));
    if (!image.isNull()) return image;
  }
  return {};
}

}  // namespace

bool ClipboardOffersFrame() {
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  if (!mime) return false;
  if (mime->hasImage() || mime->hasFormat(kFrameClipboardMime)) return true;
  // Pictures other programs offer under their own image types.
  for (const QString& format : mime->formats())
    if (format.startsWith("image/")) return true;
  return false;
}

bool PutOnClipboard(QMimeData* mime) {
  QClipboard* clipboard = QApplication::clipboard();
  const QByteArray block = mime->data(kFrameClipboardMime);
  clipboard->setMimeData(mime);
  // The desktop may refuse to make us the clipboard's owner; then what it holds is not our frame.
  const QMimeData* now = clipboard->mimeData();
  return now && now->data(kFrameClipboardMime) == block;
}

bool MainWindow::CopyFrameToClipboard() {
  Frame* f = animation_ && selected_ >= 0 ? NthFrame(*animation_, selected_) : nullptr;
  if (!f) return false;
  std::vector<uint8_t> block = BuildFrameBlock(*animation_, *f);
  std::vector<uint8_t> bmp = BuildFrameBmp(*f);
  QByteArray png;
  QImage image = ClipboardImage(*f);
  QBuffer buffer(&png);
  if (block.empty() || bmp.empty() || image.isNull() || !buffer.open(QIODevice::WriteOnly) ||
      !image.save(&buffer, "PNG")) {
    ShowError("Not enough memory for operation");
    return false;
  }
  auto* mime = new QMimeData;
  mime->setData(kFrameClipboardMime, Bytes(block));
  mime->setData(kBmpMime, Bytes(bmp));
  mime->setData(kPngMime, png);
  bool put = services_.putClipboard ? services_.putClipboard(mime) : PutOnClipboard(mime);
  if (!put) {
    ShowError("The frame could not be put on the clipboard.");
    return false;
  }
  toolbars_->ShowPasteButton(true);
  return true;
}

uint32_t MainWindow::CmdCopy(int) {
  if (!animation_ || selected_ < 0) {
    QApplication::beep();
    return kFollowNone;
  }
  CopyFrameToClipboard();
  return kFollowNone;
}

uint32_t MainWindow::CmdCut(int id) {
  if (!animation_ || selected_ < 0) {
    QApplication::beep();
    return kFollowNone;
  }
  // The frame goes only once the clipboard holds it.
  if (!CopyFrameToClipboard()) return kFollowColorJob | kFollowSizeJobDrop;
  return CmdDelete(id);
}

uint32_t MainWindow::CmdPaste(int) {
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  const int point = InsertionPoint();
  const Palette* global = animation_ ? animation_->globalPalette.get() : nullptr;
  AnimationPtr pasted;
  PasteResult result = PasteResult::kUnusable;
  if (mime) {
    // Copies: the clipboard's data may change while we read it.
    const QByteArray block = mime->data(kFrameClipboardMime);
    const QByteArray bmp = mime->data(kBmpMime);
    if (!bmp.isEmpty())
      result =
          PasteFrameData(block.isEmpty() ? nullptr : reinterpret_cast<const uint8_t*>(block.constData()),
                         static_cast<size_t>(block.size()), reinterpret_cast<const uint8_t*>(bmp.constData()),
                         static_cast<size_t>(bmp.size()), global, &pasted);
    if (result == PasteResult::kUnusable) {
      QImage picture = ForeignPicture(*mime);
      if (!picture.isNull()) {
        std::vector<uint8_t> dib = DibFromImage(picture);
        if (dib.empty()) return kFollowNone;
        result = PasteFrameData(nullptr, 0, dib.data(), dib.size(), global, &pasted);
      }
    }
  }
  if (result == PasteResult::kUnusable) {
    ShowError("Cannot paste any of the available formats.");
    return kFollowNone;
  }
  if (result != PasteResult::kPasted || !pasted) return kFollowNone;
  if (!animation_) {
    path_.clear();
    SetTitleAndRecent(nullptr);
    modified_ = true;
    SetCurrentAnimation(std::move(pasted));
    return kFollowModified | kFollowPaletteButton | kFollowSizeJobDrop;
  }
  // Merging palettes hands out the global colours no frame uses: the count must be whole first.
  jobs_.CompleteColorCount(animation_.get());
  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool inserted = InsertAnimation(*animation_, pasted, selected_, kConflictInsert);
  QApplication::restoreOverrideCursor();
  if (!inserted) return kFollowColorJob;
  SelectFrame(point);
  return kFollowModified | kFollowRebuild | kFollowRelayout | kFollowPaletteButton | kFollowColorJob |
         kFollowSizeJobDrop;
}

}  // namespace lw::app
