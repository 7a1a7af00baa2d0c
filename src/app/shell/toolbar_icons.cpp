#include "app/shell/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <numbers>

#include "app/shell/ids.h"

namespace lw::app {
namespace {

// One set of colours for every picture.
const QColor kInk(0x34, 0x3a, 0x44);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kSky(0xb9, 0xd6, 0xf6);
const QColor kHill(0x4f, 0xa8, 0x5c);
const QColor kBlue(0x2c, 0x6b, 0xd1);
const QColor kGreen(0x2f, 0x9e, 0x44);
const QColor kRed(0xd0, 0x39, 0x3e);
const QColor kYellow(0xf2, 0xbd, 0x3a);
const QColor kOrange(0xe0, 0x8e, 0x2b);
const QColor kWood(0xc4, 0x8a, 0x4c);
const QColor kGrey(0x9a, 0xa3, 0xae);
const QColor kScreen(0x2d, 0x33, 0x40);

QPen Ink(qreal width = 1.0, const QColor& color = kInk) {
  QPen pen(color, width);
  pen.setJoinStyle(Qt::MiterJoin);
  pen.setCapStyle(Qt::SquareCap);
  return pen;
}

QPen Round(qreal width, const QColor& color) {
  return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A box whose 1-unit outline lies on whole pixels: x, y, w, h in grid cells.
void Box(QPainter& p, qreal x, qreal y, qreal w, qreal h, const QColor& fill, const QColor& line = kInk) {
  p.setPen(Ink(1, line));
  p.setBrush(fill);
  p.drawRect(QRectF(x + 0.5, y + 0.5, w - 1, h - 1));
}

// A small picture: sky, a hill and a sun, inside an outline.
void Picture(QPainter& p, qreal x, qreal y, qreal w, qreal h) {
  Box(p, x, y, w, h, kSky);
  p.save();
  p.setClipRect(QRectF(x + 1, y + 1, w - 2, h - 2));
  p.setPen(Qt::NoPen);
  p.setBrush(kHill);
  QPainterPath hill;
  hill.moveTo(x + 1, y + h - 1);
  hill.lineTo(x + w * 0.38, y + h * 0.45);
  hill.lineTo(x + w * 0.62, y + h * 0.7);
  hill.lineTo(x + w * 0.78, y + h * 0.55);
  hill.lineTo(x + w - 1, y + h - 1);
  hill.closeSubpath();
  p.drawPath(hill);
  p.setBrush(kYellow);
  qreal r = std::max<qreal>(1.0, w * 0.12);
  p.drawEllipse(QPointF(x + w * 0.72, y + h * 0.3), r, r);
  p.restore();
}

void Page(QPainter& p, qreal x, qreal y, qreal w, qreal h, qreal fold) {
  QPainterPath page;
  page.moveTo(x + 0.5, y + 0.5);
  page.lineTo(x + w - 0.5 - fold, y + 0.5);
  page.lineTo(x + w - 0.5, y + 0.5 + fold);
  page.lineTo(x + w - 0.5, y + h - 0.5);
  page.lineTo(x + 0.5, y + h - 0.5);
  page.closeSubpath();
  p.setPen(Ink());
  p.setBrush(kPaper);
  p.drawPath(page);
  if (fold > 0) {
    p.setBrush(QColor(0xdd, 0xe2, 0xe8));
    QPainterPath corner;
    corner.moveTo(x + w - 0.5 - fold, y + 0.5);
    corner.lineTo(x + w - 0.5 - fold, y + 0.5 + fold);
    corner.lineTo(x + w - 0.5, y + 0.5 + fold);
    corner.closeSubpath();
    p.drawPath(corner);
  }
}

void TextLines(QPainter& p, qreal x0, qreal x1, qreal y0, int count) {
  p.setPen(Ink(1, kGrey));
  for (int i = 0; i < count; ++i) p.drawLine(QPointF(x0, y0 + 2 * i + 0.5), QPointF(x1, y0 + 2 * i + 0.5));
}

void Badge(QPainter& p, QPointF centre, qreal radius, const QColor& fill) {
  p.setPen(Ink(1, fill.darker(140)));
  p.setBrush(fill);
  p.drawEllipse(centre, radius, radius);
}

void Plus(QPainter& p, QPointF c, qreal half, const QColor& color, qreal width) {
  p.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QPointF(c.x() - half, c.y()), QPointF(c.x() + half, c.y()));
  p.drawLine(QPointF(c.x(), c.y() - half), QPointF(c.x(), c.y() + half));
}

void Minus(QPainter& p, QPointF c, qreal half, const QColor& color, qreal width) {
  p.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QPointF(c.x() - half, c.y()), QPointF(c.x() + half, c.y()));
}

void Swatches(QPainter& p, qreal x, qreal y, int columns, int rows, qreal cell) {
  static const QColor colors[] = {kRed,
                                  kOrange,
                                  kYellow,
                                  kGreen,
                                  kBlue,
                                  QColor(0x8e, 0x44, 0xad),
                                  kHill,
                                  kSky,
                                  kWood,
                                  kGrey,
                                  kInk,
                                  QColor(0xe8, 0x6a, 0xa6),
                                  kPaper,
                                  QColor(0x1a, 0xa3, 0xa3),
                                  QColor(0x6b, 0x4f, 0x2a),
                                  kScreen};
  p.setPen(Qt::NoPen);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      p.setBrush(colors[(r * columns + c) % 16]);
      p.drawRect(QRectF(x + c * cell, y + r * cell, cell, cell));
    }
  p.setPen(Ink());
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(x - 0.5, y - 0.5, columns * cell + 1, rows * cell + 1));
}

