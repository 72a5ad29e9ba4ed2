#pragma once

#include "series/randomsource.h"

#include <QList>

#include <cstdint>
#include <limits>
#include <optional>

// The choice of a draw: which numbers are left, and an exactly uniform pick among
// them.
namespace Series {

// Flags each of `numbers` that has a flag.
void flagNumbers(const QList<std::int16_t>& numbers, QList<bool>& flags);

// Numbers of from..to that are not flagged.
int countUndrawn(const QList<bool>& flags, std::int16_t from, std::int16_t to);
// A value uniform over 0..bound-1 (bound >= 1) from a source of uniform Words, by
// Lemire's multiply-and-reject: the words that would favour some values are
// rejected, so every value is exactly equally likely. Wide holds two Words.
template <typename Word, typename Wide, typename Source>
Word uniformBelow(Word bound, Source&& next)
{
    static_assert(std::numeric_limits<Wide>::digits >= 2 * std::numeric_limits<Word>::digits);
    Wide product = Wide(next()) * bound;
    auto low = Word(product);
    if (low < bound) {
        // 2^bits mod bound: how many words too many the last partial turn holds.
        const auto threshold = Word(Word(Word(0) - bound) % bound);
        while (low < threshold) {
            product = Wide(next()) * bound;
            low = Word(product);
        }
    }
    return Word(product >> std::numeric_limits<Word>::digits);
}
// The 1-based rank, uniform over 1..undrawn, of the undrawn number to draw.
int uniformRank(int undrawn, RandomSource& random);
// The k-th unflagged number of from..to in ascending order.
std::optional<std::int16_t> nthUndrawn(const QList<bool>& flags, std::int16_t from, std::int16_t to,
                                       int k);

// START's choice: a uniform rank among the unflagged numbers of from..to, then the
// number of that rank; nothing when every number is flagged.
std::optional<std::int16_t> drawUndrawn(const QList<bool>& flags, std::int16_t from,
                                        std::int16_t to, RandomSource& random);

} // namespace Series
