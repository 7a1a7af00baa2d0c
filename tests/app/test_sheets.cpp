// The settings, comment and HTML dialogs: the HTML tag follows every field and escapes what it quotes;
// the signature keeps to 255 bytes; the comment list edits the document as one step that Undo takes back;
// the Preferences pages write only their own slots, and only on OK.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include "app/dialogs/comments_dialog.h"
#include "app/dialogs/html_code_dialog.h"
#include "app/dialogs/preferences_dialog.h"
#include "app/dialogs/signature_dialog.h"
#include "app/shell/ids.h"
#include "app_test_support.h"
#include "color/palette_choice.h"
#include "edit/comments.h"

using namespace lw;
using namespace lw::app;

class SheetsTest : public QObject {
  Q_OBJECT

 private slots:
  void htmlCodeFollowsTheFieldsAndEscapes();
  void htmlCodeOfAnUnsavedDocumentWaitsForAName();
  void signatureKeepsTo255BytesAndTheOffFlag();
  void commentEditorRefusesLongTexts();
  void commentsListAddsEditsRemovesInFileOrder();
  void commentsCommandIsOneUndoableStep();
  void preferencesWriteOnlyOnOkAndOnlyWhatChanged();
  void preferencesAnimationPageRefusesOutOfRange();
  void approachPagesEncodeAndEnable();
  void noMenuCommandLacksAHandler();
};

namespace {

std::vector<std::string> Comments(const Animation& a) {
  std::vector<std::string> out;
  for (ExtensionBlock* b : CommentBlocks(a)) out.push_back(GetCommentText(*b));
  return out;
}

}  // namespace

void SheetsTest::htmlCodeFollowsTheFieldsAndEscapes() {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = test::MakeAnimation(1, 100, 50);
  HtmlCodeDialog d(*a, "/home/me/pics/anim.gif", nullptr);
  QCOMPARE(d.FileName()->text(), QString("anim.gif"));
  QVERIFY(d.FileName()->isReadOnly());
  QCOMPARE(d.Code()->toPlainText(), QString("<img src=\"anim.gif\" width=100 height=50 border=0>"));
  d.Link()->setText("http://example.org/?a=1&b=2");
  QCOMPARE(d.Code()->toPlainText(),
           QString("<a href=\"http://example.org/?a=1&amp;b=2\"><img src=\"anim.gif\" "
                   "width=100 height=50 border=0></a>"));
  d.Description()->setText("Say \"hi\" <now>");
  d.Border()->setValue(3);
  QCOMPARE(d.Code()->toPlainText(),
           QString("<a href=\"http://example.org/?a=1&amp;b=2\"><img src=\"anim.gif\" width=100 height=50 "
                   "border=3 alt=\"Say &quot;hi&quot; &lt;now&gt;\"></a>"));
  // The border box holds 0 to 100.
  d.Border()->setValue(250);
  QVERIFY(d.Code()->toPlainText().contains(" border=100 "));
  d.CopyButton()->click();
  QCOMPARE(QApplication::clipboard()->text(), d.Code()->toPlainText());
  QVERIFY(hooks.entries.empty());
}

void SheetsTest::htmlCodeOfAnUnsavedDocumentWaitsForAName() {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = test::MakeAnimation(1, 8, 9);
  HtmlCodeDialog d(*a, "", nullptr);
  QVERIFY(!d.FileName()->isReadOnly());
  d.Link()->setText("x.htm");
  QCOMPARE(d.Code()->toPlainText(), QString());
  QApplication::clipboard()->setText("before");
  d.CopyButton()->click();
  QCOMPARE(hooks.Texts(), std::vector<std::string>{"A file name is needed to generate the HTML code"});
  QCOMPARE(QApplication::clipboard()->text(), QString("before"));
  d.FileName()->setText("a.gif");
  QCOMPARE(d.Code()->toPlainText(),
           QString("<a href=\"x.htm\"><img src=\"a.gif\" width=8 height=9 border=0></a>"));
}

