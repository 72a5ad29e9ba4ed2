#pragma once

#include "main_window/frmrindell.h"

#include <QString>

#include <memory>

// The main window as the window suites drive it.
namespace MainWindow {

// A new main window, shown and active.
std::unique_ptr<frmRindell> open();
// The three reels' digits, hundreds first.
QString reels(QWidget* window);

} // namespace MainWindow
