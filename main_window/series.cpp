#include "main_window/series.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Series {

std::int16_t RangeFrom = -1;
std::int16_t RangeTo = -1;
QList<std::int16_t> Results{0};

bool IsRangeValid(std::int16_t from, std::int16_t to)
{
    return from >= 0 && to >= 0 && from <= to;
}

QString RangeLine(std::int16_t from, std::int16_t to)
{
    if (!IsRangeValid(from, to))
        return QStringLiteral("抽選範囲 : 未設定");
    const QString upper = QString::number(to);
    return QStringLiteral("抽選範囲 : ") +
           QStringLiteral("%1").arg(from, int(upper.size()), 10, QLatin1Char('0')) +
           QStringLiteral(" ～ ") + upper;
}

QString CountLine(std::int32_t drawn, CountMode mode)
{
    const auto n = static_cast<std::int16_t>(drawn);
    if (mode == CountNext)
        return QStringLiteral("次 ") + QString::number(n + 1) + QStringLiteral("回目");
    return QString::number(n) + QStringLiteral("回目");
}

std::optional<std::int16_t> ToInt16(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

std::optional<std::pair<std::int16_t, std::int16_t>> ParseRange(const QString& stored)
{
    const QStringList pieces = stored.split(u',');
    if (pieces.size() < 2)
        return std::nullopt;
    const std::optional<std::int16_t> from = ToInt16(pieces[0]);
    const std::optional<std::int16_t> to = ToInt16(pieces[1]);
    if (!from || !to)
        return std::nullopt;
    return std::pair(*from, *to);
}

StoredSeries ReadSeries(const std::optional<QStringList>& entries)
{
    StoredSeries series;
    if (!entries)
        return series;
    for (qsizetype i = 0; i + 1 < entries->size(); i += 2) {
        const std::optional<std::int16_t> key = ToInt16(entries->at(i));
        const std::optional<std::int16_t> value = ToInt16(entries->at(i + 1));
        if (!key || !value || *key < 0)
            continue;
        if (*key >= series.results.size())
            series.results.resize(*key + 1, 0);
        series.results[*key] = *value;
        series.stored.append(*value);
    }
    return series;
}

void FlagNumbers(const QList<std::int16_t>& numbers, QList<bool>& flags)
{
    for (const std::int16_t value : numbers) {
        if (value >= 0 && value < flags.size())
            flags[value] = true;
    }
}

int CountUndrawn(const QList<bool>& flags, std::int16_t from, std::int16_t to)
{
    int count = 0;
    for (int i = from; i <= to; ++i) {
        if (i >= flags.size() || !flags[i])
            ++count;
    }
    return count;
}

int UniformRank(int undrawn, RandomSource& random)
{
    return 1 + int(UniformBelow<std::uint32_t, std::uint64_t>(std::uint32_t(undrawn),
                                                              [&random] { return random.next(); }));
}

std::optional<std::int16_t> NthUndrawn(const QList<bool>& flags, std::int16_t from, std::int16_t to,
                                       int k)
{
    for (int i = from; i <= to; ++i) {
        if (i < flags.size() && flags[i])
            continue;
        if (--k == 0)
            return static_cast<std::int16_t>(i);
    }
    return std::nullopt;
}

std::optional<std::int16_t> DrawUndrawn(const QList<bool>& flags, std::int16_t from,
                                        std::int16_t to, RandomSource& random)
{
    const int undrawn = CountUndrawn(flags, from, to);
    if (undrawn <= 0)
        return std::nullopt;
    return NthUndrawn(flags, from, to, UniformRank(undrawn, random));
}

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

RecordedSeries ReadRecorded(const QList<std::pair<QString, QString>>& entries)
{
    RecordedSeries recorded;
    for (const auto& [key, value] : entries) {
        recorded.keys.append(storedText(key));
        if (const std::optional<std::int16_t> number = ToInt16(storedText(value)))
            recorded.numbers.append(*number);
    }
    return recorded;
}

bool IsOrdinalTaken(const RecordedSeries& recorded, qsizetype ordinal)
{
    const QString key = QString::number(ordinal);
    return std::any_of(recorded.keys.cbegin(), recorded.keys.cend(), [&](const QString& stored) {
        return stored.compare(key, Qt::CaseInsensitive) == 0 || ToInt16(stored) == ordinal;
    });
}

int ReelPlace(int index)
{
    int place = 1;
    for (int i = 0; i < index; ++i)
        place *= 10;
    return place;
}

int ReelDigit(std::int16_t number, int index)
{
    const int place = ReelPlace(index);
    return (number % (place * 10)) / place;
}

int FrameInterval(double refreshRate)
{
    const double rate = refreshRate >= 1 && refreshRate <= 1000 ? refreshRate : 60.0;
    // Rounded up: never more turns than the display shows.
    return std::max(1, int(std::ceil(1000.0 / rate)));
}

QString AdvanceReel(const QString& digit)
{
    return QString::number((digit.toInt() + 1) % 10);
}

} // namespace Series
