#include "main_window/frmrindell.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rindell"));
    QApplication::setApplicationVersion(QStringLiteral(RINDELL_VERSION));
    // A style that paints button faces in their palette colour on every platform,
    // so START and STOP show their colours.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QIcon icon;
    for (const int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/rindell-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

    frmRindell window;
    if (!window.isLoaded())
        return 0; // another instance runs: end without a window
    window.show();
    return app.exec();
}