void SheetsTest::signatureKeepsTo255BytesAndTheOffFlag() {
  test::TestShell shell;
  RecordingUiHooks& hooks = shell.recorder;
  {
    SignatureDialog d(nullptr);
    QCOMPARE(d.Text()->toPlainText(), QString("Built with Loopwright 2.0"));
    QVERIFY(d.AlwaysAdd()->isChecked());
    QVERIFY(d.Text()->isEnabled());
    d.accept();  // nothing changed
    QCOMPARE(d.result(), 0);
  }
  {
    SignatureDialog d(nullptr);
    d.Text()->setPlainText(QString(256, 'x'));
    d.accept();
    QCOMPARE(hooks.entries.size(), size_t{1});
    QCOMPARE(hooks.entries[0].caption, std::string("Comment Too Long"));
    QVERIFY(!shell.settings.Store().Has("Sig"));  // nothing stored, the dialog stays
    // Two bytes a letter: 128 of them are 256 bytes, too many for the comment block.
    d.Text()->setPlainText(QString(128, QChar(0xE9)));
    d.accept();
    QCOMPARE(hooks.entries.size(), size_t{2});
    d.Text()->setPlainText(QString(255, 'y'));
    d.accept();
    QCOMPARE(d.result(), 1);
    QCOMPARE(GetSignatureText(), std::string(255, 'y'));
  }
  {
    SignatureDialog d(nullptr);
    d.AlwaysAdd()->setChecked(false);
    QVERIFY(!d.Text()->isEnabled());
    d.accept();
    QCOMPARE(d.result(), 1);
    QVERIFY(GetPreference(kPrefFlags) & kPrefNoSignature);
    QCOMPARE(GetSignatureText(), std::string());
    QCOMPARE(GetSignatureText(true), std::string(255, 'y'));  // the text stays for when it is turned on
  }
  // Through the command with a document: changed means modified, and the saved state is gone for good.
  shell.window.SetCurrentAnimation(test::MakeAnimation(1, 4, 4));
  shell.window.DialogServices().runDialog = [](QDialog& dialog) {
    static_cast<SignatureDialog&>(dialog).AlwaysAdd()->setChecked(true);
    static_cast<SignatureDialog&>(dialog).accept();
    return dialog.result();
  };
  QVERIFY(shell.window.DispatchCommand(kCmdSignature));
  QVERIFY(shell.window.IsModified());
  QVERIFY(!(GetPreference(kPrefFlags) & kPrefNoSignature));
}

void SheetsTest::commentEditorRefusesLongTexts() {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  CommentDialog unchanged("keep", nullptr);
  unchanged.accept();
  QCOMPARE(unchanged.result(), 0);
  CommentDialog d("", nullptr);
  d.Text()->setPlainText(QString(255, 'c'));
  d.accept();
  QCOMPARE(hooks.entries.size(), size_t{1});
  QCOMPARE(hooks.entries[0].caption, std::string("Comment Too Long"));
  d.Text()->setPlainText(QString(254, 'c'));
  d.accept();
  QCOMPARE(d.result(), 1);
  QCOMPARE(d.Result(), QString(254, 'c'));
}

void SheetsTest::commentsListAddsEditsRemovesInFileOrder() {
  RecordingUiHooks hooks;
  ScopedUiHooks scope(&hooks);
  AnimationPtr a = test::MakeAnimation(2, 4, 4);
  InsertBlockAfter(a->head, test::MakeComment("first"));
  AppendBlock(*a, test::MakeComment("\nstarts with a break"));
  std::deque<std::optional<QString>> answers;
  std::vector<QString> shown;
  auto edit = [&](const QString& text, QWidget*) -> std::optional<QString> {
    shown.push_back(text);
    std::optional<QString> answer = answers.front();
    answers.pop_front();
    return answer;
  };
  CommentsDialog d(*a, edit, nullptr);
  QCOMPARE(d.List()->count(), 2);
  QCOMPARE(d.List()->item(0)->text(), QString("first"));
  QCOMPARE(d.List()->item(1)->text(), QString(" ..."));
  QVERIFY(!d.EditButton()->isEnabled() && !d.RemoveButton()->isEnabled());

  // Nothing selected: after the last comment.
  answers = {QString("last")};
  d.Add();
  QCOMPARE(Comments(*a), (std::vector<std::string>{"first", "\nstarts with a break", "last"}));
  QCOMPARE(d.List()->item(2)->text(), QString("last"));
  // The first selected: before it, right after the header.
  d.List()->setCurrentRow(0);
  QVERIFY(d.EditButton()->isEnabled());
  answers = {QString("zeroth")};
  d.Add();
  QCOMPARE(Comments(*a), (std::vector<std::string>{"zeroth", "first", "\nstarts with a break", "last"}));
  QCOMPARE(a->head->next->kind, kCommentBlock);
  // Cancelled: nothing.
  answers = {std::nullopt};
  d.Add();
  QCOMPARE(Comments(*a).size(), size_t{4});

  d.List()->setCurrentRow(1);
  answers = {QString("one")};
  d.Edit();
  QCOMPARE(shown.back(), QString("first"));
  QCOMPARE(Comments(*a)[1], std::string("one"));
  QCOMPARE(d.List()->item(1)->text(), QString("one"));
  QCOMPARE(d.List()->currentRow(), 1);

  // The Delete key in the list removes; the item now at that place is selected.
  QTest::keyClick(d.List(), Qt::Key_Delete);
  QCOMPARE(Comments(*a), (std::vector<std::string>{"zeroth", "\nstarts with a break", "last"}));
  QCOMPARE(d.List()->currentRow(), 1);
  d.List()->setCurrentRow(2);
  d.Remove();
  QCOMPARE(d.List()->currentRow(), -1);
  QVERIFY(!d.EditButton()->isEnabled() && !d.RemoveButton()->isEnabled());
  QVERIFY(d.Changed());
  QVERIFY(hooks.entries.empty());
}