void Checkers(QPainter& p, qreal x, qreal y, int cells, qreal cell) {
  for (int r = 0; r < cells; ++r)
    for (int c = 0; c < cells; ++c) {
      p.setPen(Qt::NoPen);
      p.setBrush((r + c) % 2 ? QColor(0xc9, 0xcf, 0xd6) : kPaper);
      p.drawRect(QRectF(x + c * cell, y + r * cell, cell, cell));
    }
  p.setPen(Ink());
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(x - 0.5, y - 0.5, cells * cell + 1, cells * cell + 1));
}

void Magnifier(QPainter& p) {
  p.setPen(Round(2.4, kInk));
  p.drawLine(QPointF(10.2, 10.2), QPointF(14.2, 14.2));
  p.setPen(Ink(1.4));
  p.setBrush(QColor(0xea, 0xf3, 0xff));
  p.drawEllipse(QPointF(6.5, 6.5), 5, 5);
}

void Monitor(QPainter& p) {
  Box(p, 1, 2, 14, 10, kScreen, kInk);
  p.setPen(Ink(1));
  p.drawLine(QPointF(8, 12), QPointF(8, 14));
  p.drawLine(QPointF(4.5, 14.5), QPointF(11.5, 14.5));
}

void Pencil(QPainter& p, QPointF tip, qreal length, qreal angleDegrees) {
  p.save();
  p.translate(tip);
  p.rotate(angleDegrees);
  QPainterPath body;
  body.moveTo(0, 0);
  body.lineTo(2.6, -1.4);
  body.lineTo(length, -1.4);
  body.lineTo(length, 1.4);
  body.lineTo(2.6, 1.4);
  body.closeSubpath();
  p.setPen(Round(0.9, kInk));
  p.setBrush(kYellow);
  p.drawPath(body);
  p.setBrush(kInk);
  p.setPen(Qt::NoPen);
  QPainterPath point;
  point.moveTo(0, 0);
  point.lineTo(1.2, -0.7);
  point.lineTo(1.2, 0.7);
  point.closeSubpath();
  p.drawPath(point);
  p.setBrush(QColor(0xe8, 0x8a, 0x9a));
  p.drawRect(QRectF(length - 2, -1.4, 2, 2.8));
  p.restore();
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& color, qreal width, qreal head) {
  p.setPen(Round(width, color));
  QPointF d = to - from;
  qreal len = std::hypot(d.x(), d.y());
  if (len <= 0) return;
  QPointF u = d / len, n(-u.y(), u.x());
  p.drawLine(from, to - u * head * 0.6);
  QPainterPath tip;
  tip.moveTo(to);
  tip.lineTo(to - u * head + n * head * 0.75);
  tip.lineTo(to - u * head - n * head * 0.75);
  tip.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawPath(tip);
}

// A circular arrow around centre, from startDegrees sweeping sweepDegrees (counter-clockwise positive).
void CircleArrow(QPainter& p, QPointF c, qreal r, qreal startDegrees, qreal sweepDegrees, const QColor& color,
                 qreal width) {
  QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
  QPainterPath arc;
  arc.arcMoveTo(box, startDegrees);
  arc.arcTo(box, startDegrees, sweepDegrees);
  p.setPen(Round(width, color));
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);
  // The head points along the arc's direction at its end.
  qreal end = (startDegrees + sweepDegrees) * std::numbers::pi / 180.0;
  QPointF at(c.x() + r * std::cos(end), c.y() - r * std::sin(end));
  qreal sign = sweepDegrees >= 0 ? 1 : -1;
  QPointF tangent(-std::sin(end) * sign, -std::cos(end) * sign);
  QPointF normal(-tangent.y(), tangent.x());
  QPainterPath head;
  qreal h = 2.6;
  head.moveTo(at + tangent * h);
  head.lineTo(at - normal * h * 0.9);
  head.lineTo(at + normal * h * 0.9);
  head.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawPath(head);
}

