// Every dialog opens centred over its owner, or over the screen when it has none.
#pragma once

class QWidget;

namespace lw::app {

void CenterWindow(QWidget* window, const QWidget* owner);

}  // namespace lw::app
