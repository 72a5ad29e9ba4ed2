#include "inifixture.h"

#include "journal/replay.h"
#include "session/drawsession.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace IniFixture {

QString path()
{
    return Common::GetIniFilePath();
}

void write(const QByteArray& content)
{
    remove();
    QFile file(path());
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

void writeRecorded(const QByteArray& content)
{
    write(content);
    DrawSession session;
    if (session.start().adopted)
        session.noteWarning(QStringLiteral("told"), QStringLiteral("test"));
}

QByteArray read()
{
    QFile file(path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void remove()
{
    if (QFileInfo(path()).isDir())
        QDir(path()).removeRecursively();
    else
        QFile::remove(path());
    for (const QString& closed : Replay::closedSegments(journalPath()))
        QFile::remove(QFileInfo(path()).dir().filePath(closed));
    QFile::remove(journalPath());
    // What a test planted there, a folder too.
    if (QFileInfo(displayPath()).isDir() && !QFileInfo(displayPath()).isSymLink())
        QDir(displayPath()).removeRecursively();
    else
        QFile::remove(displayPath());
}

QString journalPath()
{
    return QFileInfo(path()).dir().filePath(QStringLiteral("Rindell.log"));
}

QString displayPath()
{
    return QFileInfo(path()).dir().filePath(QStringLiteral("Rindell-display.ini"));
}

void blockWithFolder()
{
    QFile::remove(path()); // the journal stays: the record goes on beside the blocked file
    QDir().mkpath(path() + QStringLiteral("/blocked"));
}

} // namespace IniFixture
