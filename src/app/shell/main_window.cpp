#include "app/shell/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <algorithm>

#include "app/shell/ids.h"
#include "app/shell/toolbars.h"
#include "app/views/preview_window.h"
#include "edit/comments.h"
#include "edit/frame_insert.h"
#include "io/files.h"
#include "model/preferences.h"
#include "platform/progress.h"
#include "platform/settings_store.h"

namespace lw::app {
namespace {

constexpr const char* kProductName = "Loopwright";

// The accelerator table: these keys reach the dispatcher whatever the menus show.
struct Accelerator {
  QKeyCombination keys;
  int id;
};
const Accelerator kAccelerators[] = {
    {Qt::CTRL | Qt::Key_C, kCmdCopy},
    {Qt::CTRL | Qt::Key_N, kCmdNew},
    {Qt::CTRL | Qt::Key_O, kCmdOpen},
    {Qt::CTRL | Qt::Key_S, kCmdSave},
    {Qt::CTRL | Qt::Key_V, kCmdPaste},
    {Qt::CTRL | Qt::Key_X, kCmdCut},
    {QKeyCombination(Qt::Key_Delete), kCmdDelete},
    {QKeyCombination(Qt::Key_F1), kCmdHelp},
    {Qt::CTRL | Qt::Key_Z, kCmdUndo},
    {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, kCmdRedo},
    {Qt::CTRL | Qt::Key_Y, kCmdRedo},
};

// The history's budget: "UndoMegabytes" in the settings, 1 GiB without it.
uint64_t HistoryBudget(const SettingsStore* store) {
  std::optional<std::string> text = store ? store->GetString("UndoMegabytes") : std::nullopt;
  if (!text) return kDefaultHistoryBudget;
  char* end = nullptr;
  unsigned long long megabytes = std::strtoull(text->c_str(), &end, 10);
  if (end == text->c_str() || *end || megabytes > (uint64_t{1} << 24)) return kDefaultHistoryBudget;
  return static_cast<uint64_t>(megabytes) << 20;
}

}  // namespace

MainWindow::MainWindow(SettingsStore* store, QWidget* parent) : QMainWindow(parent), store_(store) {
  setObjectName(kProductName);
  setWindowTitle(kProductName);
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(false);  // the filmstrip takes the drops
  InstallDefaultServices(services_, this);
  filmstrip_ = new FilmstripView(this, this);
  setCentralWidget(filmstrip_);
  BuildMenus();
  toolbars_ = new Toolbars(this);
  BuildStatusBar();
  for (const Accelerator& acc : kAccelerators) {
    auto* shortcut = new QShortcut(QKeySequence(acc.keys), this);
    shortcut->setContext(Qt::WindowShortcut);
    int id = acc.id;
    connect(shortcut, &QShortcut::activated, this, [this, id] { DispatchCommand(id); });
  }
  history_.SetBudget(HistoryBudget(store_));
  // A modified document is signed when it is saved: the size shown counts the signature already.
  connect(&jobs_, &BackgroundJobs::FileSizeChanged, this, [this](qint64 size) {
    ShowFileSize(size >= 0 && animation_ && modified_ ? size + SignatureSizeChange(*animation_) : size);
  });
  SetCurrentAnimation(nullptr);
  SetTitleAndRecent(nullptr);
  BuildRecentMenu();
}

MainWindow::~MainWindow() {
  // Whatever way the window goes, no job may still read the document, nor the preview.
  jobs_.StopJobs();
  ClosePreview();
  filmstrip_->SetFilmstripAnimation(nullptr);
  animation_.reset();
}

void MainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(kStatusBarId);
  bar->setSizeGripEnabled(true);
  // The four fields end at 120, 200, 360 and 520 pixels, or are as wide as their longest text in this
  // font: fixed, so that they never move as their texts change.
  const int widths[4] = {120, 80, 160, 160};
  const char* longest[4] = {"  Frame #99999 of 99999", "  Zoom: 400%", "  File Size: 4,294,967,295 bytes",
                            "  Running Time: 99999.99 secs"};
  for (int i = 0; i < 4; ++i) {
    statusParts_[i] = new QLabel(bar);
    statusParts_[i]->setObjectName(QString("part%1").arg(i));
    const int text = statusParts_[i]->fontMetrics().horizontalAdvance(longest[i]) + 12;
    statusParts_[i]->setFixedWidth(std::max(widths[i], text));
    statusParts_[i]->setFrameShape(QFrame::Panel);
    statusParts_[i]->setFrameShadow(QFrame::Sunken);
    bar->addWidget(statusParts_[i]);
  }
  bar->showMessage("Ready");
}