void SheetsTest::commentsCommandIsOneUndoableStep() {
  test::TestShell shell;
  MainWindow& w = shell.window;
  w.SetCurrentAnimation(test::MakeAnimation(2, 4, 4));
  Animation& a = *w.CurrentAnimation();
  AppendBlock(a, test::MakeComment("old"));
  w.DialogServices().editComment = [](const QString&, QWidget*) { return std::optional<QString>("new"); };
  // Two changes, then the dialog closed by Escape: still one step, and it counts.
  w.DialogServices().runDialog = [](QDialog& dialog) {
    auto& d = static_cast<CommentsDialog&>(dialog);
    d.Add();
    d.List()->setCurrentRow(0);
    d.Remove();
    dialog.reject();
    return dialog.result();
  };
  QVERIFY(w.DispatchCommand(kCmdComments));
  QCOMPARE(Comments(*w.CurrentAnimation()), std::vector<std::string>{"new"});
  QVERIFY(w.IsModified());
  QCOMPARE(w.History().UndoCount(), size_t{1});
  QCOMPARE(w.History().UndoName(), std::string("GIF Comments"));
  w.DispatchCommand(kCmdUndo);
  QCOMPARE(Comments(*w.CurrentAnimation()), std::vector<std::string>{"old"});
  QVERIFY(!w.IsModified());
  // Done without a change is no step.
  w.DialogServices().runDialog = [](QDialog& dialog) {
    dialog.done(0);
    return 0;
  };
  w.DispatchCommand(kCmdComments);
  QCOMPARE(w.History().UndoCount(), size_t{0});
}

void SheetsTest::preferencesWriteOnlyOnOkAndOnlyWhatChanged() {
  test::TestShell shell;
  // A stored value with a bit no page shows stays as it is while its page is left alone.
  SetPreference(kPrefHighColor, 0x80182 | 0x40);
  SetPreference(kPrefOptimize, 77);
  const PreferenceRecord before = GetPreferenceRecord();
  {
    PreferencesDialog d(nullptr);
    d.AnimationPage()->Delay()->setText("70");
    d.SizePage()->Grow()->setChecked(true);
    d.reject();
  }
  QVERIFY(GetPreferenceRecord() == before);
  {
    PreferencesDialog d(nullptr);
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
  }
  QVERIFY(GetPreferenceRecord() == before);
  {
    PreferencesDialog d(nullptr);
    d.AnimationPage()->Delay()->setText("70");
    d.AnimationPage()->Iterations()->setText("");
    d.SizePage()->Grow()->setChecked(true);
    d.PalettePage()->UseApproach()->setChecked(true);
    d.accept();
  }
  PreferenceRecord after = GetPreferenceRecord();
  QCOMPARE(after[kPrefDefaultDelay], 70u);
  QCOMPARE(after[kPrefDefaultIterations], 0u);
  QCOMPARE(after[kPrefSizeConflict], 3u);
  QCOMPARE(after[kPrefPaletteConflict], 0x81u);  // merge with dither, no longer asking
  QCOMPARE(after[kPrefHighColor], before[kPrefHighColor]);
  QCOMPARE(after[kPrefOptimize], 77u);
  // And the record on disk says the same.
  SettingsStore reread(shell.settings.Store().Path());
  reread.Load();
  ReadPreferences(&reread);
  QVERIFY(GetPreferenceRecord() == after);
  ReadPreferences(&shell.settings.Store());
}

