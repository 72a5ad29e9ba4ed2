#include "application/application.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLibraryInfo>
#include <QPixmap>
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

    QApplication::setWindowIcon(windowIcon());
}

QIcon windowIcon()
{
    // The sizes a window's frame and task bar use, as raw pixels made from the
    // PNGs (scripts/icon-pixels.py): decoding a PNG makes Qt load every image
    // format plugin first, a twentieth of the start-up.
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        QFile file(QStringLiteral(":/icons/rindell-%1.rgba").arg(size));
        const QByteArray pixels = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (pixels.size() == qsizetype(size) * size * 4)
            icon.addPixmap(
                QPixmap::fromImage(QImage(reinterpret_cast<const uchar*>(pixels.constData()), size,
                                          size, QImage::Format_RGBA8888)));
    }
    return icon;
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
