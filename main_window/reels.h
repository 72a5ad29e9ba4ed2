#pragma once

#include <QString>

#include <cstdint>

// The arithmetic of the three digit reels.
namespace Reels {

// The decimal place of reel `index`: 1 (ones), 10 (tens) or 100 (hundreds).
int reelPlace(int index);
// The digit that reel `index` (0 ones, 1 tens, 2 hundreds) shows for `number`.
int reelDigit(std::int16_t number, int index);
// The interval in whole milliseconds, rounded up, between two turns of the reels on a display
// refreshed `refreshRate` times a second (60 where the display does not say).
int frameInterval(double refreshRate);
// The next digit of a spinning reel: "9" turns to "0".
QString advanceReel(const QString& digit);

} // namespace Reels
