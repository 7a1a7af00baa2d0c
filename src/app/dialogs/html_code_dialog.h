// "HTML Code": composes the image tag for the animation (file name, screen size, link, border and
// description) and copies it to the clipboard. The tag is made again on every change of a field.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace lw {
struct Animation;
}

namespace lw::app {

class HtmlCodeDialog : public QDialog {
  Q_OBJECT

 public:
  // path: the document's file ("" for one never saved); its base name fills the file name field.
  HtmlCodeDialog(const Animation& a, const std::string& path, QWidget* owner);
  QLineEdit* FileName() const { return fileName_; }
  QLineEdit* Link() const { return link_; }
  QLineEdit* Description() const { return description_; }
  QSpinBox* Border() const { return border_; }
  QPlainTextEdit* Code() const { return code_; }
  QPushButton* CopyButton() const { return copy_; }

  // "Copy Code": the tag to the clipboard, or the message that a file name is needed.
  void CopyCode();

 private:
  void BuildCode();

  const Animation& animation_;
  QLineEdit* fileName_;
  QLineEdit* link_;
  QLineEdit* description_;
  QSpinBox* border_;
  QPlainTextEdit* code_;
  QPushButton* copy_;
};

}  // namespace lw::app