void FilmStrip(QPainter& p, qreal x, qreal y, qreal w, qreal h) {
  Box(p, x, y, w, h, kScreen, kInk);
  p.setPen(Qt::NoPen);
  p.setBrush(kPaper);
  for (qreal py = y + 1.5; py + 1 <= y + h - 1; py += 3) {
    p.drawRect(QRectF(x + 1, py, 1, 1.2));
    p.drawRect(QRectF(x + w - 2, py, 1, 1.2));
  }
}

}  // namespace

bool PaintToolbarPicture(QPainter& p, int id) {
  p.setRenderHint(QPainter::Antialiasing, true);
  switch (id) {
    case kCmdNew:
      Page(p, 2, 1, 11, 14, 4);
      TextLines(p, 4, 10, 7, 4);
      p.setPen(Round(1.3, kOrange));
      p.drawLine(QPointF(13.5, 1), QPointF(13.5, 5));
      p.drawLine(QPointF(11.5, 3), QPointF(15.5, 3));
      return true;
    case kCmdOpen: {
      QPainterPath back;
      back.moveTo(1.5, 3.5);
      back.lineTo(5.5, 3.5);
      back.lineTo(7, 5);
      back.lineTo(12.5, 5);
      back.lineTo(12.5, 13.5);
      back.lineTo(1.5, 13.5);
      back.closeSubpath();
      p.setPen(Ink());
      p.setBrush(kOrange);
      p.drawPath(back);
      QPainterPath flap;
      flap.moveTo(1.5, 13.5);
      flap.lineTo(4.2, 7.5);
      flap.lineTo(15.5, 7.5);
      flap.lineTo(12.5, 13.5);
      flap.closeSubpath();
      p.setBrush(kYellow);
      p.drawPath(flap);
      return true;
    }
    case kCmdSave:
      p.setPen(Ink(1, kBlue.darker(160)));
      p.setBrush(kBlue);
      p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.2, 1.2);
      Box(p, 4, 2, 8, 6, kPaper, kBlue.darker(160));
      TextLines(p, 5, 11, 3.5, 2);
      Box(p, 5, 10, 6, 5, QColor(0xd5, 0xdb, 0xe3), kBlue.darker(160));
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      p.drawRect(QRectF(8.5, 11, 1.5, 3));
      return true;
    case kCmdInsertFrame:
      Picture(p, 1, 2, 11, 10);
      Badge(p, QPointF(11.5, 11.5), 3.8, kGreen);
      Plus(p, QPointF(11.5, 11.5), 2.2, kPaper, 1.5);
      return true;
    case kCmdCut:
      p.setPen(Round(1.5, kGrey.darker(130)));
      p.drawLine(QPointF(6.2, 9.6), QPointF(11.5, 1.5));
      p.drawLine(QPointF(9.8, 9.6), QPointF(4.5, 1.5));
      p.setPen(Ink(1.4, kRed));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(4.6, 12), 2.3, 2.3);
      p.drawEllipse(QPointF(11.4, 12), 2.3, 2.3);
      return true;
    case kCmdCopy:
      Page(p, 1, 1, 9, 10, 0);
      TextLines(p, 3, 8, 3, 3);
      Page(p, 6, 5, 9, 10, 0);
      TextLines(p, 8, 13, 7.5, 4);
      return true;
    case kCmdPaste:
      p.setPen(Ink());
      p.setBrush(kWood);
      p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1, 1);
      Box(p, 4, 1, 5, 3, kGrey);
      Page(p, 7, 6, 8, 9, 0);
      TextLines(p, 9, 13, 8.5, 3);
      return true;
    case kCmdUndo:
      // A hooked arrow turning back to the left.
      CircleArrow(p, QPointF(9, 9), 5, -60, 210, kBlue, 1.8);
      return true;
    case kCmdRedo:
      CircleArrow(p, QPointF(7, 9), 5, 240, -210, kBlue, 1.8);
      return true;
    case kCmdDelete:
      p.setPen(Round(2.6, kRed));
      p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
      p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
      return true;
    case kCmdPreview: {
      Monitor(p);
      QPainterPath play;
      play.moveTo(6, 4.3);
      play.lineTo(11.2, 7);
      play.lineTo(6, 9.7);
      play.closeSubpath();
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x6c, 0xd3, 0x7c));
      p.drawPath(play);
      return true;
    }
    case kCmdStopPreview:
      Monitor(p);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xf0, 0x5a, 0x5e));
      p.drawRect(QRectF(5.5, 4.5, 5, 5));
      return true;
    case kCmdOptimize:
      Page(p, 2, 4, 12, 8, 0);
      TextLines(p, 4, 12, 7.5, 2);
      Arrow(p, QPointF(8, 0.2), QPointF(8, 5.6), kGreen, 1.6, 3.2);
      Arrow(p, QPointF(8, 15.8), QPointF(8, 10.4), kGreen, 1.6, 3.2);
      return true;
    case kCmdReducePalettes:
      Swatches(p, 1, 1, 3, 3, 3);
      Badge(p, QPointF(11.8, 11.8), 3.7, kRed);
      Minus(p, QPointF(11.8, 11.8), 2.1, kPaper, 1.6);
      return true;
    case kCmdZoomIn:
      Magnifier(p);
      Plus(p, QPointF(6.5, 6.5), 2.6, kInk, 1.4);
      return true;
    case kCmdZoomOut:
      Magnifier(p);
      Minus(p, QPointF(6.5, 6.5), 2.6, kInk, 1.4);
      return true;
    case kCmdActualSize:
      Magnifier(p);
      p.setPen(QPen(kInk, 1.2, Qt::SolidLine, Qt::FlatCap));
      p.drawLine(QPointF(4.4, 4), QPointF(4.4, 9));
      p.drawLine(QPointF(8.6, 4), QPointF(8.6, 9));
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      p.drawEllipse(QPointF(6.5, 5.3), 0.7, 0.7);
      p.drawEllipse(QPointF(6.5, 7.7), 0.7, 0.7);
      return true;
    case kCmdOrientDefault:
      Picture(p, 1, 1, 7, 7);
      Picture(p, 8, 1, 7, 7);
      Picture(p, 1, 8, 7, 7);
      Box(p, 8, 8, 7, 7, kPaper, kGrey);
      return true;
    case kCmdOrientHorizontal:
      Picture(p, 0, 2, 6, 6);
      Picture(p, 5, 2, 6, 6);
      Picture(p, 10, 2, 6, 6);
      Arrow(p, QPointF(1.5, 12.5), QPointF(14.5, 12.5), kBlue, 1.4, 3);
      return true;
    case kCmdOrientVertical:
      Picture(p, 2, 0, 6, 6);
      Picture(p, 2, 5, 6, 6);
      Picture(p, 2, 10, 6, 6);
      Arrow(p, QPointF(12.5, 1.5), QPointF(12.5, 14.5), kBlue, 1.4, 3);
      return true;
    case kCmdHelp: {
      Badge(p, QPointF(8, 8), 7, kBlue);
      QPainterPath mark;
      mark.moveTo(5.6, 6.2);
      mark.cubicTo(5.6, 3.2, 10.4, 3.2, 10.4, 6.0);
      mark.cubicTo(10.4, 7.8, 8, 7.8, 8, 9.8);
      p.setPen(Round(1.8, kPaper));
      p.setBrush(Qt::NoBrush);
      p.drawPath(mark);
      p.setPen(Qt::NoPen);
      p.setBrush(kPaper);
      p.drawEllipse(QPointF(8, 12.4), 1.1, 1.1);
      return true;
    }
    case kCmdFrameProperties:
      Picture(p, 1, 1, 11, 11);
      Pencil(p, QPointF(7.5, 14.5), 10, -45);
      return true;
    case kCmdAnimationProperties:
      FilmStrip(p, 1, 0, 9, 16);
      p.setPen(Qt::NoPen);
      p.setBrush(kSky);
      p.drawRect(QRectF(3, 1.5, 5, 5.5));
      p.drawRect(QRectF(3, 8.5, 5, 5.5));
      Pencil(p, QPointF(9, 15), 9, -50);
      return true;
    case kCmdRemovalLeave:
      Box(p, 1, 1, 9, 9, kBlue.lighter(150));
      Picture(p, 6, 6, 9, 9);
      return true;
    case kCmdRemovalBackground: {
      Box(p, 1, 1, 9, 9, kBlue.lighter(150));
      p.setPen(QPen(kInk, 1, Qt::DashLine));
      p.setBrush(kPaper);
      p.drawRect(QRectF(6.5, 6.5, 8, 8));
      return true;
    }
    case kCmdRemovalPrevious: {
      Box(p, 1, 1, 9, 9, kBlue.lighter(150));
      p.setPen(QPen(kInk, 1, Qt::DashLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(6.5, 6.5, 8, 8));
      CircleArrow(p, QPointF(10.5, 10.5), 2.6, -60, 250, kGreen, 1.3);
      return true;
    }
    case kCmdToggleTransparency:
      Checkers(p, 2, 2, 4, 3);
      return true;
    case kCmdPickTransparency: {
      Checkers(p, 1, 7, 4, 2);
      // An eyedropper from the top right down to the squares.
      p.save();
      p.translate(9.5, 6.5);
      p.rotate(-45);
      p.setPen(Ink(1));
      p.setBrush(kGrey.lighter(120));
      p.drawRect(QRectF(0, -1, 6, 2));
      p.setBrush(kInk);
      p.drawRoundedRect(QRectF(6, -2, 3.5, 4), 1, 1);
      p.setPen(Round(1, kInk));
      p.drawLine(QPointF(0, 0), QPointF(-2.5, 0));
      p.restore();
      return true;
    }
    case kCmdLocalPalette:
      Picture(p, 1, 1, 11, 11);
      Swatches(p, 9, 9, 2, 2, 3);
      return true;
    case kCmdShowLocalPalette:
      Swatches(p, 2, 2, 3, 3, 4);
      return true;
    case kCmdShowGlobalPalette:
      Swatches(p, 1, 1, 4, 4, 3.5);
      return true;
    case kCmdInterlace:
      Box(p, 1, 1, 14, 14, kPaper);
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      for (qreal y = 3; y < 14; y += 4) p.drawRect(QRectF(2, y, 12, 2));
      return true;
    case kClockPicture:
      p.setPen(Ink(1.2));
      p.setBrush(kPaper);
      p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
      p.setPen(Round(1.4, kInk));
      p.drawLine(QPointF(8, 8), QPointF(8, 3.8));
      p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
      return true;
    case kLoopPicture:
      CircleArrow(p, QPointF(8, 8), 5.2, 100, 290, kInk, 1.6);
      return true;
    default:
      return false;
  }
}

