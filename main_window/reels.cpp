#include "main_window/reels.h"

#include <algorithm>
#include <cmath>

namespace Reels {

int reelPlace(int index)
{
    int place = 1;
    for (int i = 0; i < index; ++i)
        place *= 10;
    return place;
}

int reelDigit(std::int16_t number, int index)
{
    const int place = reelPlace(index);
    return (number % (place * 10)) / place;
}

int frameInterval(double refreshRate)
{
    const double rate = refreshRate >= 1 && refreshRate <= 1000 ? refreshRate : 60.0;
    // Rounded up: never more turns than the display shows.
    return std::max(1, int(std::ceil(1000.0 / rate)));
}

QString advanceReel(const QString& digit)
{
    return QString::number((digit.toInt() + 1) % 10);
}

} // namespace Reels
