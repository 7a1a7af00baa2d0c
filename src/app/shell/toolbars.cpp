#include "app/shell/toolbars.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolBar>
#include <algorithm>
#include <cmath>

#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app/shell/toolbar_icons.h"
#include "model/animation.h"

namespace lw::app {
namespace {

// The tooltip strings, one per tool id.
struct Tip {
  int id;
  const char* text;
};
const Tip kTips[] = {
    {kCmdNew, "New Animation"},
    {kCmdOpen, "Open Animation File"},
    {kCmdSave, "Save Animation"},
    {kCmdInsertFrame, "Insert Frame"},
    {kCmdCut, "Cut Frame"},
    {kCmdCopy, "Copy Frame"},
    {kCmdPaste, "Paste Frame"},
    {kCmdDelete, "Delete Frame"},
    {kCmdUndo, "Undo"},
    {kCmdRedo, "Redo"},
    {kCmdPreview, "Show Animation Preview"},
    {kCmdStopPreview, "Stop Showing Animation Preview"},
    {kCmdOptimize, "Optimize Animation"},
    {kCmdReducePalettes, "Reduce Palettes"},
    {kCmdZoomIn, "Zoom In"},
    {kCmdZoomOut, "Zoom Out"},
    {kCmdActualSize, "Actual Size"},
    {kCmdOrientDefault, "Default Orientation"},
    {kCmdOrientHorizontal, "Horizontal Strips"},
    {kCmdOrientVertical, "Vertical Strips"},
    {kCmdHelp, "Help Contents"},
    {kCmdFrameProperties, "Frame Properties"},
    {kCmdFrameNameList, "Frame Name"},
    {kClockPicture, "Delay (1/100th seconds)"},
    {kCmdDelayBox, "Delay (1/100th seconds)"},
    {kCmdRemovalLeave, "Removal: Leave Alone"},
    {kCmdRemovalBackground, "Removal: Restore Background"},
    {kCmdRemovalPrevious, "Removal: Restore Previous"},
    {kCmdToggleTransparency, "Toggle Transparency"},
    {kCmdPickTransparency, "Pick Transparency Color"},
    {kCmdLocalPalette, "Local Palette"},
    {kCmdShowLocalPalette, "Show Local Palette"},
    {kCmdInterlace, "Interlace Image"},
    {kCmdAnimationProperties, "Animation Properties"},
    {kLoopPicture, "Number of Iterations (0 = continuous)"},
    {kCmdIterationsBox, "Number of Iterations (0 = continuous)"},
    {kCmdShowGlobalPalette, "Show Global Palette"},
};

constexpr int kRemovalGroup[] = {kCmdRemovalLeave, kCmdRemovalBackground, kCmdRemovalPrevious};
constexpr int kOrientationGroup[] = {kCmdOrientDefault, kCmdOrientHorizontal, kCmdOrientVertical};

// The buttons that follow the current frame.
constexpr int kFrameButtons[] = {kCmdRemovalLeave,       kCmdRemovalBackground, kCmdRemovalPrevious,
                                 kCmdToggleTransparency, kCmdPickTransparency,  kCmdLocalPalette,
                                 kCmdShowLocalPalette,   kCmdInterlace};

QLineEdit* NumberBox(int id, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::number(id));
  box->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), box));
  box->setFixedWidth(45);
  box->setFixedHeight(box->fontMetrics().height() + 8);
  box->setToolTip(TooltipText(id));
  box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return box;
}

}  // namespace

QString TooltipText(int id) {
  for (const Tip& tip : kTips)
    if (tip.id == id) return QString::fromUtf8(tip.text).left(79);
  return {};
}

// ---- StaticPicture ----

StaticPicture::StaticPicture(int pictureId, int width, QWidget* parent)
    : QWidget(parent), pictureId_(pictureId), width_(width) {
  setObjectName(QString::number(pictureId));
  setToolTip(TooltipText(pictureId));
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

QSize StaticPicture::sizeHint() const {
  return {width_, 16};
}

QImage StaticPicture::CurrentImage(qreal ratio) const {
  int size = static_cast<int>(std::lround(16 * ratio));
  QImage picture = RenderToolbarPicture(pictureId_, size);
  if (isEnabled() || picture.isNull()) return picture;
  int shift = std::max(1, static_cast<int>(std::lround(ratio)));
  return EmbossedPicture(picture, palette().color(QPalette::Light).rgb(),
                         palette().color(QPalette::Dark).rgb(), shift);
}

void StaticPicture::paintEvent(QPaintEvent*) {
  qreal ratio = devicePixelRatioF();
  QImage image = CurrentImage(ratio);
  if (image.isNull()) return;
  image.setDevicePixelRatio(ratio);
  QPainter p(this);
  // Centred, but never left of or above the corner.
  int x = std::max(0, (width() - 16) / 2), y = std::max(0, (height() - 16) / 2);
  p.drawImage(QPoint(x, y), image);
}

void StaticPicture::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) update();
  QWidget::changeEvent(event);
}

