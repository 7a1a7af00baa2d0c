#include "app/dialogs/preferences_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <span>

#include "app/dialogs/center_window.h"
#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/frame_fields.h"
#include "app/dialogs/palette_conflict_dialog.h"
#include "color/palette_choice.h"
#include "model/preferences.h"
#include "platform/ui_hooks.h"

namespace lw::app {
namespace {

QLabel* Intro(const QString& text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  label->setMinimumWidth(380);
  return label;
}

QLineEdit* NumberBox(int id, uint32_t value) {
  auto* box = new QLineEdit(QString::number(value));
  box->setObjectName(QString::number(id));
  box->setMaxLength(9);
  box->setMaximumWidth(80);
  return box;
}

QRadioButton* Radio(const QString& text, int id) {
  auto* radio = new QRadioButton(text);
  radio->setObjectName(QString::number(id));
  return radio;
}

// The approaches each page offers, in bit order.
constexpr uint32_t kPaletteBits[] = {kChoiceMerge, kChoiceGlobalOnly, kChoiceWebCubeAll, kChoiceImagePalette};
constexpr uint32_t kHighColorBits[] = {kChoiceAdaptive, kChoiceGlobalOnly, kChoiceWebCube, kChoiceVideo};

}  // namespace

// ---- Animation ----

AnimationPrefsPage::AnimationPrefsPage()
    : delay_(NumberBox(1101, GetPreference(kPrefDefaultDelay))),
      iterations_(NumberBox(1102, GetPreference(kPrefDefaultIterations))),
      shownDelay_(GetPreference(kPrefDefaultDelay)),
      shownIterations_(GetPreference(kPrefDefaultIterations)) {
  setObjectName("157");
  auto* grid = new QGridLayout(this);
  grid->addWidget(Intro("When an animation is being built, what default values should be used in cases where "
                        "none currently exist?"),
                  0, 0, 1, 3);
  grid->addWidget(new QLabel("Default delay:"), 1, 0);
  grid->addWidget(delay_, 1, 1);
  grid->addWidget(new QLabel("1/100th of a second"), 1, 2);
  grid->addWidget(new QLabel("Default number of iterations:"), 2, 0);
  grid->addWidget(iterations_, 2, 1);
  grid->addWidget(new QLabel("(0 means continuous loop)"), 2, 2);
  grid->setRowStretch(3, 1);
}

bool AnimationPrefsPage::Check() {
  struct Box {
    QLineEdit* box;
    const char* caption;
    const char* text;
  };
  const Box boxes[] = {
      {delay_, "Invalid Delay Value", "The delay must be in the range from 0 to 65535."},
      {iterations_, "Bad Iteration Value", "The number of iterations must be in the range from 0 to 65535"},
  };
  for (const Box& b : boxes) {
    int64_t value = ReadNumber(b.box, false).value_or(0);
    if (value >= 0 && value <= 65535) continue;
    Hooks().MessageBox(b.caption, b.text, MsgButtons::Ok, MsgIcon::Exclamation);
    refused_ = b.box;
    b.box->setFocus();
    return false;
  }
  return true;
}

void AnimationPrefsPage::FocusRefused() {
  if (refused_) refused_->setFocus();
}

void AnimationPrefsPage::Store() {
  auto delay = static_cast<uint32_t>(ReadNumber(delay_, false).value_or(0));
  auto iterations = static_cast<uint32_t>(ReadNumber(iterations_, false).value_or(0));
  if (delay != shownDelay_) SetPreference(kPrefDefaultDelay, delay);
  if (iterations != shownIterations_) SetPreference(kPrefDefaultIterations, iterations);
}

// ---- Palette Conflict and High Color Mapping ----

ApproachPrefsPage::ApproachPrefsPage(int slot)
    : slot_(slot),
      use_(Radio("Use the following approach:", 1114)),
      ask_(Radio("Always ask", 1121)),
      approaches_(new QListWidget),
      dither_(new QCheckBox("Dither to palette")) {
  const bool highColor = slot == kPrefHighColor;
  setObjectName(highColor ? "160" : "158");
  auto* grid = new QGridLayout(this);
  grid->addWidget(
      Intro(highColor
                ? "When a \"high color\" (more than 8-bit color) frame is inserted into an animation, the "
                  "colors need to be mapped to GIF's limit of 256 colors (8-bit). How should the image "
                  "be mapped down (before merging)?"
                : "When there's a need to map one frame's palette to the animation's global palette "
                  "(i.e. when a new frame is inserted into an animation or a local palette is to be "
                  "removed), how should this be handled?"),
      0, 0, 1, 2);
  auto* group = new QButtonGroup(this);
  group->addButton(use_);
  group->addButton(ask_);
  grid->addWidget(use_, 1, 0, 1, 2);
  approaches_->setObjectName("1080");
  approaches_->setMaximumHeight(90);
  grid->addWidget(approaches_, 2, 0, 1, 2);
  int row = 3;
  if (highColor) {
    sizesLabel_ = new QLabel("Number of colors in adaptive palette:");
    sizesLabel_->setObjectName("1082");
    sizes_ = new QComboBox;
    sizes_->setObjectName("1076");
    for (int bits = 8; bits >= 1; --bits) sizes_->addItem(QString::number(1 << bits));
    grid->addWidget(sizesLabel_, row, 0);
    grid->addWidget(sizes_, row++, 1, Qt::AlignLeft);
  }
  dither_->setObjectName("1077");
  grid->addWidget(dither_, row++, 0, 1, 2);
  grid->addWidget(ask_, row++, 0, 1, 2);
  grid->setRowStretch(row, 1);

  const uint32_t stored = GetPreference(slot);
  int selected = 0;
  const std::span<const uint32_t> offered =
      highColor ? std::span<const uint32_t>(kHighColorBits) : std::span<const uint32_t>(kPaletteBits);
  for (uint32_t bit : offered) {
    auto* item = new QListWidgetItem(PaletteConflictDialog::ChoiceText(bit), approaches_);
    item->setData(Qt::UserRole, bit);
    if ((stored & bit) && selected == 0) selected = approaches_->count();
  }
  approaches_->setCurrentRow(selected > 0 ? selected - 1 : 0);
  dither_->setChecked(stored & kChoiceDither);
  if (sizes_) {
    int item = 8 - ChoiceAdaptiveBits(stored);
    sizes_->setCurrentIndex(item >= 0 && item < 8 ? item : 0);
  }
  (stored & kChoiceAlwaysAsk ? ask_ : use_)->setChecked(true);
  shown_ = Value();
  connect(use_, &QRadioButton::toggled, this, &ApproachPrefsPage::UpdateEnabling);
  connect(approaches_, &QListWidget::currentRowChanged, this, &ApproachPrefsPage::UpdateEnabling);
  UpdateEnabling();
}

void ApproachPrefsPage::UpdateEnabling() {
  const bool ask = ask_->isChecked();
  const uint32_t bit =
      approaches_->currentItem() ? approaches_->currentItem()->data(Qt::UserRole).toUInt() : 0;
  approaches_->setEnabled(!ask);
  if (sizes_) {
    sizesLabel_->setEnabled(!ask && bit == kChoiceAdaptive);
    sizes_->setEnabled(!ask && bit == kChoiceAdaptive);
  }
  dither_->setEnabled(!ask && bit != kChoiceImagePalette && bit != kChoiceVideo);
}

uint32_t ApproachPrefsPage::Value() const {
  const uint32_t bit =
      approaches_->currentItem() ? approaches_->currentItem()->data(Qt::UserRole).toUInt() : 0;
  uint32_t value = bit;
  if (dither_->isChecked() && bit != kChoiceVideo) value |= kChoiceDither;
  if (bit == kChoiceAdaptive && sizes_)
    value |= static_cast<uint32_t>(8 - sizes_->currentIndex()) << kChoiceBitsShift;
  if (ask_->isChecked()) value |= kChoiceAlwaysAsk;
  return value;
}

void ApproachPrefsPage::Store() {
  // A page the user left as it opened keeps the stored value, bits the page does not show included.
  if (Value() != shown_) SetPreference(slot_, Value());
}

// ---- Size Conflict ----

SizePrefsPage::SizePrefsPage()
    : clip_(Radio("Clip inserted frame to current size", 1111)),
      grow_(Radio("Change current size to fit inserted frame", 1112)),
      ask_(Radio("Always ask", 1121)) {
  setObjectName("159");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(
      Intro("When a frame to be inserted is larger than the current animation size, how should this be "
            "handled?"));
  for (QRadioButton* radio : {clip_, grow_, ask_}) layout->addWidget(radio);
  layout->addStretch(1);
  const uint32_t stored = GetPreference(kPrefSizeConflict);
  (stored == 3 ? grow_ : stored == 2 ? clip_ : ask_)->setChecked(true);
  shown_ = Value();
}

uint32_t SizePrefsPage::Value() const {
  return grow_->isChecked() ? 3 : clip_->isChecked() ? 2 : 1;
}

void SizePrefsPage::Store() {
  if (Value() != shown_) SetPreference(kPrefSizeConflict, Value());
}

// ---- The sheet ----

PreferencesDialog::PreferencesDialog(QWidget* owner)
    : QDialog(owner),
      tabs_(new QTabWidget),
      animation_(new AnimationPrefsPage),
      palette_(new ApproachPrefsPage(kPrefPaletteConflict)),
      highColor_(new ApproachPrefsPage(kPrefHighColor)),
      size_(new SizePrefsPage) {
  setObjectName("Preferences");
  setWindowTitle("Preferences");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* layout = new QVBoxLayout(this);
  tabs_->addTab(animation_, "Animation");
  tabs_->addTab(palette_, "Palette Conflict");
  tabs_->addTab(highColor_, "High Color Mapping");
  tabs_->addTab(size_, "Size Conflict");
  layout->addWidget(tabs_);
  layout->addWidget(OkCancelButtons(this));
  // Leaving the "Animation" page checks its numbers; a refused one brings the page back.
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (current_ == 0 && index != 0 && !animation_->Check()) {
      QSignalBlocker block(tabs_);
      tabs_->setCurrentIndex(0);
      animation_->FocusRefused();
      return;
    }
    current_ = index;
  });
  adjustSize();
  CenterWindow(this, owner);
}

void PreferencesDialog::accept() {
  if (!animation_->Check()) {
    QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(0);
    current_ = 0;
    animation_->FocusRefused();
    return;
  }
  animation_->Store();
  palette_->Store();
  highColor_->Store();
  size_->Store();
  QDialog::accept();
}

}  // namespace lw::app
