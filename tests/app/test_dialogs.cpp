// The editor's answers to the engine's questions: message boxes, the Palette Conflict and Frame Size
// Conflict dialogs, and the progress dialog with Esc and Cancel.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "app/dialogs/about_dialog.h"
#include "app/dialogs/avi_compression_dialog.h"
#include "app/dialogs/filmstrip_export_dialog.h"
#include "app/dialogs/frame_size_conflict_dialog.h"
#include "app/dialogs/palette_conflict_dialog.h"
#include "app/dialogs/progress_dialog.h"
#include "app/shell/qt_ui_hooks.h"
#include "platform/recording_ui_hooks.h"
#include "support/builders.h"

using namespace lw;
using namespace lw::app;

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void paletteConflictOffersTheFlaggedChoices();
  void paletteConflictEnablingAndAnswer();
  void paletteConflictOffersBestForVideoFirstForMovies();
  void paletteConflictHidesMakeDefaultWhenAsked();
  void frameSizeConflictAnswers();
  void messageBoxesCarryCaptionTextIconAndButtons();
  void progressDialogStopsOnEscAndCancel();
  void progressRecordsUseTheDialog();
  void aboutBoxNamesTheProgram();
  void filmstripExportDialogRules();
  void aviCompressionDialogAnswers();
};

namespace {

// Runs `act` on the next modal dialog once it is up.
void WhenModalShows(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
    act(QApplication::activeModalWidget());
  });
}

}  // namespace

void DialogsTest::paletteConflictOffersTheFlaggedChoices() {
  PaletteConflictDialog d(0x1000 | 0x01 | 0x04 | 0x10 | 0x20, nullptr);
  QCOMPARE(d.windowTitle(), QString("Palette Conflict"));
  auto* choices = d.findChild<QComboBox*>("1080");
  QVERIFY(choices);
  QCOMPARE(choices->count(), 4);
  QCOMPARE(choices->itemText(0), QString("Merge with current global palette (Recommended)"));
  QCOMPARE(choices->itemText(1), QString("Only current global palette with no changes"));
  QCOMPARE(choices->itemText(2), QString("Web's \"color cube\" palette (remap all frames)"));
  QCOMPARE(choices->itemText(3), QString("Image's palette as local palette"));
  QCOMPARE(choices->currentIndex(), 0);
  QVERIFY(
      d.findChild<QLabel*>("message")->text().startsWith("The frame(s) to be inserted cannot be matched"));
  QVERIFY(PaletteConflictDialog::MessageFor(0x2000).startsWith("Removing the local palette"));
  QVERIFY(PaletteConflictDialog::MessageFor(0x4000).startsWith("The frame to be pasted is a \"full color\""));
  // The preselection is what the engine assumes when nobody is asked.
  QCOMPARE(d.Answer().choice, PaletteConflictPreselection(0x1000 | 0x01 | 0x04 | 0x10 | 0x20));
}

void DialogsTest::paletteConflictEnablingAndAnswer() {
  PaletteConflictDialog d(0x4000 | 0x02 | 0x04 | 0x08 | 0x20, nullptr);
  auto* choices = d.findChild<QComboBox*>("1080");
  auto* colors = d.findChild<QComboBox*>("1076");
  auto* dither = d.findChild<QCheckBox*>("1077");
  auto* makeDefault = d.findChild<QCheckBox*>("1083");
  QCOMPARE(colors->count(), 8);
  QCOMPARE(colors->itemText(0), QString("256"));
  QCOMPARE(colors->itemText(7), QString("2"));
  // Adaptive first: the colours list is live; 64 colours is 2^6.
  QVERIFY(colors->isEnabled());
  colors->setCurrentIndex(2);
  QCOMPARE(d.Answer().choice, 0x02u | 0x80u | (6u << 16));
  dither->setChecked(false);
  QCOMPARE(d.Answer().choice, 0x02u | (6u << 16));
  // A full-colour picture may take the high-quality quantizer, with its colour count.
  QCOMPARE(choices->itemText(1), QString("High quality adaptive palette (slower)"));
  choices->setCurrentIndex(1);
  QVERIFY(colors->isEnabled());
  QCOMPARE(d.Answer().choice, 0x42u | (6u << 16));
  // Another choice: no colours list, no size bits.
  choices->setCurrentIndex(2);
  QVERIFY(!colors->isEnabled());
  QCOMPARE(d.Answer().choice, 0x04u);
  // The image's own palette cannot be dithered to.
  choices->setCurrentIndex(4);
  QVERIFY(!dither->isEnabled());
  choices->setCurrentIndex(3);
  QVERIFY(dither->isEnabled());
  makeDefault->setChecked(true);
  QVERIFY(!d.Answer().makeDefault);  // hidden boxes count only when shown
  d.show();
  QVERIFY(d.Answer().makeDefault);
  QCOMPARE(d.Answer().choice, 0x08u);
}

