// "Edit GIF Comments": the comment blocks of the animation, in file order, with Add, Edit and Remove;
// and "Edit Comment", the editor of one comment's text. The list dialog changes the animation it is given
// directly and ends with 1 when it changed anything (the caller runs it inside one step of the history).
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace lw {
struct Animation;
struct ExtensionBlock;
}  // namespace lw

namespace lw::app {

// "Edit Comment": OK without an edit ends with 0; after an edit a text over 254 bytes is refused with the
// "Comment Too Long" box and the dialog stays, else it ends with 1.
class CommentDialog : public QDialog {
  Q_OBJECT

 public:
  CommentDialog(const QString& text, QWidget* owner);
  QPlainTextEdit* Text() const { return text_; }
  QString Result() const;

 public slots:
  void accept() override;

 private:
  QPlainTextEdit* text_;
  bool edited_ = false;
};

class CommentsDialog : public QDialog {
  Q_OBJECT

 public:
  // Opens the comment editor with a text: the edited text, or nothing when the editor gave 0.
  using EditComment = std::function<std::optional<QString>(const QString& text, QWidget* owner)>;

  CommentsDialog(Animation& a, EditComment edit, QWidget* owner);
  QListWidget* List() const { return list_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* EditButton() const { return edit_; }
  QPushButton* RemoveButton() const { return remove_; }
  bool Changed() const { return changed_; }

  void Add();
  void Edit();
  void Remove();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void EnableButtons();
  void ShowItem(int row, ExtensionBlock* block, bool insert);

  Animation& animation_;
  EditComment editComment_;
  QListWidget* list_;
  QPushButton* add_;
  QPushButton* edit_;
  QPushButton* remove_;
  std::vector<ExtensionBlock*> blocks_;  // the block of each list item, in list order
  bool changed_ = false;
};

// Runs "Edit Comment" modally.
std::optional<QString> RunCommentDialog(const QString& text, QWidget* owner);

}  // namespace lw::app