void SheetsTest::preferencesAnimationPageRefusesOutOfRange() {
  test::TestShell shell;
  const PreferenceRecord before = GetPreferenceRecord();
  PreferencesDialog d(nullptr);
  d.AnimationPage()->Delay()->setText("65536");
  d.Pages()->setCurrentIndex(2);  // leaving the page checks it
  QCOMPARE(d.Pages()->currentIndex(), 0);
  QCOMPARE(shell.recorder.entries.back().caption, std::string("Invalid Delay Value"));
  d.accept();
  QCOMPARE(shell.recorder.entries.size(), size_t{2});
  QCOMPARE(d.result(), 0);
  d.AnimationPage()->Delay()->setText("-1");
  d.accept();
  QCOMPARE(shell.recorder.entries.back().text,
           std::string("The delay must be in the range from 0 to 65535."));
  d.AnimationPage()->Delay()->setText("10");
  d.AnimationPage()->Iterations()->setText("99999");
  d.accept();
  QCOMPARE(shell.recorder.entries.back().caption, std::string("Bad Iteration Value"));
  QVERIFY(GetPreferenceRecord() == before);
  d.AnimationPage()->Iterations()->setText("65535");
  d.Pages()->setCurrentIndex(3);
  QCOMPARE(d.Pages()->currentIndex(), 3);
  d.accept();
  QCOMPARE(GetPreference(kPrefDefaultIterations), 65535u);
  QCOMPARE(GetPreference(kPrefDefaultDelay), 10u);
}

void SheetsTest::approachPagesEncodeAndEnable() {
  test::TestShell shell;
  PreferencesDialog d(nullptr);
  ApproachPrefsPage* palette = d.PalettePage();
  ApproachPrefsPage* high = d.HighColorPage();
  // The defaults: merge and adaptive 256, both dithered, both asking.
  QCOMPARE(palette->Approaches()->count(), 4);
  QCOMPARE(palette->Approaches()->item(0)->text(),
           QString("Merge with current global palette (Recommended)"));
  QCOMPARE(high->Approaches()->count(), 4);
  QCOMPARE(high->Approaches()->item(3)->text(), QString("Best for video"));
  QCOMPARE(high->Value(), 0x80182u);
  QCOMPARE(palette->Value(), 0x181u);
  QVERIFY(!palette->Approaches()->isEnabled() && !palette->Dither()->isEnabled());
  QVERIFY(!high->Sizes()->isEnabled() && !high->SizesLabel()->isEnabled());

  palette->UseApproach()->setChecked(true);
  QVERIFY(palette->Approaches()->isEnabled() && palette->Dither()->isEnabled());
  palette->Approaches()->setCurrentRow(3);
  QCOMPARE(palette->Approaches()->currentItem()->text(), QString("Image's palette as local palette"));
  QVERIFY(!palette->Dither()->isEnabled());
  QCOMPARE(palette->Value(), 0x20u | 0x80u);

  high->UseApproach()->setChecked(true);
  QVERIFY(high->Sizes()->isEnabled());
  high->Sizes()->setCurrentIndex(2);  // 64 colours
  high->Dither()->setChecked(false);
  QCOMPARE(high->Value(), 0x60002u);
  high->Approaches()->setCurrentRow(2);  // web cube: no size
  QVERIFY(!high->Sizes()->isEnabled());
  QCOMPARE(high->Value(), 0x8u);
  // Best for video picks its own palette: no size, no dither.
  high->Dither()->setChecked(true);
  high->Approaches()->setCurrentRow(3);
  QVERIFY(!high->Sizes()->isEnabled() && !high->Dither()->isEnabled());
  QCOMPARE(high->Value(), 0x200u);
  high->Approaches()->setCurrentRow(2);
  high->Dither()->setChecked(false);
  d.accept();
  QCOMPARE(GetPreference(kPrefHighColor), 0x8u);
  QCOMPARE(GetPreference(kPrefPaletteConflict), 0xA0u);

  // A stored 16-colour adaptive choice opens with "16" chosen.
  SetPreference(kPrefHighColor, ChoiceWithBits(kChoiceAdaptive, 4));
  PreferencesDialog again(nullptr);
  QCOMPARE(again.HighColorPage()->Sizes()->currentText(), QString("16"));
  QVERIFY(again.HighColorPage()->UseApproach()->isChecked());
}

void SheetsTest::noMenuCommandLacksAHandler() {
  // The commands of the settings, comment, HTML and clipboard dialogs all have their handlers now.
  for (int id : {kCmdCopy, kCmdCut, kCmdPaste, kCmdComments, kCmdSignature, kCmdPreferences, kCmdHtml}) {
    const CommandRow* row = MainWindow::FindCommand(id);
    QVERIFY2(row && row->handler, qPrintable(QString::number(id)));
  }
}

QTEST_MAIN(SheetsTest)
#include "test_sheets.moc"
