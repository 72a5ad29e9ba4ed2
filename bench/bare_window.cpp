// The baseline: a bare Qt 6 program that shows one empty window of Rindell's size.
#include "probe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(705, 445);
    Probe::reportStartupAndQuit(&window);
    window.show();
    return app.exec();
}
