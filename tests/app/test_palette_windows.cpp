// The palette display and the transparency picker: the grid's cells, hints and marks, the picture's
// pixels, indices beyond the palette, the stored check boxes, and the commands and buttons that open them.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/dialogs/frame_properties_dialog.h"
#include "app/dialogs/palette_dialogs.h"
#include "app/shell/ids.h"
#include "app/shell/toolbars.h"
#include "app_test_support.h"

using namespace lw;
using namespace lw::app;

class PaletteWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void gridCellsAndHints();
  void showPaletteCountsAndStoresItsBox();
  void pickerChoosesByCellOrPixel();
  void pickerIgnoresIndicesBeyondThePalette();
  void commandsOpenTheRightPalette();
  void toolbarPickButtonRunsThePicker();
};

namespace {

QPoint CellCenter(const ColorGrid& grid, int index) {
  int c = grid.CellSize();
  return {(index % 16) * c + c / 2, (index / 16) * c + c / 2};
}

// A 6 × 4 frame on a 4-colour palette whose last column holds index 9, which the palette lacks.
FramePtr OddFrame(Palette* palette) {
  return test::MakeFrame(6, 4, palette,
                         [](int x, int y) { return static_cast<uint8_t>(x == 5 ? 9 : (x + y) % 4); });
}

}  // namespace

void PaletteWindowsTest::gridCellsAndHints() {
  PalettePtr two = test::MakePalette(2, {{10, 20, 30, 0}, {40, 50, 60, 0}});
  ColorGrid grid(16);
  grid.SetPalette(two.get(), nullptr);
  QCOMPARE(grid.size(), QSize(256, 256));
  QCOMPARE(grid.EntryAt(CellCenter(grid, 0)), 0);
  QCOMPARE(grid.EntryAt(CellCenter(grid, 1)), 1);
  QCOMPARE(grid.EntryAt(CellCenter(grid, 2)), -1);
  QCOMPARE(grid.EntryAt(CellCenter(grid, 16)), -1);
  QCOMPARE(grid.EntryAt({-1, 3}), -1);
  // The hint counts entries from 1; no colour, no text.
  PalettePtr big = test::MakePalette(40);
  QCOMPARE(ColorHintText(big.get(), 17), QString("#18: R=17, G=238, B=119"));
  QCOMPARE(ColorHintText(big.get(), 40), QString());
  QCOMPARE(ColorHintText(nullptr, 0), QString());
  // Only selectable grids select, and never beyond their entries.
  grid.Select(1);
  QCOMPARE(grid.Selected(), -1);
  grid.SetSelectable(true);
  grid.Select(1);
  QCOMPARE(grid.Selected(), 1);
  grid.Select(5);
  QCOMPARE(grid.Selected(), -1);
  // Painting: a 2-colour palette fills two cells; the rest is the button face.
  ColorCounts counts{};
  counts[1] = 3;
  grid.SetPalette(two.get(), &counts);
  grid.SetShowInUse(true);
  QImage shot = grid.grab().toImage();
  QCOMPARE(QColor(shot.pixel(CellCenter(grid, 0) + QPoint(5, 5))), QColor(10, 20, 30));
  QCOMPARE(QColor(shot.pixel(CellCenter(grid, 1) + QPoint(5, 5))), QColor(40, 50, 60));
  // The in-use mark inverts the centre of a used cell only.
  QCOMPARE(QColor(shot.pixel(CellCenter(grid, 1))), QColor(255 - 40, 255 - 50, 255 - 60));
  QCOMPARE(QColor(shot.pixel(CellCenter(grid, 0))), QColor(10, 20, 30));
  QCOMPARE(QColor(shot.pixel(CellCenter(grid, 2))), grid.palette().color(QPalette::Button));
}

