#pragma once

#include "prizes/listfile.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>

namespace Prizes {

// The prize list and the name list of one folder, read again whenever either
// changes on disk: a correction made during the event reaches the hall.
class PrizeLists : public QObject
{
    Q_OBJECT

  public:
    explicit PrizeLists(QObject* parent = nullptr);

    // Reads the two files of `folder` and follows them from now on.
    void follow(const QString& folder);
    // The prize of a draw and the name of a number; empty where none is listed.
    QString prize(std::int32_t ordinal) const { return m_prizes.list.texts.value(ordinal); }
    QString name(std::int32_t number) const { return m_names.list.texts.value(number); }
    QList<QString> names() const { return m_names.list.texts.values(); }
    // A warning for each file that was not read whole, as last read.
    QStringList warnings() const;

  Q_SIGNALS:
    void changed();

  private:
    // A file as it last stood: read again only once it is another.
    struct Read
    {
        ListFile list;
        std::optional<std::pair<qint64, QDateTime>> stamp;
    };
    void reread();
    bool reread(Read& read, const QString& fileName, Key key);

    QString m_folder;
    QFileSystemWatcher m_watcher;
    Read m_prizes;
    Read m_names;
};

} // namespace Prizes
