// The draw journal: its chain, a start after a kill, the series it proves, the
// CSV export and the command line that checks and exports it.
#include "files.h"
#include "journal/export.h"
#include "journal/journal.h"
#include "journal/replay.h"
#include "journal/sha256.h"
#include "journalfixture.h"
#include "settings/shiftjis.h"

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
#include <unistd.h>
#endif

namespace {

QJsonObject start()
{
    return {{QStringLiteral("event"), QStringLiteral("start")},
            {QStringLiteral("version"), QStringLiteral("1.00")},
            {QStringLiteral("executable_sha256"), QString(64, u'a')}};
}

QJsonObject eventOf(const char* kind, QJsonObject fields = {})
{
    fields.insert(QStringLiteral("event"), QLatin1String(kind));
    return fields;
}

QJsonObject draw(int ordinal, const QJsonValue& number, int from = 1, int to = 100)
{
    return eventOf("draw", {{QStringLiteral("ordinal"), ordinal},
                            {QStringLiteral("number"), number},
                            {QStringLiteral("from"), from},
                            {QStringLiteral("to"), to}});
}

// Lines chained as the program chains them, a second apart, from events with
// their own fields; `from` is rewritten to `to` in a line's text before the next
// line chains to it: a forger who knows the chain.
QByteArray forge(const QList<QJsonObject>& events, const QByteArray& from = {},
                 const QByteArray& to = {})
{
    QByteArray journal;
    QByteArray prev = Journal::zeroHash();
    QDateTime time(QDate(2026, 12, 7), QTime(19, 0), Qt::OffsetFromUTC, 9 * 3600);
    int seq = 0;
    for (QJsonObject event : events) {
        event.insert(QStringLiteral("seq"), ++seq);
        time = time.addSecs(1);
        if (!event.contains(QLatin1String("time")))
            event.insert(QStringLiteral("time"), time.toString(Qt::ISODateWithMs));
        event.insert(QStringLiteral("prev"), QString::fromLatin1(prev));
        QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact);
        if (!from.isEmpty())
            line.replace(from, to);
        prev = Journal::hash(line);
        journal += line + '\n';
    }
    return journal;
}

// start, draws 37, 5, 88, clear, draws 12, 40: seven events and a series of two.
QByteArray sampleJournal(const QString& path)
{
    return JournalFixture::write(path, QStringLiteral("start draw=37 draw=5 draw=88 clear "
                                                      "draw=12 draw=40"));
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

// The program's exit status and standard output, without a display.
std::pair<int, QByteArray> runProgram(const QString& program, const QStringList& arguments)
{
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
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();

    void sha256KnownAnswers();
    void wholeJournalReadsBack();
    void breaksAreFoundAtTheirLine_data();
    void breaksAreFoundAtTheirLine();
    void continuesTheChainItFinds_data();
    void continuesTheChainItFinds();
    void startAfterAKillEndsTheTornLine();
    void plantedLinkOrFolderIsRefusedAGiantIsClosed();
    void segmentsChainAcrossFiles_data();
    void segmentsChainAcrossFiles();
    void voidAndAdoptShapeTheSeries();
    void csvBytes();
    void commandLine();
    void verifyComparesWithTheSettingsFileThatLeadsToIt();
    void exportStaysInTheFolderItOpened();

  private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_log;
};

void TestJournal::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_log = m_dir->filePath(QStringLiteral("Rindell.log"));
}

