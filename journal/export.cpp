#include "journal/export.h"

#include "prizes/listfile.h"
#include "settings/atomicfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QByteArray Header =
    QByteArrayLiteral("\xEF\xBB\xBF") + QStringLiteral("回,番号,日時,景品,氏名\r\n").toUtf8();
// An export made before the prize and name columns is an export too.
const QByteArray HeaderWithoutLists =
    QByteArrayLiteral("\xEF\xBB\xBF") + QStringLiteral("回,番号,日時\r\n").toUtf8();

// RFC 4180: a field with a comma, a quote or a line break is quoted, its quotes
// doubled. One that a spreadsheet would take for a formula is kept as text.
QByteArray field(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.isEmpty() && QByteArrayView("=+-@").contains(bytes.front()))
        bytes.prepend('\'');
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\r') || bytes.contains('\n'))
        bytes = '"' + bytes.replace("\"", "\"\"") + '"';
    return bytes;
}

// Whether the file begins as an export does; read through the guarded open, so a
// FIFO or a device is never waited on.
bool isExport(const QString& path)
{
    const int fd = AtomicFile::openForReading(path);
    if (fd < 0)
        return false;
    QFile file;
    QByteArray start;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        start = file.read(Header.size());
    const bool begins = start == Header || start.startsWith(HeaderWithoutLists);
    file.close();
    AtomicFile::closeDescriptor(fd);
    return begins;
}

} // namespace

namespace Export {

QByteArray csvOf(const QList<std::int16_t>& series, const QList<Replay::Draw>& journal,
                 const QString& head, const QHash<std::int32_t, QString>& prizes,
                 const QHash<std::int32_t, QString>& names)
{
    QByteArray csv = Header;
    for (qsizetype i = 0; i < series.size(); ++i) {
        // The time only where the journal holds this very draw.
        QString time;
        if (i < journal.size() && journal[i].ordinal == i + 1 && journal[i].number == series[i])
            time = journal[i].time;
        csv += field(QString::number(i + 1)) + ',' +
               field(QStringLiteral("%1").arg(series[i], 3, 10, QLatin1Char('0'))) + ',' +
               field(time) + ',' + field(prizes.value(std::int32_t(i + 1))) + ',' +
               field(names.value(series[i])) + "\r\n";
    }
    csv += "# head " + head.toLatin1() + "\r\n";
    return csv;
}

std::optional<QByteArray> csvOfFiles(const QString& iniPath, const QString& journalPath)
{
    const std::optional<Replay::Result> journal = Replay::readFile(journalPath);
    if (!journal || !journal->broken.isEmpty())
        return std::nullopt;
    const QDir folder = QFileInfo(journalPath).dir();
    return csvOf(
        Replay::settingsSeries(iniPath), journal->series, journal->head,
        Prizes::readList(folder.filePath(Prizes::PrizesFileName), Prizes::Key::Ordinal).texts,
        Prizes::readList(folder.filePath(Prizes::NamesFileName), Prizes::Key::Number).texts);
}

std::optional<Failure> write(const QString& path, const QByteArray& csv, const QStringList& records)
{
    const QFileInfo info(path);
    for (const QString& record : records) {
        if (AtomicFile::isSameFile(path, record))
            return Failure{true, QStringLiteral("抽選の記録ファイルには保存できません。")};
    }
    if (info.isSymLink())
        return Failure{true, QStringLiteral("リンクには保存できません。")};
    if (!QFileInfo(info.absolutePath()).isDir())
        return Failure{false, QStringLiteral("フォルダがありません。")};
    if (info.exists() && !info.isFile())
        return Failure{true, QStringLiteral("ファイルではありません。")};
    // Whatever else stands there (another program's record, a document) stays.
    if (info.exists() && !isExport(path))
        return Failure{true, QStringLiteral("CSV形式で保存したファイル以外には上書きできません。")};
    if (!AtomicFile::replaceNamed(path, csv))
        return Failure{false, QStringLiteral("書き込めませんでした。")};
    return std::nullopt;
}

QString defaultFileName(const QDateTime& now)
{
    return QStringLiteral("Rindell-%1.csv").arg(now.toString(QStringLiteral("yyyyMMdd-HHmm")));
}

} // namespace Export