QImage RenderToolbarPicture(int id, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.scale(size / 16.0, size / 16.0);
  if (!PaintToolbarPicture(p, id)) return {};
  return image;
}

QImage EmbossedPicture(const QImage& picture, QRgb light, QRgb shadow, int shift) {
  QImage source = picture.convertToFormat(QImage::Format_ARGB32);
  QImage out(source.size(), QImage::Format_ARGB32);
  out.fill(Qt::transparent);
  auto dark = [&](int x, int y) {
    QRgb c = source.pixel(x, y);
    return qAlpha(c) >= 128 && qGray(c) < 128;
  };
  for (int pass = 0; pass < 2; ++pass) {
    int offset = pass == 0 ? shift : 0;
    QRgb color = pass == 0 ? light : shadow;
    for (int y = 0; y < source.height(); ++y)
      for (int x = 0; x < source.width(); ++x)
        if (dark(x, y) && x + offset < out.width() && y + offset < out.height())
          out.setPixel(x + offset, y + offset, color | 0xFF000000u);
  }
  return out;
}

QIcon ToolbarIcon(int id) {
  if (RenderToolbarPicture(id, 16).isNull()) return {};
  QIcon icon;
  for (qreal ratio : {1.0, 1.25, 1.5, 2.0, 2.5, 3.0}) {
    int size = static_cast<int>(std::lround(16 * ratio));
    QImage normal = RenderToolbarPicture(id, size);
    // Disabled: the same drawing in greys, faded.
    QImage disabled = normal.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < disabled.height(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(disabled.scanLine(y));
      for (int x = 0; x < disabled.width(); ++x) {
        int g = 96 + qGray(row[x]) * 150 / 255;
        row[x] = qRgba(g, g, g, qAlpha(row[x]) * 45 / 100);
      }
    }
    QPixmap normalPixmap = QPixmap::fromImage(normal);
    normalPixmap.setDevicePixelRatio(ratio);
    QPixmap disabledPixmap = QPixmap::fromImage(disabled);
    disabledPixmap.setDevicePixelRatio(ratio);
    for (QIcon::State state : {QIcon::Off, QIcon::On}) {
      icon.addPixmap(normalPixmap, QIcon::Normal, state);
      icon.addPixmap(normalPixmap, QIcon::Active, state);
      icon.addPixmap(disabledPixmap, QIcon::Disabled, state);
    }
  }
  return icon;
}

}  // namespace lw::app
