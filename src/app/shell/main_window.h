// The main window and the shell's state: the one open document, the selected frame, the modified flag,
// the current file path, zoom and orientation. Menus, accelerators and the filmstrip's context menu all
// end in DispatchCommand, which looks the id up in the command table, runs its handler and then the
// follow-up steps the handler asks for.
#pragma once

#include <QColor>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/shell/background_jobs.h"
#include "app/shell/history.h"
#include "app/views/filmstrip_view.h"
#include "model/animation.h"
#include "platform/ui_hooks.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QMimeData;

namespace lw {
class SettingsStore;
}

namespace lw::app {

class PreviewWindow;

// Follow-up steps of a command, run by the dispatcher in this order.
enum FollowUp : uint32_t {
  kFollowNone = 0,
  kFollowModified = 1 << 0,      // set the modified flag
  kFollowRebuild = 1 << 1,       // RebuildFilmstrip
  kFollowRelayout = 1 << 2,      // RelayoutFilmstrip
  kFollowRepaintFrame = 1 << 3,  // the selected frame's cell, its image made again
  kFollowRepaintAll = 1 << 4,    // every cell, images made again
  kFollowRunningTime = 1 << 5,   // the running time in the status bar
  kFollowColorJob = 1 << 6,      // restart the colour-use count
  kFollowSizeJobDrop = 1 << 7,   // restart the file-size job, dropping the cached size
  kFollowSizeJobKeep = 1 << 8,   // restart the file-size job, keeping the cached size
  // The toolbars' steps (toolbars.h).
  kFollowFrameToolbar = 1 << 16,   // refresh the frame toolbar for the selected frame
  kFollowPaletteButton = 1 << 17,  // "Show Global Palette" follows the global palette
};

// When a menu item is enabled.
enum class EnableRule { Always, Document, Frame, Modified, ModifiedWithPath, Clipboard, Preview, Undo, Redo };
// Which state checks a menu item.
enum class CheckRule { None, Preview, Orientation, Zoom, TransparencyView };

class MainWindow;
class Toolbars;
using CommandHandler = uint32_t (MainWindow::*)(int id);

// What the dispatcher does around a handler.
enum class RowKind : uint8_t {
  Go,    // runs it as it is
  Stop,  // cancels and awaits the background jobs first
  Edit,  // the same, and the change it makes is one step of the undo history
};

// One row of the command table.
struct CommandRow {
  int id;
  const char* label;  // the menu text; after a tab, the accelerator as the menu shows it
  EnableRule enable;
  CheckRule check;
  RowKind kind;
  CommandHandler handler;  // null: the command's dialog or engine part is not in this build yet
};

// The save dialog kinds.
enum class SaveKind { Gif, Avi, Filmstrip, Apng, Webp, Mp4, Webm, PngFrames };
struct SaveKindInfo {
  const char* title;
  const char* filter;
  const char* extension;
};
SaveKindInfo InfoFor(SaveKind kind);
// The name the save dialog proposes for a start path: its file name with the kind's extension (replacing
// a different one, letter case aside), and its folder. Both empty for an empty path.
struct ProposedName {
  std::string folder, name;
};
ProposedName ProposeSaveName(const std::string& startPath, SaveKind kind);

// Where the help page is: the installed share folder, next to the program, or the source tree.
// Empty when no folder holds it; folderFound says whether an install folder exists at all.
std::string FindHelpFile(bool* folderFound);

class MainWindow : public QMainWindow, public FilmstripHost {
  Q_OBJECT

 public:
  // The dialogs that ask for files and colours and the desktop's URL opener; tests replace them.
  struct Services {
    std::function<QStringList(const QString& title, const QString& folder, bool multiple)> openFiles;
    std::function<QString(SaveKind kind, const QString& folder, const QString& name)> saveFile;
    std::function<std::optional<QColor>(const QColor& initial)> chooseColor;
    std::function<bool(const QString& path)> openHelp;
    // The 'Exporting GIF Filmstrip' question: frames per strip << 16 | orientation, 0 for Cancel.
    std::function<uint32_t(const Animation& a)> askFilmstrip;
    // The 'AVI Compression' question: 1 none, 2 RLE8, 0 for Cancel.
    std::function<int()> askAviCompression;
    // The 'Pick Transparency Index' dialog for a frame and its transparent index (-1: not transparent):
    // the chosen colour index, -1 for Cancel. Without it the frame toolbar cannot pick a colour.
    std::function<int(Frame& f, int current)> pickTransparency;
    // Runs a modal dialog of the editor and gives its result (exec by default; tests fill and close it).
    std::function<int(QDialog& dialog)> runDialog;
    // Hands the data to the clipboard (which takes it) and says whether the clipboard now holds it.
    std::function<bool(QMimeData* mime)> putClipboard;
    // The 'Edit Comment' dialog of the comments list: the new text, or nothing for Cancel.
    std::function<std::optional<QString>(const QString& text, QWidget* owner)> editComment;
  };

