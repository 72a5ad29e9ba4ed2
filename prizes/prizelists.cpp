#include "prizes/prizelists.h"

#include <QDir>
#include <QFileInfo>

namespace Prizes {

PrizeLists::PrizeLists(QObject* parent) : QObject(parent)
{
    // The folder tells of a file saved by a rename (as spreadsheets save), created
    // or removed; a file watched, of its rewrite in place.
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            qOverload<>(&PrizeLists::reread));
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, qOverload<>(&PrizeLists::reread));
}

void PrizeLists::follow(const QString& folder)
{
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_folder = folder;
    m_prizes = {};
    m_names = {};
    m_watcher.addPath(folder);
    reread();
}

QStringList PrizeLists::warnings() const
{
    QStringList found;
    for (const auto& [fileName, read] : {std::pair(QString(PrizesFileName), &m_prizes),
                                         std::pair(QString(NamesFileName), &m_names)}) {
        if (const QString warning = warningFor(fileName, read->list); !warning.isEmpty())
            found.append(warning);
    }
    return found;
}

void PrizeLists::reread()
{
    const bool prizes = reread(m_prizes, PrizesFileName, Key::Ordinal);
    const bool names = reread(m_names, NamesFileName, Key::Number);
    if (prizes || names)
        Q_EMIT changed();
}

bool PrizeLists::reread(Read& read, const QString& fileName, Key key)
{
    const QString path = QDir(m_folder).filePath(fileName);
    const QFileInfo info(path);
    // A watched file is dropped once replaced or removed: watched again as it is now.
    if (info.isFile() && !m_watcher.files().contains(path))
        m_watcher.addPath(path);
    std::optional<std::pair<qint64, QDateTime>> stamp;
    if (info.exists() || info.isSymLink()) // a dangling link too: it is worth a warning
        stamp = std::pair(info.size(), info.lastModified());
    if (read.stamp == stamp)
        return false;
    ListFile list = readList(path, key);
    const bool changed = list.texts != read.list.texts;
    read = {std::move(list), stamp};
    return changed;
}

} // namespace Prizes
