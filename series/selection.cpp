#include "series/selection.h"

namespace Series {

void flagNumbers(const QList<std::int16_t>& numbers, QList<bool>& flags)
{
    for (const std::int16_t value : numbers) {
        if (value >= 0 && value < flags.size())
            flags[value] = true;
    }
}

int countUndrawn(const QList<bool>& flags, std::int16_t from, std::int16_t to)
{
    int count = 0;
    for (int i = from; i <= to; ++i) {
        if (i >= flags.size() || !flags[i])
            ++count;
    }
    return count;
}

int uniformRank(int undrawn, RandomSource& random)
{
    return 1 + int(uniformBelow<std::uint32_t, std::uint64_t>(std::uint32_t(undrawn),
                                                              [&random] { return random.next(); }));
}

std::optional<std::int16_t> nthUndrawn(const QList<bool>& flags, std::int16_t from, std::int16_t to,
                                       int k)
{
    for (int i = from; i <= to; ++i) {
        if (i < flags.size() && flags[i])
            continue;
        if (--k == 0)
            return static_cast<std::int16_t>(i);
    }
    return std::nullopt;
}

std::optional<std::int16_t> drawUndrawn(const QList<bool>& flags, std::int16_t from,
                                        std::int16_t to, RandomSource& random)
{
    const int undrawn = countUndrawn(flags, from, to);
    if (undrawn <= 0)
        return std::nullopt;
    return nthUndrawn(flags, from, to, uniformRank(undrawn, random));
}

} // namespace Series
