#pragma once

#include <QString>

#include <cstdint>

// How the main window shows a drawing series: its range and its count.
namespace Series {

enum CountMode : std::int32_t { CountCurrent = 0, CountNext = 1 };

bool isRangeValid(std::int16_t from, std::int16_t to);
// "抽選範囲 : 001 ～ 100", or "抽選範囲 : 未設定" when the range is not valid.
QString rangeLine(std::int16_t from, std::int16_t to);
// "次 5回目" (CountNext) or "4回目" (CountCurrent) for `drawn` numbers drawn.
QString countLine(std::int32_t drawn, CountMode mode);

} // namespace Series
