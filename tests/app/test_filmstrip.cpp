// The filmstrip: layout numbers at every zoom and in both orientations, hit testing, the drag's threshold
// and insertion positions, partial repaints and the frame image cache.
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QtTest>

#include "app/views/filmstrip_view.h"
#include "app_test_support.h"

using namespace lw;
using namespace lw::app;

namespace {

struct FakeHost : FilmstripHost {
  FilmstripView* view = nullptr;
  std::vector<int> selections, commands;
  std::vector<std::pair<int, int>> moves;
  int menus = 0;
  bool canMove = true;
  void FilmstripSelect(int index) override {
    selections.push_back(index);
    view->SelectInFilmstrip(index);
  }
  void FilmstripContextMenu(const QPoint&, bool) override { ++menus; }
  void FilmstripCommand(int id) override { commands.push_back(id); }
  bool FilmstripCanMove() const override { return canMove; }
  void FilmstripMove(int target, int from) override { moves.emplace_back(target, from); }
  bool FilmstripAcceptsDrop(const QStringList&) const override { return true; }
  void FilmstripDrop(const QPoint&, const QStringList&) override {}
  void FilmstripFocusMain() override {}
};

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &event);
}

}  // namespace

class FilmstripTest : public QObject {
  Q_OBJECT

 private slots:
  void zoomStepsGiveTheTableRatios();
  void cellGeometryFollowsZoomAndOrientation();
  void stripsHoldWholeCellsAndTheLastStripTheRest();
  void smallWindowKeepsOneCellAndAUsableCrossBar();
  void hitTestSkipsBandMarginAndEmptyCells();
  void insertionPositionsAndAutoScroll();
  void orientationFollowsShapeUnlessChosen();
  void dragNeedsThreePixelsAndEscCancels();
  void dropOnOwnPlaceMovesNothing();
  void dragPastTheEdgeScrollsUntilTheEnd();
  void dragWithoutMoveSupportDoesNotArm();
  void paintDrawsOnlyVisibleCells();
  void imageCacheConvertsOncePerChange();
  void drawFrameScalesWithoutSmoothingAtItsOffset();
  void maskedImageLeavesTransparentPixelsOut();
};

void FilmstripTest::zoomStepsGiveTheTableRatios() {
  const int percents[] = {20, 25, 33, 50, 100, 200, 300, 400};
  const int nums[] = {1, 1, 1, 1, 1, 2, 3, 4}, dens[] = {5, 4, 3, 2, 1, 1, 1, 1};
  for (int step = -4; step <= 3; ++step) {
    QCOMPARE(ZoomPercent(step), percents[step + 4]);
    QCOMPARE(ZoomForStep(step).numerator, nums[step + 4]);
    QCOMPARE(ZoomForStep(step).denominator, dens[step + 4]);
  }
  QCOMPARE(ZoomPercent(9), 400);  // clamped
  QCOMPARE(ZoomPercent(-9), 20);
}

void FilmstripTest::cellGeometryFollowsZoomAndOrientation() {
  FilmstripGeometry g;
  // Vertical strips of a 200 × 100 screen with a 14-pixel band.
  g.Measure(true, 1, 1, 200, 100, 14, 16);
  QCOMPARE(g.CellWidth(), 200);
  QCOMPARE(g.Pitch(), 14 + 208 + 8);
  QCOMPARE(g.Thickness(), 108);
  QCOMPARE(g.SprocketOffset(), 18);
  // At 33% a 100-pixel side is shown 33 pixels long (integer division).
  g.Measure(false, 1, 3, 100, 200, 16, 14);
  QCOMPARE(g.CellWidth(), 33);
  QCOMPARE(g.CellHeight(), 66);
  QCOMPARE(g.Pitch(), 14 + 74 + 8);
  QCOMPARE(g.Thickness(), 41);
  QCOMPARE(g.SprocketOffset(), 18);
  // 300%.
  g.Measure(true, 3, 1, 7, 5, 14, 16);
  QCOMPARE(g.CellWidth(), 21);
  QCOMPARE(g.Thickness(), 23);
  // Cell origins run along a strip, then on to the next one.
  g.Measure(true, 1, 1, 200, 100, 14, 16);
  g.Layout(600, 10 + 3 * 108, 10);
  QCOMPARE(g.CellOrigin(0).x, 18);
  QCOMPARE(g.CellOrigin(0).y, 5);
  QCOMPARE(g.CellOrigin(2).y, 5 + 2 * 108);
  QCOMPARE(g.CellOrigin(3).x, 230 + 18);
  QCOMPARE(g.CellOrigin(3).y, 5);
}

