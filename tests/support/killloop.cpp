#include "killloop.h"

#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

QMap<int, int> Reported(const QByteArray& output)
{
    QMap<int, int> reported;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (!fields[0].isEmpty())
            reported.insert(fields[0].toInt(), fields.size() > 1 ? fields[1].toInt() : -1);
    }
    return reported;
}

QString CheckRecord(const QString& file, const QByteArray& header, const QMap<int, int>& reported,
                    QList<int>& numbers)
{
    QFile record(file);
    if (!record.open(QIODevice::ReadOnly))
        return QStringLiteral("the file is gone");
    const QByteArray content = record.readAll();
    if (!content.startsWith(header) || !content.endsWith("\r\n"))
        return QStringLiteral("torn: ") + QString::fromLatin1(content.right(60));
    const QStringList entries =
        Common::ReadIniSection(QStringLiteral("Result"), file).value_or(QStringList());
    numbers.clear();
    for (qsizetype i = 0; i + 1 < entries.size(); i += 2) {
        if (entries[i] != QString::number(i / 2 + 1))
            return QStringLiteral("key %1 out of order").arg(entries[i]);
        numbers << entries[i + 1].toInt();
    }
    for (auto it = reported.cbegin(); it != reported.cend(); ++it)
        if (it.value() >= 0 && numbers.value(it.key() - 1, -1) != it.value())
            return QStringLiteral("reported draw %1 is not on disk").arg(it.key());
    if (!reported.isEmpty() && numbers.size() < reported.lastKey())
        return QStringLiteral("%1 draws on disk, %2 reported")
            .arg(numbers.size())
            .arg(reported.lastKey());
    const QFileInfo info(file);
    QStringList left = info.dir().entryList({info.fileName() + u'*'}, QDir::Files | QDir::Hidden);
    left.removeAll(info.fileName());
    if (left.size() > 1 ||
        (left.size() == 1 && !left[0].startsWith(info.fileName() + QStringLiteral(".tmp."))))
        return QStringLiteral("left beside it: ") + left.join(u' ');
    return {};
}

} // namespace KillLoop
