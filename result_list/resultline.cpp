#include "result_list/resultline.h"

QString resultLine(int drawNumber, std::int16_t value)
{
    const QString field = (QStringLiteral("   ") + QString::number(drawNumber)).right(3);
    const int magnitude = value < 0 ? -int(value) : int(value);
    const QString number = (value < 0 ? QStringLiteral("-") : QString()) +
                           QStringLiteral("%1").arg(magnitude, 3, 10, QLatin1Char('0'));
    return field + QStringLiteral("回目：　") + number;
}
