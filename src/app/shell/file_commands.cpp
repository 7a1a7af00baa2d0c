// File commands: New, Open (one or many files), Save and Save As through a temporary file, the
// save-changes question, the window title and the recent-file list, and files dropped on the filmstrip.
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <algorithm>
#include <filesystem>

#include "app/dialogs/avi_compression_dialog.h"
#include "app/dialogs/filmstrip_export_dialog.h"
#include "app/dialogs/help_window.h"
#include "app/dialogs/palette_dialogs.h"
#include "app/shell/focus_keeper.h"
#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "app/shell/recent_files.h"
#include "app/shell/toolbars.h"
#include "app/views/preview_window.h"
#include "color/palette_choice.h"
#include "edit/comments.h"
#include "edit/frame_insert.h"
#include "gif/gif_writer.h"
#include "io/avi_export.h"
#include "io/files.h"
#include "io/filmstrip.h"
#include "platform/settings_store.h"
#include "platform/ui_hooks.h"

namespace lw::app {
namespace {

int FramesNeedingClipping(const Animation& a) {
  int n = 0;
  for (const Frame* f = FirstFrame(a); f; f = NextFrame(f))
    n += FrameNeedsClipping(*f, a.screenWidth, a.screenHeight);
  return n;
}

std::vector<std::string> CommentTexts(const Animation& a) {
  std::vector<std::string> texts;
  for (const ExtensionBlock* b : CommentBlocks(a)) texts.push_back(GetCommentText(*b));
  return texts;
}

constexpr const char* kOpenFilters =
    "All Supported Formats (*.GIF *.AVI *.BMP *.DIB *.PNG *.APNG *.JPG *.JPEG *.WEBP);;GIF Files (*.GIF);;"
    "AVI Files (*.AVI);;BMP Files (*.BMP *.DIB);;Pictures (*.PNG *.APNG *.JPG *.JPEG *.WEBP);;All Files (*)";

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
  std::string name = FileNameOf(path);
  size_t dot = name.find_last_of('.');
  std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

bool LessIgnoringCase(const QString& a, const QString& b) {
  return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

}  // namespace

SaveKindInfo InfoFor(SaveKind kind) {
  switch (kind) {
    case SaveKind::Gif:
      return {"Save Animation As", "GIF Files (*.GIF)", "GIF"};
    case SaveKind::Avi:
      return {"Export Animation to AVI", "AVI Files (*.AVI)", "AVI"};
    case SaveKind::Filmstrip:
      return {"Export to GIF Filmstrip", "GIF Files (*.GIF)", "GIF"};
    case SaveKind::Apng:
      return {"Export Animation to Animated PNG", "APNG Files (*.APNG *.PNG)", "apng"};
    case SaveKind::Webp:
      return {"Export Animation to WebP", "WebP Files (*.WEBP)", "webp"};
    case SaveKind::Mp4:
      return {"Export Animation to MP4 Video", "MP4 Files (*.MP4)", "mp4"};
    case SaveKind::Webm:
      return {"Export Animation to WebM Video", "WebM Files (*.WEBM)", "webm"};
    case SaveKind::PngFrames:
      return {"Export Frames to PNG Files", "PNG Files (*.PNG)", "png"};
  }
  return {"", "", ""};
}

ProposedName ProposeSaveName(const std::string& startPath, SaveKind kind) {
  if (startPath.empty()) return {};
  ProposedName proposed;
  size_t slash = startPath.find_last_of('/');
  // The folder keeps its slash only when it is the root.
  if (slash != std::string::npos) proposed.folder = startPath.substr(0, std::max<size_t>(slash, 1));
  proposed.name = slash == std::string::npos ? startPath : startPath.substr(slash + 1);
  std::string wanted = InfoFor(kind).extension;
  size_t dot = proposed.name.find_last_of('.');
  std::string ext = dot == std::string::npos ? std::string() : proposed.name.substr(dot + 1);
  if (QString::compare(QString::fromStdString(ext), QString::fromStdString(wanted), Qt::CaseInsensitive) !=
      0) {
    if (dot != std::string::npos) proposed.name.resize(dot);
    proposed.name.append(1, '.').append(wanted);
  }
  return proposed;
}

int MainWindow::InsertionPoint() const {
  if (selected_ >= 0) return selected_;
  return animation_ ? animation_->frameCount : 0;
}

// ---- The default dialogs ----

void InstallDefaultServices(MainWindow::Services& services, QWidget* owner) {
  services.openFiles = [owner](const QString& title, const QString& folder, bool multiple) {
    QFileDialog dialog(owner, title, folder);
    dialog.setNameFilters(QString(kOpenFilters).split(";;"));
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix("GIF");
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted) return QStringList();
    return dialog.selectedFiles();
  };
  services.saveFile = [owner](SaveKind kind, const QString& folder, const QString& name) {
    SaveKindInfo info = InfoFor(kind);
    QFileDialog dialog(owner, info.title, folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(info.filter);
    dialog.setDefaultSuffix(info.extension);
    if (!name.isEmpty()) dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
  };
  services.chooseColor = [owner](const QColor& initial) -> std::optional<QColor> {
    for (int i = 0; i < QColorDialog::customCount(); ++i) QColorDialog::setCustomColor(i, Qt::black);
    QColor chosen = QColorDialog::getColor(initial, owner, "Color");
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
  };
  services.runDialog = [](QDialog& dialog) { return dialog.exec(); };
  services.openHelp = [owner](const QString& path) { return ShowHelpWindow(owner, path); };
  services.askAviCompression = [owner] { return AviCompressionDialog::Ask(owner); };
  services.askFilmstrip = [owner](const Animation& a) { return FilmstripExportDialog::Ask(a, owner); };
  services.pickTransparency = [owner](Frame& f, int current) {
    return PickTransparencyDialog::Ask(f, current, owner);
  };
}

// ---- Title and recent files ----

void MainWindow::SetTitleAndRecent(const std::string* path) {
  if (!path) {
    SetTitle("Untitled");
    return;
  }
  SetTitle(QString::fromStdString(FileNameOf(*path)));
  if (store_) AddRecentFile(*store_, *path);
  BuildRecentMenu();
}

void MainWindow::BuildRecentMenu() {
  if (!fileMenu_) return;
  for (QAction* a : recentActions_) {
    fileMenu_->removeAction(a);
    a->deleteLater();
  }
  recentActions_.clear();
  if (recentSeparator_) {
    fileMenu_->removeAction(recentSeparator_);
    recentSeparator_->deleteLater();
    recentSeparator_ = nullptr;
  }
  if (!store_) return;
  std::vector<std::string> files = ReadRecentFiles(*store_);
  for (size_t i = 0; i < files.size(); ++i) {
    QString shown = QString::fromStdString(files[i]);
    shown.replace("&", "&&");  // a path is shown as it is, never as a mnemonic
    auto* action = new QAction(QString("&%1: %2").arg(i + 1).arg(shown), this);
    int id = kCmdRecentFirst + static_cast<int>(i);
    action->setObjectName(QString::number(id));
    action->setData(QString::fromStdString(files[i]));
    connect(action, &QAction::triggered, this, [this, id] { DispatchCommand(id); });
    fileMenu_->insertAction(exitAction_, action);
    recentActions_.push_back(action);
  }
  if (!recentActions_.empty()) recentSeparator_ = fileMenu_->insertSeparator(exitAction_);
}

uint32_t MainWindow::CmdRecent(int id) {
  size_t n = static_cast<size_t>(id - kCmdRecentFirst);
  if (n >= recentActions_.size()) return kFollowNone;
  std::string path = recentActions_[n]->data().toString().toStdString();
  OpenDocument(&path);
  return kFollowNone;
}

// ---- New, open, save ----

MsgResult MainWindow::AskSaveChanges() {
  std::string text = "Save changes to untitled animation?";
  if (!path_.empty()) text = std::string("Save changes to ").append(path_).append(1, '?');
  MsgResult answer = Hooks().MessageBox("Loopwright", text, MsgButtons::YesNoCancel, MsgIcon::Exclamation);
  if (answer == MsgResult::Yes && !SaveDocument(false)) answer = MsgResult::Cancel;
  return answer;
}

bool MainWindow::NewDocument(bool resetTitle) {
  if (animation_ && modified_ && AskSaveChanges() == MsgResult::Cancel) return false;
  CloseDocument();
  SelectFrame(-1);
  SetModified(false);
  if (resetTitle) {
    path_.clear();
    SetTitleAndRecent(nullptr);
  }
  filmstrip_->LayoutFilmstrip(false);
  return true;
}

uint32_t MainWindow::CmdNew(int) {
  NewDocument(true);
  return kFollowNone;
}

uint32_t MainWindow::CmdOpen(int) {
  OpenDocument(nullptr);
  return kFollowNone;
}

uint32_t MainWindow::CmdSave(int) {
  SaveDocument(false);
  return kFollowNone;
}

uint32_t MainWindow::CmdSaveAs(int) {
  SaveDocument(true);
  return kFollowNone;
}

uint32_t MainWindow::CmdRevert(int) {
  if (!modified_ || path_.empty()) return kFollowNone;
  if (Hooks().MessageBox("Revert to Saved",
                         "Reverting to Saved will lose any changes made since the last save.",
                         MsgButtons::OkCancel, MsgIcon::Exclamation) != MsgResult::Ok)
    return kFollowNone;
  // The changes are given up only once the file has been read again.
  std::string path = path_;
  OpenDocument(&path, true);
  return kFollowNone;
}

bool MainWindow::OpenDocument(const std::string* path, bool discardChanges) {
  if (!discardChanges && animation_ && modified_ && AskSaveChanges() == MsgResult::Cancel) return false;
  QStringList files;
  if (path)
    files.push_back(QString::fromStdString(*path));
  else
    files = ChooseFiles("Open File(s)");
  if (files.isEmpty()) return false;
  // The document open now stays until the first file has been read: Cancel, or a file that cannot be
  // read, leaves it as it was.
  AnimationPtr first;
  const std::string firstPath = files.first().toStdString();
  const int result = ReadAnyFile(firstPath, &first, nullptr);
  if (result == 0 || !first) return false;
  CloseDocument();
  SelectFrame(-1);
  if (ExtensionOf(firstPath) == "gif" && result == 1) {
    path_ = firstPath;
    SetTitleAndRecent(&path_);
  } else {
    // An import or a read cut short: a later Save asks for a GIF file name.
    path_.clear();
    SetTitleAndRecent(nullptr);
    SetModified(true);
  }
  SetCurrentAnimation(std::move(first));
  const int count = 1 + ReadFiles(files.mid(1), true);
  if (count > 1) {
    RebuildFilmstrip();
    filmstrip_->LayoutFilmstrip(false);
    SetTitleAndRecent(nullptr);
    path_.clear();
    SetModified(true);
    // The files after the first were added outside the history: no undo leads back to a saved file.
    history_.ForgetSavedPoint();
    RelayoutFilmstrip();
    jobs_.StartFileSizeJob(animation_.get(), true);
  } else {
    filmstrip_->LayoutFilmstrip(false);
  }
  filmstrip_->RepaintFilmstrip();
  focusKeeper_->Restore();
  return true;
}

QStringList MainWindow::ChooseFiles(const QString& title) {
  QString folder;
  if (store_)
    if (std::optional<std::string> dir = store_->GetString("InitDir")) folder = QString::fromStdString(*dir);
  QStringList chosen = services_.openFiles ? services_.openFiles(title, folder, true) : QStringList();
  if (chosen.isEmpty()) return {};
  if (store_) {
    QString dir = QFileInfo(chosen.first()).absolutePath();
    if (!dir.endsWith('/')) dir += '/';
    store_->SetString("InitDir", dir.toStdString());
  }
  if (chosen.size() > kMaxFilesPerOpen) {
    ShowError("Too many files to read. Only read the first %d.", kMaxFilesPerOpen);
    chosen = chosen.mid(0, kMaxFilesPerOpen);
  }
  // Read in name order, letter case aside; equal names keep the order they came in.
  std::stable_sort(chosen.begin(), chosen.end(), [](const QString& a, const QString& b) {
    return LessIgnoringCase(QFileInfo(a).fileName(), QFileInfo(b).fileName());
  });
  return chosen;
}

int MainWindow::ReadFiles(const QStringList& files, bool open) {
  int count = 0;
  for (const QString& file : files) {
    int before = animation_ ? animation_->frameCount : 0;
    if (!OpenOrInsertFile(file.toStdString(), open)) break;
    ++count;
    if (selected_ != -1 && animation_) selected_ += animation_->frameCount - before;
  }
  return count;
}

int MainWindow::OpenFilesDialog(const QString& title, bool open) {
  return ReadFiles(ChooseFiles(title), open);
}

int MainWindow::OpenOrInsertFile(const std::string& path, bool open) {
  AnimationPtr read;
  const Palette* target = animation_ ? animation_->globalPalette.get() : nullptr;
  int result = ReadAnyFile(path, &read, target);
  if (result == 0 || !read) return 0;
  if (!animation_) {
    if (open && ExtensionOf(path) == "gif" && result == 1) {
      path_ = path;
      SetTitleAndRecent(&path);
    } else {
      // An import, a read cut short or an insertion: a later Save asks for a GIF file name. The path of
      // the file open before goes too, or Save would write the picture over that file.
      path_.clear();
      SetTitleAndRecent(nullptr);
      SetModified(true);
    }
    SetCurrentAnimation(std::move(read));
    return 1;
  }
  // Into the open document, before the selected frame or at the end. No job may walk the document
  // meanwhile; the colour count starts again afterwards, as the counts it had may be partial.
  jobs_.StopJobs();
  // Merging palettes takes the global colours no frame uses for new ones: a count cut short would hand
  // out colours that frames still show.
  jobs_.CompleteColorCount(animation_.get());
  QApplication::setOverrideCursor(Qt::WaitCursor);
  bool inserted = InsertAnimation(*animation_, read, selected_, kConflictInsert);
  QApplication::restoreOverrideCursor();
  jobs_.StartColorUsageJob(animation_.get());
  return inserted ? 1 : 0;
}

uint32_t MainWindow::CmdInsertFrame(int) {
  int point = InsertionPoint();
  if (OpenFilesDialog("Insert Frame(s) Into Animation", false) == 0) return kFollowNone;
  SelectFrame(point);
  // Merging palettes may have given the document a global palette.
  return kFollowModified | kFollowRebuild | kFollowRelayout | kFollowPaletteButton | kFollowSizeJobDrop;
}

bool MainWindow::SaveDocument(bool saveAs) {
  if (!animation_) return true;
  // The save reads the document and may clip or sign it: no job may be reading it meanwhile.
  jobs_.StopJobs();
  bool saved = false;
  bool signedNow = false;
  do {
    // Clipping and the renewed signature change the document: each is a step of the history.
    bool clipped = true;
    EditDocument("Clip Frames", [this, &clipped] {
      int before = FramesNeedingClipping(*animation_);
      clipped = CheckClippingBeforeSave(*animation_);
      return FramesNeedingClipping(*animation_) != before ? kFollowModified : kFollowNone;
    });
    if (!clipped) break;
    std::string target = path_;
    bool dialog = saveAs || path_.empty();
    if (dialog) {
      ProposedName proposed = ProposeSaveName(path_, SaveKind::Gif);
      QString chosen = services_.saveFile
                           ? services_.saveFile(SaveKind::Gif, QString::fromStdString(proposed.folder),
                                                QString::fromStdString(proposed.name))
                           : QString();
      if (chosen.isEmpty()) break;
      target = chosen.toStdString();
    }
    if (modified_) {
      EditDocument("Signature Comment", [this] {
        std::vector<std::string> before = CommentTexts(*animation_);
        RenewSignatureComment(*animation_);
        return CommentTexts(*animation_) != before ? kFollowModified : kFollowNone;
      });
      signedNow = true;
    }
    if (WriteGifFile(target, *animation_) != 1) break;
    SetModified(false);
    history_.MarkSaved();
    if (dialog) {
      path_ = target;
      SetTitleAndRecent(&path_);
    }
    saved = true;
  } while (false);
  // Clipping may have changed frames; the cells and the preview show what will be saved.
  filmstrip_->ImageCache().Clear();
  filmstrip_->RepaintFilmstrip();
  if (preview_) preview_->AnimationChanged();
  RefreshUndoCommands();
  // A renewed signature changes the size.
  jobs_.StartFileSizeJob(animation_.get(), signedNow);
  return saved;
}

uint32_t MainWindow::CmdExportAvi(int) {
  if (!animation_) return kFollowNone;
  ProposedName proposed = ProposeSaveName(path_, SaveKind::Avi);
  QString target = services_.saveFile
                       ? services_.saveFile(SaveKind::Avi, QString::fromStdString(proposed.folder),
                                            QString::fromStdString(proposed.name))
                       : QString();
  if (target.isEmpty()) return kFollowNone;
  // The writer takes the compression as it starts, so the question comes before the frames are written.
  if (!services_.askAviCompression) {
    ShowError("Unable to ask for the AVI compression: the export was not made.");
    return kFollowNone;
  }
  int compression = services_.askAviCompression();
  if (compression != kAviUncompressed && compression != kAviRle8) return kFollowNone;
  ExportAviFile(target.toStdString(), *animation_, static_cast<AviCompression>(compression));
  return kFollowNone;
}

uint32_t MainWindow::CmdExportFilmstrip(int) {
  if (!animation_ || !CheckFilmstripFrames(*animation_)) return kFollowNone;
  if (!services_.askFilmstrip) {
    ShowError("Unable to ask for the filmstrip layout: the export was not made.");
    return kFollowNone;
  }
  uint32_t choice = services_.askFilmstrip(*animation_);
  int perStrip = static_cast<int>(choice >> 16);
  if (perStrip < 1) return kFollowNone;
  // The export only reads the document; the size job may go on.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  AnimationPtr strip = BuildFilmstrip(
      *animation_, perStrip,
      (choice & 0xFFFF) == 1 ? FilmstripOrientation::kHorizontal : FilmstripOrientation::kVertical);
  QApplication::restoreOverrideCursor();
  if (!strip) return kFollowNone;
  QString target =
      services_.saveFile ? services_.saveFile(SaveKind::Filmstrip, QString(), QString()) : QString();
  if (target.isEmpty()) return kFollowNone;
  WriteGifFile(target.toStdString(), *strip);
  return kFollowNone;
}

// ---- Dropped files ----

bool MainWindow::FilmstripAcceptsDrop(const QStringList& files) const {
  return !files.isEmpty();
}

void MainWindow::DropFiles(const QPoint& pos, const QStringList& files) {
  if (!FilmstripAcceptsDrop(files)) return;
  SelectFrame(filmstrip_->HitTestFilmstrip(pos.x(), pos.y()));
  bool open = files.size() == 1 && !animation_;
  int count = 0;
  auto readAll = [this, &files, &count, open]() -> uint32_t {
    for (int i = 0; i < files.size(); ++i) {
      if (OpenOrInsertFile(files[i].toStdString(), open)) {
        ++count;
      } else if (i + 1 < files.size() &&
                 Hooks().MessageBox("File Open Error",
                                    "Do you want to continue reading the remainder of the files?",
                                    MsgButtons::YesNo, MsgIcon::Exclamation) == MsgResult::No) {
        break;
      }
    }
    return count > 0 && !open ? kFollowModified : kFollowNone;
  };
  // Files dropped into an open document are one step, however many there are.
  if (animation_)
    EditDocument("Drop Files", readAll);
  else
    readAll();
  if (count == 0) return;
  if (open) {
    filmstrip_->LayoutFilmstrip(false);
  } else {
    SetModified(true);
    RebuildFilmstrip();
    RelayoutFilmstrip();
    if (preview_) preview_->AnimationChanged();
    toolbars_->RefreshPaletteButton(animation_.get());
    jobs_.StartFileSizeJob(animation_.get(), true);
  }
}

}  // namespace lw::app