// ---- VerticalEdge ----

VerticalEdge::VerticalEdge(int width, QWidget* parent) : QWidget(parent), width_(width) {
  setObjectName("3941");
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

QSize VerticalEdge::sizeHint() const {
  return {width_, 16};
}

void VerticalEdge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  int x = width() / 2;
  // Etched: a shadow line with a light line beside it, a little longer than the widget at both ends.
  p.setPen(palette().color(QPalette::Dark));
  p.drawLine(x - 1, -2, x - 1, height() + 2);
  p.setPen(palette().color(QPalette::Light));
  p.drawLine(x, -2, x, height() + 2);
}

// ---- Toolbars ----

Toolbars::Toolbars(MainWindow* window) : QObject(window), window_(window) {
  setObjectName("Toolbars");
  auto makeBar = [window](const char* id, const char* title) {
    auto* bar = new QToolBar(QString::fromUtf8(title), window);
    bar->setObjectName(id);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    return bar;
  };

  // The main toolbar.
  main_ = makeBar(kMainToolbarId, "Main");
  AddGap(main_, 6);
  AddButton(main_, kCmdNew, false, true);
  AddButton(main_, kCmdOpen, false, true);
  AddButton(main_, kCmdSave, false, false);
  main_->addSeparator();
  AddButton(main_, kCmdInsertFrame, false, true);
  AddButton(main_, kCmdCut, false, false);
  AddButton(main_, kCmdCopy, false, false);
  AddButton(main_, kCmdPaste, false, false);
  AddButton(main_, kCmdDelete, false, false);
  main_->addSeparator();
  AddButton(main_, kCmdUndo, false, false);
  AddButton(main_, kCmdRedo, false, false);
  main_->addSeparator();
  AddButton(main_, kCmdPreview, true, false);
  AddButton(main_, kCmdStopPreview, false, false);
  main_->addSeparator();
  AddButton(main_, kCmdOptimize, false, false);
  AddButton(main_, kCmdReducePalettes, false, false);
  main_->addSeparator();
  // The zoom buttons are the command table's own toolbar actions, whose states SetZoom keeps.
  for (int id : {kCmdZoomIn, kCmdZoomOut, kCmdActualSize}) {
    QAction* action = window->Action(id);
    if (!action) continue;
    action->setIcon(ToolbarIcon(id));
    action->setToolTip(TooltipText(id));
    action->setEnabled(false);
    main_->addAction(action);
    buttons_[id] = action;
  }
  main_->addSeparator();
  for (int id : kOrientationGroup) AddButton(main_, id, true, false);
  main_->addSeparator();
  AddButton(main_, kCmdHelp, false, true);

  // The frame toolbar: buttons enabled at creation, then set by the refresh operations.
  frame_ = makeBar(kFrameToolbarId, "Frame");
  AddGap(frame_, 6);
  AddButton(frame_, kCmdFrameProperties, false, true);
  names_ = new QComboBox(frame_);
  names_->setObjectName(QString::number(kCmdFrameNameList));
  names_->setFixedWidth(150);
  names_->setMaxVisibleItems(25);
  names_->setToolTip(TooltipText(kCmdFrameNameList));
  names_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  frame_->addWidget(names_);
  connect(names_, &QComboBox::activated, this, [this](int) { window_->DispatchCommand(kCmdFrameNameList); });
  AddGap(frame_, 6);
  clock_ = new StaticPicture(kClockPicture, 15, frame_);
  frame_->addWidget(clock_);
  delay_ = NumberBox(kCmdDelayBox, frame_);
  frame_->addWidget(delay_);
  connect(delay_, &QLineEdit::textChanged, this, [this] { window_->DispatchCommand(kCmdDelayBox); });
  AddGap(frame_, 6);
  for (int id : kRemovalGroup) AddButton(frame_, id, true, true);
  frame_->addSeparator();
  AddButton(frame_, kCmdToggleTransparency, true, true);
  AddButton(frame_, kCmdPickTransparency, false, true);
  frame_->addSeparator();
  AddButton(frame_, kCmdLocalPalette, true, true);
  AddButton(frame_, kCmdShowLocalPalette, false, true);
  frame_->addSeparator();
  AddButton(frame_, kCmdInterlace, true, true);
  frame_->addWidget(new VerticalEdge(20, frame_));
  AddButton(frame_, kCmdAnimationProperties, false, true);
  AddGap(frame_, 6);
  loop_ = new StaticPicture(kLoopPicture, 15, frame_);
  frame_->addWidget(loop_);
  iterations_ = NumberBox(kCmdIterationsBox, frame_);
  frame_->addWidget(iterations_);
  connect(iterations_, &QLineEdit::textChanged, this,
          [this] { window_->DispatchCommand(kCmdIterationsBox); });
  AddGap(frame_, 6);
  AddButton(frame_, kCmdShowGlobalPalette, false, true);

  window->addToolBar(Qt::TopToolBarArea, main_);
  window->addToolBarBreak(Qt::TopToolBarArea);
  window->addToolBar(Qt::TopToolBarArea, frame_);

  // Paste follows the clipboard: when the window becomes active and whenever the clipboard changes.
  window->installEventFilter(this);
  connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
          [this] { ShowPasteButton(ClipboardOffersFrame()); });
  names_->addItem("[None]");
}

