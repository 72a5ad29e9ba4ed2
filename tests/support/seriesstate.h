#pragma once

class QObject;

// Between test functions of the window suites.
namespace SeriesState {

// The shared series state as at program start: no range, no draws.
void Reset();
// Whether a window a test opened is still shown: each test closes its own.
bool NoWindowLeft();

} // namespace SeriesState