  explicit MainWindow(SettingsStore* store, QWidget* parent = nullptr);
  ~MainWindow() override;

  Services& DialogServices() { return services_; }

  // ---- Shell state ----
  Animation* CurrentAnimation() const { return animation_.get(); }
  int SelectedIndex() const { return selected_; }
  bool IsModified() const { return modified_; }
  // The modified flag, shown in the title as a "*" after the name, as desktop programs do.
  void SetModified(bool on);
  UndoHistory& History() { return history_; }
  const std::string& CurrentPath() const { return path_; }
  int ZoomStep() const { return zoomStep_; }
  int OrientationValue() const { return orientation_; }
  FilmstripView* Filmstrip() const { return filmstrip_; }
  SettingsStore* Store() const { return store_; }
  // The animation preview window while it is shown, else null.
  PreviewWindow* Preview() const { return preview_; }

  // ---- Shell operations ----
  void SetCurrentAnimation(AnimationPtr a);
  void SelectFrame(int index);
  void RebuildFilmstrip();
  void RelayoutFilmstrip();
  void ClosePreview();
  void CloseDocument();
  void SetZoom(int step);
  // 0 when a document becomes current (the choice comes back from the preferences), else 40027 … 40029.
  void SetOrientation(int command);

  // ---- The one way the document changes ----
  // Runs change as one step of the undo history named name: the jobs stop, a copy of the document is
  // kept, and when the follow-up steps change gives hold kFollowModified the copy becomes the step.
  // Changes with the same non-zero merge key in a row make one step. Gives change's follow-up steps. When
  // memory runs out inside change, the document is put back as it was and "Not enough memory ..." shown.
  uint32_t EditDocument(const std::string& name, const std::function<uint32_t()>& change,
                        int64_t mergeKey = 0);
  // The Undo and Redo items and buttons follow the history.
  void RefreshUndoCommands();

  // ---- Commands ----
  // Runs a command by id; gives whether the id is known and available.
  bool DispatchCommand(int id);
  // Sets the enabled and checked states of the menus' items.
  void InitMainMenu();
  QAction* Action(int id) const;
  QMenu* MenuNamed(const QString& objectName) const;
  static const std::vector<CommandRow>& CommandTable();
  static const CommandRow* FindCommand(int id);

  // ---- File commands ----
  MsgResult AskSaveChanges();
  bool NewDocument(bool resetTitle);
  // Opens the file (or asks for files when null) as the document, after the "Save changes?" question
  // unless the changes are to be given up. The open document is closed only once the first file has
  // been read. False when nothing was opened.
  bool OpenDocument(const std::string* path, bool discardChanges = false);
  // The file dialog's choice in reading order (InitDir remembered, at most the most files a read takes).
  QStringList ChooseFiles(const QString& title);
  // Reads the files into the document one after the other, stopping at the first that fails.
  int ReadFiles(const QStringList& files, bool open);
  int OpenFilesDialog(const QString& title, bool open);
  int OpenOrInsertFile(const std::string& path, bool open);
  bool SaveDocument(bool saveAs);
  void SetTitleAndRecent(const std::string* path);
  void BuildRecentMenu();
  std::vector<QAction*> RecentActions() const { return recentActions_; }
  // Files dropped on the filmstrip at a point of it.
  void DropFiles(const QPoint& pos, const QStringList& files);
  // The insertion point of Insert and Paste: the selected frame, or the end when none is selected.
  int InsertionPoint() const;

  // Status bar texts.
  QString StatusText(int part) const;
  bool StatusSimple() const;

  // Window placement, stored as "Placement".
  void SavePlacement();
  void RestorePlacement();

