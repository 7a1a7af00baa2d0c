#include "app/dialogs/global_frame_properties_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/dialogs/center_window.h"
#include "color/palette_ops.h"
#include "edit/properties.h"
#include "model/animation.h"
#include "platform/ui_hooks.h"

namespace lw::app {
namespace {

// A value of the first frame and whether every other frame has it too.
template <typename T>
struct Shared {
  T value{};
  bool mixed = false;
  bool seen = false;
  void Take(T v) {
    if (!seen) value = v;
    mixed |= seen && v != value;
    seen = true;
  }
};

void ShowBox(QCheckBox* box, const Shared<bool>& s) {
  box->setTristate(s.mixed);
  box->setCheckState(s.mixed ? Qt::PartiallyChecked : s.value ? Qt::Checked : Qt::Unchecked);
}

void ShowNumber(QLineEdit* field, const Shared<int64_t>& s) {
  field->setText(s.mixed || !s.seen ? QString() : QString::number(s.value));
}

// A three-state box: nothing while grayed.
std::optional<bool> BoxValue(const QCheckBox* box) {
  if (box->checkState() == Qt::PartiallyChecked) return std::nullopt;
  return box->checkState() == Qt::Checked;
}

}  // namespace

GlobalFramePropertiesDialog::GlobalFramePropertiesDialog(Animation& a, TransparencyPicker pick,
                                                         QWidget* owner)
    : QDialog(owner), animation_(a), pick_(std::move(pick)) {
  setWindowTitle("Global Frame Properties");
  setObjectName("GlobalFrameProperties");
  auto* grid = new QGridLayout(this);
  auto* note = new QLabel(
      "Change any of these settings to affect ALL of the current frames of the animation. Blank values and "
      "grayed checkboxes mean that not all frames share the same value.");
  note->setWordWrap(true);
  note->setMinimumWidth(320);
  grid->addWidget(note, 0, 0, 1, 2);
  fields_ =
      AddFrameFields(this, grid, 1, false, "1/100th seconds delay after image", "before drawing next image");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
  connect(buttons, &QDialogButtonBox::accepted, this, &GlobalFramePropertiesDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  grid->addWidget(buttons, 3, 0, 1, 2);

  Shared<bool> interlaced, local, transparent;
  Shared<int64_t> delay, disposal, width, height, left, top;
  bool anyLocal = false;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f)) {
    interlaced.Take(IsInterlaced(*f));
    local.Take(f->localPalette != nullptr);
    anyLocal |= f->localPalette != nullptr;
    transparent.Take(IsTransparent(*f));
    delay.Take(f->delay);
    disposal.Take(GetDisposal(*f));
    width.Take(f->width);
    height.Take(f->height);
    left.Take(f->left);
    top.Take(f->top);
  }
  ShowBox(fields_.interlaced, interlaced);
  ShowBox(fields_.localPalette, local);
  ShowBox(fields_.transparent, transparent);
  fields_.localPalette->setEnabled(anyLocal);
  ShowNumber(fields_.delay, delay);
  ShowNumber(fields_.width, width);
  ShowNumber(fields_.height, height);
  ShowNumber(fields_.left, left);
  ShowNumber(fields_.top, top);
  fields_.disposal->setCurrentIndex(
      disposal.mixed || !disposal.seen || disposal.value > 3 ? -1 : static_cast<int>(disposal.value));
  fields_.editTransparent->setEnabled(pick_ && FirstFrame(a));
  connect(fields_.transparent, &QCheckBox::clicked, this, [this] {
    if (fields_.transparent->checkState() == Qt::Checked) Pick(true);
  });
  connect(fields_.editTransparent, &QPushButton::clicked, this, [this] { Pick(false); });
  adjustSize();
  CenterWindow(this, owner);
}

void GlobalFramePropertiesDialog::Pick(bool fromBox) {
  Frame* first = FirstFrame(animation_);
  if (!first || !pick_) return;
  int index = pick_(*first, chosenIndex_ >= 0       ? chosenIndex_
                            : IsTransparent(*first) ? first->transparentIndex
                                                    : -1);
  if (index >= 0 && index <= 255) {
    chosenIndex_ = index;
    fields_.transparent->setCheckState(Qt::Checked);
  } else if (fromBox) {
    fields_.transparent->setCheckState(Qt::Unchecked);
  }
}

void GlobalFramePropertiesDialog::accept() {
  FrameValues v;
  v.left = ReadNumber(fields_.left, true);
  v.top = ReadNumber(fields_.top, true);
  v.delay = ReadNumber(fields_.delay, true);
  if (!CheckFrameFields(animation_, v, nullptr, fields_)) return;
  bool changed = false;
  if (fields_.localPalette->isEnabled() && fields_.localPalette->checkState() == Qt::Unchecked) {
    // Removals change frames one by one: a failure part-way brings back the copy taken first.
    AnimationPtr keep = CopyAnimation(animation_);
    if (!keep) {
      ShowError("Not enough memory to remove the local palettes");
      return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool failed = false;
    for (Frame* f = FirstFrame(animation_); f && !failed; f = NextFrame(f)) {
      if (!f->localPalette) continue;
      failed = !RemoveLocalPalette(animation_, *f);
      changed = true;
    }
    QApplication::restoreOverrideCursor();
    if (failed) {
      SwapAnimations(animation_, *keep);
      rolledBack_ = std::move(keep);
      return;
    }
    if (changed) fields_.localPalette->setEnabled(false);
  }
  v.transparent = BoxValue(fields_.transparent);
  if (chosenIndex_ >= 0) v.transparentIndex = static_cast<uint8_t>(chosenIndex_);
  v.interlaced = BoxValue(fields_.interlaced);
  if (fields_.disposal->currentIndex() >= 0) v.disposal = fields_.disposal->currentIndex();
  for (Frame* f = FirstFrame(animation_); f; f = NextFrame(f)) ShowTransparentColor(*f, false);
  changed |= ApplyFrameValuesToAll(animation_, v);
  for (Frame* f = FirstFrame(animation_); f; f = NextFrame(f)) ShowTransparentColor(*f, true);
  done(changed ? 1 : 0);
}

}  // namespace lw::app