QString MainWindow::StatusText(int part) const {
  if (part < 0 || part > 3) return statusBar()->currentMessage();
  return statusParts_[part]->text();
}

bool MainWindow::StatusSimple() const {
  return !statusBar()->currentMessage().isEmpty();
}

void MainWindow::ShowDocumentStatus() {
  if (!animation_) {
    statusBar()->showMessage("Ready to Animate");
    for (QLabel* part : statusParts_) part->hide();
    return;
  }
  statusBar()->clearMessage();
  for (QLabel* part : statusParts_) part->show();
  ShowFramePosition();
  ShowZoom();
  ShowRunningTime();
}

void MainWindow::ShowFramePosition() {
  if (!animation_) return;
  if (selected_ >= 0)
    statusParts_[0]->setText(QString("  Frame #%1 of %2").arg(selected_ + 1).arg(animation_->frameCount));
  else
    statusParts_[0]->setText(QString("  None of %1 frames").arg(animation_->frameCount));
}

void MainWindow::ShowZoom() {
  statusParts_[1]->setText(QString("  Zoom: %1%").arg(ZoomPercent(zoomStep_)));
}

void MainWindow::ShowRunningTime() {
  if (!animation_) return;
  uint64_t total = 0;
  for (const Frame* f = FirstFrame(*animation_); f; f = NextFrame(f)) total += f->delay;
  statusParts_[3]->setText(
      QString::asprintf("  Running Time: %.2f secs", static_cast<double>(total) / 100.0));
}

void MainWindow::ShowFileSize(int64_t size) {
  if (size < 0)
    statusParts_[2]->setText("  File Size: Calculating...");
  else
    statusParts_[2]->setText(QString("  File Size: %1 bytes")
                                 .arg(QString::fromStdString(FormatThousands(static_cast<uint64_t>(size)))));
}

void MainWindow::SetTitle(const QString& name) {
  setWindowTitle(QString(kProductName) + " - " + name);
}

// ---- Shell operations ----

void MainWindow::SetCurrentAnimation(AnimationPtr a) {
  jobs_.StopJobs();
  // The preview never outlives the document it shows.
  if (preview_ && preview_->PreviewAnimation() != a.get()) ClosePreview();
  // The filmstrip lets go of the old document before it is freed.
  filmstrip_->SetFilmstripAnimation(a.get());
  AnimationPtr old = std::move(animation_);
  animation_ = std::move(a);
  old.reset();
  // A new document starts a new history; an import or a read cut short counts as changed.
  history_.Clear(!modified_);
  RefreshUndoCommands();
  toolbars_->ShowDocumentButtons(animation_ != nullptr);
  toolbars_->RefreshAnimationToolbar(animation_.get());
  ShowDocumentStatus();
  jobs_.StartFileSizeJob(animation_.get(), false);
  SelectFrame(-1);
  SetZoom(0);
  SetOrientation(0);
}

void MainWindow::SelectFrame(int index) {
  selected_ = index;
  filmstrip_->SelectInFilmstrip(index);
  toolbars_->ShowSelectionButtons(animation_ && index != -1);
  toolbars_->RefreshFrameToolbar(index);
  ShowFramePosition();
}

void MainWindow::RebuildFilmstrip() {
  filmstrip_->RefitFilmstrip();
}

void MainWindow::RelayoutFilmstrip() {
  // Frames came or went, and palette conflicts may have rewritten pixels in place: every cell's picture
  // is made again when next drawn.
  filmstrip_->ImageCache().Clear();
  filmstrip_->LayoutFilmstrip(true);
  ShowFramePosition();
  ShowRunningTime();
  // Frames came or went: the names and the frame at the selected index change.
  toolbars_->RebuildFrameNames(animation_.get());
  toolbars_->RefreshFrameToolbar(selected_);
}

void MainWindow::ClosePreview() {
  if (!preview_) return;
  // It may be closing from its own close box: it goes once control is back in the event loop, and lets
  // go of the document now.
  preview_->Detach();
  preview_->hide();
  preview_->deleteLater();
  preview_ = nullptr;
  if (QAction* a = Action(kCmdStopPreview)) a->setEnabled(false);
  if (QAction* a = Action(kCmdPreview)) a->setChecked(false);
  if (toolbars_) toolbars_->ShowPreviewButtons(false);
}