void TestJournal::sha256KnownAnswers()
{
    // The platform's own: CNG on Windows, libcrypto on Linux.
#ifdef Q_OS_WIN
    QCOMPARE(Sha256::implementation(), "CNG");
#else
    QCOMPARE(Sha256::implementation(), "OpenSSL");
#endif
    QCOMPARE(Sha256::hash("").toHex(),
             "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    QCOMPARE(Sha256::hash("abc").toHex(),
             "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // In pieces, and again after a result: the object starts over.
    Sha256 hash;
    for (int round = 0; round < 2; ++round) {
        for (int piece = 0; piece < 1000; ++piece)
            hash.addData(QByteArray(1000, 'a'));
        QCOMPARE(hash.result().toHex(),
                 "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    }
}

void TestJournal::wholeJournalReadsBack()
{
    const QByteArray content = sampleJournal(m_log);
    const QList<QByteArray> lines = linesOf(content);
    QCOMPARE(lines.size(), 7);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(first.value(QLatin1String("seq")).toInt(), 1);
    QCOMPARE(first.value(QLatin1String("prev")).toString(), QString(64, u'0'));
    const Replay::Result result = Replay::readBytes(content);
    QVERIFY2(result.broken.isEmpty(), qPrintable(result.broken));
    QCOMPARE(result.events, 7);
    QCOMPARE(result.head, QString::fromLatin1(Journal::hash(lines.last())));
    QCOMPARE(result.series.size(), 2);
    QCOMPARE(result.series[0].number, 12);
    QCOMPARE(result.series[1].number, 40);
    QVERIFY(result.revealPending); // no reveal, no end: a kill mid-draw
    // Reopened, the chain goes on from the last line.
    auto journal = Journal::open(m_log);
    QVERIFY(journal);
    QCOMPARE(journal->head(), result.head);
    // A range as the program stores it, also one found narrowed by hand at a start.
    QVERIFY(journal->append(QStringLiteral("range"),
                            {{QStringLiteral("from"), 7},
                             {QStringLiteral("to"), 100},
                             {QStringLiteral("stored"), QStringLiteral("007,100")}}));
    QVERIFY(journal->append(QStringLiteral("end")));
    const Replay::Result after = Replay::readBytes(Files::read(m_log));
    QVERIFY2(after.broken.isEmpty(), qPrintable(after.broken));
}

void TestJournal::breaksAreFoundAtTheirLine_data()
{
    // Every journal here but the first group chains correctly: the program could
    // never have written it all the same.
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<QString>("reported");
    const QList<QJsonObject> sample{start(),
                                    draw(1, 37),
                                    draw(2, 5),
                                    draw(3, 88),
                                    eventOf("clear", {{QStringLiteral("cleared"), 3}}),
                                    draw(1, 12),
                                    draw(2, 40)};
    QList<QByteArray> lines = linesOf(forge(sample));
    QList<QByteArray> edited = lines;
    edited[3].replace("\"number\":88", "\"number\":89");
    QTest::newRow("a changed number")
        << joined(edited) << "line 5: prev is not the SHA-256 of the line before";
    edited = lines;
    edited.removeAt(2);
    QTest::newRow("a deleted line") << joined(edited) << "line 3: seq 4 where 3 was expected";
    edited = lines;
    edited.swapItemsAt(1, 2);
    QTest::newRow("two lines swapped") << joined(edited) << "line 2: seq 3 where 2 was expected";
    QTest::newRow("a truncated last line")
        << joined(lines).chopped(20) << "line 7: the last line is incomplete";
    edited = lines;
    edited[1] = "not json at all";
    QTest::newRow("a line of garbage") << joined(edited) << "line 2: not a JSON object";

    const QString type =
        QStringLiteral("line 2: number of a draw event is missing or not of its type");
    QTest::newRow("the same number twice in a series")
        << forge({start(), draw(1, 37), draw(2, 37)}) << "line 3: 37 drawn again in its series";
    QTest::newRow("500 in a 1..10 draw")
        << forge({start(), draw(1, 500, 1, 10)}) << "line 2: a draw outside 0..999 or its range";
    QTest::newRow("65573, which 16 bits read as 37")
        << forge({start(), draw(1, 65573)}) << "line 2: a draw outside 0..999 or its range";
    QTest::newRow("a negative number") << forge({start(), draw(1, -3)}) << type;
    QTest::newRow("a number as text") << forge({start(), draw(1, QStringLiteral("37"))}) << type;
    QTest::newRow("a null number") << forge({start(), draw(1, QJsonValue::Null)}) << type;
    QJsonObject missing = draw(1, 37);
    missing.remove(QStringLiteral("number"));
    QTest::newRow("no number") << forge({start(), missing}) << type;
    QTest::newRow("3.7e1 for 37") << forge({start(), draw(1, 37)}, "\"number\":37",
                                           "\"number\":3.7e1")
                                  << "line 2: not as the program writes it";
    QTest::newRow("a repeated key")
        << forge({start(), draw(1, 37)}, "\"number\":37", "\"number\":7,\"number\":37")
        << "line 2: not as the program writes it";
    QJsonObject early = draw(2, 5);
    early.insert(QStringLiteral("time"), QStringLiteral("2026-12-07T18:00:00.000+09:00"));
    QTest::newRow("time running backwards")
        << forge({start(), draw(1, 37), early}) << "line 3: time earlier than the line before";
    QTest::newRow("a draw after the end, without a start")
        << forge({start(), eventOf("end"), draw(1, 37)}) << "line 3: draw after the end of a run";
    QTest::newRow("a journal that does not start")
        << forge({draw(1, 37)}) << "line 1: the journal does not begin with a start";
    QTest::newRow("an unknown event")
        << forge({start(), eventOf("bonus")}) << "line 2: unknown event \"bonus\"";
    QTest::newRow("a field the program never writes")
        << forge({start(), eventOf("end", {{QStringLiteral("winner"), 7}})})
        << "line 2: a end event with fields the program never writes";
    QTest::newRow("a void of another number")
        << forge({start(), draw(1, 37),
                  eventOf("void", {{QStringLiteral("ordinal"), 1},
                                   {QStringLiteral("number"), 38},
                                   {QStringLiteral("reason"), QStringLiteral("x")}})})
        << "line 3: a void of no draw of the series";
    QTest::newRow("an ordinal skipped")
        << forge({start(), draw(2, 37)}) << "line 2: draw 2 where 1 was next";
    QTest::newRow("a clear of more than the series")
        << forge({start(), draw(1, 37), eventOf("clear", {{QStringLiteral("cleared"), 2}})})
        << "line 3: a clear of 2 draws where the series holds 1";
    QTest::newRow("a range stored as another")
        << forge({start(), eventOf("range", {{QStringLiteral("from"), 1},
                                             {QStringLiteral("to"), 100},
                                             {QStringLiteral("stored"), QStringLiteral("1,50")}})})
        << "line 2: a range whose stored text says another range";
    const auto adopt = [](const QJsonArray& series) {
        return eventOf("adopt",
                       {{QStringLiteral("series"), series}, {QStringLiteral("was"), QJsonArray()}});
    };
    QTest::newRow("an adoption beyond 16 bits")
        << forge({start(), adopt({5, 70000})})
        << "line 2: series of a adopt event is missing or not of its type";
    // A recovery without the hash of the torn bytes comes from a program that
    // covered its one last line only: no two lines, nor one longer than any it writes.
    lines = linesOf(
        forge({start(), draw(1, 37), eventOf("recovered", {{QStringLiteral("torn_line"), 3}})}));
    edited = lines;
    edited.insert(2, "{\"event\":\"dr");
    edited.insert(3, "aw\"}x");
    QTest::newRow("a recovery without a hash of two lines")
        << joined(edited) << "line 3: not a JSON object";
    edited = lines;
    edited.insert(2, QByteArray(Replay::Reader::MaxLine + 1, 'x'));
    QTest::newRow("a recovery without a hash of a line longer than any")
        << joined(edited) << "line 3: not a JSON object";
}

void TestJournal::breaksAreFoundAtTheirLine()
{
    QFETCH(QByteArray, journal);
    QFETCH(QString, reported);
    QCOMPARE(Replay::readBytes(journal).broken, reported);
    QVERIFY(Files::write(m_log, journal));
    const auto [line, status] = Replay::verify(m_log);
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
    QTest::newRow("ended lines") << sample << sample << 8 << last;
    QTest::newRow("last line without its end") << sample.chopped(1) << sample << 8 << last;
    QTest::newRow("one line without seq")
        << QByteArray("{\"event\":\"x\"}\n") << QByteArray("{\"event\":\"x\"}\n") << 2
        << QByteArray("{\"event\":\"x\"}");
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
    // keeps every byte and covers them, in one write, with a "recovered" event
    // that carries their hash and chains to the last event. A kill in the middle
    // of that write leaves more torn bytes, covered the same way at the next start.
    const QByteArray whole = sampleJournal(m_log);
    const QByteArray torn = whole + "{\"event\":\"draw\",\"num";
    const QByteArray tornAgain = torn + "\n{\"event\":\"recovered\",\"prev\":\"0";
    for (const QByteArray& left : {torn, tornAgain}) {
        QVERIFY(Files::write(m_log, left));
        QVERIFY(Replay::readBytes(left).broken.startsWith(QLatin1String("line 8:")));
        {
            Replay::Result found;
            auto journal = Journal::open(m_log, &found);
            QVERIFY(journal);
            QCOMPARE(found.series.size(),
                     2); // what the start replays: the file as the kill left it
            QVERIFY(journal->append(QStringLiteral("end")));
        }
        const QByteArray after = Files::read(m_log);
        QVERIFY(after.startsWith(left + '\n'));
        const Replay::Result result = Replay::readBytes(after);
        QVERIFY2(result.broken.isEmpty(), qPrintable(result.broken));
        QCOMPARE(result.notes,
                 QStringList{QStringLiteral("line 8 was cut short by a stop and recovered")});
        QCOMPARE(result.series.size(), 2);
    }

    // A stop in the very first write: the recovery comes before any start.
    QVERIFY(Files::write(m_log, "{\"event\":\"sta"));
    const Replay::Result first =
        Replay::readBytes(JournalFixture::write(m_log, QStringLiteral("start")));
    QVERIFY2(first.broken.isEmpty(), qPrintable(first.broken));

    // The real program killed (by strace, at the system call) at its first and
    // second write to the journal: the recovery, then the start line. Either way
    // the next start leaves a whole chain.
#ifdef Q_OS_WIN
    // strace is Linux's: the next start's recovery, in this process.
    QVERIFY(Files::write(m_log, torn));
    QVERIFY(Journal::open(m_log));
#else
    const QString program = m_dir->filePath(QStringLiteral("rindell"));
    QVERIFY(QFile::copy(Files::builtProgram(), program));
    for (const char* when : {"1", "2"}) {
        QVERIFY(Files::write(m_log, torn));
        QProcess traced;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        traced.setProcessEnvironment(environment);
        traced.start(QStringLiteral("strace"),
                     {"-f", "-o", "/dev/null", "-P", m_log, "-e",
                      QStringLiteral("inject=write:signal=KILL:when=") + QLatin1String(when),
                      program});
        QVERIFY(traced.waitForFinished(60000));
        QVERIFY(Files::read(m_log).startsWith(torn));
        QVERIFY(Journal::open(m_log));
        const Replay::Result result = Replay::readBytes(Files::read(m_log));
        QVERIFY2(result.broken.isEmpty(), qPrintable(result.broken));
    }
#endif

    // The torn bytes are under the chain too: rewritten after the head was
    // announced, they break it.
    QByteArray after = Files::read(m_log);
    after.replace("\"num\n", "\"nux\n");
    QCOMPARE(Replay::readBytes(after).broken, QStringLiteral("line 8: not a JSON object"));
}

void TestJournal::plantedLinkOrFolderIsRefusedAGiantIsClosed()
{
    const QString victim = m_dir->filePath(QStringLiteral("victim"));
    QVERIFY(Files::write(victim, "not a journal"));
#ifndef Q_OS_WIN // Files::NoLinksOnWindows
    QVERIFY(QFile::link(victim, m_log));
    QVERIFY(!Journal::open(m_log));
    QCOMPARE(Files::read(victim), QByteArray("not a journal"));
    QVERIFY(QFile::remove(m_log));
#endif
    QVERIFY(QDir().mkpath(m_log));
    QVERIFY(!Journal::open(m_log));
    QVERIFY(QDir().rmdir(m_log));

    // Another user's journal is never written.
#ifndef Q_OS_WIN // an owner check of POSIX's: Windows leaves it to the file's ACL
    if (::geteuid() == 0) {
        QVERIFY(Files::write(m_log, sampleJournal(victim)));
        QVERIFY(::chown(QFile::encodeName(m_log).constData(), 65534, 65534) == 0);
        QVERIFY(!Journal::open(m_log));
        QCOMPARE(Files::read(m_log), Files::read(victim));
        QVERIFY(QFile::remove(m_log));
    }
#endif

    // Past the 256 MiB that once stopped every draw: read once in bounded memory
    // (its bytes torn, then recovered), closed as it stands, and a new segment
    // goes on from it. Sparse, so the test costs no disk.
    const qint64 giant = (qint64(256) << 20) + 1;
    QFile huge(m_log);
    QVERIFY(huge.open(QIODevice::WriteOnly));
    QVERIFY(huge.resize(giant));
    huge.close();
    QVERIFY(Journal::open(m_log));
    const QString closed = m_dir->filePath(Replay::closedSegmentName(1));
    QVERIFY(QFileInfo(closed).size() > giant);
    QCOMPARE(JournalFixture::events(Files::read(m_log)), QStringList{"segment"});
    const auto [line, status] = Replay::verify(m_log);
    QVERIFY2(status == 0, qPrintable(line));
}

void TestJournal::segmentsChainAcrossFiles_data()
{
    QTest::addColumn<QString>("change"); // to the journal of three segments
    QTest::addColumn<QString>("reported");
    QTest::newRow("none") << ""
                          << "";
    QTest::newRow("the first segment missing")
        << "remove Rindell-0000000003.log"
        << "Rindell-0000000006.log line 1: the segment before this one is missing";
    QTest::newRow("a segment in the middle missing")
        << "remove Rindell-0000000006.log"
        << "Rindell.log line 1: the segment does not continue the one before (one is missing or "
           "changed)";
    QTest::newRow("a closed segment cut short")
        << "chop Rindell-0000000006.log"
        << "Rindell-0000000006.log line 3: the segment ends with an incomplete line";
    QTest::newRow("a segment line whose series is not the journal's")
        << "edit Rindell.log"
        << "Rindell.log line 1: a segment line whose state is not the journal's before it";
    // Files beside it whose names are near a closed segment's are not segments.
    QTest::newRow("near names") << "copy Rindell-0000000003.log"
                                << "";
}

void TestJournal::segmentsChainAcrossFiles()
{
    QFETCH(QString, change);
    QFETCH(QString, reported);
    // An existing journal past the segment size: its first start of this version
    // closes it as it stands, not a byte rewritten; so does the next.
    const QJsonObject large =
        eventOf("warning", {{QStringLiteral("message"), QString(Journal::SegmentSize, u'x')},
                            {QStringLiteral("title"), QStringLiteral("t")}});
    const QByteArray old = forge({start(), draw(1, 37), large});
    QVERIFY(Files::write(m_log, old));
    QVERIFY(Journal::open(m_log));
    QCOMPARE(Files::read(m_dir->filePath(QStringLiteral("Rindell-0000000003.log"))), old);
    {
        const auto journal = Journal::open(m_log);
        QVERIFY(journal->append(QStringLiteral("start"), start()));
        QVERIFY(journal->append(QStringLiteral("warning"), large));
    }
    // The current segment alone tells a start what the whole history does: a
    // draw that awaits its reveal since the first segment.
    Replay::Result alone;
    QVERIFY(Journal::open(m_log, &alone));
    QCOMPARE(Replay::seriesNumbers(alone.series), QList<std::int16_t>{37});
    QVERIFY(alone.revealPending);
    QCOMPARE(JournalFixture::events(Files::read(m_log)), QStringList{"segment"});
    const QString name = change.section(u' ', 1);
    const QString path = m_dir->filePath(name);
    if (change.startsWith(QLatin1String("remove")))
        QVERIFY(QFile::remove(path));
    if (change.startsWith(QLatin1String("chop")))
        QVERIFY(Files::write(path, Files::read(path).chopped(9)));
    if (change.startsWith(QLatin1String("edit")))
        QVERIFY(Files::write(path, Files::read(path).replace("[37]", "[38]")));
    if (change.startsWith(QLatin1String("copy"))) {
        for (const char* near :
             {"Rindell-000000001.log", "Rindell-00000000010.log", "Rindell-000000000a.log",
              "Rindell-+000000001.log", "Rindell-0000000001.log.tmp", "Rindell-0000000001.LOG",
              "XRindell-0000000001.log"})
            QVERIFY(QFile::copy(path, m_dir->filePath(QLatin1String(near))));
    }
    const auto [line, status] = Replay::verify(m_log);
    if (reported.isEmpty()) {
        QVERIFY2(status == 0, qPrintable(line));
        QVERIFY(line.startsWith(QStringLiteral("OK: 7 events, 1 draws")));
    } else {
        QCOMPARE(line, QStringLiteral("BROKEN: ") + reported);
    }
}

void TestJournal::voidAndAdoptShapeTheSeries()
{
    const QByteArray before =
        JournalFixture::write(m_log, QStringLiteral("start draw=37 draw=5 void draw=9"));
    Replay::Result result = Replay::readBytes(before);
    QVERIFY2(result.broken.isEmpty(), qPrintable(result.broken));
    QCOMPARE(result.series.size(), 2);
    QCOMPARE(result.series[1].number, 9);
    QCOMPARE(Replay::compareWithSettings(result.series, {37, 9}), QString());
    QCOMPARE(Replay::compareWithSettings(result.series, {37}),
             QStringLiteral("draw 2 (9) is in the journal, not in the settings file"));
    QCOMPARE(Replay::compareWithSettings(result.series, {37, 9, 4}),
             QStringLiteral("draw 3 (4) is in the settings file, not in the journal"));
    QCOMPARE(Replay::compareWithSettings(result.series, {37, 8}),
             QStringLiteral("draw 2 is 9 in the journal, 8 in the settings file"));
    {
        auto journal = Journal::open(m_log);
        QVERIFY(journal);
        journal->append(QStringLiteral("adopt"), {{QStringLiteral("series"), QJsonArray{4, 6}},
                                                  {QStringLiteral("was"), QJsonArray{37, 9}}});
    }
    result = Replay::readBytes(Files::read(m_log));
    QVERIFY2(result.broken.isEmpty(), qPrintable(result.broken));
    QCOMPARE(Replay::compareWithSettings(result.series, {4, 6}), QString());
    QVERIFY(result.series[0].time.isEmpty());
    QCOMPARE(result.notes, QStringList{QStringLiteral(
                               "line 6: the settings file's series was taken over (draw 1 is 37 "
                               "in the journal, 4 in the settings file)")});

    // However many there are, the reader keeps their counts and the first few:
    // memory and the verifier's line stay bounded.
    {
        auto journal = Journal::open(m_log);
        for (int i = 0; i < 40; ++i)
            journal->append(
                QStringLiteral("adopt"),
                {{QStringLiteral("series"), QJsonArray{i}},
                 {QStringLiteral("was"), i == 0 ? QJsonArray{4, 6} : QJsonArray{i - 1}}});
    }
    QVERIFY(Files::write(m_log, Files::read(m_log) + "{\"torn"));
    QVERIFY(Journal::open(m_log));
    result = Replay::readBytes(Files::read(m_log));
    QVERIFY2(result.broken.isEmpty(), qPrintable(result.broken));
    QCOMPARE(result.adoptions, 41);
    QCOMPARE(result.recoveries, 1);
    QCOMPARE(result.notes.size(), Replay::Result::MaxNotes);
    const QString line = Replay::verify(m_log).first;
    QVERIFY2(line.contains(QLatin1String("; 37 more (1 recoveries and 41 adoptions in all)")),
             qPrintable(line));
    QVERIFY(line.size() < 1000);
}

void TestJournal::csvBytes()
{
    const QList<Replay::Draw> journal{{1, 7, QStringLiteral("2026-12-07T19:05:01.250+09:00")},
                                      {2, 45, QStringLiteral("2026-12-07T19:06:12.000+09:00")}};
    const QByteArray head(64, 'a');
    // The prize of each draw and the name of each number, where the lists hold one.
    const QHash<std::int32_t, QString> prizes{{1, QStringLiteral("特賞")},
                                              {3, QStringLiteral("TV, \"55\"\r\nmodel")}};
    const QHash<std::int32_t, QString> names{{45, QStringLiteral("佐藤 花子")},
                                             {1, QStringLiteral("no draw of 1")}};
    QCOMPARE(Export::csvOf({7, 45, 999}, journal, QString::fromLatin1(head), prizes, names),
             "\xEF\xBB\xBF" + QStringLiteral("回,番号,日時,景品,氏名").toUtf8() +
                 "\r\n1,007,2026-12-07T19:05:01.250+09:00," + QStringLiteral("特賞").toUtf8() +
                 ",\r\n2,045,2026-12-07T19:06:12.000+09:00,," +
                 QStringLiteral("佐藤 花子").toUtf8() +
                 "\r\n3,999,,\"TV, \"\"55\"\"\r\nmodel\",\r\n"
                 "# head " +
                 head + "\r\n");
    // A draw the journal holds otherwise (a hand edit) gets no time.
    QVERIFY(Export::csvOf({8}, journal, {}).contains("\r\n1,008,,,\r\n"));
    // Nothing a spreadsheet would run as a formula.
    QVERIFY(Export::csvOf({7}, {{1, 7, QStringLiteral("=HYPERLINK(\"x\")")}}, {})
                .contains("\r\n1,007,\"'=HYPERLINK(\"\"x\"\")\",,\r\n"));
    // An export made before the two columns is replaced as any export is.
    const QString earlier = m_dir->filePath(QStringLiteral("earlier.csv"));
    QVERIFY(Files::write(earlier, "\xEF\xBB\xBF" + QStringLiteral("回,番号,日時").toUtf8() +
                                      "\r\n1,007,\r\n# head x\r\n"));
    QVERIFY(!Export::write(earlier, Export::csvOf({8}, {}, {}), {}));
    QCOMPARE(Files::read(earlier), Export::csvOf({8}, {}, {}));
    QCOMPARE(Export::defaultFileName(QDateTime(QDate(2026, 12, 7), QTime(9, 5))),
             QStringLiteral("Rindell-20261207-0905.csv"));
    // A failed save leaves nothing behind.
    const QString nowhere = m_dir->filePath(QStringLiteral("no/such/folder/r.csv"));
    QVERIFY(Export::write(nowhere, "x", {}).has_value());
    QVERIFY(!QFile::exists(nowhere));
}

void TestJournal::commandLine()
{
    // The real program, in a folder of its own with its settings file and journal.
    const QString built = Files::builtProgram();
    const QString program = Files::executable(m_dir->filePath(QStringLiteral("rindell")));
    const QString ini = m_dir->filePath(QStringLiteral("Rindell.ini"));
    QVERIFY(QFile::copy(built, program));
    sampleJournal(m_log);
    const QByteArray settings = "[Condition]\r\nRange=1,100\r\n[Result]\r\n1=12\r\n2=40\r\n";
    QVERIFY(Files::write(ini, settings));
    const auto run = [&](const QStringList& arguments) { return runProgram(program, arguments); };
    const Replay::Result result = Replay::readBytes(Files::read(m_log));
    const QByteArray compared =
        "; compared with the settings file " + QDir::toNativeSeparators(ini).toUtf8();
    QCOMPARE(run({"--verify"}), std::pair(0, ("OK: 7 events, 2 draws in the current series, head " +
                                              result.head.toLatin1() + compared + '\n')));
    QVERIFY(run({"--verify", m_log}).second.endsWith(compared + '\n'));
    QCOMPARE(run({"--verify", m_log, "extra"}).first, 2);
    QCOMPARE(run({"--verify", m_dir->filePath(QStringLiteral("missing.log"))}).first, 1);

    // A head announced at the event: the series as it stood at that line.
    const QByteArray atThird = Journal::hash(linesOf(Files::read(m_log))[2]);
    const QByteArray shown = run({"--verify", "--head", QString::fromLatin1(atThird)}).second;
    QVERIFY2(shown.startsWith("OK: head " + atThird +
                              " is line 3 of a whole chain of 7 events; "
                              "2 draws in the series at that line\n1,037,"),
             shown.constData());
    QCOMPARE(run({"--verify", "--head", QString(64, u'f')}).first, 1);
    QCOMPARE(run({"--verify", "--head", QStringLiteral("abc")}).first, 2);

    // A hand edit while Rindell is closed: the journal's head does not commit to
    // that series, so neither the verifier nor the export accepts it.
    const QString csv = m_dir->filePath(QStringLiteral("抽選結果.csv"));
    QVERIFY(Files::write(ini, "[Condition]\r\nRange=1,100\r\n[Result]\r\n1=12\r\n2=41\r\n"));
    QCOMPARE(run({"--verify"}),
             std::pair(1, "BROKEN: draw 2 is 40 in the journal, 41 in the settings file (" +
                              QDir::toNativeSeparators(ini).toUtf8() + ")\n"));
    QCOMPARE(run({"--export", csv}).first, 1);
    QVERIFY(!QFile::exists(csv));
    QVERIFY(Files::write(ini, settings));

    // A name beyond the ANSI code page of a Western Windows; the prize and name
    // lists beside the journal, one in Shift-JIS, as they stand at the export;
    // files of the user's named like a temporary stay.
    QVERIFY(Files::write(m_dir->filePath(QStringLiteral("Rindell-prizes.csv")),
                         *ShiftJis::encode(u"回,景品\r\n1,特賞\r\n2,\"二等, ペア\"\r\n")));
    QVERIFY(Files::write(m_dir->filePath(QStringLiteral("Rindell-names.csv")),
                         QStringLiteral("12,山田 太郎\n").toUtf8()));
    QVERIFY(Files::write(csv + QStringLiteral(".tmp"), "mine"));
    QVERIFY(Files::write(csv + QStringLiteral(".tmp.bak"), "mine too"));
    QCOMPARE(run({"--export", csv}).first, 0);
    QCOMPARE(Files::read(csv), *Export::csvOfFiles(ini, m_log));
    QVERIFY(Files::read(csv).contains(QStringLiteral(",特賞,山田 太郎\r\n").toUtf8()));
    QVERIFY(Files::read(csv).contains("\r\n2,040," + result.series[1].time.toUtf8() +
                                      QStringLiteral(",\"二等, ペア\",\r\n").toUtf8()));
    QCOMPARE(run({"--export", csv}).first, 0); // an export is replaced
    QCOMPARE(Files::read(csv + QStringLiteral(".tmp")), QByteArray("mine"));
    QCOMPARE(Files::read(csv + QStringLiteral(".tmp.bak")), QByteArray("mine too"));
    QCOMPARE(QDir(m_dir->path()).entryList({QStringLiteral("*.csv.tmp.*")}),
             QStringList{QFileInfo(csv).fileName() + QStringLiteral(".tmp.bak")});
    // An earlier export made read-only is a refusal, and stays as it was.
    const QByteArray exported = Files::read(csv);
    QVERIFY(QFile::setPermissions(csv, QFile::ReadOwner | QFile::ReadGroup));
    QCOMPARE(run({"--export", csv}).first, 2);
    QVERIFY(QFile::setPermissions(csv, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(Files::read(csv), exported);
    QCOMPARE(run({"--export"}).first, 2);
    QCOMPARE(run({"--export", m_dir->filePath(QStringLiteral("no/folder/out.csv"))}).first, 1);

    // Never over the record, whatever path, link or hard link names it; never
    // through a planted link; never over a file that is not an export.
    const QString victim = m_dir->filePath(QStringLiteral("notes.txt"));
    QVERIFY(Files::write(victim, "notes"));
    QStringList targets{ini, m_log, QStringLiteral("notes.txt")};
#ifndef Q_OS_WIN // Files::NoLinksOnWindows
    QVERIFY(QFile::link(ini, m_dir->filePath(QStringLiteral("ini-link.csv"))));
    QVERIFY(
        ::link(QFile::encodeName(m_log).constData(),
               QFile::encodeName(m_dir->filePath(QStringLiteral("log-hard.csv"))).constData()) ==
        0);
    QVERIFY(QFile::link(victim, m_dir->filePath(QStringLiteral("planted.csv"))));
    targets << QStringLiteral("ini-link.csv") << QStringLiteral("log-hard.csv")
            << QStringLiteral("planted.csv");
#endif
#ifdef Q_OS_WIN
    // The settings file's own data stream, devices, and names Windows cannot hold.
    targets << QStringLiteral("Rindell.ini::$DATA") << QStringLiteral("CON")
            << QStringLiteral("AUX.csv") << QStringLiteral("com1 .txt")
            << QStringLiteral("a?b.csv");
#endif
    const QByteArray record = Files::read(m_log);
    for (const QString& target : targets)
        QCOMPARE(run({"--export", m_dir->filePath(target)}).first, 2);
    QCOMPARE(Files::read(ini), settings);
    QCOMPARE(Files::read(m_log), record);
    QCOMPARE(Files::read(victim), QByteArray("notes"));

    // A broken journal proves nothing: no file, exit 1.
    const QString broken = m_dir->filePath(QStringLiteral("broken.csv"));
    QVERIFY(Files::write(m_log, record + "garbage\n"));
    QCOMPARE(run({"--export", broken}).first, 1);
    QVERIFY(!QFile::exists(broken));

    // A FIFO at the journal's name is no journal, and is never waited on.
#ifdef Q_OS_WIN
    QSKIP("no FIFOs in a Windows file system");
#else
    QVERIFY(QFile::remove(m_log));
    QVERIFY(::mkfifo(QFile::encodeName(m_log).constData(), 0600) == 0);
    QCOMPARE(run({"--export", broken}).first, 1);
    QVERIFY(!QFile::exists(broken));
    QCOMPARE(run({"--verify"}), std::pair(1, "BROKEN: " + m_log.toUtf8() + " cannot be read\n"));
#endif
}

void TestJournal::verifyComparesWithTheSettingsFileThatLeadsToIt()
{
#ifdef Q_OS_WIN
    QSKIP("Wine makes no symbolic links (Files::NoLinksOnWindows)");
#else
    // The program's Rindell.ini is a link to data/event.ini, so its journal is
    // data/Rindell.log, beside which a namesake Rindell.ini holds another series.
    const QString program = Files::executable(m_dir->filePath(QStringLiteral("rindell")));
    QVERIFY(QFile::copy(Files::builtProgram(), program));
    const QString data = m_dir->filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(data));
    const QString journal = data + QStringLiteral("/Rindell.log");
    const QString event = data + QStringLiteral("/event.ini");
    const QString namesake = data + QStringLiteral("/Rindell.ini");
    const QString ini = m_dir->filePath(QStringLiteral("Rindell.ini"));
    JournalFixture::write(journal, QStringLiteral("start draw=12 draw=40"));
    QVERIFY(QFile::link(QStringLiteral("data/event.ini"), ini));
    QVERIFY(Files::write(event, "[Result]\r\n1=12\r\n2=40\r\n"));
    QVERIFY(Files::write(namesake, "[Result]\r\n1=12\r\n2=41\r\n"));
    const QByteArray compared = "; compared with the settings file " + ini.toUtf8() + '\n';
    for (const QStringList& arguments :
         {QStringList{"--verify"}, QStringList{"--verify", journal}}) {
        const auto [status, out] = runProgram(program, arguments);
        QVERIFY2(status == 0 && out.endsWith(compared), out.constData());
    }
    // A namesake that agrees makes no false OK either.
    QVERIFY(Files::write(event, "[Result]\r\n1=12\r\n2=41\r\n"));
    QVERIFY(Files::write(namesake, "[Result]\r\n1=12\r\n2=40\r\n"));
    QCOMPARE(runProgram(program, {"--verify"}).first, 1);
    QCOMPARE(runProgram(program, {"--verify", journal}).first, 1);
    // A journal elsewhere whose namesake is a link belongs to no settings file known.
    const QString other = m_dir->filePath(QStringLiteral("other"));
    QVERIFY(QDir().mkpath(other));
    QVERIFY(QFile::copy(journal, other + QStringLiteral("/Rindell.log")));
    QVERIFY(QFile::link(event, other + QStringLiteral("/Rindell.ini")));
    const auto [status, out] = runProgram(program, {"--verify", other + "/Rindell.log"});
    QVERIFY2(status == 0 && out.endsWith("; compared with no settings file\n"), out.constData());
#endif
}

void TestJournal::exportStaysInTheFolderItOpened()
{
#ifdef Q_OS_WIN
    QSKIP("Wine makes no symbolic links (Files::NoLinksOnWindows), and strace is Linux's");
#else
    // The folder link of the destination swapped while the export is under way
    // (its rename held back by strace): the export ends in the folder it opened,
    // and the file at the same name in the other folder stays as it was.
    const QString program = m_dir->filePath(QStringLiteral("rindell"));
    QVERIFY(QFile::copy(Files::builtProgram(), program));
    sampleJournal(m_log);
    QVERIFY(Files::write(m_dir->filePath(QStringLiteral("Rindell.ini")),
                         "[Result]\r\n1=12\r\n2=40\r\n"));
    const QString first = m_dir->filePath(QStringLiteral("a"));
    const QString second = m_dir->filePath(QStringLiteral("b"));
    const QString link = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(first) && QDir().mkpath(second));
    QVERIFY(Files::write(second + QStringLiteral("/result.csv"), "precious"));
    QVERIFY(QFile::link(first, link));
    QProcess traced;
    // LeakSanitizer cannot run under ptrace: a sanitized build would end in its error.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) +
                           QStringLiteral(":detect_leaks=0"));
    traced.setProcessEnvironment(environment);
    traced.start(QStringLiteral("strace"),
                 {"-f", "-o", "/dev/null", "-e",
                  "inject=rename,renameat,renameat2:delay_enter=1500000", program, "--export",
                  link + QStringLiteral("/result.csv")});
    // The temporary file stands in the first folder until the rename: then the link moves.
    QTRY_VERIFY_WITH_TIMEOUT(
        !QDir(first).entryList({QStringLiteral("result.csv.tmp.*")}).isEmpty() ||
            traced.state() == QProcess::NotRunning,
        30000);
    const QString moved = m_dir->filePath(QStringLiteral("moved"));
    QVERIFY(QFile::link(second, moved));
    QVERIFY(::rename(QFile::encodeName(moved).constData(), QFile::encodeName(link).constData()) ==
            0);
    QVERIFY(traced.waitForFinished(60000));
    QCOMPARE(traced.exitCode(), 0);
    QCOMPARE(Files::read(first + QStringLiteral("/result.csv")),
             *Export::csvOfFiles(m_dir->filePath(QStringLiteral("Rindell.ini")), m_log));
    QCOMPARE(Files::read(second + QStringLiteral("/result.csv")), QByteArray("precious"));
    QCOMPARE(QDir(first).entryList(QDir::Files), QStringList{QStringLiteral("result.csv")});
    QCOMPARE(QDir(second).entryList(QDir::Files), QStringList{QStringLiteral("result.csv")});
#endif
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
