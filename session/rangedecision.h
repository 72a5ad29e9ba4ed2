#pragma once

#include <QString>

#include <cstdint>

// What OK decides on the two boxes' texts (each empty or one to three digits,
// as the leave check lets them through) against the current range.
namespace RangeDecision {

enum class Outcome {
    MissingFrom, // the From box is empty
    MissingTo,   // the To box is empty
    Reversed,    // From > To
    Unchanged,   // the same range, leading zeros aside
    Changed,     // a new range that keeps every number of the current one
    Narrowed,    // a new range without some number of the current one: results go
};

Outcome decide(const QString& fromText, const QString& toText, std::int16_t currentFrom,
               std::int16_t currentTo);

} // namespace RangeDecision
