#pragma once

#include <QList>
#include <QString>

#include <cstdint>

// The state of a drawing series, shared by the three windows, and how the main
// window shows it.
namespace Series {

// The inclusive drawing range; -1 / -1 while nothing has been read.
extern std::int16_t RangeFrom;
extern std::int16_t RangeTo;
// Element 0 is a placeholder; elements 1.. are the drawn numbers in draw order.
extern QList<std::int16_t> Results;

enum CountMode : std::int32_t { CountCurrent = 0, CountNext = 1 };

bool isRangeValid(std::int16_t from, std::int16_t to);
// "抽選範囲 : 001 ～ 100", or "抽選範囲 : 未設定" when the range is not valid.
QString rangeLine(std::int16_t from, std::int16_t to);
// "次 5回目" (CountNext) or "4回目" (CountCurrent) for `drawn` numbers drawn.
QString countLine(std::int32_t drawn, CountMode mode);

} // namespace Series
