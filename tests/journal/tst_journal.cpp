// The draw journal: its chain, a start after a kill, the series it proves, the
// CSV export and the command line that checks and exports it.
#include "files.h"
#include "journal/export.h"
#include "journal/journal.h"
#include "journal/replay.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

QJsonObject draw(int ordinal, int number)
{
    return {{QStringLiteral("ordinal"), ordinal},
            {QStringLiteral("number"), number},
            {QStringLiteral("from"), 1},
            {QStringLiteral("to"), 100}};
}

// start, range, draws 37, 5, 88, clear, draws 12, 40: seven events and a series of two.
QByteArray sampleJournal(const QString& path)
{
    auto journal = Journal::open(path);
    if (!journal)
        return {};
    journal->append(QStringLiteral("start"));
    journal->append(QStringLiteral("range"),
                    {{QStringLiteral("from"), 1}, {QStringLiteral("to"), 100}});
    journal->append(QStringLiteral("draw"), draw(1, 37));
    journal->append(QStringLiteral("draw"), draw(2, 5));
    journal->append(QStringLiteral("draw"), draw(3, 88));
    journal->append(QStringLiteral("clear"));
    journal->append(QStringLiteral("draw"), draw(1, 12));
    journal->append(QStringLiteral("draw"), draw(2, 40));
    return Files::read(path);
}

QList<QByteArray> linesOf(const QByteArray& content)
{
    QList<QByteArray> lines = content.split('\n');
    lines.removeLast();
    return lines;
}

QByteArray joined(const QList<QByteArray>& lines)
{
    return lines.join('\n') + '\n';
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();

    void wholeJournalReadsBack();
    void breaksAreFoundAtTheirLine_data();
    void breaksAreFoundAtTheirLine();
    void continuesTheChainItFinds_data();
    void continuesTheChainItFinds();
    void startAfterAKillEndsTheTornLine();
    void plantedLinkFolderOrGiantIsNotAJournal();
    void voidAndAdoptShapeTheSeries();
    void csvBytes();
    void commandLine();

  private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_log;
};

void TestJournal::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_log = m_dir->filePath(QStringLiteral("Rindell.log"));
}

void TestJournal::wholeJournalReadsBack()
{
    const QByteArray content = sampleJournal(m_log);
    const QList<QByteArray> lines = linesOf(content);
    QCOMPARE(lines.size(), 8);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(first.value(QLatin1String("seq")).toInt(), 1);
    QCOMPARE(first.value(QLatin1String("prev")).toString(), QString(64, u'0'));
    QVERIFY(QDateTime::fromString(first.value(QLatin1String("time")).toString(), Qt::ISODateWithMs)
                .isValid());
    const Replay::Result result = Replay::Read(content);
    QVERIFY2(result.broken.isEmpty(), qPrintable(result.broken));
    QCOMPARE(result.events, 8);
    QCOMPARE(result.head, QString::fromLatin1(Journal::hash(lines.last())));
    QCOMPARE(result.series.size(), 2);
    QCOMPARE(result.series[0].number, 12);
    QCOMPARE(result.series[1].number, 40);
    // Reopened, the chain goes on from the last line.
    auto journal = Journal::open(m_log);
    QVERIFY(journal);
    QCOMPARE(journal->head(), result.head);
    QVERIFY(journal->append(QStringLiteral("end")));
    QVERIFY(Replay::Read(Files::read(m_log)).broken.isEmpty());
}

void TestJournal::breaksAreFoundAtTheirLine_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reported");
    QTest::newRow("a changed number") << "number"
                                      << "line 6: prev is not the SHA-256 of line 5";
    QTest::newRow("a deleted line") << "delete"
                                    << "line 4: seq 5 where 4 was expected";
    QTest::newRow("two lines swapped") << "swap"
                                       << "line 3: seq 4 where 3 was expected";
    QTest::newRow("a truncated last line") << "truncate"
                                           << "line 8: the last line is incomplete";
    QTest::newRow("a line of garbage") << "garbage"
                                       << "line 2: not a JSON object";
}

