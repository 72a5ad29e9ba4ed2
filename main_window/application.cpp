#include "main_window/application.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

void PrepareApplication()
{
    QApplication::setApplicationName(QStringLiteral("Rindell"));
    QApplication::setApplicationVersion(QStringLiteral(RINDELL_VERSION));
    // A style that paints button faces in their palette colour on every platform,
    // so START and STOP show their colours.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QIcon icon;
    for (const int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/rindell-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
}
