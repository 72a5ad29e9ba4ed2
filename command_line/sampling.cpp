#include "command_line/sampling.h"

#include "series/selection.h"

namespace Sampling {

std::int16_t FirstDraw(std::int16_t from, std::int16_t to, RandomSource& random)
{
    return *Series::DrawUndrawn(QList<bool>(to + 1, false), from, to, random);
}

QList<std::int16_t> WholeSeries(std::int16_t from, std::int16_t to, RandomSource& random)
{
    QList<bool> flags(to + 1, false);
    QList<std::int16_t> series;
    while (const std::optional<std::int16_t> drawn = Series::DrawUndrawn(flags, from, to, random)) {
        flags[*drawn] = true;
        series.append(*drawn);
    }
    return series;
}

} // namespace Sampling
