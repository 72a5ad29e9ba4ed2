#include "command_line/sampling.h"

#include "series/selection.h"

namespace Sampling {

std::int16_t firstDraw(std::int16_t from, std::int16_t to, RandomSource& random)
{
    return *Series::drawUndrawn(QList<bool>(to + 1, false), from, to, random);
}

QList<std::int16_t> wholeSeries(std::int16_t from, std::int16_t to, RandomSource& random)
{
    QList<bool> flags(to + 1, false);
    QList<std::int16_t> series;
    while (const std::optional<std::int16_t> drawn = Series::drawUndrawn(flags, from, to, random)) {
        flags[*drawn] = true;
        series.append(*drawn);
    }
    return series;
}

} // namespace Sampling
