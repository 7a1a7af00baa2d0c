#include "app/dialogs/html_code_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/dialogs/center_window.h"
#include "io/html_tag.h"
#include "platform/ui_hooks.h"

namespace lw::app {
namespace {

QLineEdit* Field(int id) {
  auto* field = new QLineEdit;
  field->setObjectName(QString::number(id));
  field->setMinimumWidth(280);
  return field;
}

}  // namespace

HtmlCodeDialog::HtmlCodeDialog(const Animation& a, const std::string& path, QWidget* owner)
    : QDialog(owner),
      animation_(a),
      fileName_(Field(1073)),
      link_(Field(1069)),
      description_(Field(1072)),
      border_(new QSpinBox),
      code_(new QPlainTextEdit),
      copy_(new QPushButton("Copy Code")) {
  setObjectName("188");
  setWindowTitle("HTML Code");
  auto* layout = new QGridLayout(this);
  auto* intro = new QLabel(
      "Select the desired image attributes from below and then copy the HTML code to paste to your "
      "favorite HTML editor. (Items may be left blank if not needed.)");
  intro->setWordWrap(true);
  layout->addWidget(intro, 0, 0, 1, 2);

  auto* group = new QGroupBox("Image Attributes");
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel("File Name:"), 0, 0);
  grid->addWidget(fileName_, 0, 1, 1, 2);
  grid->addWidget(new QLabel("Link to:"), 1, 0);
  grid->addWidget(link_, 1, 1, 1, 2);
  grid->addWidget(new QLabel("Description:"), 2, 0);
  grid->addWidget(description_, 2, 1);
  grid->addWidget(new QLabel("(ALT tag)"), 2, 2);
  border_->setObjectName("1070");
  border_->setRange(0, static_cast<int>(kMaxHtmlBorder));
  border_->setValue(0);
  grid->addWidget(new QLabel("Border:"), 3, 0);
  grid->addWidget(border_, 3, 1, Qt::AlignLeft);
  grid->addWidget(new QLabel("width in pixels"), 3, 2);
  layout->addWidget(group, 1, 0, 1, 2);

  layout->addWidget(new QLabel("HTML Code:"), 2, 0, 1, 2);
  code_->setObjectName("1085");
  code_->setReadOnly(true);
  code_->setFixedHeight(90);
  layout->addWidget(code_, 3, 0, 1, 2);

  auto* buttons = new QDialogButtonBox;
  copy_->setObjectName("1171");
  copy_->setDefault(true);
  buttons->addButton(copy_, QDialogButtonBox::ActionRole);
  QPushButton* close = buttons->addButton("Close", QDialogButtonBox::RejectRole);
  close->setObjectName("2");
  close->setAutoDefault(false);
  connect(copy_, &QPushButton::clicked, this, &HtmlCodeDialog::CopyCode);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons, 4, 0, 1, 2);

  std::string base = HtmlBaseName(path);
  if (!base.empty()) {
    // A saved document's name is the name the page refers to: it is not for editing.
    fileName_->setText(QString::fromStdString(base));
    fileName_->setReadOnly(true);
    link_->setFocus();
  } else {
    fileName_->setFocus();
  }
  for (QLineEdit* field : {fileName_, link_, description_})
    connect(field, &QLineEdit::textChanged, this, &HtmlCodeDialog::BuildCode);
  connect(border_, &QSpinBox::valueChanged, this, &HtmlCodeDialog::BuildCode);
  BuildCode();
  adjustSize();
  CenterWindow(this, owner);
}

void HtmlCodeDialog::BuildCode() {
  HtmlTagFields fields;
  fields.fileName = fileName_->text().toStdString();
  fields.link = link_->text().toStdString();
  fields.description = description_->text().toStdString();
  fields.border = std::to_string(border_->value());
  code_->setPlainText(QString::fromStdString(BuildHtmlTag(animation_, fields)));
}

void HtmlCodeDialog::CopyCode() {
  if (fileName_->text().isEmpty()) {
    ShowError("A file name is needed to generate the HTML code");
    fileName_->setFocus();
    return;
  }
  QApplication::clipboard()->setText(code_->toPlainText());
}

}  // namespace lw::app
