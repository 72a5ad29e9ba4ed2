#pragma once

#include <QString>

#include <cstdint>

// "  1回目：　007": the draw number right-aligned in three characters (its last
// three digits), then the value zero-filled to at least three digits.
QString resultLine(int drawNumber, std::int16_t value);