void PaletteWindowsTest::showPaletteCountsAndStoresItsBox() {
  test::ScopedSettings settings;
  PalettePtr palette = test::MakePalette(4);
  ColorCounts counts{};
  counts[0] = 5;
  counts[3] = 1;
  counts[200] = 7;  // an index beyond the palette is no colour
  QCOMPARE(ShowPaletteDialog::ColorsInUse(*palette, &counts), 2);
  SetPreference(kPrefFlags, 0);
  {
    ShowPaletteDialog d(*palette, &counts, nullptr);
    QCOMPARE(d.findChild<QLabel*>("1189")->text(), QString("Colors in use: 2 of 4"));
    auto* box = d.findChild<QCheckBox*>("1083");
    QVERIFY(box->isEnabled());
    QVERIFY(!box->isChecked());
    QVERIFY(!d.Grid()->ShowInUse());
    box->click();
    QVERIFY(d.Grid()->ShowInUse());
    d.findChild<QPushButton*>("1")->click();
    QCOMPARE(d.result(), int(QDialog::Accepted));
  }
  QCOMPARE(GetPreference(kPrefFlags) & kPrefShowColorsInUse, uint32_t{kPrefShowColorsInUse});
  // Without counts the box is disabled and nothing is stored.
  PalettePtr global = test::MakePalette(256);
  ShowPaletteDialog d(*global, nullptr, nullptr);
  QCOMPARE(d.findChild<QLabel*>("1189")->text(), QString("Colors in use: 0 of 256"));
  QVERIFY(!d.findChild<QCheckBox*>("1083")->isEnabled());
  QCOMPARE(d.Grid()->EntryCount(), 256);
}

void PaletteWindowsTest::pickerChoosesByCellOrPixel() {
  test::ScopedSettings settings;
  SetPreference(kPrefFlags, kPrefShowColorInfo);
  PalettePtr palette = test::MakePalette(4);
  FramePtr f = OddFrame(palette.get());
  {
    PickTransparencyDialog d(*f, 2, nullptr);
    QCOMPARE(d.Grid()->Selected(), 2);
    QCOMPARE(d.Image()->Highlighted(), 2);
    QVERIFY(d.InfoBox()->isChecked());
    d.show();
    // A pixel click selects its index in the grid and highlights it in the picture.
    QTest::mouseClick(d.Image(), Qt::LeftButton, {}, QPoint(1, 0));
    QCOMPARE(d.Grid()->Selected(), 1);
    QCOMPARE(d.Image()->Highlighted(), 1);
    // The highlighted index flashes white, then shows the button face.
    QCOMPARE(QColor(d.Image()->Picture().color(1)), QColor(Qt::white));
    QTRY_COMPARE(QColor(d.Image()->Picture().color(1)), d.palette().color(QPalette::Button));
    // A cell click does the same; the other index gets its colour back.
    QTest::mouseClick(d.Grid(), Qt::LeftButton, {}, CellCenter(*d.Grid(), 3));
    QCOMPARE(d.Grid()->Selected(), 3);
    QCOMPARE(d.Image()->Highlighted(), 3);
    QCOMPARE(QColor(d.Image()->Picture().color(1)), QColor(1, 254, 7));
    d.InfoBox()->setChecked(false);
    d.accept();
    QCOMPARE(d.Chosen(), 3);
  }
  QCOMPARE(GetPreference(kPrefFlags) & kPrefShowColorInfo, 0u);
  PickTransparencyDialog d(*f, 0, nullptr);
  QTest::mouseClick(d.Grid(), Qt::LeftButton, {}, CellCenter(*d.Grid(), 2));
  d.reject();
  QCOMPARE(d.Chosen(), -1);
}

void PaletteWindowsTest::pickerIgnoresIndicesBeyondThePalette() {
  test::ScopedSettings settings;
  PalettePtr palette = test::MakePalette(4);
  FramePtr f = OddFrame(palette.get());
  // A start index the palette lacks selects nothing; OK then gives none.
  PickTransparencyDialog d(*f, 9, nullptr);
  QCOMPARE(d.Grid()->Selected(), -1);
  QCOMPARE(d.Image()->Highlighted(), -1);
  d.show();
  QCOMPARE(d.Image()->IndexAt({5, 0}), -1);
  QCOMPARE(d.Image()->IndexAt({4, 0}), 0);
  QCOMPARE(d.Image()->IndexAt({6, 0}), -1);
  QTest::mouseClick(d.Image(), Qt::LeftButton, {}, QPoint(5, 2));
  QCOMPARE(d.Grid()->Selected(), -1);
  QCOMPARE(d.Image()->Highlighted(), -1);
  // The picture shows such pixels in the background colour.
  QCOMPARE(QColor(d.Image()->Picture().pixel(5, 1)), d.palette().color(QPalette::Button));
  d.Image()->Highlight(9);
  QCOMPARE(d.Image()->Highlighted(), -1);
  d.accept();
  QCOMPARE(d.Chosen(), -1);
}

