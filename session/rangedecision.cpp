#include "session/rangedecision.h"

namespace RangeDecision {

Outcome decide(const QString& fromText, const QString& toText, std::int16_t currentFrom,
               std::int16_t currentTo)
{
    if (fromText.isEmpty())
        return Outcome::MissingFrom;
    if (toText.isEmpty())
        return Outcome::MissingTo;
    const int from = fromText.toInt();
    const int to = toText.toInt();
    if (from > to)
        return Outcome::Reversed;
    // Strict comparisons against whatever the current values are, -1 included.
    if (to < currentTo || from > currentFrom)
        return Outcome::Narrowed;
    if (to != currentTo || from != currentFrom)
        return Outcome::Changed;
    return Outcome::Unchanged;
}

} // namespace RangeDecision
