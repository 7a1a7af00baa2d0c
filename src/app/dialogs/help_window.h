// The help page shown inside the program: a browser window over the installed page, so that help works
// on a desktop without a web browser set up. One window per owner; asking again brings it to the front.
#pragma once

#include <QString>

class QWidget;

namespace lw::app {

// Shows the page in the owner's help window. False when the page cannot be read.
bool ShowHelpWindow(QWidget* owner, const QString& path);

}  // namespace lw::app
