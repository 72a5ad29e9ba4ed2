#include "main_window/application.h"
#include "main_window/frmrindell.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    PrepareApplication();
    frmRindell window;
    if (!window.isLoaded())
        return 0; // another instance runs: end without a window
    window.show();
    return app.exec();
}