void DialogsTest::paletteConflictOffersBestForVideoFirstForMovies() {
  PaletteConflictDialog d(0x4000 | 0x0400 | 0x02 | 0x08, nullptr);
  auto* choices = d.findChild<QComboBox*>("1080");
  QCOMPARE(choices->count(), 4);
  QCOMPARE(choices->itemText(0), QString("Best for video"));
  QCOMPARE(choices->currentIndex(), 0);
  // The clip encoder picks its own palette: neither a size nor dither to choose.
  QVERIFY(!d.findChild<QComboBox*>("1076")->isEnabled());
  QVERIFY(!d.findChild<QCheckBox*>("1077")->isEnabled());
  QCOMPARE(d.Answer().choice, 0x200u);
  QCOMPARE(d.Answer().choice, PaletteConflictPreselection(0x4000 | 0x0400 | 0x02 | 0x08));
  choices->setCurrentIndex(1);
  QCOMPARE(d.Answer().choice, 0x02u | 0x80u | (8u << 16));
  // Single pictures are not offered it.
  PaletteConflictDialog picture(0x4000 | 0x02 | 0x08, nullptr);
  QCOMPARE(picture.findChild<QComboBox*>("1080")->findData(0x200u), -1);
}

void DialogsTest::paletteConflictHidesMakeDefaultWhenAsked() {
  PaletteConflictDialog d(0x2000 | 0x8000 | 0x01 | 0x04, nullptr);
  d.show();
  auto* makeDefault = d.findChild<QCheckBox*>("1083");
  QVERIFY(makeDefault->isHidden());
  makeDefault->setChecked(true);
  QVERIFY(!d.Answer().makeDefault);
  // Through the hooks: OK gives the answer, Cancel gives 0.
  QtUiHooks hooks;
  WhenModalShows([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  QCOMPARE(hooks.AskPaletteConflict(0x1000 | 0x01).choice, 0u);
  WhenModalShows([](QWidget* w) { w->findChild<QPushButton*>("1")->click(); });
  QCOMPARE(hooks.AskPaletteConflict(0x1000 | 0x01 | 0x04).choice, 0x81u);
}

void DialogsTest::frameSizeConflictAnswers() {
  FrameSizeConflictDialog d(nullptr);
  QCOMPARE(d.windowTitle(), QString("Frame Size Conflict"));
  QVERIFY(d.findChild<QRadioButton*>("1111")->isChecked());
  QCOMPARE(d.Answer().choice, 2);
  d.findChild<QRadioButton*>("1112")->setChecked(true);
  d.findChild<QCheckBox*>("1083")->setChecked(true);
  QCOMPARE(d.Answer().choice, 3);
  QVERIFY(d.Answer().makeDefault);
  QtUiHooks hooks;
  WhenModalShows([](QWidget* w) { w->findChild<QPushButton*>("2")->click(); });
  QCOMPARE(hooks.AskFrameSizeConflict().choice, 0);
  WhenModalShows([](QWidget* w) {
    w->findChild<QRadioButton*>("1112")->setChecked(true);
    w->findChild<QPushButton*>("1")->click();
  });
  UiHooks::FrameSizeAnswer answer = hooks.AskFrameSizeConflict();
  QCOMPARE(answer.choice, 3);
  QVERIFY(!answer.makeDefault);
}

void DialogsTest::messageBoxesCarryCaptionTextIconAndButtons() {
  QtUiHooks hooks;
  QString caption, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  auto capture = [&](QMessageBox::StandardButton press) {
    WhenModalShows([&, press](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      QVERIFY(box);
      caption = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->standardButtons();
      box->button(press)->click();
    });
  };
  capture(QMessageBox::Cancel);
  QCOMPARE(hooks.MessageBox("Loopwright", "Save changes to untitled animation?", MsgButtons::YesNoCancel,
                            MsgIcon::Exclamation),
           MsgResult::Cancel);
  QCOMPARE(caption, QString("Loopwright"));
  QCOMPARE(text, QString("Save changes to untitled animation?"));
  QCOMPARE(icon, QMessageBox::Warning);
  QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  capture(QMessageBox::No);
  QCOMPARE(hooks.MessageBox("Animation needs clipping", "clip?", MsgButtons::YesNo, MsgIcon::Exclamation),
           MsgResult::No);
  QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
  // Errors: the default caption, exclamation icon, OK.
  {
    ScopedUiHooks scope(&hooks);
    capture(QMessageBox::Ok);
    ShowError("Unable to open file '%s'.", "/y.gif");
  }
  QCOMPARE(caption, QString(QtUiHooks::kDefaultCaption));
  QCOMPARE(text, QString("Unable to open file '/y.gif'."));
  QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void DialogsTest::progressDialogStopsOnEscAndCancel() {
  QWidget owner;
  owner.show();
  for (int way = 0; way < 2; ++way) {
    ProgressDialogSink sink(&owner);
    sink.SetText("Reading GIF file...  (Esc to abort)");
    sink.SetRange(100);
    sink.SetPosition(40);
    ProgressDialog* d = sink.Dialog();
    QVERIFY(d && d->isVisible());
    QCOMPARE(d->windowModality(), Qt::ApplicationModal);
    QCOMPARE(d->Text()->text(), QString("Reading GIF file...  (Esc to abort)"));
    QCOMPARE(d->Bar()->value(), 40);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QVERIFY(sink.Pump());
    if (way == 0)
      QTest::keyClick(d, Qt::Key_Escape);
    else
      d->findChild<QPushButton*>("2")->click();
    QVERIFY(!sink.Pump());
    sink.Close();
    QVERIFY(!sink.Dialog());
    QVERIFY(!QApplication::overrideCursor());
  }
}

void DialogsTest::progressRecordsUseTheDialog() {
  QtUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  ProgressPtr record = BeginProgress(kProgressOwnDialog);
  SetProgressText(record.get(), "Writing GIF animation... (Esc to abort)");
  SetProgressRange(record.get(), 25000);
  QVERIFY(StepProgress(record.get()));
  QVERIFY(SetProgressPosition(record.get(), 12500));
  auto* bar = QApplication::activeModalWidget()
                  ? QApplication::activeModalWidget()->findChild<QProgressBar*>("1117")
                  : nullptr;
  QVERIFY(bar);
  QCOMPARE(bar->maximum(), static_cast<int>(25000 / record->divisor));
  QCOMPARE(bar->value(), static_cast<int>(12500 / record->divisor));
  QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
  QVERIFY(!StepProgress(record.get()));
  EndProgress(record);
  QVERIFY(!QApplication::activeModalWidget());
}

void DialogsTest::aboutBoxNamesTheProgram() {
  AboutDialog about(nullptr);
  QCOMPARE(about.windowTitle(), QString("About Loopwright"));
  auto* name = about.findChild<QLabel*>("1186");
  QCOMPARE(name->text(), QString("Loopwright") + QChar(0x2122) + " 2.03");
  QVERIFY(name->font().bold());
  QVERIFY(about.findChild<QLabel*>("1187")->font().bold());
  // The film runs.
  auto* clip = about.findChild<FilmClip*>("1179");
  int phase = clip->Phase();
  QTRY_VERIFY(clip->Phase() != phase);
}

void DialogsTest::filmstripExportDialogRules() {
  AnimationPtr a = test::MakeAnimation(8, 40, 30);
  FilmstripExportDialog d(*a, nullptr);
  auto* perStrip = d.findChild<QSpinBox*>("1069");
  auto* result = d.findChild<QLabel*>("1160");
  auto* ok = d.findChild<QPushButton*>("1");
  // Wider than high: vertical strips proposed, all frames in one strip.
  QVERIFY(d.findChild<QRadioButton*>("1074")->isChecked());
  QCOMPARE(perStrip->value(), 8);
  QCOMPARE(d.findChild<QLabel*>("1161")->text(), QString("(of 8 total)"));
  QCOMPARE(result->text(), QString("for total of 1 strip(s) and 40x240 pixels."));
  d.findChild<QRadioButton*>("1073")->setChecked(true);
  perStrip->setValue(3);
  QCOMPARE(result->text(), QString("for total of 3 strip(s) and 120x90 pixels."));
  QCOMPARE(d.Choice(), 3u << 16 | 1u);
  // Too many frames per strip: back to the frame count.
  perStrip->setValue(12);
  QCOMPARE(perStrip->value(), 8);
  // 0 cannot be exported.
  perStrip->setValue(0);
  QVERIFY(!ok->isEnabled());
  QVERIFY(result->text().isEmpty());
  QCOMPARE(d.Choice(), 0u);
}

void DialogsTest::aviCompressionDialogAnswers() {
  AviCompressionDialog d(nullptr);
  QCOMPARE(d.windowTitle(), QString("AVI Compression"));
  QCOMPARE(d.Choice(), 2);  // RLE8 preselected
  d.findChild<QRadioButton*>("none")->setChecked(true);
  QCOMPARE(d.Choice(), 1);
  WhenModalShows([](QWidget* w) { w->findChild<QPushButton*>("2")->click(); });
  QCOMPARE(AviCompressionDialog::Ask(nullptr), 0);
  WhenModalShows([](QWidget* w) { w->findChild<QPushButton*>("1")->click(); });
  QCOMPARE(AviCompressionDialog::Ask(nullptr), 2);
}

QTEST_MAIN(DialogsTest)
#include "test_dialogs.moc"