QAction* Toolbars::AddButton(QToolBar* bar, int id, bool checkable, bool enabled) {
  auto* action = new QAction(ToolbarIcon(id), TooltipText(id), bar);
  action->setObjectName(QString::number(id));
  action->setToolTip(TooltipText(id));
  action->setCheckable(checkable);
  action->setEnabled(enabled && IsAvailable(id));
  connect(action, &QAction::triggered, this, [this, id] { ButtonTriggered(id); });
  bar->addAction(action);
  buttons_[id] = action;
  return action;
}

void Toolbars::AddGap(QToolBar* bar, int width) {
  auto* gap = new QWidget(bar);
  gap->setFixedWidth(width);
  bar->addWidget(gap);
}

bool Toolbars::IsAvailable(int id) const {
  const CommandRow* row = MainWindow::FindCommand(id);
  if (!row || !row->handler) return false;
  if (id == kCmdPickTransparency) return static_cast<bool>(window_->DialogServices().pickTransparency);
  return true;
}

void Toolbars::ButtonTriggered(int id) {
  auto inGroup = [id](const int* begin, const int* end) { return std::find(begin, end, id) != end; };
  const int* group = nullptr;
  if (inGroup(std::begin(kRemovalGroup), std::end(kRemovalGroup))) group = kRemovalGroup;
  if (inGroup(std::begin(kOrientationGroup), std::end(kOrientationGroup))) group = kOrientationGroup;
  if (group) {
    // A group button stays pressed when clicked again; the others of its group come up.
    for (int i = 0; i < 3; ++i) PressButton(group[i], group[i] == id);
  }
  // The preview button shows whether the preview window exists, which only the preview commands change
  // (through ShowPreviewButtons): a click alone does not move it.
  bool previewWasShown = id == kCmdPreview ? !IsPressed(kCmdPreview) : IsPressed(kCmdPreview);
  previewShownSet_ = false;
  window_->DispatchCommand(id);
  if (id == kCmdPreview && !previewShownSet_) PressButton(kCmdPreview, previewWasShown);
}

QAction* Toolbars::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

bool Toolbars::IsPressed(int id) const {
  QAction* a = Button(id);
  return a && a->isChecked();
}

bool Toolbars::IsButtonEnabled(int id) const {
  QAction* a = Button(id);
  return a && a->isEnabled();
}

void Toolbars::PressButton(int id, bool pressed) {
  if (QAction* a = Button(id)) {
    QSignalBlocker block(a);
    a->setChecked(pressed);
  }
}

void Toolbars::EnableButton(int id, bool enabled) {
  if (QAction* a = Button(id)) a->setEnabled(enabled && IsAvailable(id));
}

bool Toolbars::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::ActivationChange && window_->isActiveWindow())
    ShowPasteButton(ClipboardOffersFrame());
  return QObject::eventFilter(watched, event);
}

// ---- Frame toolbar ----

Frame* Toolbars::CurrentFrame() const {
  Animation* a = window_->CurrentAnimation();
  return a && currentIndex_ >= 0 ? NthFrame(*a, currentIndex_) : nullptr;
}

void Toolbars::ShowDelay(const QString& text) {
  QSignalBlocker block(delay_);
  delay_->setText(text);
}

void Toolbars::ShowIterations(const QString& text) {
  QSignalBlocker block(iterations_);
  iterations_->setText(text);
}

