#include "app/dialogs/palette_conflict_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/dialogs/center_window.h"

namespace lw::app {
namespace {

struct Choice {
  uint32_t bit;
  const char* text;
};
constexpr Choice kChoices[] = {
    {0x01, "Merge with current global palette (Recommended)"}, {0x02, "Adaptive palette (Recommended)"},
    {0x04, "Only current global palette with no changes"},     {0x08, "Web's \"color cube\" palette"},
    {0x10, "Web's \"color cube\" palette (remap all frames)"}, {0x20, "Image's palette as local palette"},
};
constexpr uint32_t kAdaptive = 0x02;
// Full-colour pictures may also take the high-quality quantizer: the adaptive choice with its own bit.
constexpr Choice kBestChoice = {0x42, "High quality adaptive palette (slower)"};
constexpr uint32_t kImagePalette = 0x20;
// A movie's pictures may go through the clip encoder, which picks its own palette and needs no dither.
constexpr Choice kVideoChoice = {0x200, "Best for video"};
constexpr uint32_t kMovie = 0x0400;

}  // namespace

QString PaletteConflictDialog::ChoiceText(uint32_t bit) {
  for (const Choice& c : kChoices)
    if (c.bit == bit) return c.text;
  if (bit == kVideoChoice.bit) return kVideoChoice.text;
  return {};
}

QString PaletteConflictDialog::MessageFor(uint32_t flags) {
  if (flags & 0x1000)
    return "The frame(s) to be inserted cannot be matched exactly to the current global palette. How would "
           "like the color mapping to be handled?";
  if (flags & 0x2000)
    return "Removing the local palette requires colors to be remapped to the global palette. How would like "
           "the color mapping to be handled?";
  if (flags & 0x4000)
    return "The frame to be pasted is a \"full color\" image that must be mapped down to 256 colors. How "
           "would "
           "like this mapping to be handled?";
  return {};
}

PaletteConflictDialog::PaletteConflictDialog(uint32_t flags, QWidget* owner)
    : QDialog(owner),
      choices_(new QComboBox),
      colorsLabel_(new QLabel("Number of colors in adaptive palette:")),
      colors_(new QComboBox),
      dither_(new QCheckBox("Dither to palette")),
      makeDefault_(new QCheckBox("Make this the default and don't ask again")) {
  setWindowTitle("Palette Conflict");
  setObjectName("PaletteConflict");
  choices_->setObjectName("1080");
  colorsLabel_->setObjectName("1082");
  colors_->setObjectName("1076");
  dither_->setObjectName("1077");
  makeDefault_->setObjectName("1083");

  auto* icon = new QLabel;
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  auto* message = new QLabel(MessageFor(flags));
  message->setObjectName("message");
  message->setWordWrap(true);
  message->setMinimumWidth(360);

  if (flags & kMovie) choices_->addItem(kVideoChoice.text, kVideoChoice.bit);
  for (const Choice& c : kChoices) {
    if (flags & c.bit) choices_->addItem(c.text, c.bit);
    if (c.bit == kAdaptive && (flags & kAdaptive) && (flags & 0x4000))
      choices_->addItem(kBestChoice.text, kBestChoice.bit);
  }
  for (int bits = 8; bits >= 1; --bits) colors_->addItem(QString::number(1 << bits));
  choices_->setCurrentIndex(0);
  colors_->setCurrentIndex(0);
  dither_->setChecked(true);
  makeDefault_->setVisible(!(flags & 0x8000));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(choices_, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabling(); });

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, Qt::AlignTop);
  grid->addWidget(message, 0, 1, 1, 2);
  grid->addWidget(new QLabel("Palette to use:"), 1, 1);
  grid->addWidget(choices_, 1, 2);
  grid->addWidget(colorsLabel_, 2, 1);
  grid->addWidget(colors_, 2, 2);
  grid->addWidget(dither_, 3, 1, 1, 2);
  grid->addWidget(makeDefault_, 4, 1, 1, 2);
  grid->addWidget(buttons, 5, 0, 1, 3);
  UpdateEnabling();
}

void PaletteConflictDialog::UpdateEnabling() {
  uint32_t bit = choices_->currentData().toUInt();
  colorsLabel_->setEnabled(bit & kAdaptive);
  colors_->setEnabled(bit & kAdaptive);
  dither_->setEnabled(bit != kImagePalette && bit != kVideoChoice.bit);
}

UiHooks::PaletteConflictAnswer PaletteConflictDialog::Answer() const {
  UiHooks::PaletteConflictAnswer answer;
  uint32_t bit = choices_->currentData().toUInt();
  if (!bit) return answer;
  answer.choice = bit;
  if (dither_->isChecked() && bit != kVideoChoice.bit) answer.choice |= 0x80;
  if (bit & kAdaptive) answer.choice |= static_cast<uint32_t>(8 - colors_->currentIndex()) << 16;
  answer.makeDefault = makeDefault_->isVisible() && makeDefault_->isChecked();
  return answer;
}

UiHooks::PaletteConflictAnswer PaletteConflictDialog::Ask(uint32_t flags, QWidget* owner) {
  PaletteConflictDialog dialog(flags, owner);
  dialog.adjustSize();
  CenterWindow(&dialog, owner);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.Answer();
}

}  // namespace lw::app
