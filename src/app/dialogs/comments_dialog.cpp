#include "app/dialogs/comments_dialog.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/dialogs/center_window.h"
#include "app/dialogs/dialog_buttons.h"
#include "edit/comments.h"
#include "model/animation.h"
#include "platform/ui_hooks.h"

namespace lw::app {

// ---- Edit Comment ----

CommentDialog::CommentDialog(const QString& text, QWidget* owner)
    : QDialog(owner), text_(new QPlainTextEdit) {
  setObjectName("115");
  setWindowTitle("Edit Comment");
  auto* layout = new QVBoxLayout(this);
  text_->setObjectName("1048");
  text_->setMinimumSize(360, 120);
  text_->setTabChangesFocus(true);
  text_->setPlainText(text);
  layout->addWidget(text_);
  layout->addWidget(OkCancelButtons(this));
  connect(text_, &QPlainTextEdit::textChanged, this, [this] { edited_ = true; });
  text_->setFocus();
  adjustSize();
  CenterWindow(this, owner);
}

QString CommentDialog::Result() const {
  return text_->toPlainText();
}

void CommentDialog::accept() {
  if (!edited_) {
    done(0);
    return;
  }
  // Bytes, not letters: a comment block holds at most 255 of them and a character is never cut.
  if (!CheckCommentLength(text_->toPlainText().toStdString())) {
    text_->setFocus();
    return;
  }
  done(1);
}

std::optional<QString> RunCommentDialog(const QString& text, QWidget* owner) {
  CommentDialog dialog(text, owner);
  if (dialog.exec() != 1) return std::nullopt;
  return dialog.Result();
}

// ---- Edit GIF Comments ----

namespace {

QPushButton* Button(const QString& label, int id) {
  auto* button = new QPushButton(label);
  button->setObjectName(QString::number(id));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

CommentsDialog::CommentsDialog(Animation& a, EditComment edit, QWidget* owner)
    : QDialog(owner),
      animation_(a),
      editComment_(std::move(edit)),
      list_(new QListWidget),
      add_(Button("Add...", 1051)),
      edit_(Button("Edit...", 1046)),
      remove_(Button("Remove", 1047)) {
  setObjectName("114");
  setWindowTitle("Edit GIF Comments");
  auto* grid = new QGridLayout(this);
  list_->setObjectName("1045");
  list_->setMinimumSize(320, 140);
  // Items a little taller than the list's standard ones.
  list_->setStyleSheet("QListWidget::item { padding-top: 1px; padding-bottom: 1px; }");
  list_->installEventFilter(this);
  grid->addWidget(list_, 0, 0, 4, 1);
  grid->addWidget(add_, 0, 1);
  grid->addWidget(edit_, 1, 1);
  grid->addWidget(remove_, 2, 1);
  QPushButton* finish = Button("Done", 1);
  finish->setDefault(true);
  grid->addWidget(finish, 3, 1, Qt::AlignBottom);
  auto* note = new QLabel(
      "Note: The above comments are embedded in the GIF file but are ignored by most applications that "
      "display GIFs, including web browsers. ");
  note->setWordWrap(true);
  grid->addWidget(note, 4, 0, 1, 2);

  for (ExtensionBlock* block : CommentBlocks(animation_)) ShowItem(list_->count(), block, true);
  connect(list_, &QListWidget::currentRowChanged, this, &CommentsDialog::EnableButtons);
  connect(list_, &QListWidget::itemDoubleClicked, this, &CommentsDialog::Edit);
  connect(add_, &QPushButton::clicked, this, &CommentsDialog::Add);
  connect(edit_, &QPushButton::clicked, this, &CommentsDialog::Edit);
  connect(remove_, &QPushButton::clicked, this, &CommentsDialog::Remove);
  connect(finish, &QPushButton::clicked, this, [this] { done(changed_ ? 1 : 0); });
  list_->setCurrentRow(-1);
  EnableButtons();
  adjustSize();
  CenterWindow(this, owner);
}

void CommentsDialog::ShowItem(int row, ExtensionBlock* block, bool insert) {
  QString text = QString::fromStdString(CommentSummary(GetCommentText(*block)));
  if (insert) {
    list_->insertItem(row, text);
    blocks_.insert(blocks_.begin() + row, block);
  } else {
    list_->item(row)->setText(text);
    blocks_[static_cast<size_t>(row)] = block;
  }
}

void CommentsDialog::EnableButtons() {
  bool selected = list_->currentRow() >= 0 && list_->currentItem() && list_->currentItem()->isSelected();
  edit_->setEnabled(selected);
  remove_->setEnabled(selected);
}

void CommentsDialog::Add() {
  std::optional<QString> text = editComment_ ? editComment_(QString(), this) : std::nullopt;
  if (!text) return;
  int row = list_->currentRow();
  bool selected = row >= 0 && list_->currentItem()->isSelected();
  ExtensionBlock* block =
      AddComment(animation_, text->toStdString(), selected ? blocks_[static_cast<size_t>(row)] : nullptr);
  if (!block) return;
  int at = selected ? row : list_->count();
  ShowItem(at, block, true);
  list_->setCurrentRow(at);
  changed_ = true;
  EnableButtons();
}

void CommentsDialog::Edit() {
  int row = list_->currentRow();
  if (row < 0) return;
  ExtensionBlock* block = blocks_[static_cast<size_t>(row)];
  std::optional<QString> text =
      editComment_ ? editComment_(QString::fromStdString(GetCommentText(*block)), this) : std::nullopt;
  if (!text) return;
  if (!SetCommentText(*block, text->toStdString())) return;
  ShowItem(row, block, false);
  list_->setCurrentRow(row);
  changed_ = true;
}

void CommentsDialog::Remove() {
  int row = list_->currentRow();
  if (row < 0) return;
  ExtensionBlock* block = blocks_[static_cast<size_t>(row)];
  blocks_.erase(blocks_.begin() + row);
  delete list_->takeItem(row);
  UnlinkAndFreeBlock(block);
  changed_ = true;
  list_->setCurrentRow(row < list_->count() ? row : -1);
  EnableButtons();
}

bool CommentsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    Remove();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace lw::app
