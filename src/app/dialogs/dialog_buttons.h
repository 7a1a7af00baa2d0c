// The OK and Cancel row most dialogs end with.
#pragma once

#include <QDialogButtonBox>

class QDialog;

namespace lw::app {

// OK (control id 1) and Cancel (2), wired to the dialog's accept (its own check, where it has one) and
// reject.
QDialogButtonBox* OkCancelButtons(QDialog* dialog);

}  // namespace lw::app