void FilmstripTest::stripsHoldWholeCellsAndTheLastStripTheRest() {
  FilmstripGeometry g;
  g.Measure(true, 1, 1, 200, 100, 14, 16);
  // Room for three cells (plus the margins) but not four.
  g.Layout(500, 10 + 3 * 108 + 107, 10);
  QCOMPARE(g.CellsPerStrip(), 3);
  QCOMPARE(g.StripCount(), 4);
  QCOMPARE(g.CellsInStrip(0), 3);
  QCOMPARE(g.CellsInStrip(3), 1);
  QCOMPARE(g.MainExtent(), int64_t{4} * 230);
  QCOMPARE(g.MainPage(), 500);
  QCOMPARE(g.CrossExtent(), 118);
  // The same frames in horizontal strips run across the width.
  g.Measure(false, 1, 1, 200, 100, 16, 14);
  g.Layout(10 + 2 * 208, 300, 10);
  QCOMPARE(g.CellsPerStrip(), 2);
  QCOMPARE(g.StripCount(), 5);
}

void FilmstripTest::smallWindowKeepsOneCellAndAUsableCrossBar() {
  FilmstripHost* host = nullptr;
  FakeHost fake;
  host = &fake;
  FilmstripView view(host);
  fake.view = &view;
  view.resize(150, 80);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  AnimationPtr a = test::MakeAnimation(4, 200, 100);
  view.SetFilmstripAnimation(a.get());
  QCOMPARE(view.Geometry().CellsPerStrip(), 1);
  QCOMPARE(view.Geometry().StripCount(), 4);
  // Vertical strips: the cross bar is the vertical one, and it can reach the whole cell.
  QScrollBar* cross = view.verticalScrollBar();
  QVERIFY(cross->maximum() > 0);
  QCOMPARE(cross->maximum() + cross->pageStep(), view.Geometry().CrossExtent());
  view.SetFilmstripAnimation(nullptr);
}

void FilmstripTest::hitTestSkipsBandMarginAndEmptyCells() {
  FilmstripGeometry g;
  g.Measure(true, 1, 1, 200, 100, 14, 16);
  g.Layout(600, 10 + 3 * 108, 7);  // 3 strips: 3, 3, 1 frames
  QCOMPARE(g.HitTest(18 + 1, 6, 0, 0), 0);
  QCOMPARE(g.HitTest(18 + 100, 5 + 108 + 50, 0, 0), 1);
  QCOMPARE(g.HitTest(230 + 30, 5 + 2 * 108 + 1, 0, 0), 5);
  // The sprocket band (and the 4 pixels before it) of every strip.
  QCOMPARE(g.HitTest(0, 50, 0, 0), -1);
  QCOMPARE(g.HitTest(18, 50, 0, 0), -1);
  QCOMPARE(g.HitTest(230 + 10, 50, 0, 0), -1);
  // The margin before the first cell.
  QCOMPARE(g.HitTest(100, 5, 0, 0), -1);
  QCOMPARE(g.HitTest(100, 0, 0, 0), -1);
  // Cells past the last frame and strips past the last.
  QCOMPARE(g.HitTest(2 * 230 + 100, 5 + 108 + 10, 0, 0), -1);
  QCOMPARE(g.HitTest(3 * 230 + 100, 50, 0, 0), -1);
  // Scroll positions move the point into the document.
  QCOMPARE(g.HitTest(100, 50, 230, 0), 3);
  QCOMPARE(g.HitTest(100, 10, 0, 108), 1);
  QCOMPARE(g.HitTest(100, 2, 0, 108), 0);
}

