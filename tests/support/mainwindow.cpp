#include "mainwindow.h"

#include "controls.h"
#include "modalanswerer.h"

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

bool startIsRefusedAsExhausted(frmRindell* window)
{
    ModalAnswerer answerer;
    answerer.press(QMessageBox::Ok);
    QTest::mouseClick(button(window, "cmdStart"), Qt::LeftButton);
    return answerer.seen().size() == 1 &&
           answerer.seen()[0].text ==
               QStringLiteral("全て抽選されたので、これ以上抽選できません。");
}

} // namespace MainWindow
