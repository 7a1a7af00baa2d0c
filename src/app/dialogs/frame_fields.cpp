#include "app/dialogs/frame_fields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "edit/properties.h"

namespace lw::app {
namespace {

QLineEdit* NumberField(int id, bool readOnly) {
  auto* field = new QLineEdit;
  field->setObjectName(QString::number(id));
  field->setReadOnly(readOnly);
  field->setMaximumWidth(80);
  if (readOnly) field->setFocusPolicy(Qt::NoFocus);
  return field;
}

QCheckBox* Box(int id, const char* text) {
  auto* box = new QCheckBox(text);
  box->setObjectName(QString::number(id));
  return box;
}

QPushButton* Button(int id, const char* text) {
  auto* button = new QPushButton(text);
  button->setObjectName(QString::number(id));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

FrameFields AddFrameFields(QWidget* owner, QGridLayout* grid, int row, bool withShowPalette,
                           const QString& delayLabel, const QString& disposalLabel) {
  FrameFields f;
  auto* image = new QGroupBox("Image", owner);
  auto* ig = new QGridLayout(image);
  f.width = NumberField(kIdWidth, true);
  f.height = NumberField(kIdHeight, true);
  f.left = NumberField(kIdOffsetX, false);
  f.top = NumberField(kIdOffsetY, false);
  ig->addWidget(new QLabel("Width:"), 0, 0);
  ig->addWidget(f.width, 0, 1);
  ig->addWidget(new QLabel("Offset X:"), 0, 2);
  ig->addWidget(f.left, 0, 3);
  ig->addWidget(new QLabel("Height:"), 1, 0);
  ig->addWidget(f.height, 1, 1);
  ig->addWidget(new QLabel("Offset Y:"), 1, 2);
  ig->addWidget(f.top, 1, 3);
  f.transparent = Box(kIdTransparent, "Transparent");
  f.editTransparent = Button(kIdEditTransparent, "Edit...");
  f.interlaced = Box(kIdInterlaced, "Interlaced");
  f.localPalette = Box(kIdLocalPalette, "Local Palette");
  ig->addWidget(f.transparent, 2, 0, 1, 2);
  ig->addWidget(f.editTransparent, 2, 2);
  ig->addWidget(f.interlaced, 3, 0, 1, 2);
  ig->addWidget(f.localPalette, 4, 0, 1, 2);
  if (withShowPalette) {
    f.showPalette = Button(kIdShowPalette, "Show...");
    f.showPalette->setEnabled(false);
    ig->addWidget(f.showPalette, 4, 2);
  }
  grid->addWidget(image, row, 0, 1, 2);

  auto* animation = new QGroupBox("Animation", owner);
  auto* ag = new QGridLayout(animation);
  f.delay = NumberField(kIdDelay, false);
  ag->addWidget(f.delay, 0, 0);
  ag->addWidget(new QLabel(delayLabel), 0, 1);
  f.disposal = new QComboBox;
  f.disposal->setObjectName(QString::number(kIdDisposal));
  f.disposal->addItems({"No disposal method", "Leave alone", "Background color", "Restore previous"});
  ag->addWidget(f.disposal, 1, 0);
  ag->addWidget(new QLabel(disposalLabel), 1, 1);
  grid->addWidget(animation, row + 1, 0, 1, 2);
  return f;
}

bool CheckFrameFields(const Animation& a, const FrameValues& v, const Frame* only,
                      const FrameFields& fields) {
  switch (CheckFrameValues(a, v, only)) {
    case PropertyField::kNone:
      return true;
    case PropertyField::kOffsetX:
      fields.left->setFocus();
      return false;
    case PropertyField::kOffsetY:
      fields.top->setFocus();
      return false;
    default:
      fields.delay->setFocus();
      return false;
  }
}

std::optional<int64_t> ReadNumber(const QLineEdit* field, bool blankIsMixed) {
  QString text = field->text().trimmed();
  if (text.isEmpty()) return blankIsMixed ? std::nullopt : std::optional<int64_t>(0);
  // Like the platform's own reading of a number field: an optional sign and the digits that follow;
  // anything else is 0. Long runs of digits stay far outside every range.
  int i = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    i = 1;
  }
  int64_t value = 0;
  int digits = 0;
  for (; i < text.size() && text[i].isDigit(); ++i, ++digits)
    if (value < (int64_t{1} << 40)) value = value * 10 + text[i].digitValue();
  if (digits == 0) return int64_t{0};
  return negative ? -value : value;
}

}  // namespace lw::app
