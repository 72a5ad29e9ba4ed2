#pragma once

class QWidget;

namespace Common {

// A modal window has no minimise box (a window manager may still offer one):
// minimised all the same, it comes straight back, with its owner, so that the
// operator is never left with an empty screen and a blocked program.
void keepModalOnScreen(QWidget* modal);

} // namespace Common