  BackgroundJobs& Jobs() { return jobs_; }
  Toolbars* Bars() const { return toolbars_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

  // FilmstripHost
  void FilmstripSelect(int index) override { SelectFrame(index); }
  void FilmstripContextMenu(const QPoint& globalPos, bool frameSelected) override;
  void FilmstripCommand(int id) override { DispatchCommand(id); }
  bool FilmstripCanMove() const override { return animation_ != nullptr; }
  void FilmstripMove(int target, int from) override;
  bool FilmstripAcceptsDrop(const QStringList& files) const override;
  void FilmstripDrop(const QPoint& pos, const QStringList& files) override { DropFiles(pos, files); }
  void FilmstripFocusMain() override { setFocus(Qt::MouseFocusReason); }

 private:
  // Command handlers; each gives the follow-up steps to run.
  uint32_t CmdOpen(int);
  uint32_t CmdExit(int);
  uint32_t CmdAbout(int);
  uint32_t CmdSave(int);
  uint32_t CmdSaveAs(int);
  uint32_t CmdNew(int);
  uint32_t CmdHelp(int);
  uint32_t CmdOrientation(int id);
  uint32_t CmdZoomIn(int);
  uint32_t CmdZoomOut(int);
  uint32_t CmdActualSize(int);
  uint32_t CmdZoomStep(int id);
  uint32_t CmdRevert(int);
  uint32_t CmdTransparencyView(int id);
  uint32_t CmdRecent(int id);
  uint32_t CmdInsertFrame(int);
  uint32_t CmdDelete(int);
  uint32_t CmdRotateFlip(int id);
  uint32_t CmdUnoptimize(int);
  uint32_t CmdExportFilmstrip(int);
  uint32_t CmdExportAvi(int);
  // APNG, WebP, MP4, WebM and a PNG per frame (picture_export_commands.cpp).
  uint32_t CmdExportPictures(int id);
  uint32_t CmdPreview(int);
  uint32_t CmdUndoRedo(int id);
  // The property dialogs and Move/Crop (dialog_commands.cpp).
  uint32_t CmdFrameProperties(int);
  uint32_t CmdGlobalFrameProperties(int);
  uint32_t CmdAnimationProperties(int);
  uint32_t CmdMoveCrop(int);
  // The Animation menu (animation_commands.cpp).
  uint32_t CmdResizeAnimation(int);
  uint32_t CmdReverseAnimation(int);
  uint32_t CmdChangeSpeed(int);
  uint32_t CmdDropFrames(int);
  uint32_t CmdCropAnimation(int);
  uint32_t CmdRemoveDuplicates(int);
  // After an edit that made every frame a new record: the cells, toolbars and selection afresh.
  uint32_t AfterWholeAnimationEdit(bool changed);
  uint32_t ShowNewFrameRecords(int selected);
  int RunDialog(QDialog& dialog);
  // The clipboard (clipboard_commands.cpp).
  uint32_t CmdCopy(int);
  uint32_t CmdCut(int id);
  uint32_t CmdPaste(int);
  bool CopyFrameToClipboard();
  // The settings, comment and HTML dialogs (sheet_commands.cpp).
  uint32_t CmdPreferences(int);
  uint32_t CmdSignature(int);
  uint32_t CmdComments(int);
  uint32_t CmdHtml(int);
  // The frame toolbar's commands (toolbar_commands.cpp).
  uint32_t CmdInterlace(int);
  uint32_t CmdToggleTransparency(int);
  uint32_t CmdPickTransparency(int);
  uint32_t CmdLocalPalette(int);
  uint32_t CmdFrameNameList(int);
  uint32_t CmdDelayBox(int);
  uint32_t CmdRemoval(int id);
  uint32_t CmdIterationsBox(int);
  uint32_t PickTransparentColor();
  // The optimize and reduce dialogs and the palette display (tool_commands.cpp).
  uint32_t CmdOptimize(int);
  uint32_t CmdReducePalettes(int);
  uint32_t CmdShowPalette(int id);
  // Takes the contents of a dialog's rebuilt copy into the document; gives the follow-up steps.
  uint32_t TakeRebuiltCopy(AnimationPtr copy);

  void BuildMenus();
  // The name of a command's step in the history ("Rotate 90° CW"), and the key that merges its changes
  // in a row into one step (0: none).
  static std::string StepName(const CommandRow& row);
  int64_t MergeKey(int id) const;
  // After undo or redo: the views take the swapped-in document; gives the follow-up steps still to run.
  uint32_t TakeSwappedDocument(int selected);
  void BuildStatusBar();
  void RunFollowUps(uint32_t steps);
  bool IsEnabledByRule(const CommandRow& row) const;
  void ShowDocumentStatus();
  void ShowFramePosition();
  void ShowZoom();
  void ShowRunningTime();
  void ShowFileSize(int64_t size);
  void SetTitle(const QString& name);
  void TakeTransparencyView(uint32_t view);

  SettingsStore* store_;
  Services services_;
  AnimationPtr animation_;
  int selected_ = -1;
  bool modified_ = false;
  QString titleName_;  // the document's name in the title
  class FocusKeeper* focusKeeper_ = nullptr;
  UndoHistory history_;
  std::string path_;
  int zoomStep_ = 0;
  int orientation_ = 0;
  bool closed_ = false;

  FilmstripView* filmstrip_ = nullptr;
  std::map<int, QAction*> actions_;
  QMenu* fileMenu_ = nullptr;
  QMenu* exportMenu_ = nullptr;
  QMenu* rotateMenu_ = nullptr;
  QMenu* backgroundPopup_ = nullptr;
  QMenu* framePopup_ = nullptr;
  QAction* exitAction_ = nullptr;
  std::vector<QAction*> recentActions_;
  QAction* recentSeparator_ = nullptr;
  QLabel* statusParts_[4] = {};
  BackgroundJobs jobs_;
  PreviewWindow* preview_ = nullptr;
  Toolbars* toolbars_ = nullptr;
};

// Puts the data on the system clipboard; false when the clipboard did not take it.
bool PutOnClipboard(QMimeData* mime);
// Whether the clipboard holds what Paste takes: a frame copied by this program, or a picture.
bool ClipboardOffersFrame();

// The dialogs of the desktop: file chooser, colour chooser, and the browser for the help page.
void InstallDefaultServices(MainWindow::Services& services, QWidget* owner);

}  // namespace lw::app