void PaletteWindowsTest::commandsOpenTheRightPalette() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  AnimationPtr a = test::MakeAnimation(3, 8, 8, 32);
  SetLocalPalette(*NthFrame(*a, 1), test::MakePalette(8));
  w.SetCurrentAnimation(std::move(a));
  QString shown;
  int entries = -1;
  w.DialogServices().runDialog = [&](QDialog& dialog) {
    auto& d = static_cast<ShowPaletteDialog&>(dialog);
    shown = d.findChild<QLabel*>("1189")->text();
    entries = d.Grid()->EntryCount();
    return 0;
  };
  Toolbars* bars = w.Bars();
  QVERIFY(bars->IsButtonEnabled(kCmdShowGlobalPalette));
  QVERIFY(w.DispatchCommand(kCmdShowGlobalPalette));
  // Frames 0 and 2 use indices 0 and 2 of the global palette.
  QCOMPARE(shown, QString("Colors in use: 2 of 32"));
  QCOMPARE(entries, 32);
  w.SelectFrame(1);
  QVERIFY(bars->IsButtonEnabled(kCmdShowLocalPalette));
  QVERIFY(w.DispatchCommand(kCmdShowLocalPalette));
  QCOMPARE(shown, QString("Colors in use: 1 of 8"));
  QCOMPARE(entries, 8);
  // A frame without a local palette shows nothing.
  w.SelectFrame(0);
  shown.clear();
  w.DispatchCommand(kCmdShowLocalPalette);
  QVERIFY(shown.isEmpty());
  // Frame Properties offers "Show..." exactly for a local palette.
  Frame& local = *NthFrame(*w.CurrentAnimation(), 1);
  FramePropertiesDialog withLocal(*w.CurrentAnimation(), local, nullptr, nullptr);
  QVERIFY(withLocal.Fields().showPalette->isEnabled());
  FramePropertiesDialog without(*w.CurrentAnimation(), *NthFrame(*w.CurrentAnimation(), 0), nullptr, nullptr);
  QVERIFY(!without.Fields().showPalette->isEnabled());
}

void PaletteWindowsTest::toolbarPickButtonRunsThePicker() {
  // The editor's own picker: nothing scripted.
  test::ScopedSettings settings;
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  MainWindow w(&settings.Store());
  AnimationPtr a = test::MakeAnimation(2, 6, 4, 4);
  w.SetCurrentAnimation(std::move(a));
  w.SelectFrame(1);
  QVERIFY(w.DialogServices().pickTransparency);
  QVERIFY(w.Bars()->IsButtonEnabled(kCmdPickTransparency));
  int started = -2;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<PickTransparencyDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    started = d->Grid()->Selected();
    // Frame 1 is filled with index 1.
    QTest::mouseClick(d->Image(), Qt::LeftButton, {}, QPoint(2, 2));
    d->accept();
  });
  QVERIFY(w.DispatchCommand(kCmdPickTransparency));
  QCOMPARE(started, -1);
  Frame& f = *NthFrame(*w.CurrentAnimation(), 1);
  QVERIFY(IsTransparent(f));
  QCOMPARE(int(f.transparentIndex), 1);
  QVERIFY(w.Bars()->IsPressed(kCmdToggleTransparency));
  QCOMPARE(QString::fromStdString(w.History().UndoName()), QString("Transparency"));
  w.SetModified(false);
}

QTEST_MAIN(PaletteWindowsTest)
#include "test_palette_windows.moc"
