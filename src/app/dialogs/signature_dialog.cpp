#include "app/dialogs/signature_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/dialogs/center_window.h"
#include "app/dialogs/dialog_buttons.h"
#include "edit/comments.h"
#include "model/preferences.h"

namespace lw::app {

SignatureDialog::SignatureDialog(QWidget* owner)
    : QDialog(owner),
      always_(new QCheckBox("Always add this comment (max 255 characters):")),
      text_(new QPlainTextEdit) {
  setObjectName("179");
  setWindowTitle("Edit Signature Comment");
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(
      "A \"signature comment\" (for example, a copyright notice) can be added to each animation when it is "
      "being saved. ");
  intro->setWordWrap(true);
  layout->addWidget(intro);
  always_->setObjectName("1083");
  layout->addWidget(always_);
  text_->setObjectName("1069");
  text_->setMinimumSize(340, 90);
  text_->setTabChangesFocus(true);
  layout->addWidget(text_);
  layout->addWidget(OkCancelButtons(this));

  text_->setPlainText(QString::fromStdString(GetSignatureText(true)));
  always_->setChecked(!(GetPreference(kPrefFlags) & kPrefNoSignature));
  text_->setEnabled(always_->isChecked());
  connect(always_, &QCheckBox::toggled, text_, &QWidget::setEnabled);
  // Connected after filling: only the user's typing counts as an edit.
  connect(text_, &QPlainTextEdit::textChanged, this, [this] { edited_ = true; });
  adjustSize();
  CenterWindow(this, owner);
}

void SignatureDialog::accept() {
  // The comment block holds at most 255 bytes; a longer text would be cut, possibly inside a character.
  std::string text = text_->toPlainText().toStdString();
  if (text.size() > kMaxSignatureLength) {
    CheckCommentLength(text, kMaxSignatureLength);
    text_->setFocus();
    return;
  }
  bool changed = false;
  if (edited_) {
    SetSignatureText(text);
    changed = true;
  }
  uint32_t flags = GetPreference(kPrefFlags);
  uint32_t wanted = always_->isChecked() ? flags & ~uint32_t{kPrefNoSignature} : flags | kPrefNoSignature;
  if (wanted != flags) {
    SetPreference(kPrefFlags, wanted);
    changed = true;
  }
  done(changed ? 1 : 0);
}

}  // namespace lw::app
