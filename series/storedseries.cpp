#include "series/storedseries.h"

#include <algorithm>
#include <limits>

namespace {

// A stored text as the Windows functions hand it over: up to its first NUL, without
// a ";" comment, trimmed, one pair of quotes removed.
QString storedText(const QString& raw)
{
    QString text = raw.left(raw.indexOf(QChar(u'\0')));
    text = text.left(text.indexOf(u';')).trimmed();
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') &&
        text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    return text;
}

} // namespace

namespace Series {

std::optional<std::int16_t> toInt16(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

std::optional<std::pair<std::int16_t, std::int16_t>> parseRange(const QString& stored)
{
    const QStringList pieces = stored.split(u',');
    if (pieces.size() < 2)
        return std::nullopt;
    const std::optional<std::int16_t> from = toInt16(pieces[0]);
    const std::optional<std::int16_t> to = toInt16(pieces[1]);
    if (!from || !to)
        return std::nullopt;
    return std::pair(*from, *to);
}

StoredSeries readSeries(const std::optional<QStringList>& entries)
{
    StoredSeries series;
    if (!entries)
        return series;
    for (qsizetype i = 0; i + 1 < entries->size(); i += 2) {
        const std::optional<std::int16_t> key = toInt16(entries->at(i));
        const std::optional<std::int16_t> value = toInt16(entries->at(i + 1));
        if (!key || !value || *key < 0)
            continue;
        if (*key >= series.results.size())
            series.results.resize(*key + 1, 0);
        series.results[*key] = *value;
        series.stored.append(*value);
    }
    return series;
}

RecordedSeries readRecorded(const QList<std::pair<QString, QString>>& entries)
{
    RecordedSeries recorded;
    for (const auto& [key, value] : entries) {
        recorded.keys.append(storedText(key));
        if (const std::optional<std::int16_t> number = toInt16(storedText(value)))
            recorded.numbers.append(*number);
    }
    return recorded;
}

bool isOrdinalTaken(const RecordedSeries& recorded, qsizetype ordinal)
{
    const QString key = QString::number(ordinal);
    return std::any_of(recorded.keys.cbegin(), recorded.keys.cend(), [&](const QString& stored) {
        return stored.compare(key, Qt::CaseInsensitive) == 0 || toInt16(stored) == ordinal;
    });
}

} // namespace Series
