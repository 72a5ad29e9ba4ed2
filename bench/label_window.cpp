// The fair floor for a program that shows text: one window of Rindell's size
// showing one line of Japanese text in a label, in the same style.
#include "probe.h"

#include <QApplication>
#include <QLabel>
#include <QStyleFactory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QLabel window(QStringLiteral("抽選範囲 : 001 ～ 100"));
    window.setAlignment(Qt::AlignCenter);
    window.resize(705, 445);
    Probe::reportStartupAndQuit(&window);
    window.show();
    return app.exec();
}
