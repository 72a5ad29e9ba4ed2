#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>

// The series as the settings file holds it: read as the program reads it, and
// read whole, as the guard of the record reads it.
namespace Series {

// A decimal text, blanks around it allowed, that fits a 16-bit integer.
std::optional<std::int16_t> toInt16(const QString& text);
// The stored "From,To"; nothing unless both pieces are 16-bit integers.
std::optional<std::pair<std::int16_t, std::int16_t>> parseRange(const QString& stored);
struct StoredSeries
{
    QList<std::int16_t> results{0}; // as `Results`; missing ordinals hold 0
    QList<std::int16_t> stored;     // the numbers the entries hold, to be flagged
};
// The series stored as key, value, key, value, ...: the key is the position in the
// result list. Pairs that are not two 16-bit integers, or have a negative key, are skipped.
StoredSeries readSeries(const std::optional<QStringList>& entries);
// What a whole read of the stored series holds, whatever the Windows reading rules hide.
struct RecordedSeries
{
    QStringList keys;            // every key of the section
    QList<std::int16_t> numbers; // every value that reads as a number
};
RecordedSeries readRecorded(const QList<std::pair<QString, QString>>& entries);
// Whether the ordinal's key, written as the Windows functions match keys or read
// back as a number, is already in the file: a draw there would replace a record.
bool isOrdinalTaken(const RecordedSeries& recorded, qsizetype ordinal);

} // namespace Series
