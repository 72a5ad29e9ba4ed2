#include "journalfixture.h"

#include "files.h"
#include "journal/journal.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace JournalFixture {

QByteArray write(const QString& path, const QString& script)
{
    {
        auto journal = Journal::open(path);
        if (!journal)
            return {};
        QList<int> series;
        for (const QString& word : script.split(u' ', Qt::SkipEmptyParts)) {
            const QString kind = word.section(u'=', 0, 0);
            QJsonObject fields;
            if (kind == QLatin1String("start")) {
                fields = {{QStringLiteral("version"), QStringLiteral("1.00")},
                          {QStringLiteral("executable_sha256"), QString(64, u'a')}};
            } else if (kind == QLatin1String("clear")) {
                fields = {{QStringLiteral("cleared"), int(series.size())}};
                series.clear();
            } else if (kind == QLatin1String("range")) {
                const QString stored = word.section(u'=', 1);
                fields = {{QStringLiteral("from"), stored.section(u',', 0, 0).toInt()},
                          {QStringLiteral("to"), stored.section(u',', 1).toInt()},
                          {QStringLiteral("stored"), stored}};
            } else if (kind == QLatin1String("draw")) {
                series.append(word.section(u'=', 1).toInt());
                fields = {{QStringLiteral("from"), 0}, {QStringLiteral("to"), 999}};
            }
            if (kind == QLatin1String("draw") || kind == QLatin1String("reveal") ||
                kind == QLatin1String("void")) {
                fields.insert(QStringLiteral("ordinal"), int(series.size()));
                fields.insert(QStringLiteral("number"), series.value(series.size() - 1));
            }
            if (kind == QLatin1String("void")) {
                fields.insert(QStringLiteral("reason"), QStringLiteral("test"));
                series.removeLast();
            }
            journal->append(kind, fields);
        }
    }
    return Files::read(path);
}

QStringList events(const QByteArray& journal)
{
    QStringList kinds;
    for (const QByteArray& line : journal.split('\n'))
        kinds.append(
            QJsonDocument::fromJson(line).object().value(QLatin1String("event")).toString());
    kinds.removeAll(QString());
    return kinds;
}

} // namespace JournalFixture