void TestJournal::breaksAreFoundAtTheirLine()
{
    QFETCH(QString, change);
    QFETCH(QString, reported);
    QList<QByteArray> lines = linesOf(sampleJournal(m_log));
    QByteArray content;
    if (change == QLatin1String("number")) {
        lines[4].replace("\"number\":88", "\"number\":89"); // line 5, a draw
        content = joined(lines);
    } else if (change == QLatin1String("delete")) {
        lines.removeAt(3);
        content = joined(lines);
    } else if (change == QLatin1String("swap")) {
        lines.swapItemsAt(2, 3);
        content = joined(lines);
    } else if (change == QLatin1String("truncate")) {
        content = joined(lines);
        content.chop(20);
    } else {
        lines[1] = "not json at all";
        content = joined(lines);
    }
    QCOMPARE(Replay::Read(content).broken, reported);
    QVERIFY(Files::write(m_log, content));
    const auto [line, status] = Replay::Verify(m_log);
    QCOMPARE(status, 1);
    QCOMPARE(line, QStringLiteral("BROKEN: ") + reported);
}

void TestJournal::continuesTheChainItFinds_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("kept"); // what the file must still begin with
    QTest::addColumn<int>("seq");         // of the line appended
    QTest::addColumn<QByteArray>("prev"); // the line it chains to
    QTemporaryDir scratch;
    const QByteArray sample = sampleJournal(scratch.filePath(QStringLiteral("sample.log")));
    const QByteArray last = linesOf(sample).last();
    QTest::newRow("no file") << QByteArray() << QByteArray() << 1 << QByteArray();
    QTest::newRow("ended lines") << sample << sample << 9 << last;
    QTest::newRow("last line without its end") << sample.chopped(1) << sample << 9 << last;
    QTest::newRow("one line without seq")
        << QByteArray("{\"event\":\"x\"}\n") << QByteArray("{\"event\":\"x\"}\n") << 2
        << QByteArray("{\"event\":\"x\"}");
    QTest::newRow("one empty line") << QByteArray("\n") << QByteArray("\n") << 2 << QByteArray("");
}

void TestJournal::continuesTheChainItFinds()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, kept);
    QFETCH(int, seq);
    QFETCH(QByteArray, prev);
    if (!before.isEmpty())
        QVERIFY(Files::write(m_log, before));
    QVERIFY(Journal::open(m_log)->append(QStringLiteral("end")));
    const QByteArray after = Files::read(m_log);
    QVERIFY(after.startsWith(kept));
    const QJsonObject line = QJsonDocument::fromJson(linesOf(after).last()).object();
    QCOMPARE(line.value(QLatin1String("seq")).toInt(), seq);
    QCOMPARE(line.value(QLatin1String("prev")).toString().toLatin1(),
             prev.isNull() ? Journal::zeroHash() : Journal::hash(prev));
    QCOMPARE(linesOf(after).size(), linesOf(kept).size() + 1);
}

void TestJournal::startAfterAKillEndsTheTornLine()
{
    // A kill in the middle of an append leaves part of a line; the next start
    // keeps every byte, ends that line and chains a "recovered" event to the last
    // whole line. The verifier accepts exactly this, and says so.
    const QByteArray whole = sampleJournal(m_log);
    const QByteArray torn = whole + "{\"event\":\"draw\",\"num";
    QVERIFY(Files::write(m_log, torn));
    QVERIFY(Replay::Read(torn).broken.startsWith(QLatin1String("line 9:")));
    {
        QByteArray found;
        auto journal = Journal::open(m_log, &found);
        QVERIFY(journal);
        QCOMPARE(found, torn); // what the start replays: the file as the kill left it
        QVERIFY(journal->append(QStringLiteral("draw"), draw(3, 7)));
    }
    const QByteArray after = Files::read(m_log);
    QVERIFY(after.startsWith(torn + '\n'));
    const Replay::Result result = Replay::Read(after);
    QVERIFY2(result.broken.isEmpty(), qPrintable(result.broken));
    QCOMPARE(result.recoveredTorn, QList<int>{9});
    QCOMPARE(result.events, 10);
    QCOMPARE(result.series.size(), 3);

    // Only right after the torn line, naming it, chained past it.
    QList<QByteArray> lines = linesOf(after);
    lines.swapItemsAt(8, 9);
    QVERIFY(!Replay::Read(joined(lines)).broken.isEmpty());
    lines = linesOf(after);
    lines[9].replace("\"torn_line\":9", "\"torn_line\":8");
    QCOMPARE(Replay::Read(joined(lines)).broken, QStringLiteral("line 9: not a JSON object"));
}