void FilmstripTest::insertionPositionsAndAutoScroll() {
  FilmstripGeometry g;
  g.Measure(true, 1, 1, 200, 100, 14, 16);
  g.Layout(500, 10 + 3 * 108, 10);  // 4 strips of 3
  // Half a cell's thickness rounds to the next gap.
  FilmstripInsertion at = g.Insertion(100, 54, 0, 0, 420);
  QCOMPARE(at.index, 1);
  at = g.Insertion(100, 53, 0, 0, 420);
  QCOMPARE(at.index, 0);
  at = g.Insertion(100, 53, 0, 1, 420);
  QCOMPARE(at.index, 1);
  // After the last cell of a strip: the marker stays in that strip.
  at = g.Insertion(100, 5 + 3 * 108, 0, 0, 420);
  QCOMPARE(at.index, 3);
  QCOMPARE(at.strip, 0);
  QCOMPARE(at.cell, 3);
  // Past the last frame the index is the frame count, drawn after the last cell.
  at = g.Insertion(3 * 230 - 0 + 20, 5 + 2 * 108, 420, 0, 420);
  QCOMPARE(at.index, 10);
  QCOMPARE(at.strip, 3);
  QCOMPARE(at.cell, 1);
  // Before the client: scroll back while possible, else the first strip.
  at = g.Insertion(-3, 50, 100, 0, 420);
  QCOMPARE(at.index, -1);
  QCOMPARE(at.autoScroll, -1);
  at = g.Insertion(-3, 50, 0, 0, 420);
  QCOMPARE(at.index, 0);
  QCOMPARE(at.autoScroll, 0);
  // After the client: scroll on while possible, else the last strip.
  at = g.Insertion(505, 50, 100, 0, 420);
  QCOMPARE(at.autoScroll, 1);
  QCOMPARE(at.index, -1);
  at = g.Insertion(505, 50, 420, 0, 420);
  QCOMPARE(at.index, 9);
}

void FilmstripTest::orientationFollowsShapeUnlessChosen() {
  FakeHost host;
  FilmstripView view(&host);
  host.view = &view;
  AnimationPtr wide = test::MakeAnimation(2, 200, 100);
  AnimationPtr tall = test::MakeAnimation(2, 100, 200);
  AnimationPtr square = test::MakeAnimation(2, 50, 50);
  view.SetFilmstripAnimation(wide.get());
  QCOMPARE(view.Orientation(), 1);
  view.SetFilmstripAnimation(tall.get());
  QCOMPARE(view.Orientation(), 2);
  view.SetFilmstripAnimation(square.get());
  QCOMPARE(view.Orientation(), 2);
  // A chosen orientation stays whatever the shape.
  view.SetFilmstripOrientation(4097);
  view.SetFilmstripAnimation(tall.get());
  QCOMPARE(view.Orientation(), 4097);
  QVERIFY(view.Geometry().Vertical());
  // Back to the default: derived from the shape again.
  view.SetFilmstripOrientation(0);
  QCOMPARE(view.Orientation(), 2);
  QVERIFY(!view.Geometry().Vertical());
  view.SetFilmstripAnimation(nullptr);
}

