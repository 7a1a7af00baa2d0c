// The toolbar pictures: every button image and the clock and loop pictures are drawn as vector shapes on
// a 16 x 16 grid, so they stay sharp at any device pixel ratio (the icons carry pixmaps for the usual
// ratios, made when first asked for).
#pragma once

#include <QIcon>
#include <QImage>

class QPainter;

namespace lw::app {

// Picture ids besides the command ids: the frame toolbar's clock and loop pictures.
constexpr int kClockPicture = 3939;
constexpr int kLoopPicture = 3940;

// Draws the picture of a command id (or one of the picture ids) into the 16 x 16 unit square of the
// painter's current transformation. Gives false for an id without a picture.
bool PaintToolbarPicture(QPainter& painter, int id);

// The icon of a command id: normal and disabled pixmaps of 16 logical pixels at device pixel ratios 1 to 3.
// A null icon for an id without a picture.
QIcon ToolbarIcon(int id);

// The picture at size x size device pixels on a transparent ground.
QImage RenderToolbarPicture(int id, int size);

// The embossed look of a disabled picture: its dark pixels drawn in the light colour one pixel down and to
// the right (shift device pixels), then in the shadow colour in their own place; everything else stays
// transparent.
QImage EmbossedPicture(const QImage& picture, QRgb light, QRgb shadow, int shift = 1);

}  // namespace lw::app