void TestJournal::plantedLinkFolderOrGiantIsNotAJournal()
{
#ifndef Q_OS_WIN // Files::NoLinksOnWindows
    const QString victim = m_dir->filePath(QStringLiteral("victim"));
    QVERIFY(Files::write(victim, "not a journal"));
    QVERIFY(QFile::link(victim, m_log));
    QVERIFY(!Journal::open(m_log));
    QCOMPARE(Files::read(victim), QByteArray("not a journal"));
    QVERIFY(QFile::remove(m_log));
#endif
    QVERIFY(QDir().mkpath(m_log));
    QVERIFY(!Journal::open(m_log));
    QVERIFY(QDir().rmdir(m_log));

    // Too large to read into memory at a start: refused, untouched. Sparse, so
    // the test costs no disk.
    QFile huge(m_log);
    QVERIFY(huge.open(QIODevice::WriteOnly));
    QVERIFY(huge.resize(Journal::MaxSize + 1));
    huge.close();
    QVERIFY(!Journal::open(m_log));
    QCOMPARE(QFileInfo(m_log).size(), Journal::MaxSize + 1);
}

void TestJournal::voidAndAdoptShapeTheSeries()
{
    auto journal = Journal::open(m_log);
    QVERIFY(journal);
    journal->append(QStringLiteral("draw"), draw(1, 37));
    journal->append(QStringLiteral("draw"), draw(2, 5));
    journal->append(QStringLiteral("void"), {{QStringLiteral("ordinal"), 2}});
    journal->append(QStringLiteral("draw"), draw(2, 9));
    Replay::Result result = Replay::Read(Files::read(m_log));
    QCOMPARE(result.series.size(), 2);
    QCOMPARE(result.series[1].number, 9);
    QCOMPARE(Replay::CompareWithSettings(result.series, {37, 9}), QString());
    QCOMPARE(Replay::CompareWithSettings(result.series, {37}),
             QStringLiteral("draw 2 (9) is in the journal, not in the settings file"));
    QCOMPARE(Replay::CompareWithSettings(result.series, {37, 9, 4}),
             QStringLiteral("draw 3 (4) is in the settings file, not in the journal"));
    QCOMPARE(Replay::CompareWithSettings(result.series, {37, 8}),
             QStringLiteral("draw 2 is 9 in the journal, 8 in the settings file"));
    const auto numbers = [](const QList<Replay::Draw>& series) {
        QList<int> list;
        for (const Replay::Draw& draw : series)
            list << draw.number;
        return list;
    };
    // What a start reads from the end agrees with the whole replay.
    QCOMPARE(numbers(Replay::CurrentSeries(Files::read(m_log))), numbers(result.series));
    journal->append(QStringLiteral("adopt"), {{QStringLiteral("series"), QJsonArray{4, 6}}});
    journal->append(QStringLiteral("draw"), draw(3, 8));
    QCOMPARE(numbers(Replay::CurrentSeries(Files::read(m_log))), (QList<int>{4, 6, 8}));
    journal->append(QStringLiteral("void"), {{QStringLiteral("ordinal"), 3}});
    result = Replay::Read(Files::read(m_log));
    QCOMPARE(numbers(Replay::CurrentSeries(Files::read(m_log))), numbers(result.series));
    QCOMPARE(Replay::CompareWithSettings(result.series, {4, 6}), QString());
    QVERIFY(result.series[0].time.isEmpty());
}

