#include "application/application.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>

void prepareApplication()
{
    QApplication::setApplicationName(QStringLiteral("Rindell"));
    QApplication::setApplicationVersion(QStringLiteral(RINDELL_VERSION));
    // START and STOP paint their own face, so Windows keeps its own look; elsewhere
    // one style whatever the desktop's theme, which the tests and screenshots see.
#ifndef Q_OS_WIN
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
#endif
    installQtTranslation();

    // The sizes a window's frame and task bar use; the large ones are for the
    // installed icon theme only, and decoding them would slow every start.
    QIcon icon;
    for (const int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/icons/rindell-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
}

QTranslator* installQtTranslation()
{
    const QString name = QStringLiteral("qtbase_ja");
    auto* translator = new QTranslator(qApp);
    for (const QString& folder :
         {QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
          QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (translator->load(name, folder) && QCoreApplication::installTranslator(translator))
            return translator;
    }
    delete translator;
    return nullptr;
}
