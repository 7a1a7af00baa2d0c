// File > Export As: an animated PNG, an animated WebP (lossless), an MP4 or WebM movie, or a PNG file per
// frame. The export only reads the document; its progress dialog offers Cancel like the AVI export's.
#include "app/shell/ids.h"
#include "app/shell/main_window.h"
#include "io/picture_export.h"

namespace lw::app {

uint32_t MainWindow::CmdExportPictures(int id) {
  if (!animation_) return kFollowNone;
  SaveKind kind = SaveKind::Apng;
  MovieFormat format = MovieFormat::kApng;
  switch (id) {
    case kCmdExportWebp:
      kind = SaveKind::Webp;
      format = MovieFormat::kWebp;
      break;
    case kCmdExportMp4:
      kind = SaveKind::Mp4;
      format = MovieFormat::kMp4;
      break;
    case kCmdExportWebm:
      kind = SaveKind::Webm;
      format = MovieFormat::kWebm;
      break;
    case kCmdExportPngFrames:
      kind = SaveKind::PngFrames;
      format = MovieFormat::kPngFrames;
      break;
    default:
      break;
  }
  ProposedName proposed = ProposeSaveName(path_, kind);
  QString target = services_.saveFile ? services_.saveFile(kind, QString::fromStdString(proposed.folder),
                                                           QString::fromStdString(proposed.name))
                                      : QString();
  if (target.isEmpty()) return kFollowNone;
  ExportPictures(target.toStdString(), *animation_, format);
  return kFollowNone;
}

}  // namespace lw::app