void FilmstripTest::dragNeedsThreePixelsAndEscCancels() {
  FakeHost host;
  FilmstripView view(&host);
  host.view = &view;
  view.resize(600, 400);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  AnimationPtr a = test::MakeAnimation(6, 100, 50);  // vertical strips
  view.SetFilmstripAnimation(a.get());
  QWidget* vp = view.viewport();
  QPoint press(18 + 40, 5 + 20);  // inside frame 0
  SendMouse(vp, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
  QCOMPARE(host.selections.back(), 0);
  SendMouse(vp, QEvent::MouseMove, press + QPoint(2, 2), Qt::NoButton, Qt::LeftButton);
  QVERIFY(!view.IsDragging());
  SendMouse(vp, QEvent::MouseMove, press + QPoint(0, -3), Qt::NoButton, Qt::LeftButton);
  QVERIFY(view.IsDragging());
  // Move the marker to the gap after frame 2, then give up with Esc.
  SendMouse(vp, QEvent::MouseMove, QPoint(60, 5 + 3 * 58 - 2), Qt::NoButton, Qt::LeftButton);
  QCOMPARE(view.DragInsertion().index, 3);
  QVERIFY(view.HandleKey(Qt::Key_Escape));
  QVERIFY(!view.IsDragging());
  SendMouse(vp, QEvent::MouseButtonRelease, QPoint(60, 5 + 3 * 58 - 2), Qt::LeftButton, Qt::NoButton);
  QVERIFY(host.moves.empty());
  // The same drag released over the gap moves frame 0 there.
  SendMouse(vp, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
  SendMouse(vp, QEvent::MouseMove, QPoint(60, 5 + 3 * 58 - 2), Qt::NoButton, Qt::LeftButton);
  SendMouse(vp, QEvent::MouseButtonRelease, QPoint(60, 5 + 3 * 58 - 2), Qt::LeftButton, Qt::NoButton);
  QCOMPARE(host.moves.size(), size_t{1});
  QCOMPARE(host.moves[0], std::make_pair(3, 0));
  view.SetFilmstripAnimation(nullptr);
}

void FilmstripTest::dropOnOwnPlaceMovesNothing() {
  FakeHost host;
  FilmstripView view(&host);
  host.view = &view;
  view.resize(600, 400);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  AnimationPtr a = test::MakeAnimation(6, 100, 50);
  view.SetFilmstripAnimation(a.get());
  QWidget* vp = view.viewport();
  // Frame 1, dropped just before itself and just after itself.
  QPoint press(18 + 40, 5 + 58 + 20);
  for (int gap : {1, 2}) {
    SendMouse(vp, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
    QPoint over(60, 5 + gap * 58 - 2);
    SendMouse(vp, QEvent::MouseMove, over, Qt::NoButton, Qt::LeftButton);
    QVERIFY(view.IsDragging());
    QCOMPARE(view.DragInsertion().index, gap);
    SendMouse(vp, QEvent::MouseButtonRelease, over, Qt::LeftButton, Qt::NoButton);
  }
  QVERIFY(host.moves.empty());
  view.SetFilmstripAnimation(nullptr);
}

void FilmstripTest::dragPastTheEdgeScrollsUntilTheEnd() {
  FakeHost host;
  FilmstripView view(&host);
  host.view = &view;
  view.resize(400, 300);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  AnimationPtr a = test::MakeAnimation(30, 100, 50);  // vertical strips, several screens wide
  view.SetFilmstripAnimation(a.get());
  QCoreApplication::processEvents();
  QScrollBar* main = view.horizontalScrollBar();
  QVERIFY(main->maximum() > 0);
  QWidget* vp = view.viewport();
  QPoint press(18 + 40, 5 + 20);
  SendMouse(vp, QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
  // Past the right edge: no insertion position, and the strip scrolls a line every tick.
  QPoint outside(vp->width() + 20, 30);
  QCursor::setPos(vp->mapToGlobal(outside));
  SendMouse(vp, QEvent::MouseMove, outside, Qt::NoButton, Qt::LeftButton);
  QVERIFY(view.IsDragging());
  QCOMPARE(view.DragInsertion().index, -1);
  QCOMPARE(view.DragInsertion().autoScroll, 1);
  QTRY_VERIFY(main->value() > 0);
  // At the end it stops scrolling and the pointer counts as being over the last strip.
  QTRY_COMPARE_WITH_TIMEOUT(main->value(), main->maximum(), 20000);
  QTRY_VERIFY(view.DragInsertion().index >= 0);
  QCOMPARE(view.DragInsertion().strip, view.Geometry().StripCount() - 1);
  // Back inside: the position follows the pointer.
  QPoint inside(vp->width() / 2, 5 + 58 - 2);
  SendMouse(vp, QEvent::MouseMove, inside, Qt::NoButton, Qt::LeftButton);
  QCOMPARE(view.DragInsertion().autoScroll, 0);
  int expected = view.Geometry().HitTest(inside.x(), 30, main->value(), 0) + 1;
  QCOMPARE(view.DragInsertion().index, expected);
  SendMouse(vp, QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
  QCOMPARE(host.moves.size(), size_t{1});
  QCOMPARE(host.moves[0].first, expected);
  view.SetFilmstripAnimation(nullptr);
}

void FilmstripTest::dragWithoutMoveSupportDoesNotArm() {
  FakeHost host;
  host.canMove = false;
  FilmstripView view(&host);
  host.view = &view;
  view.resize(600, 400);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  AnimationPtr a = test::MakeAnimation(6, 100, 50);
  view.SetFilmstripAnimation(a.get());
  QPoint press(18 + 40, 5 + 20);
  SendMouse(view.viewport(), QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
  SendMouse(view.viewport(), QEvent::MouseMove, press + QPoint(0, 40), Qt::NoButton, Qt::LeftButton);
  QVERIFY(!view.IsDragging());
  // A press on the sprocket band selects nothing; a double-click there asks for the animation's properties.
  SendMouse(view.viewport(), QEvent::MouseButtonRelease, press + QPoint(0, 40), Qt::LeftButton, Qt::NoButton);
  SendMouse(view.viewport(), QEvent::MouseButtonPress, QPoint(8, 30), Qt::LeftButton, Qt::LeftButton);
  QCOMPARE(host.selections.back(), -1);
  SendMouse(view.viewport(), QEvent::MouseButtonDblClick, QPoint(8, 30), Qt::LeftButton, Qt::LeftButton);
  QCOMPARE(host.commands.back(), 40008);
  SendMouse(view.viewport(), QEvent::MouseButtonDblClick, press, Qt::LeftButton, Qt::LeftButton);
  QCOMPARE(host.commands.back(), 40009);
  SendMouse(view.viewport(), QEvent::MouseButtonPress, press, Qt::RightButton, Qt::RightButton);
  QCOMPARE(host.menus, 1);
  view.SetFilmstripAnimation(nullptr);
}

void FilmstripTest::paintDrawsOnlyVisibleCells() {
  FakeHost host;
  FilmstripView view(&host);
  host.view = &view;
  view.resize(640, 480);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  AnimationPtr a = test::MakeAnimation(200, 160, 120);  // vertical strips of 160 × 120 cells
  view.SetFilmstripAnimation(a.get());
  QCoreApplication::processEvents();  // the scroll bar shows, the layout settles
  view.viewport()->repaint();
  const FilmstripGeometry& g = view.Geometry();
  int visibleStrips = view.viewport()->width() / g.Pitch() + 1;
  int drawn = view.CellsDrawnLastPaint();
  QVERIFY(drawn > 0);
  QVERIFY(drawn <= visibleStrips * g.CellsPerStrip());
  uint64_t conversions = view.ImageCache().Conversions();
  QCOMPARE(conversions, static_cast<uint64_t>(drawn));
  // Scrolling one line exposes a band one line wide: only the cells in it are drawn, and frames already
  // converted are not converted again.
  QScrollBar* main = view.horizontalScrollBar();
  main->setValue(main->value() + 12);
  QCoreApplication::processEvents();
  QVERIFY(view.CellsDrawnLastPaint() <= g.CellsPerStrip());
  QVERIFY(view.ImageCache().Conversions() <= conversions + static_cast<uint64_t>(g.CellsPerStrip()));
  // A repaint of one cell draws that cell only.
  view.RepaintFilmstripCell(1);
  QCoreApplication::processEvents();
  QVERIFY(view.CellsDrawnLastPaint() >= 1);
  QVERIFY(view.CellsDrawnLastPaint() <= 3);
  view.SetFilmstripAnimation(nullptr);
}

void FilmstripTest::imageCacheConvertsOncePerChange() {
  AnimationPtr a = test::MakeAnimation(3, 8, 6);
  Frame* f = FirstFrame(*a);
  FrameImageCache cache;
  cache.Image(*f, false);
  QCOMPARE(cache.Conversions(), uint64_t{1});
  cache.Image(*f, false);
  QCOMPARE(cache.Conversions(), uint64_t{1});
  // Showing the transparent index in another colour changes the colour table: converted again.
  f->transparentIndex = 0;
  SetTransparent(*f, true);
  cache.Image(*f, false);
  QCOMPARE(cache.Conversions(), uint64_t{2});
  // A new bitmap is noticed too.
  FramePtr other = test::MakeFrame(8, 6, a->globalPalette.get(), [](int, int) { return uint8_t{2}; });
  SetFrameBitmap(*f, other->bitmap->Clone());
  QCOMPARE(cache.Image(*f, false).pixel(0, 0), qRgb(2, 253, 14));
  QCOMPARE(cache.Conversions(), uint64_t{3});
  // Pixels written in place are the caller's to announce.
  cache.Invalidate(f);
  cache.Image(*f, false);
  QCOMPARE(cache.Conversions(), uint64_t{4});
  // The budget keeps memory bounded: old images go first.
  FrameImageCache small(8 * 6 * 4 * 2);
  for (Frame* g = FirstFrame(*a); g; g = NextFrame(g)) small.Image(*g, false);
  QVERIFY(small.Bytes() <= size_t{8 * 6 * 4 * 2});
  QVERIFY(small.Entries() >= 1);
}

void FilmstripTest::drawFrameScalesWithoutSmoothingAtItsOffset() {
  AnimationPtr a = test::MakeAnimation(1, 10, 10);
  Frame* f = FirstFrame(*a);
  // A 2 × 2 checker frame at (3, 1) of the screen.
  FramePtr checker = test::MakeFrame(2, 2, a->globalPalette.get(),
                                     [](int x, int y) { return static_cast<uint8_t>((x + y) % 2 ? 3 : 0); });
  SetFrameBitmap(*f, checker->bitmap->Clone());
  SetFrameSize(*f, 2, 2);
  SetFramePosition(*f, 3, 1);
  QImage target(40, 40, QImage::Format_RGB32);
  target.fill(Qt::white);
  FrameImageCache cache;
  {
    QPainter p(&target);
    DrawFrame(p, cache, *f, 0, 0, 3, 1, false);
  }
  const QRgb c0 = qRgb(0, 255, 0), c3 = qRgb(3, 252, 21);
  // At 300% the frame starts at (9, 3) and each pixel is a solid 3 × 3 block.
  QCOMPARE(target.pixel(8, 3), qRgb(255, 255, 255));
  QCOMPARE(target.pixel(9, 3), c0);
  QCOMPARE(target.pixel(11, 5), c0);
  QCOMPARE(target.pixel(12, 3), c3);
  QCOMPARE(target.pixel(14, 5), c3);
  QCOMPARE(target.pixel(12, 6), c0);
  QCOMPARE(target.pixel(15, 3), qRgb(255, 255, 255));
  // At 33% the 2-pixel frame shrinks to nothing and draws nothing; at 50% one pixel at (1, 0).
  target.fill(Qt::white);
  {
    QPainter p(&target);
    DrawFrame(p, cache, *f, 0, 0, 1, 2, false);
  }
  QCOMPARE(target.pixel(1, 0), c0);
  QCOMPARE(target.pixel(2, 0), qRgb(255, 255, 255));
}

void FilmstripTest::maskedImageLeavesTransparentPixelsOut() {
  AnimationPtr a = test::MakeAnimation(1, 4, 1, 4);
  Frame* f = FirstFrame(*a);
  FramePtr row =
      test::MakeFrame(4, 1, a->globalPalette.get(), [](int x, int) { return static_cast<uint8_t>(x); });
  SetFrameBitmap(*f, row->bitmap->Clone());
  SetTransparentIndex(*f, 2);
  SetTransparent(*f, true);
  QImage masked = FrameToImage(*f, true);
  QCOMPARE(qAlpha(masked.pixel(2, 0)), 0);
  QCOMPARE(qAlpha(masked.pixel(1, 0)), 255);
  // Opaque drawing shows the transparent index in the display colour the preferences give (window
  // background by default), the others in their palette colours.
  QImage opaque = FrameToImage(*f, false);
  QCOMPARE(opaque.pixel(1, 0), qRgb(1, 254, 7));
  uint32_t face = TransparentDisplayColor();
  QCOMPARE(opaque.pixel(2, 0), qRgb(static_cast<int>(face & 0xFF), static_cast<int>((face >> 8) & 0xFF),
                                    static_cast<int>((face >> 16) & 0xFF)));
}

QTEST_MAIN(FilmstripTest)
#include "test_filmstrip.moc"
