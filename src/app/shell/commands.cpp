// The command table, the menus built from it, the dispatcher and the handlers that are not file commands.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <new>

#include "app/dialogs/about_dialog.h"
#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app/shell/toolbars.h"
#include "app/views/preview_window.h"
#include "edit/frame_insert.h"
#include "edit/rotate_flip.h"
#include "model/preferences.h"
#include "optimize/unoptimize.h"
#include "platform/ui_hooks.h"

#ifndef LW_APP_SOURCE_DIR
#define LW_APP_SOURCE_DIR ""
#endif

namespace lw::app {
namespace {

using E = EnableRule;
using C = CheckRule;
constexpr RowKind kGo = RowKind::Go;
constexpr RowKind kStop = RowKind::Stop;
constexpr RowKind kEdit = RowKind::Edit;

// Menu layout: ids, 0 for a separator, and sub-menus.
struct MenuItem {
  int id;                         // 0 = separator, -1 = sub-menu
  const char* subMenu = nullptr;  // its title
  const char* objectName = nullptr;
  std::vector<int> items = {};
};

}  // namespace

const std::vector<CommandRow>& MainWindow::CommandTable() {
  // Rows without a handler are commands whose dialog or engine part comes in a later build; they are shown
  // greyed.
  static const std::vector<CommandRow> table = {
      {kCmdNew, "New\tCtrl+N", E::Always, C::None, kGo, &MainWindow::CmdNew},
      {kCmdOpen, "&Open...\tCtrl+O", E::Always, C::None, kGo, &MainWindow::CmdOpen},
      {kCmdInsertFrame, "&Insert Frame...", E::Always, C::None, kEdit, &MainWindow::CmdInsertFrame},
      {kCmdRevert, "&Revert to Saved", E::ModifiedWithPath, C::None, kGo, &MainWindow::CmdRevert},
      {kCmdSave, "&Save\tCtrl-S", E::Modified, C::None, kGo, &MainWindow::CmdSave},
      {kCmdSaveAs, "Save &As...", E::Document, C::None, kGo, &MainWindow::CmdSaveAs},
      {kCmdExportAvi, "A&VI file...", E::Document, C::None, kGo, &MainWindow::CmdExportAvi},
      {kCmdExportFilmstrip, "GIF &Filmstrip...", E::Document, C::None, kGo, &MainWindow::CmdExportFilmstrip},
      {kCmdExportApng, "Animated &PNG...", E::Document, C::None, kGo, &MainWindow::CmdExportPictures},
      {kCmdExportWebp, "&WebP...", E::Document, C::None, kGo, &MainWindow::CmdExportPictures},
      {kCmdExportMp4, "MP&4 video...", E::Document, C::None, kGo, &MainWindow::CmdExportPictures},
      {kCmdExportWebm, "Web&M video...", E::Document, C::None, kGo, &MainWindow::CmdExportPictures},
      {kCmdExportPngFrames, "PNG file per f&rame...", E::Document, C::None, kGo,
       &MainWindow::CmdExportPictures},
      {kCmdExit, "E&xit", E::Always, C::None, kGo, &MainWindow::CmdExit},
      {kCmdUndo, "&Undo\tCtrl+Z", E::Undo, C::None, kStop, &MainWindow::CmdUndoRedo},
      {kCmdRedo, "&Redo\tCtrl+Y", E::Redo, C::None, kStop, &MainWindow::CmdUndoRedo},
      {kCmdCopy, "&Copy\tCtrl-C", E::Frame, C::None, kGo, &MainWindow::CmdCopy},
      {kCmdCut, "Cu&t\tCtrl-X", E::Frame, C::None, kEdit, &MainWindow::CmdCut},
      {kCmdPaste, "&Paste\tCtrl-V", E::Clipboard, C::None, kEdit, &MainWindow::CmdPaste},
      {kCmdDelete, "&Delete\tDel", E::Frame, C::None, kEdit, &MainWindow::CmdDelete},
      {kCmdAnimationProperties, "&Animation Properties...", E::Document, C::None, kEdit,
       &MainWindow::CmdAnimationProperties},
      {kCmdFrameProperties, "&Frame Properties...", E::Frame, C::None, kEdit,
       &MainWindow::CmdFrameProperties},
      {kCmdGlobalFrameProperties, "&Global Frame Properties...", E::Document, C::None, kEdit,
       &MainWindow::CmdGlobalFrameProperties},
      {kCmdRotate180, "Rotate &180\u00B0", E::Frame, C::None, kEdit, &MainWindow::CmdRotateFlip},
      {kCmdRotate90Cw, "Rotate &90\u00B0 CW", E::Frame, C::None, kEdit, &MainWindow::CmdRotateFlip},
      {kCmdRotate90Ccw, "Rotate 9&0\u00B0 CCW", E::Frame, C::None, kEdit, &MainWindow::CmdRotateFlip},
      {kCmdFlipHorizontal, "Flip &Horizontally", E::Frame, C::None, kEdit, &MainWindow::CmdRotateFlip},
      {kCmdFlipVertical, "Flip &Vertically", E::Frame, C::None, kEdit, &MainWindow::CmdRotateFlip},
      {kCmdMoveCrop, "&Move/Crop Frame...", E::Frame, C::None, kEdit, &MainWindow::CmdMoveCrop},
      {kCmdComments, "GIF Co&mments...", E::Document, C::None, kEdit, &MainWindow::CmdComments},
      {kCmdSignature, "&Signature Comment...", E::Always, C::None, kGo, &MainWindow::CmdSignature},
      {kCmdPreferences, "P&references...", E::Always, C::None, kGo, &MainWindow::CmdPreferences},
      {kCmdPreview, "&Animation Preview", E::Document, C::Preview, kGo, &MainWindow::CmdPreview},
      {kCmdStopPreview, "Stop Showing Animation Preview", E::Preview, C::None, kGo, &MainWindow::CmdPreview},
      {kCmdZoom20, "20%", E::Always, C::Zoom, kGo, &MainWindow::CmdZoomStep},
      {kCmdZoom20 + 1, "25%", E::Always, C::Zoom, kGo, &MainWindow::CmdZoomStep},
      {kCmdZoom20 + 2, "33%", E::Always, C::Zoom, kGo, &MainWindow::CmdZoomStep},
      {kCmdZoom20 + 3, "50%", E::Always, C::Zoom, kGo, &MainWindow::CmdZoomStep},
      {kCmdZoomActual, "Actual Size", E::Always, C::Zoom, kGo, &MainWindow::CmdZoomStep},
      {kCmdZoomActual + 1, "200%", E::Always, C::Zoom, kGo, &MainWindow::CmdZoomStep},
      {kCmdZoomActual + 2, "300%", E::Always, C::Zoom, kGo, &MainWindow::CmdZoomStep},
      {kCmdZoom400, "400%", E::Always, C::Zoom, kGo, &MainWindow::CmdZoomStep},
      {kCmdZoomIn, "Zoom In", E::Document, C::None, kGo, &MainWindow::CmdZoomIn},
      {kCmdZoomOut, "Zoom Out", E::Document, C::None, kGo, &MainWindow::CmdZoomOut},
      {kCmdActualSize, "Actual Size", E::Document, C::None, kGo, &MainWindow::CmdActualSize},
      {kCmdOrientDefault, "&Default", E::Always, C::Orientation, kGo, &MainWindow::CmdOrientation},
      {kCmdOrientHorizontal, "&Horizontal Strips", E::Always, C::Orientation, kGo,
       &MainWindow::CmdOrientation},
      {kCmdOrientVertical, "&Vertical Strips", E::Always, C::Orientation, kGo, &MainWindow::CmdOrientation},
      {kCmdTransparencyBackground, "&Window Background", E::Always, C::TransparencyView, kGo,
       &MainWindow::CmdTransparencyView},
      {kCmdTransparencyFrameColor, "Color in &Frame", E::Always, C::TransparencyView, kGo,
       &MainWindow::CmdTransparencyView},
      {kCmdTransparencyCustom, "&Custom Color...", E::Always, C::TransparencyView, kGo,
       &MainWindow::CmdTransparencyView},
      {kCmdReducePalettes, "&Reduce Palettes...", E::Document, C::None, kEdit,
       &MainWindow::CmdReducePalettes},
      {kCmdOptimize, "&Optimize Animation...", E::Document, C::None, kEdit, &MainWindow::CmdOptimize},
      {kCmdUnoptimize, "&Unoptimize Animation", E::Document, C::None, kEdit, &MainWindow::CmdUnoptimize},
      {kCmdResizeAnimation, "&Resize...", E::Document, C::None, kEdit, &MainWindow::CmdResizeAnimation},
      {kCmdReverseAnimation, "Re&verse", E::Document, C::None, kEdit, &MainWindow::CmdReverseAnimation},
      {kCmdChangeSpeed, "Change &Speed...", E::Document, C::None, kEdit, &MainWindow::CmdChangeSpeed},
      {kCmdDropFrames, "&Drop Frames...", E::Document, C::None, kEdit, &MainWindow::CmdDropFrames},
      {kCmdCropAnimation, "&Crop...", E::Document, C::None, kEdit, &MainWindow::CmdCropAnimation},
      {kCmdRemoveDuplicates, "Remove D&uplicate Frames", E::Document, C::None, kEdit,
       &MainWindow::CmdRemoveDuplicates},
      {kCmdHtml, "HTML...", E::Document, C::None, kGo, &MainWindow::CmdHtml},
      {kCmdHelp, "&Contents...", E::Always, C::None, kGo, &MainWindow::CmdHelp},
      {kCmdAbout, "&About Loopwright...", E::Always, C::None, kGo, &MainWindow::CmdAbout},
      // The frame toolbar's buttons and boxes (no menu items). Those that change the frame stop the jobs
      // that read it first.
      {kCmdInterlace, "Interlace Image", E::Frame, C::None, kEdit, &MainWindow::CmdInterlace},
      {kCmdToggleTransparency, "Toggle Transparency", E::Frame, C::None, kEdit,
       &MainWindow::CmdToggleTransparency},
      {kCmdPickTransparency, "Pick Transparency Color", E::Frame, C::None, kEdit,
       &MainWindow::CmdPickTransparency},
      {kCmdLocalPalette, "Local Palette", E::Frame, C::None, kEdit, &MainWindow::CmdLocalPalette},
      {kCmdShowLocalPalette, "Show Local Palette", E::Frame, C::None, kGo, &MainWindow::CmdShowPalette},
      {kCmdFrameNameList, "Frame Name", E::Document, C::None, kGo, &MainWindow::CmdFrameNameList},
      {kCmdDelayBox, "Delay (1/100th seconds)", E::Frame, C::None, kEdit, &MainWindow::CmdDelayBox},
      {kCmdRemovalLeave, "Removal: Leave Alone", E::Frame, C::None, kEdit, &MainWindow::CmdRemoval},
      {kCmdRemovalBackground, "Removal: Restore Background", E::Frame, C::None, kEdit,
       &MainWindow::CmdRemoval},
      {kCmdRemovalPrevious, "Removal: Restore Previous", E::Frame, C::None, kEdit, &MainWindow::CmdRemoval},
      {kCmdIterationsBox, "Number of Iterations (0 = continuous)", E::Document, C::None, kEdit,
       &MainWindow::CmdIterationsBox},
      {kCmdShowGlobalPalette, "Show Global Palette", E::Document, C::None, kGo, &MainWindow::CmdShowPalette},
  };
  return table;
}

const CommandRow* MainWindow::FindCommand(int id) {
  for (const CommandRow& row : CommandTable())
    if (row.id == id) return &row;
  return nullptr;
}

QAction* MainWindow::Action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* MainWindow::MenuNamed(const QString& objectName) const {
  return findChild<QMenu*>(objectName);
}

void MainWindow::BuildMenus() {
  for (const CommandRow& row : CommandTable()) {
    auto* action = new QAction(QString::fromUtf8(row.label), this);
    action->setObjectName(QString::number(row.id));
    if (row.check != CheckRule::None) action->setCheckable(true);
    int id = row.id;
    connect(action, &QAction::triggered, this, [this, id] { DispatchCommand(id); });
    actions_[row.id] = action;
  }
  // Nothing to stop showing until the preview opens.
  actions_.at(kCmdStopPreview)->setEnabled(false);
  const std::vector<MenuItem> bar = {
      {-1,
       "&File",
       "File",
       {kCmdNew, kCmdOpen, kCmdInsertFrame, kCmdRevert, 0, kCmdSave, kCmdSaveAs, -2, 0, kCmdExit}},
      {-1,
       "&Edit",
       "Edit",
       {kCmdUndo, kCmdRedo, 0, kCmdCopy, kCmdCut, kCmdPaste, kCmdDelete, 0, kCmdAnimationProperties,
        kCmdFrameProperties, kCmdGlobalFrameProperties, 0, -3, kCmdMoveCrop, 0, kCmdComments, kCmdSignature,
        0, kCmdPreferences}},
      {-1, "&View", "View", {kCmdPreview, 0, -4, -5, -6}},
      {-1,
       "&Animation",
       "Animation",
       {kCmdResizeAnimation, kCmdCropAnimation, 0, kCmdReverseAnimation, kCmdChangeSpeed, kCmdDropFrames,
        kCmdRemoveDuplicates}},
      {-1, "&Tools", "Tools", {kCmdReducePalettes, kCmdOptimize, kCmdUnoptimize, 0, kCmdHtml}},
      {-1, "&Help", "Help", {kCmdHelp, 0, kCmdAbout}},
  };
  auto subMenu = [this](QMenu* parent, const char* title, const char* name, const std::vector<int>& ids) {
    QMenu* menu = parent->addMenu(QString::fromUtf8(title));
    menu->setObjectName(name);
    for (int id : ids) {
      if (id == 0)
        menu->addSeparator();
      else
        menu->addAction(actions_.at(id));
    }
    return menu;
  };
  const std::vector<int> rotateIds = {kCmdRotate180,      kCmdRotate90Cw,  kCmdRotate90Ccw, 0,
                                      kCmdFlipHorizontal, kCmdFlipVertical};
  for (const MenuItem& top : bar) {
    QMenu* menu = menuBar()->addMenu(top.subMenu);
    menu->setObjectName(top.objectName);
    connect(menu, &QMenu::aboutToShow, this, &MainWindow::InitMainMenu);
    for (int id : top.items) {
      switch (id) {
        case 0:
          menu->addSeparator();
          break;
        case -2:
          exportMenu_ = subMenu(menu, "&Export As", "ExportAs",
                                {kCmdExportAvi, kCmdExportFilmstrip, kCmdExportApng, kCmdExportWebp,
                                 kCmdExportMp4, kCmdExportWebm, kCmdExportPngFrames});
          break;
        case -3:
          rotateMenu_ = subMenu(menu, "R&otate Frame", "RotateFrame", rotateIds);
          break;
        case -4:
          subMenu(menu, "&Zoom", "Zoom",
                  {kCmdZoom20, kCmdZoom20 + 1, kCmdZoom20 + 2, kCmdZoom20 + 3, kCmdZoomActual,
                   kCmdZoomActual + 1, kCmdZoomActual + 2, kCmdZoom400});
          break;
        case -5:
          subMenu(menu, "&Orientation", "Orientation",
                  {kCmdOrientDefault, kCmdOrientHorizontal, kCmdOrientVertical});
          break;
        case -6:
          subMenu(menu, "&Transparency As...", "TransparencyAs",
                  {kCmdTransparencyBackground, kCmdTransparencyFrameColor, kCmdTransparencyCustom});
          break;
        default:
          menu->addAction(actions_.at(id));
      }
    }
    if (top.objectName == std::string("File")) fileMenu_ = menu;
  }
  exitAction_ = actions_.at(kCmdExit);
  // The filmstrip's popup menus: one for the background, one for a frame.
  backgroundPopup_ = new QMenu(this);
  backgroundPopup_->setObjectName("Popup0");
  backgroundPopup_->addAction(actions_.at(kCmdAnimationProperties));
  backgroundPopup_->addAction(actions_.at(kCmdGlobalFrameProperties));
  framePopup_ = new QMenu(this);
  framePopup_->setObjectName("Popup1");
  for (int id : {kCmdCopy, kCmdCut, kCmdDelete, kCmdAnimationProperties, kCmdFrameProperties,
                 kCmdGlobalFrameProperties})
    framePopup_->addAction(actions_.at(id));
  QMenu* popupRotate = subMenu(framePopup_, "R&otate Frame", "PopupRotateFrame", rotateIds);
  (void)popupRotate;
  framePopup_->addAction(actions_.at(kCmdMoveCrop));
}

bool MainWindow::IsEnabledByRule(const CommandRow& row) const {
  if (!row.handler) return false;
  switch (row.enable) {
    case EnableRule::Always:
      return true;
    case EnableRule::Document:
      return animation_ != nullptr;
    case EnableRule::Frame:
      return animation_ != nullptr && selected_ != -1;
    case EnableRule::Modified:
      return modified_;
    case EnableRule::ModifiedWithPath:
      return modified_ && !path_.empty();
    case EnableRule::Clipboard:
      return ClipboardOffersFrame();
    case EnableRule::Preview:
      return preview_ != nullptr;
    case EnableRule::Undo:
      return animation_ != nullptr && history_.CanUndo();
    case EnableRule::Redo:
      return animation_ != nullptr && history_.CanRedo();
  }
  return false;
}

void MainWindow::InitMainMenu() {
  uint32_t view = GetPreference(kPrefTransparencyView) >> 24;
  int viewCommand = view == 2   ? kCmdTransparencyCustom
                    : view == 1 ? kCmdTransparencyFrameColor
                                : kCmdTransparencyBackground;
  int orientationCommand = orientation_ == kOrientHorizontalChosen ? kCmdOrientHorizontal
                           : orientation_ == kOrientVerticalChosen ? kCmdOrientVertical
                                                                   : kCmdOrientDefault;
  for (const CommandRow& row : CommandTable()) {
    QAction* action = actions_.at(row.id);
    // The toolbar's zoom buttons keep the states SetZoom gives them.
    if (row.id == kCmdZoomIn || row.id == kCmdZoomOut || row.id == kCmdActualSize) continue;
    action->setEnabled(IsEnabledByRule(row));
    switch (row.check) {
      case CheckRule::None:
        break;
      case CheckRule::Preview:
        action->setChecked(preview_ != nullptr);
        break;
      case CheckRule::Orientation:
        action->setChecked(row.id == orientationCommand);
        break;
      case CheckRule::Zoom:
        action->setChecked(row.id == kCmdZoomActual + zoomStep_);
        break;
      case CheckRule::TransparencyView:
        action->setChecked(row.id == viewCommand);
        break;
    }
  }
  if (exportMenu_) exportMenu_->menuAction()->setEnabled(animation_ != nullptr);
  if (rotateMenu_) rotateMenu_->menuAction()->setEnabled(animation_ != nullptr && selected_ != -1);
  for (QAction* recent : recentActions_) recent->setEnabled(true);
}

bool MainWindow::DispatchCommand(int id) {
  if (id >= kCmdRecentFirst && id <= kCmdRecentLast) {
    RunFollowUps(CmdRecent(id));
    return true;
  }
  const CommandRow* row = FindCommand(id);
  if (!row || !row->handler) return false;
  bool stop = row->kind != RowKind::Go;
  if (stop) jobs_.StopJobs();
  CommandHandler handler = row->handler;
  if (row->kind == RowKind::Edit) {
    RunFollowUps(EditDocument(
        StepName(*row), [this, handler, id] { return (this->*handler)(id); }, MergeKey(id)));
  } else {
    // Commands that do not change the document (exports, views) leave it as it was when memory runs out.
    try {
      RunFollowUps((this->*handler)(id));
    } catch (const std::bad_alloc&) {
      ShowError("Not enough memory to complete the command.");
    }
  }
  // A job the stop cancelled and no step restarted runs again, so its result is never lost.
  if (stop) jobs_.ResumeJobs(animation_.get());
  RefreshUndoCommands();
  return true;
}

void MainWindow::RunFollowUps(uint32_t steps) {
  if (steps & kFollowModified) SetModified(true);
  if (steps & kFollowRebuild) RebuildFilmstrip();
  if (steps & kFollowRelayout) RelayoutFilmstrip();
  if (steps & kFollowRepaintFrame) {
    if (animation_ && selected_ >= 0) filmstrip_->ImageCache().Invalidate(NthFrame(*animation_, selected_));
    filmstrip_->RepaintFilmstripCell(selected_);
  }
  if (steps & kFollowRepaintAll) {
    filmstrip_->ImageCache().Clear();
    filmstrip_->RepaintFilmstrip();
  }
  // The preview composes its picture afresh from the changed document.
  if (preview_ && (steps & (kFollowModified | kFollowRebuild | kFollowRelayout | kFollowRepaintFrame |
                            kFollowRepaintAll)))
    preview_->AnimationChanged();
  if (steps & kFollowRunningTime) ShowRunningTime();
  if (steps & kFollowFrameToolbar) toolbars_->RefreshFrameToolbar(selected_);
  if (steps & kFollowPaletteButton) toolbars_->RefreshPaletteButton(animation_.get());
  if (steps & kFollowColorJob) jobs_.StartColorUsageJob(animation_.get());
  if (steps & (kFollowSizeJobDrop | kFollowSizeJobKeep))
    jobs_.StartFileSizeJob(animation_.get(), steps & kFollowSizeJobDrop);
}

// ---- Handlers ----

uint32_t MainWindow::CmdExit(int) {
  close();
  return kFollowNone;
}

uint32_t MainWindow::CmdAbout(int) {
  AboutDialog dialog(this);
  dialog.exec();
  return kFollowNone;
}

uint32_t MainWindow::CmdOrientation(int id) {
  SetOrientation(id);
  return kFollowNone;
}

uint32_t MainWindow::CmdZoomIn(int) {
  SetZoom(zoomStep_ + 1);
  return kFollowNone;
}

uint32_t MainWindow::CmdZoomOut(int) {
  SetZoom(zoomStep_ - 1);
  return kFollowNone;
}

uint32_t MainWindow::CmdActualSize(int) {
  SetZoom(0);
  return kFollowNone;
}

uint32_t MainWindow::CmdZoomStep(int id) {
  SetZoom(id - kCmdZoomActual);
  return kFollowNone;
}

uint32_t MainWindow::CmdTransparencyView(int id) {
  uint32_t view = GetPreference(kPrefTransparencyView);
  uint32_t color = view & 0xFFFFFF;
  if (id == kCmdTransparencyBackground) {
    view = color;
  } else if (id == kCmdTransparencyFrameColor) {
    view = 1u << 24 | color;
  } else {
    QColor initial(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                   static_cast<int>((color >> 16) & 0xFF));
    std::optional<QColor> chosen = services_.chooseColor ? services_.chooseColor(initial) : std::nullopt;
    if (!chosen) return kFollowNone;
    // A true-colour screen shows every colour as it is.
    view = 2u << 24 | static_cast<uint32_t>(chosen->red()) | static_cast<uint32_t>(chosen->green()) << 8 |
           static_cast<uint32_t>(chosen->blue()) << 16;
  }
  SetPreference(kPrefTransparencyView, view);
  TakeTransparencyView(view);
  return kFollowNone;
}

void MainWindow::TakeTransparencyView(uint32_t) {
  // Every frame shows its transparent index in the new colour; the filmstrip draws them again.
  if (animation_)
    for (Frame* f = FirstFrame(*animation_); f; f = NextFrame(f)) ShowTransparentColor(*f, true);
  filmstrip_->SetFilmstripBackground();
}

uint32_t MainWindow::CmdDelete(int) {
  if (!animation_ || selected_ < 0) {
    QApplication::beep();
    return kFollowNone;
  }
  if (!DeleteFrame(*animation_, selected_)) return kFollowColorJob | kFollowSizeJobDrop;
  // The frame before takes the selection when the last one went (none when it was the only one).
  if (selected_ >= animation_->frameCount) SelectFrame(selected_ - 1);
  return kFollowModified | kFollowRelayout | kFollowColorJob | kFollowSizeJobDrop;
}

uint32_t MainWindow::CmdRotateFlip(int id) {
  Frame* f = animation_ && selected_ >= 0 ? NthFrame(*animation_, selected_) : nullptr;
  if (!f) return kFollowNone;
  int result = RotateFlipFrame(*animation_, *f, id);
  if (result < 1) return kFollowNone;
  // A quarter turn that made the logical screen grow lays the whole filmstrip out again.
  return kFollowModified | (result == 2 ? kFollowRebuild : kFollowRepaintFrame) | kFollowSizeJobDrop;
}

uint32_t MainWindow::CmdUnoptimize(int) {
  if (!animation_) return kFollowNone;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool done = UnoptimizeAnimation(*animation_);
  QApplication::restoreOverrideCursor();
  // Every frame has new pixels: their colour counts change too.
  // Removal methods and transparency change too: the frame toolbar shows them afresh.
  return done ? kFollowModified | kFollowRepaintAll | kFollowFrameToolbar | kFollowSizeJobDrop |
                    kFollowColorJob
              : kFollowNone;
}

std::string FindHelpFile(bool* folderFound) {
  QString appDir = QCoreApplication::applicationDirPath();
  const QStringList folders = {
      appDir + "/../share/loopwright/help",
      appDir + "/help",
      QString(LW_APP_SOURCE_DIR) + "/help",
  };
  bool found = false;
  for (const QString& folder : folders) {
    if (folder.startsWith("/help") || !QFileInfo(folder).isDir()) continue;
    found = true;
    QString file = QDir(folder).filePath("help.htm");
    if (QFileInfo(file).isFile()) {
      if (folderFound) *folderFound = true;
      return QDir::cleanPath(QFileInfo(file).absoluteFilePath()).toStdString();
    }
  }
  if (folderFound) *folderFound = found;
  return {};
}

uint32_t MainWindow::CmdHelp(int) {
  bool folderFound = false;
  std::string file = FindHelpFile(&folderFound);
  if (!folderFound) {
    ShowError("Unable to locate help file. Please re-install Loopwright");
  } else if (file.empty()) {
    ShowError("Unable to find help file. Please re-install Loopwright");
  } else if (!services_.openHelp || !services_.openHelp(QString::fromStdString(file))) {
    ShowError("Unable to show the help file %s.", file.c_str());
  }
  return kFollowNone;
}

}  // namespace lw::app
