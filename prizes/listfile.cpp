#include "prizes/listfile.h"

#include "prizes/csvreader.h"
#include "settings/atomicfile.h"
#include "settings/shiftjis.h"

#include <QStringDecoder>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

// An optional sign and digits only: "-1" is a whole number (out of range), "1.5",
// "No." and "" are none.
bool isWholeNumber(QStringView cell)
{
    if (cell.startsWith(u'+') || cell.startsWith(u'-'))
        cell = cell.mid(1);
    return !cell.isEmpty() &&
           std::all_of(cell.begin(), cell.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool inRange(std::optional<std::int32_t> value, Prizes::Key key)
{
    if (!value)
        return false;
    return key == Prizes::Key::Ordinal ? *value >= 1 : *value >= 0 && *value <= 999;
}

std::optional<std::int32_t> valueOf(QStringView cell)
{
    bool ok = false;
    const qlonglong value = cell.toLongLong(&ok);
    if (!ok || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return std::int32_t(value);
}

} // namespace

namespace Prizes {

QString decodeText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return ShiftJis::decode(bytes);
}

ListFile parseList(QByteArrayView bytes, Key key)
{
    ListFile list;
    bool first = true;
    const auto skip = [&list](qsizetype line) {
        if (list.firstBadLine == 0)
            list.firstBadLine = line;
    };
    for (const CsvRow& row : readCsv(decodeText(bytes))) {
        if (row.readable &&
            std::all_of(row.cells.cbegin(), row.cells.cend(),
                        [](const QString& cell) { return cell.trimmed().isEmpty(); }))
            continue;
        const bool header = first && row.readable && !isWholeNumber(row.cells[0].trimmed());
        first = false;
        if (header)
            continue;
        if (!row.readable || row.cells.size() < 2 || !isWholeNumber(row.cells[0].trimmed())) {
            skip(row.line);
            continue;
        }
        const std::optional<std::int32_t> value = valueOf(row.cells[0].trimmed());
        if (!inRange(value, key) || list.texts.contains(*value)) {
            skip(row.line);
            continue;
        }
        const QString text = row.cells[1].trimmed();
        if (!text.isEmpty())
            list.texts.insert(*value, text);
    }
    return list;
}

ListFile readList(const QString& path, Key key)
{
    const std::optional<QByteArray> bytes = AtomicFile::read(path, AtomicFile::MaxSize);
    if (!bytes) {
        ListFile list;
        list.unreadable = true;
        return list;
    }
    return parseList(*bytes, key);
}

QString warningFor(const QString& fileName, const ListFile& list)
{
    if (list.unreadable)
        return QStringLiteral("%1 を読み込めません。%1 を確認して下さい。").arg(fileName);
    if (list.firstBadLine > 0)
        return QStringLiteral("%1 の %2 行目を読み込めません。%1 を確認して下さい。")
            .arg(fileName, QString::number(list.firstBadLine));
    return QString();
}

} // namespace Prizes
