// Command ids, control ids and other numbers the editor keeps from its resource script: menus, the
// accelerator table and the toolbars all send these ids, and widgets carry control ids as objectNames.
#pragma once

namespace lw::app {

enum CommandId : int {
  kCmdOpen = 1002,
  kCmdExit = 1003,
  kCmdAbout = 1004,
  kCmdCopy = 1012,
  kCmdSave = 1015,
  kCmdSaveAs = 1016,
  kCmdCut = 40002,
  kCmdPaste = 40004,
  kCmdOptimize = 40005,
  kCmdAnimationProperties = 40008,
  kCmdFrameProperties = 40009,
  kCmdPreview = 40010,
  kCmdStopPreview = 40011,
  kCmdDelete = 40012,
  kCmdInsertFrame = 40013,
  kCmdComments = 40016,
  kCmdUnoptimize = 40019,
  kCmdNew = 40021,
  kCmdHelp = 40023,
  kCmdOrientDefault = 40027,
  kCmdOrientHorizontal = 40028,
  kCmdOrientVertical = 40029,
  kCmdPreferences = 40035,
  kCmdZoomIn = 40038,
  kCmdZoomOut = 40039,
  kCmdGlobalFrameProperties = 40052,
  kCmdZoom20 = 40060,
  kCmdZoomActual = 40064,
  kCmdZoom400 = 40067,
  kCmdActualSize = 40069,
  kCmdExportAvi = 40071,
  kCmdMoveCrop = 40072,
  kCmdRotate90Cw = 40073,
  kCmdRotate180 = 40074,
  kCmdRotate90Ccw = 40075,
  kCmdFlipHorizontal = 40076,
  kCmdFlipVertical = 40077,
  kCmdRevert = 40080,
  kCmdReducePalettes = 40081,
  kCmdHtml = 40082,
  kCmdExportFilmstrip = 40084,
  kCmdExportApng = 40210,
  kCmdExportWebp = 40211,
  kCmdExportMp4 = 40212,
  kCmdExportWebm = 40213,
  kCmdExportPngFrames = 40214,
  kCmdSignature = 40085,
  kCmdTransparencyBackground = 40088,
  kCmdTransparencyFrameColor = 40089,
  kCmdTransparencyCustom = 40090,
  kCmdUndo = 40100,
  kCmdRedo = 40101,
  kCmdRecentFirst = 40150,
  kCmdRecentLast = 40158,
  // The frame toolbar's buttons and boxes.
  kCmdInterlace = 40040,
  kCmdToggleTransparency = 40041,
  kCmdPickTransparency = 40042,
  kCmdLocalPalette = 40043,
  kCmdShowLocalPalette = 40044,
  kCmdFrameNameList = 40045,
  kCmdDelayBox = 40046,
  kCmdRemovalLeave = 40047,
  kCmdRemovalBackground = 40048,
  kCmdIterationsBox = 40049,
  kCmdShowGlobalPalette = 40050,
  kCmdRemovalPrevious = 40051,
};

// Orientation values the shell passes to the filmstrip.
enum Orientation : int {
  kOrientDefault = 0,
  kOrientVerticalBit = 1,
  kOrientHorizontalBit = 2,
  kOrientChosenBit = 4096,
  kOrientVerticalChosen = 4097,
  kOrientHorizontalChosen = 4098,
};

constexpr int kMinZoomStep = -4;
constexpr int kMaxZoomStep = 3;
constexpr int kMaxRecentFiles = 7;
// At most this many files are read from one open dialog.
constexpr int kMaxFilesPerOpen = 200;

// Control ids of the main window's children.
constexpr const char* kStatusBarId = "4";
constexpr const char* kFilmstripId = "1";

}  // namespace lw::app
