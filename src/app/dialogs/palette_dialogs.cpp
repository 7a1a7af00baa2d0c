#include "app/dialogs/palette_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

#include "app/dialogs/center_window.h"
#include "app/dialogs/dialog_buttons.h"
#include "model/preferences.h"

namespace lw::app {
namespace {

// Stores one flag of preference slot 6.
void StoreFlag(uint32_t flag, bool on) {
  uint32_t flags = GetPreference(kPrefFlags);
  uint32_t now = on ? flags | flag : flags & ~flag;
  if (now != flags) SetPreference(kPrefFlags, now);
}

QFrame* Framed(QWidget* inside, int id) {
  auto* frame = new QFrame;
  frame->setObjectName(QString::number(id));
  frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  frame->setLineWidth(1);
  auto* layout = new QGridLayout(frame);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->addWidget(inside);
  return frame;
}

}  // namespace

// ---- Show Palette ----

int ShowPaletteDialog::ColorsInUse(const Palette& palette, const ColorCounts* counts) {
  if (!counts) return 0;
  int used = 0;
  for (int i = 0; i < palette.Count() && i < 256; ++i) used += (*counts)[static_cast<size_t>(i)] != 0;
  return used;
}

ShowPaletteDialog::ShowPaletteDialog(const Palette& palette, const ColorCounts* counts, QWidget* owner)
    : QDialog(owner),
      grid_(new ColorGrid(16)),
      hint_(new HintWindow),
      inUse_(new QCheckBox("Show colors in use")) {
  setWindowTitle("Show Palette");
  setObjectName("ShowPalette");
  auto* layout = new QGridLayout(this);
  layout->addWidget(Framed(grid_, kPaletteGridId), 0, 0, 1, 2, Qt::AlignHCenter);
  inUse_->setObjectName(QString::number(kPaletteInUseBox));
  layout->addWidget(inUse_, 1, 0);
  auto* close = new QPushButton("Close");
  close->setObjectName("1");
  close->setDefault(true);
  layout->addWidget(close, 1, 1, Qt::AlignRight);
  auto* text =
      new QLabel(QString::asprintf("Colors in use: %d of %d", ColorsInUse(palette, counts), palette.Count()));
  text->setObjectName(QString::number(kPaletteInUseText));
  layout->addWidget(text, 2, 0, 1, 2);
  if (counts)
    inUse_->setChecked(GetPreference(kPrefFlags) & kPrefShowColorsInUse);
  else
    inUse_->setEnabled(false);
  grid_->SetPalette(&palette, counts);
  grid_->SetShowInUse(inUse_->isChecked());
  grid_->SetHint(hint_);
  connect(inUse_, &QCheckBox::toggled, grid_, &ColorGrid::SetShowInUse);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  adjustSize();
  CenterWindow(this, owner);
}

ShowPaletteDialog::~ShowPaletteDialog() {
  delete hint_;
}

void ShowPaletteDialog::done(int result) {
  if (inUse_->isEnabled()) StoreFlag(kPrefShowColorsInUse, inUse_->isChecked());
  hint_->hide();
  QDialog::done(result);
}

// ---- Pick Transparency Index ----

PickTransparencyDialog::PickTransparencyDialog(const Frame& f, int start, QWidget* owner)
    : QDialog(owner),
      grid_(new ColorGrid(14)),
      image_(new FrameIndexImage),
      imageArea_(new QScrollArea),
      info_(new QCheckBox("Show information about color under cursor")),
      gridHint_(new HintWindow),
      imageHint_(new HintWindow) {
  setWindowTitle("Pick Transparency Index");
  setObjectName("PickTransparency");
  auto* layout = new QGridLayout(this);
  QFrame* gridFrame = Framed(grid_, kPickGridId);
  layout->addWidget(gridFrame, 0, 0);
  image_->SetFrame(f);
  imageArea_->setObjectName(QString::number(kPickImageId));
  imageArea_->setWidget(image_);
  imageArea_->setAlignment(Qt::AlignCenter);
  imageArea_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  // The picture's area is as large as the grid; bars appear when the frame is larger.
  imageArea_->setFixedSize(gridFrame->sizeHint());
  layout->addWidget(imageArea_, 0, 1);
  info_->setObjectName(QString::number(kPaletteInUseBox));
  info_->setChecked(GetPreference(kPrefFlags) & kPrefShowColorInfo);
  layout->addWidget(info_, 1, 0, 1, 2);
  layout->addWidget(OkCancelButtons(this), 2, 0, 1, 2);
  grid_->SetPalette(f.palette, nullptr);
  grid_->SetSelectable(true);
  // A start index the palette has no entry for selects nothing.
  grid_->Select(start);
  image_->Highlight(grid_->Selected());
  AttachHints(info_->isChecked());
  connect(grid_, &ColorGrid::EntryClicked, this, &PickTransparencyDialog::Choose);
  connect(image_, &FrameIndexImage::IndexClicked, this, &PickTransparencyDialog::Choose);
  connect(info_, &QCheckBox::toggled, this, &PickTransparencyDialog::AttachHints);
  adjustSize();
  CenterWindow(this, owner);
}

PickTransparencyDialog::~PickTransparencyDialog() {
  delete gridHint_;
  delete imageHint_;
}

void PickTransparencyDialog::Choose(int index) {
  grid_->Select(index);
  image_->Highlight(grid_->Selected());
}

void PickTransparencyDialog::AttachHints(bool on) {
  grid_->SetHint(on ? gridHint_ : nullptr);
  image_->SetHint(on ? imageHint_ : nullptr);
  if (!on) {
    gridHint_->hide();
    imageHint_->hide();
  }
}

void PickTransparencyDialog::done(int result) {
  StoreFlag(kPrefShowColorInfo, info_->isChecked());
  chosen_ = result == QDialog::Accepted ? grid_->Selected() : -1;
  gridHint_->hide();
  imageHint_->hide();
  QDialog::done(result);
}

int PickTransparencyDialog::Ask(Frame& f, int current, QWidget* owner) {
  PickTransparencyDialog dialog(f, current, owner);
  dialog.exec();
  return dialog.Chosen();
}

}  // namespace lw::app
