#pragma once

#include "main_window/randomsource.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

// The state of a drawing series, shared by the three windows, and the decisions
// made on it that need no widget.
namespace Series {

// The inclusive drawing range; -1 / -1 while nothing has been read.
extern std::int16_t RangeFrom;
extern std::int16_t RangeTo;
// Element 0 is a placeholder; elements 1.. are the drawn numbers in draw order.
extern QList<std::int16_t> Results;

enum CountMode : std::int32_t { CountCurrent = 0, CountNext = 1 };

bool IsRangeValid(std::int16_t from, std::int16_t to);
// "抽選範囲 : 001 ～ 100", or "抽選範囲 : 未設定" when the range is not valid.
QString RangeLine(std::int16_t from, std::int16_t to);
// "次 5回目" (CountNext) or "4回目" (CountCurrent) for `drawn` numbers drawn.
QString CountLine(std::int32_t drawn, CountMode mode);

// A decimal text, blanks around it allowed, that fits a 16-bit integer.
std::optional<std::int16_t> ToInt16(const QString& text);
// The stored "From,To"; nothing unless both pieces are 16-bit integers.
std::optional<std::pair<std::int16_t, std::int16_t>> ParseRange(const QString& stored);
struct StoredSeries
{
    QList<std::int16_t> results{0}; // as `Results`; missing ordinals hold 0
    QList<std::int16_t> stored;     // the numbers the entries hold, to be flagged
};
// The series stored as key, value, key, value, ...: the key is the position in the
// result list. Pairs that are not two 16-bit integers, or have a negative key, are skipped.
StoredSeries ReadSeries(const std::optional<QStringList>& entries);
// Flags each of `numbers` that has a flag.
void FlagNumbers(const QList<std::int16_t>& numbers, QList<bool>& flags);

// Numbers of from..to that are not flagged.
int CountUndrawn(const QList<bool>& flags, std::int16_t from, std::int16_t to);
// A value uniform over 0..bound-1 (bound >= 1) from a source of uniform Words, by
// Lemire's multiply-and-reject: the words that would favour some values are
// rejected, so every value is exactly equally likely. Wide holds two Words.
template <typename Word, typename Wide, typename Source>
Word UniformBelow(Word bound, Source&& next)
{
    static_assert(std::numeric_limits<Wide>::digits >= 2 * std::numeric_limits<Word>::digits);
    Wide product = Wide(next()) * bound;
    auto low = Word(product);
    if (low < bound) {
        // 2^bits mod bound: how many words too many the last partial turn holds.
        const auto threshold = Word(Word(Word(0) - bound) % bound);
        while (low < threshold) {
            product = Wide(next()) * bound;
            low = Word(product);
        }
    }
    return Word(product >> std::numeric_limits<Word>::digits);
}
// The 1-based rank, uniform over 1..undrawn, of the undrawn number to draw.
int UniformRank(int undrawn, RandomSource& random);
// The k-th unflagged number of from..to in ascending order.
std::optional<std::int16_t> NthUndrawn(const QList<bool>& flags, std::int16_t from, std::int16_t to,
                                       int k);

// START's choice: a uniform rank among the unflagged numbers of from..to, then the
// number of that rank; nothing when every number is flagged.
std::optional<std::int16_t> DrawUndrawn(const QList<bool>& flags, std::int16_t from,
                                        std::int16_t to, RandomSource& random);

// What a whole read of the stored series holds, whatever the Windows reading rules hide.
struct RecordedSeries
{
    QStringList keys;            // every key of the section
    QList<std::int16_t> numbers; // every value that reads as a number
};
RecordedSeries ReadRecorded(const QList<std::pair<QString, QString>>& entries);
// Whether the ordinal's key, written as the Windows functions match keys or read
// back as a number, is already in the file: a draw there would replace a record.
bool IsOrdinalTaken(const RecordedSeries& recorded, qsizetype ordinal);

// The decimal place of reel `index`: 1 (ones), 10 (tens) or 100 (hundreds).
int ReelPlace(int index);
// The digit that reel `index` (0 ones, 1 tens, 2 hundreds) shows for `number`.
int ReelDigit(std::int16_t number, int index);
// The interval in whole milliseconds, rounded up, between two turns of the reels on a display
// refreshed `refreshRate` times a second (60 where the display does not say).
int FrameInterval(double refreshRate);
// The next digit of a spinning reel: "9" turns to "0".
QString AdvanceReel(const QString& digit);

} // namespace Series
