#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
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

// The "ordinal number" lines a killed program printed, by ordinal; a line of an
// ordinal alone reports it with the number -1.
QMap<int, int> Reported(const QByteArray& output);

// What a kill may leave of a settings file that records draws after `header`:
// the file whole (the header first, every line ended), its results keyed 1, 2,
// 3, ... in draw order and holding every reported draw, and beside it at most the
// one temporary file of the killed write. Empty when so, else what is wrong;
// `numbers` receives the results in order.
QString CheckRecord(const QString& file, const QByteArray& header, const QMap<int, int>& reported,
                    QList<int>& numbers);

} // namespace KillLoop
