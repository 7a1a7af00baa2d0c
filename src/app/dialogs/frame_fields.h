// The controls Frame Properties and Global Frame Properties share (with the same control ids): offsets,
// delay, disposal list, the Transparent, Interlaced and Local Palette boxes and the "Edit..." button
// of the transparent colour, and how their numbers are read.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace lw {
struct Animation;
struct Frame;
struct FrameValues;
}  // namespace lw

namespace lw::app {

// Control ids kept as objectNames.
enum FrameControlId : int {
  kIdDelay = 1000,
  kIdName = 1002,
  kIdTransparent = 1004,
  kIdInterlaced = 1005,
  kIdLocalPalette = 1006,
  kIdOffsetX = 1008,
  kIdOffsetY = 1009,
  kIdWidth = 1014,
  kIdHeight = 1015,
  kIdDisposal = 1018,
  kIdShowPalette = 1064,
  kIdEditTransparent = 1065,
};

struct FrameFields {
  QLineEdit* width = nullptr;
  QLineEdit* height = nullptr;
  QLineEdit* left = nullptr;
  QLineEdit* top = nullptr;
  QLineEdit* delay = nullptr;
  QComboBox* disposal = nullptr;
  QCheckBox* transparent = nullptr;
  QPushButton* editTransparent = nullptr;
  QCheckBox* interlaced = nullptr;
  QCheckBox* localPalette = nullptr;
  QPushButton* showPalette = nullptr;  // null in the global dialog
};

// Builds the "Image" and "Animation" groups into the grid from row on; the labels of the delay and
// disposal name a frame or an image. The palette display is not part of this build: "Show..." stays
// disabled.
FrameFields AddFrameFields(QWidget* owner, QGridLayout* grid, int row, bool withShowPalette,
                           const QString& delayLabel, const QString& disposalLabel);

// OK's check of offsets and delay (for one frame, or all when only is null): false, with the focus on the
// refused value's field, when the dialog stays open.
bool CheckFrameFields(const Animation& a, const FrameValues& v, const Frame* only, const FrameFields& fields);

// A field read as the dialog reads numbers: signed, and 0 for text that holds no number. Nothing for a
// blank field when blankIsMixed.
std::optional<int64_t> ReadNumber(const QLineEdit* field, bool blankIsMixed);

}  // namespace lw::app
