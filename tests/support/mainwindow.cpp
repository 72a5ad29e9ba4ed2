#include "mainwindow.h"

#include "controls.h"

#include <QTest>

namespace MainWindow {

std::unique_ptr<frmRindell> open()
{
    auto window = std::make_unique<frmRindell>();
    window->show();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("main window did not become active");
    return window;
}

QString reels(QWidget* window)
{
    return box(window, "txt100")->text() + box(window, "txt10")->text() +
           box(window, "txt1")->text();
}

} // namespace MainWindow