void TestJournal::csvBytes()
{
    const QList<Replay::Draw> journal{{1, 7, QStringLiteral("2026-12-07T19:05:01.250+09:00")},
                                      {2, 45, QStringLiteral("2026-12-07T19:06:12.000+09:00")}};
    const QByteArray head(64, 'a');
    QCOMPARE(Export::Csv({7, 45, 999}, journal, QString::fromLatin1(head)),
             "\xEF\xBB\xBF" + QStringLiteral("回,番号,日時").toUtf8() +
                 "\r\n1,007,2026-12-07T19:05:01.250+09:00\r\n"
                 "2,045,2026-12-07T19:06:12.000+09:00\r\n"
                 "3,999,\r\n"
                 "# head " +
                 head + "\r\n");
    // A draw the journal holds otherwise (a hand edit) gets no time.
    QVERIFY(Export::Csv({8}, journal, {}).contains("\r\n1,008,\r\n"));
    QCOMPARE(Export::DefaultFileName(QDateTime(QDate(2026, 12, 7), QTime(9, 5))),
             QStringLiteral("Rindell-20261207-0905.csv"));
    // A failed save leaves nothing behind.
    const QString nowhere = m_dir->filePath(QStringLiteral("no/such/folder/r.csv"));
    QVERIFY(Export::Write(nowhere, "x").has_value());
    QVERIFY(!QFile::exists(nowhere));
}

void TestJournal::commandLine()
{
    // The real program, in a folder of its own with its settings file and journal.
    const QString built =
        Files::executable(QCoreApplication::applicationDirPath() + QStringLiteral("/../rindell"));
    const QString program = Files::executable(m_dir->filePath(QStringLiteral("rindell")));
    QVERIFY(QFile::copy(built, program));
    sampleJournal(m_log);
    QVERIFY(Files::write(m_dir->filePath(QStringLiteral("Rindell.ini")),
                         "[Condition]\r\nRange=1,100\r\n[Result]\r\n1=12\r\n2=40\r\n"));
    const auto run = [&](const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        if (!process.waitForFinished()) {
            process.kill(); // hung: never an exit status
            process.waitForFinished();
            return std::pair(-1, QByteArray());
        }
        return std::pair(process.exitCode(), process.readAllStandardOutput());
    };
    const Replay::Result result = Replay::Read(Files::read(m_log));
    QCOMPARE(run({"--verify"}), std::pair(0, ("OK: 8 events, 2 draws in the current series, head " +
                                              result.head.toLatin1() + '\n')));
    QCOMPARE(run({"--verify", m_log}).first, 0);
    QCOMPARE(run({"--verify", m_log, "extra"}).first, 2);
    QCOMPARE(run({"--verify", m_dir->filePath(QStringLiteral("missing.log"))}).first, 1);
    QVERIFY(Files::write(m_dir->filePath(QStringLiteral("Rindell.ini")),
                         "[Condition]\r\nRange=1,100\r\n[Result]\r\n1=12\r\n2=41\r\n"));
    QCOMPARE(
        run({"--verify"}),
        std::pair(1, QByteArray("BROKEN: draw 2 is 40 in the journal, 41 in the settings file\n")));

    // A name beyond the ANSI code page of a Western Windows.
    const QString csv = m_dir->filePath(QStringLiteral("抽選結果.csv"));
    QCOMPARE(run({"--export", csv}).first, 0);
    QCOMPARE(Files::read(csv),
             Export::CsvOfFiles(m_dir->filePath(QStringLiteral("Rindell.ini")), m_log));
    QVERIFY(Files::read(csv).contains("\r\n2,041,\r\n")); // not the journal's draw: no time
    QCOMPARE(run({"--export"}).first, 2);
    QCOMPARE(run({"--export", m_dir->filePath(QStringLiteral("no/folder/out.csv"))}).first, 1);

    // A FIFO at the journal's name is no journal, and is never waited on.
#ifdef Q_OS_WIN
    QSKIP("no FIFOs in a Windows file system");
#else
    QVERIFY(QFile::remove(m_log));
    QVERIFY(::mkfifo(QFile::encodeName(m_log).constData(), 0600) == 0);
    QCOMPARE(run({"--export", csv}).first, 0);
    QVERIFY(Files::read(csv).endsWith("\r\n2,041,\r\n# head \r\n"));
    QCOMPARE(run({"--verify"}), std::pair(1, "BROKEN: " + m_log.toUtf8() + " cannot be read\n"));
#endif
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