void Toolbars::RefreshFrameToolbar(int index) {
  Animation* a = window_->CurrentAnimation();
  currentIndex_ = a && index >= 0 && index < a->frameCount ? index : -1;
  Frame* f = CurrentFrame();
  if (!f) currentIndex_ = -1;
  bool on = f != nullptr;
  for (int id : kFrameButtons) EnableButton(id, on);
  delay_->setEnabled(on);
  clock_->setEnabled(on);
  {
    QSignalBlocker block(names_);
    int entry = currentIndex_ + 1;
    names_->setCurrentIndex(entry < names_->count() ? entry : 0);
  }
  if (!f) {
    for (int id : {kCmdRemovalLeave, kCmdRemovalBackground, kCmdRemovalPrevious, kCmdToggleTransparency,
                   kCmdLocalPalette, kCmdInterlace})
      PressButton(id, false);
    ShowDelay(QString());
    return;
  }
  int disposal = GetDisposal(*f);
  int pressed = disposal == 2   ? kCmdRemovalBackground
                : disposal == 3 ? kCmdRemovalPrevious
                                : kCmdRemovalLeave;
  for (int id : kRemovalGroup) PressButton(id, id == pressed);
  PressButton(kCmdToggleTransparency, IsTransparent(*f));
  PressButton(kCmdInterlace, IsInterlaced(*f));
  bool local = f->localPalette != nullptr;
  EnableButton(kCmdLocalPalette, local);
  PressButton(kCmdLocalPalette, local);
  EnableButton(kCmdShowLocalPalette, local);
  ShowDelay(QString::number(f->delay));
}

void Toolbars::RefreshAnimationToolbar(Animation* a) {
  bool document = a != nullptr;
  EnableButton(kCmdAnimationProperties, document);
  names_->setEnabled(document);
  iterations_->setEnabled(document);
  loop_->setEnabled(document);
  RefreshPaletteButton(a);
  ShowIterations(document ? QString::number(a->loopCount) : QString());
  RebuildFrameNames(a);
}

void Toolbars::RefreshPaletteButton(Animation* a) {
  EnableButton(kCmdShowGlobalPalette, a && a->globalPalette);
}

QString Toolbars::FrameEntryText(int index, const Frame& f) {
  return QString("#%1: %2").arg(index + 1).arg(QString::fromStdString(GetFrameName(f)));
}

void Toolbars::GrowDropDown(const QString& text) {
  // The drop-down grows to its widest entry (never narrower than the box).
  int width = names_->fontMetrics().horizontalAdvance(text) +
              names_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
  if (width > dropDownWidth_) {
    dropDownWidth_ = width;
    names_->view()->setMinimumWidth(width);
  }
}

void Toolbars::RebuildFrameNames(Animation* a) {
  QSignalBlocker block(names_);
  names_->clear();
  names_->addItem("[None]");
  GrowDropDown("[None]");
  int index = 0;
  if (a)
    for (const Frame* f = FirstFrame(*a); f; f = NextFrame(f), ++index) {
      QString text = FrameEntryText(index, *f);
      names_->addItem(text);
      GrowDropDown(text);
    }
  int entry = window_->SelectedIndex() + 1;
  names_->setCurrentIndex(entry >= 0 && entry < names_->count() ? entry : 0);
}

void Toolbars::SetFrameNameEntry(int index, const QString& text) {
  int entry = index + 1;
  if (entry < 1 || entry >= names_->count()) return;
  QSignalBlocker block(names_);
  names_->setItemText(entry, text);
  GrowDropDown(text);
  names_->setCurrentIndex(entry);
}

// ---- Main toolbar states ----

void Toolbars::ShowDocumentButtons(bool document) {
  for (int id : {kCmdPreview, kCmdOptimize, kCmdReducePalettes, kCmdSave, kCmdOrientDefault,
                 kCmdOrientHorizontal, kCmdOrientVertical})
    EnableButton(id, document);
}

void Toolbars::ShowSelectionButtons(bool frameSelected) {
  for (int id : {kCmdCut, kCmdCopy, kCmdDelete, kCmdFrameProperties}) EnableButton(id, frameSelected);
}

void Toolbars::ShowOrientation(int orientationValue) {
  int pressed = orientationValue == kOrientHorizontalChosen ? kCmdOrientHorizontal
                : orientationValue == kOrientVerticalChosen ? kCmdOrientVertical
                                                            : kCmdOrientDefault;
  for (int id : kOrientationGroup) PressButton(id, id == pressed);
}

void Toolbars::ShowPreviewButtons(bool open) {
  PressButton(kCmdPreview, open);
  EnableButton(kCmdStopPreview, open);
  previewShownSet_ = true;
}

void Toolbars::ShowPasteButton(bool available) {
  EnableButton(kCmdPaste, available);
}

}  // namespace lw::app
