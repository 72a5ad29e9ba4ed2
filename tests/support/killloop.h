#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>

// One round of the crash tests: a program that writes draws is started, killed
// with SIGKILL at a random moment, and what it reported before is handed back.
namespace KillLoop {

struct Round
{
    bool started = false;
    bool killedWhileRunning = false;   // false when it had ended before the kill
    bool printedBeforeTheKill = false; // with afterFirstLine: its first line came in time
    QByteArray output;                 // its standard output up to the kill
};

// Starts `program`; when `afterFirstLine`, waits (up to 20 s) for its first line
// of output first; then waits a random delayMs in [minDelayMs, maxDelayMs) and
// kills it.
Round Run(const QString& program, const QStringList& arguments,
          const QProcessEnvironment& environment, bool afterFirstLine, int minDelayMs,
          int maxDelayMs);

} // namespace KillLoop
