#include "app/dialogs/animation_properties_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/dialogs/center_window.h"
#include "app/dialogs/frame_fields.h"
#include "app/dialogs/palette_dialogs.h"
#include "edit/properties.h"
#include "model/animation.h"

namespace lw::app {
namespace {

QLineEdit* Field(int id, const QString& text, bool readOnly) {
  auto* field = new QLineEdit(text);
  field->setObjectName(QString::number(id));
  field->setReadOnly(readOnly);
  if (readOnly) field->setFocusPolicy(Qt::NoFocus);
  return field;
}

}  // namespace

AnimationPropertiesDialog::AnimationPropertiesDialog(Animation& a, const std::string& path, QWidget* owner)
    : QDialog(owner),
      animation_(a),
      iterations_(Field(1025, QString::number(a.loopCount), false)),
      width_(Field(1021, QString::number(a.screenWidth), false)),
      height_(Field(1022, QString::number(a.screenHeight), false)),
      autoSize_(new QPushButton("Auto Size")) {
  setWindowTitle("Animation Properties");
  setObjectName("AnimationProperties");
  auto* grid = new QGridLayout(this);
  QLineEdit* file = Field(1020, QString::fromStdString(path), true);
  file->setMinimumWidth(260);
  grid->addWidget(new QLabel("File Name:"), 0, 0);
  grid->addWidget(file, 0, 1, 1, 3);
  grid->addWidget(new QLabel("Number of Frames:"), 1, 0);
  grid->addWidget(Field(1023, QString::number(a.frameCount), true), 1, 1);
  grid->addWidget(new QLabel("Number of Iterations:"), 2, 0);
  grid->addWidget(iterations_, 2, 1);
  grid->addWidget(new QLabel("(0 means continuous loop)"), 2, 2, 1, 2);
  auto* global = new QCheckBox("Global Palette");
  global->setObjectName("1066");
  global->setChecked(a.globalPalette != nullptr);
  global->setEnabled(false);
  auto* show = new QPushButton("Show...");
  show->setObjectName("1065");
  show->setEnabled(a.globalPalette != nullptr);
  connect(show, &QPushButton::clicked, this, [this] {
    if (animation_.globalPalette)
      ShowPaletteDialog(*animation_.globalPalette, &animation_.colorUse, this).exec();
  });
  show->setAutoDefault(false);
  grid->addWidget(global, 3, 0);
  grid->addWidget(show, 3, 1);
  grid->addWidget(new QLabel("Width:"), 4, 0);
  grid->addWidget(width_, 4, 1);
  grid->addWidget(new QLabel("Height:"), 4, 2);
  grid->addWidget(height_, 4, 3);
  autoSize_->setObjectName("1063");
  autoSize_->setAutoDefault(false);
  grid->addWidget(autoSize_, 5, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
  connect(buttons, &QDialogButtonBox::accepted, this, &AnimationPropertiesDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  grid->addWidget(buttons, 6, 0, 1, 4);
  // Connected after filling: only the user's edits and Auto Size count as editing the size.
  connect(width_, &QLineEdit::textEdited, this, [this] { sizeEdited_ = true; });
  connect(height_, &QLineEdit::textEdited, this, [this] { sizeEdited_ = true; });
  connect(autoSize_, &QPushButton::clicked, this, [this] {
    Extent e = AutoScreenSize(animation_);
    width_->setText(QString::number(e.width));
    height_->setText(QString::number(e.height));
    sizeEdited_ = true;
  });
  adjustSize();
  CenterWindow(this, owner);
}

void AnimationPropertiesDialog::accept() {
  AnimationValues v;
  v.iterations = ReadNumber(iterations_, false);
  if (sizeEdited_) {
    v.screenWidth = ReadNumber(width_, false);
    v.screenHeight = ReadNumber(height_, false);
  }
  switch (CheckAnimationValues(animation_, v)) {
    case PropertyField::kNone:
      break;
    case PropertyField::kScreenWidth:
      width_->setFocus();
      return;
    case PropertyField::kScreenHeight:
      height_->setFocus();
      return;
    default:
      iterations_->setFocus();
      return;
  }
  done(ApplyAnimationValues(animation_, v));
}

}  // namespace lw::app
