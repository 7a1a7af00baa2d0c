// "Show Palette": a palette as a grid, the colours pixels use marked on request, and the colour under the
// pointer named in a hint. "Pick Transparency Index": a frame's palette beside its picture; a click on a
// colour cell or a pixel chooses the transparent index.
#pragma once

#include <QDialog>

#include "app/views/palette_views.h"

class QCheckBox;
class QLabel;
class QScrollArea;

namespace lw::app {

enum PaletteDialogControl : int {
  kPaletteInUseBox = 1083,  // "Show colors in use" / "Show information about color under cursor"
  kPaletteInUseText = 1189,
  kPaletteGridId = 1067,
  kPickGridId = 1115,
  kPickImageId = 1116,
};

class ShowPaletteDialog : public QDialog {
  Q_OBJECT

 public:
  // counts: how often each index is used, or null (the in-use box is then disabled).
  ShowPaletteDialog(const Palette& palette, const ColorCounts* counts, QWidget* owner);
  ~ShowPaletteDialog() override;
  ColorGrid* Grid() const { return grid_; }
  HintWindow* Hint() const { return hint_; }
  // How many entries of the palette some pixel uses (indices beyond the palette are not counted).
  static int ColorsInUse(const Palette& palette, const ColorCounts* counts);

 public slots:
  void done(int result) override;

 private:
  ColorGrid* grid_;
  HintWindow* hint_;
  QCheckBox* inUse_;
};

class PickTransparencyDialog : public QDialog {
  Q_OBJECT

 public:
  // start: the index selected at first, -1 (or one beyond the palette) for none.
  PickTransparencyDialog(const Frame& f, int start, QWidget* owner);
  ~PickTransparencyDialog() override;
  // The chosen index after OK, -1 after Cancel or without a choice.
  int Chosen() const { return chosen_; }
  ColorGrid* Grid() const { return grid_; }
  FrameIndexImage* Image() const { return image_; }
  QCheckBox* InfoBox() const { return info_; }

  // Runs the dialog modally: the chosen index, -1 for Cancel.
  static int Ask(Frame& f, int current, QWidget* owner);

 public slots:
  void done(int result) override;

 private:
  void Choose(int index);
  void AttachHints(bool on);

  ColorGrid* grid_;
  FrameIndexImage* image_;
  QScrollArea* imageArea_;
  QCheckBox* info_;
  HintWindow* gridHint_;
  HintWindow* imageHint_;
  int chosen_ = -1;
};

}  // namespace lw::app
