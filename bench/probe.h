#pragma once

#include <QElapsedTimer>
#include <QObject>

// Measuring aids shared by the benchmark programs (Linux).
namespace Probe {

// Milliseconds since the launcher's timestamp in RINDELL_BENCH_T0 (ns since the epoch).
double msSinceLaunch();
// Peak resident memory of this process in KiB (VmHWM).
long peakResidentKiB();
// Memory of this process that no other process shares, in KiB.
long privateKiB();
// Calls `done` once, right after `widget`'s first paint event has been handled.
void onFirstPaint(QObject* widget, std::function<void()> done);
// Prints the start-up figures once the window has painted, then quits.
void reportStartupAndQuit(QObject* window);

} // namespace Probe
