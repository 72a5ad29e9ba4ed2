#include "journal/export.h"

#include "settings/atomicfile.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

// RFC 4180: a field with a comma, a quote or a line break is quoted, its quotes doubled.
QByteArray field(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\r') || bytes.contains('\n'))
        bytes = '"' + bytes.replace("\"", "\"\"") + '"';
    return bytes;
}

} // namespace

namespace Export {

QByteArray Csv(const QList<std::int16_t>& series, const QList<Replay::Draw>& journal,
               const QString& head)
{
    QByteArray csv = "\xEF\xBB\xBF" + field(QStringLiteral("回")) + ',' +
                     field(QStringLiteral("番号")) + ',' + field(QStringLiteral("日時")) + "\r\n";
    for (qsizetype i = 0; i < series.size(); ++i) {
        // The time only where the journal holds this very draw.
        QString time;
        if (i < journal.size() && journal[i].ordinal == i + 1 && journal[i].number == series[i])
            time = journal[i].time;
        csv += field(QString::number(i + 1)) + ',' +
               field(QStringLiteral("%1").arg(series[i], 3, 10, QLatin1Char('0'))) + ',' +
               field(time) + "\r\n";
    }
    csv += "# head " + head.toLatin1() + "\r\n";
    return csv;
}

QByteArray CsvOfFiles(const QString& iniPath, const QString& journalPath)
{
    const Replay::Result journal = Replay::ReadFile(journalPath).value_or(Replay::Result());
    return Csv(Replay::SettingsSeries(iniPath), journal.series, journal.head);
}

std::optional<QString> Write(const QString& path, const QByteArray& csv)
{
    const QFileInfo info(path);
    if (!QFileInfo(info.absolutePath()).isDir())
        return QStringLiteral("フォルダがありません。");
    if (info.exists() && !info.isFile())
        return QStringLiteral("ファイルではありません。");
    if (!AtomicFile::replace(path, csv))
        return QStringLiteral("書き込めませんでした。");
    return std::nullopt;
}

QString DefaultFileName(const QDateTime& now)
{
    return QStringLiteral("Rindell-%1.csv").arg(now.toString(QStringLiteral("yyyyMMdd-HHmm")));
}

} // namespace Export
