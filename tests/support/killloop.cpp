#include "killloop.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

namespace KillLoop {

Round Run(const QString& program, const QStringList& arguments,
          const QProcessEnvironment& environment, bool afterFirstLine, int minDelayMs,
          int maxDelayMs)
{
    Round round;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    round.started = process.waitForStarted();
    if (!round.started)
        return round;
    if (afterFirstLine)
        round.printedBeforeTheKill = QTest::qWaitFor(
            [&] { return process.canReadLine() || process.state() != QProcess::Running; }, 20000);
    QTest::qWait(QRandomGenerator::global()->bounded(minDelayMs, maxDelayMs));
    round.killedWhileRunning = process.state() == QProcess::Running;
    process.kill();
    process.waitForFinished();
    round.output = process.readAllStandardOutput();
    return round;
}

} // namespace KillLoop