void MainWindow::CloseDocument() {
  jobs_.StopJobs();
  if (animation_) SetCurrentAnimation(nullptr);
  selected_ = -1;
  ClosePreview();
  modified_ = false;
}

void MainWindow::SetZoom(int step) {
  step = std::clamp(step, kMinZoomStep, kMaxZoomStep);
  zoomStep_ = step;
  ZoomRatio ratio = ZoomForStep(step);
  filmstrip_->SetFilmstripZoom(ratio.numerator, ratio.denominator);
  bool doc = animation_ != nullptr;
  if (QAction* a = Action(kCmdActualSize)) a->setEnabled(doc && step != 0);
  if (QAction* a = Action(kCmdZoomIn)) a->setEnabled(doc && step != kMaxZoomStep);
  if (QAction* a = Action(kCmdZoomOut)) a->setEnabled(doc && step != kMinZoomStep);
  ShowZoom();
}

void MainWindow::SetOrientation(int command) {
  int value = kOrientDefault;
  if (command == 0) {
    // A document became current: the user's choice comes back from the preferences.
    uint32_t flags = GetPreference(kPrefFlags);
    if (flags & kPrefHorizontalStrips)
      value = kOrientHorizontalChosen;
    else if (flags & kPrefVerticalStrips)
      value = kOrientVerticalChosen;
  } else {
    value = command == kCmdOrientHorizontal ? kOrientHorizontalChosen
            : command == kCmdOrientVertical ? kOrientVerticalChosen
                                            : kOrientDefault;
    uint32_t flags = GetPreference(kPrefFlags) & ~uint32_t{kPrefHorizontalStrips | kPrefVerticalStrips};
    if (value == kOrientHorizontalChosen) flags |= kPrefHorizontalStrips;
    if (value == kOrientVerticalChosen) flags |= kPrefVerticalStrips;
    if (flags != GetPreference(kPrefFlags)) SetPreference(kPrefFlags, flags);
  }
  orientation_ = value;
  filmstrip_->SetFilmstripOrientation(value);
  toolbars_->ShowOrientation(value);
}

// ---- Window events ----

void MainWindow::closeEvent(QCloseEvent* event) {
  if (animation_ && modified_ && AskSaveChanges() == MsgResult::Cancel) {
    event->ignore();
    return;
  }
  event->accept();
  if (closed_) return;
  closed_ = true;
  CloseDocument();
  SavePlacement();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Keys go on to the filmstrip (scrolling, Esc during a drag).
  if (!filmstrip_->HandleKey(event->key())) QMainWindow::keyPressEvent(event);
}

void MainWindow::SavePlacement() {
  if (!store_) return;
  QByteArray bytes = saveGeometry();
  store_->SetBinary("Placement", SettingsStore::Binary(bytes.begin(), bytes.end()));
}

void MainWindow::RestorePlacement() {
  std::optional<SettingsStore::Binary> placement = store_ ? store_->GetBinary("Placement") : std::nullopt;
  if (!placement || !restoreGeometry(QByteArray(reinterpret_cast<const char*>(placement->data()),
                                                static_cast<qsizetype>(placement->size()))))
    resize(960, 700);
}

void MainWindow::FilmstripContextMenu(const QPoint& globalPos, bool frameSelected) {
  InitMainMenu();
  (frameSelected ? framePopup_ : backgroundPopup_)->exec(globalPos);
}

void MainWindow::FilmstripMove(int target, int from) {
  if (!animation_) return;
  // Both jobs walk the block list: they stop while it is relinked (EditDocument stops them) and start
  // again afterwards.
  EditDocument("Move Frame", [this, target, from]() -> uint32_t {
    int moved = MoveFrame(*animation_, target, from);
    if (moved == from) return kFollowNone;
    modified_ = true;
    toolbars_->RebuildFrameNames(animation_.get());
    SelectFrame(moved);
    filmstrip_->RepaintFilmstrip();
    if (preview_) preview_->AnimationChanged();
    return kFollowModified;
  });
  jobs_.StartColorUsageJob(animation_.get());
  jobs_.StartFileSizeJob(animation_.get(), false);
}

}  // namespace lw::app
