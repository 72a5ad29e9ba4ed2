#pragma once

#include "series/randomsource.h"

#include <QList>

#include <cstdint>

// Outcome data for a laboratory, made by the very functions that START uses.
namespace Sampling {

// The first draw of a fresh series over from..to.
std::int16_t firstDraw(std::int16_t from, std::int16_t to, RandomSource& random);
// A whole series over from..to: every number once, in draw order.
QList<std::int16_t> wholeSeries(std::int16_t from, std::int16_t to, RandomSource& random);

} // namespace Sampling
