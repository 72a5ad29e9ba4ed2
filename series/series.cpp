#include "series/series.h"

namespace Series {

bool isRangeValid(std::int16_t from, std::int16_t to)
{
    // Three digits on the reels: a bound beyond them counts as no range.
    return from >= 0 && from <= to && to <= 999;
}

QString rangeLine(std::int16_t from, std::int16_t to)
{
    if (!isRangeValid(from, to))
        return QStringLiteral("抽選範囲 : 未設定");
    const QString upper = QString::number(to);
    return QStringLiteral("抽選範囲 : ") +
           QStringLiteral("%1").arg(from, int(upper.size()), 10, QLatin1Char('0')) +
           QStringLiteral(" ～ ") + upper;
}

QString countLine(std::int32_t drawn, CountMode mode)
{
    const auto n = static_cast<std::int16_t>(drawn);
    if (mode == CountNext)
        return QStringLiteral("次 ") + QString::number(n + 1) + QStringLiteral("回目");
    return QString::number(n) + QStringLiteral("回目");
}

} // namespace Series
