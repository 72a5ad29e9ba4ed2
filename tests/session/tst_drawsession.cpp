#include "files.h"
#include "inifixture.h"
#include "journal/replay.h"
#include "journalfixture.h"
#include "session/drawsession.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QByteArray OneDraw = "[Condition]\r\nRange=1,9\r\n[Result]\r\n1=5\r\n";

// Whether the session makes no change at all: a range refused, a draw refused
// for `refusal`, a clear refused, the settings file as it was.
QString changesNothing(DrawSession& session, DrawSession::Refusal refusal,
                       const QByteArray& settings)
{
    if (session.setRange(QStringLiteral("1"), QStringLiteral("5")))
        return QStringLiteral("a range was stored");
    const auto drawn = session.draw();
    if (!std::holds_alternative<DrawSession::Refusal>(drawn) ||
        std::get<DrawSession::Refusal>(drawn) != refusal)
        return QStringLiteral("a draw was not refused as expected");
    if (session.clear())
        return QStringLiteral("a clear went through");
    if (IniFixture::read() != settings)
        return QStringLiteral("the settings file changed");
    return {};
}

} // namespace

Q_DECLARE_METATYPE(RangeDecision::Outcome)
Q_DECLARE_METATYPE(DrawSession::Refusal)

class TestDrawSession : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init() { IniFixture::remove(); }
    void cleanup() { IniFixture::remove(); }

    void rangeDecision_data();
    void rangeDecision();
    void drawsUntilRefused_data();
    void drawsUntilRefused();
    void changesAreSignalledAndRecorded();
    void everySpellingOfTheFolderIsOneInstance_data();
    void everySpellingOfTheFolderIsOneInstance();
    void withoutItsJournalNothingChanges_data();
    void withoutItsJournalNothingChanges();
    void settingsFileNotAsLeftIsNeverWritten_data();
    void settingsFileNotAsLeftIsNeverWritten();
    void startsFromItsCurrentSegment_data();
    void startsFromItsCurrentSegment();
    void failedJournalWritesAreSettled_data();
    void failedJournalWritesAreSettled();
};

void TestDrawSession::rangeDecision_data()
{
    using RangeDecision::Outcome;
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("currentFrom");
    QTest::addColumn<int>("currentTo");
    QTest::addColumn<Outcome>("outcome");
    QTest::newRow("both empty") << ""
                                << "" << 1 << 100 << Outcome::MissingFrom;
    QTest::newRow("To empty") << "5"
                              << "" << 1 << 100 << Outcome::MissingTo;
    QTest::newRow("reversed") << "10"
                              << "5" << 1 << 100 << Outcome::Reversed;
    QTest::newRow("From equal to To") << "5"
                                      << "5" << 5 << 5 << Outcome::Unchanged;
    QTest::newRow("leading zeros only") << "007"
                                        << "100" << 7 << 100 << Outcome::Unchanged;
    QTest::newRow("widened") << "1"
                             << "200" << 7 << 100 << Outcome::Changed;
    QTest::newRow("narrowed at the top") << "7"
                                         << "99" << 7 << 100 << Outcome::Narrowed;
    QTest::newRow("narrowed below, widened above") << "5"
                                                   << "200" << 1 << 100 << Outcome::Narrowed;
    QTest::newRow("no range yet") << "0"
                                  << "9" << -1 << -1 << Outcome::Narrowed;
    QTest::newRow("000 is zero") << "000"
                                 << "0" << 0 << 0 << Outcome::Unchanged;
    QTest::newRow("999") << "0"
                         << "999" << 0 << 998 << Outcome::Changed;
}

void TestDrawSession::rangeDecision()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, currentFrom);
    QFETCH(int, currentTo);
    QFETCH(RangeDecision::Outcome, outcome);
    QCOMPARE(RangeDecision::decide(from, to, std::int16_t(currentFrom), std::int16_t(currentTo)),
             outcome);
}

void TestDrawSession::drawsUntilRefused_data()
{
    using Refusal = DrawSession::Refusal;
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<int>>("drawn"); // in any order
    QTest::addColumn<Refusal>("refusal");  // after the last of them
    QTest::addColumn<QByteArray>("after"); // the file then, when it is checked
    QTest::newRow("no range") << QByteArray() << QList<int>{} << Refusal::NoRange << QByteArray();
    QTest::newRow("reversed range") << QByteArray("[Condition]\r\nRange=9,5\r\n") << QList<int>{}
                                    << Refusal::NoRange << QByteArray();
    // Three reels show 000 to 999: a bound beyond them is no range.
    QTest::newRow("range beyond three digits") << QByteArray("[Condition]\r\nRange=1000,1002\r\n")
                                               << QList<int>{} << Refusal::NoRange << QByteArray();
    QTest::newRow("whole range once each")
        << QByteArray("[Condition]\r\nRange=5,9\r\n") << QList<int>{5, 6, 7, 8, 9}
        << Refusal::Exhausted << QByteArray();
    // Keys that repeat and include 0: the count of results says draws remain, the
    // flags say which numbers are really left.
    QTest::newRow("repeated keys")
        << QByteArray("[Condition]\r\nRange=1,4\r\n[Result]\r\n0=1\r\n1=2\r\n1=3\r\n")
        << QList<int>{4} << Refusal::Exhausted << QByteArray();
    // A missing key shows as 0 in the series: 0 counts as drawn.
    QTest::newRow("a gap in the keys")
        << QByteArray("[Condition]\r\nRange=0,3\r\n[Result]\r\n1=2\r\n3=3\r\n") << QList<int>{1}
        << Refusal::Exhausted << QByteArray();
    // 2 stands in a second [Result] section that the Windows reading rules never
    // reach: of 1..3, only 3 is left to draw, under the next free key.
    const QByteArray hiddenNumber =
        "[Condition]\r\nRange=1,3\r\n[Result]\r\n1=1\r\n[X]\r\n[Result]\r\n9=2\r\n";
    QTest::newRow("a number the reading rules hide")
        << hiddenNumber << QList<int>{3} << Refusal::Exhausted
        << QByteArray("[Condition]\r\nRange=1,3\r\n[Result]\r\n1=1\r\n2=3\r\n[X]\r\n[Result]"
                      "\r\n9=2\r\n");
    // Entries hidden behind a NUL or past the section buffer hold the next
    // ordinal's key: it is never written over.
    const QByteArray behindNul = "[Condition]\r\nRange=1,100\r\n[Result]\r\n1=37\r\n2=5" +
                                 QByteArray(1, '\0') + "\r\n3=88\r\n4=12\r\n";
    QTest::newRow("NUL behind a value")
        << behindNul << QList<int>{} << Refusal::NotSaved << behindNul;
    const QByteArray pastBuffer = "[Condition]\r\nRange=1,100\r\n[Result]\r\n1=37\r\n;" +
                                  QByteArray(33000, 'c') + "\r\n2=5\r\n";
    QTest::newRow("comment longer than the section buffer")
        << pastBuffer << QList<int>{} << Refusal::NotSaved << pastBuffer;
}

void TestDrawSession::drawsUntilRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<int>, drawn);
    QFETCH(DrawSession::Refusal, refusal);
    QFETCH(QByteArray, after);
    if (!content.isEmpty())
        IniFixture::write(content);
    DrawSession session;
    session.start();
    const qsizetype before = session.drawCount();
    QList<int> numbers;
    std::variant<DrawSession::Draw, DrawSession::Refusal> outcome;
    while (std::holds_alternative<DrawSession::Draw>(outcome = session.draw()) &&
           numbers.size() <= drawn.size())
        numbers << std::get<DrawSession::Draw>(outcome).number;
    std::sort(numbers.begin(), numbers.end());
    QCOMPARE(numbers, drawn);
    QVERIFY(std::holds_alternative<DrawSession::Refusal>(outcome));
    QCOMPARE(std::get<DrawSession::Refusal>(outcome), refusal);
    // A refused draw changes nothing, and asking again is refused the same way.
    QCOMPARE(session.drawCount(), before + drawn.size());
    QCOMPARE(std::get<DrawSession::Refusal>(session.draw()), refusal);
    if (!after.isEmpty())
        QCOMPARE(IniFixture::read(), after);
}

void TestDrawSession::changesAreSignalledAndRecorded()
{
    IniFixture::write("[Condition]\r\nRange=0,9\r\n");
    DrawSession session;
    QVERIFY(!session.start().adopted);
    const QSignalSpy results(&session, &DrawSession::resultsChanged);
    const QSignalSpy range(&session, &DrawSession::rangeChanged);

    const auto draw = std::get<DrawSession::Draw>(session.draw());
    QCOMPARE(draw.ordinal, qsizetype(1));
    QCOMPARE(session.results(), (QList<std::int16_t>{0, draw.number}));
    QVERIFY(session.drawnFlags()[draw.number]);
    QCOMPARE(results.size(), 1);
    session.reveal(draw);
    QVERIFY(session.setRange(QStringLiteral("1"), QStringLiteral("050")));
    QCOMPARE(range.size(), 1);
    QCOMPARE(session.rangeTo(), std::int16_t(50));
    QCOMPARE(session.drawnFlags().size(), 51);
    QVERIFY(session.clear());
    QCOMPARE(results.size(), 2);
    QCOMPARE(session.drawCount(), qsizetype(0));
    QVERIFY(!session.drawnFlags().contains(true));
    session.noteWarning(QStringLiteral("w"), QStringLiteral("t"));
    QCOMPARE(IniFixture::read(), QByteArray("[Condition]\r\nRange=1,050\r\n"));
    QCOMPARE(JournalFixture::events(Files::read(IniFixture::journalPath())),
             (QStringList{"start", "range", "draw", "reveal", "range", "clear", "warning"}));
}

void TestDrawSession::everySpellingOfTheFolderIsOneInstance_data()
{
    QTest::addColumn<QString>("spelling");
    for (const char* spelling :
         {"through ..", "in capitals", "by its short name", "through a link"})
        QTest::newRow(spelling) << QString::fromLatin1(spelling);
}

void TestDrawSession::everySpellingOfTheFolderIsOneInstance()
{
    QFETCH(QString, spelling);
    const QString folder = QFileInfo(IniFixture::path()).absolutePath();
    QString other;
    QTemporaryDir links;
    if (spelling == QLatin1String("through ..")) {
        QVERIFY(QDir(folder).mkpath(QStringLiteral("sub")));
        other = folder + QStringLiteral("/sub/../Rindell.ini");
    }
#ifdef Q_OS_WIN
    if (spelling == QLatin1String("through a link"))
        QSKIP(Files::NoLinksOnWindows);
    if (spelling == QLatin1String("in capitals"))
        other = IniFixture::path().toUpper();
    if (spelling == QLatin1String("by its short name")) {
        wchar_t shortName[MAX_PATH];
        const DWORD length = GetShortPathNameW(
            QDir::toNativeSeparators(folder).toStdWString().c_str(), shortName, MAX_PATH);
        QVERIFY(length > 0 && length < MAX_PATH);
        other = QString::fromWCharArray(shortName, int(length)) + QStringLiteral("\\Rindell.ini");
    }
#else
    if (spelling == QLatin1String("in capitals") || spelling == QLatin1String("by its short name"))
        QSKIP("names on POSIX file systems have one spelling");
    if (spelling == QLatin1String("through a link")) {
        QVERIFY(QFile::link(folder, links.filePath(QStringLiteral("program"))));
        other = links.filePath(QStringLiteral("program/Rindell.ini"));
    }
#endif
    QVERIFY(QDir::fromNativeSeparators(other) != IniFixture::path());
    DrawSession first;
    QCOMPARE(first.start().journal, DrawSession::JournalState::Open);
    DrawSession second(other);
    QCOMPARE(second.start().journal, DrawSession::JournalState::HeldByAnother);
}

void TestDrawSession::withoutItsJournalNothingChanges_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"a folder at its name", "a FIFO at its name", "a link at its name",
                             "another user's", "held by another program", "renamed while running",
                             "removed while running", "given a second name while running"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestDrawSession::withoutItsJournalNothingChanges()
{
    // The instance lock does not depend on the journal: whatever became of it, a
    // second start on the same settings file is another instance, and the one
    // running makes no change that the journal does not record.
    QFETCH(QString, kind);
    const QString log = IniFixture::journalPath();
    const QString elsewhere = QFileInfo(log).dir().filePath(QStringLiteral("moved.log"));
    QFile::remove(elsewhere);
    IniFixture::write(OneDraw);
    const bool running = kind.endsWith(QLatin1String("while running"));
#ifdef Q_OS_WIN
    if (kind.contains(QLatin1String("FIFO")))
        QSKIP("no FIFOs in a Windows file system");
    if (kind.contains(QLatin1String("link at")))
        QSKIP(Files::NoLinksOnWindows);
    if (kind == QLatin1String("another user's"))
        QSKIP("an owner check of POSIX's: Windows leaves it to the file's ACL");
    // As a backup or sync tool holds it: reading, sharing reading alone.
    std::unique_ptr<Files::HeldFile> held;
    if (kind == QLatin1String("held by another program")) {
        QVERIFY(Files::write(log, {}));
        held = std::make_unique<Files::HeldFile>(log, FILE_SHARE_READ);
        QVERIFY(held->isHeld());
    }
#else
    if (kind == QLatin1String("held by another program"))
        QSKIP("no share modes on POSIX: a program that holds the journal takes nothing from it");
    if (kind == QLatin1String("another user's") && ::geteuid() != 0)
        QSKIP("only root can give a file away");
    const QString victim = QFileInfo(log).dir().filePath(QStringLiteral("victim"));
    if (kind.contains(QLatin1String("FIFO")))
        QVERIFY(::mkfifo(QFile::encodeName(log).constData(), 0600) == 0);
    if (kind.contains(QLatin1String("link at"))) {
        QVERIFY(Files::write(victim, {}));
        QVERIFY(QFile::link(victim, log));
    }
    if (kind == QLatin1String("another user's")) {
        QVERIFY(Files::write(log, {}));
        QVERIFY(Files::giveToAnotherUser(log));
    }
#endif
    if (kind.contains(QLatin1String("folder")))
        QVERIFY(QDir().mkpath(log));

    auto session = std::make_unique<DrawSession>();
    QCOMPARE(session->start().journal,
             running ? DrawSession::JournalState::Open : DrawSession::JournalState::Unavailable);
    bool acted = true;
    if (kind.startsWith(QLatin1String("renamed")))
        acted = QFile::rename(log, elsewhere);
    else if (kind.startsWith(QLatin1String("removed")))
        acted = QFile::remove(log);
    else if (kind.startsWith(QLatin1String("given")))
        acted = Files::hardLink(log, elsewhere);
    DrawSession second;
    QCOMPARE(second.start().journal, DrawSession::JournalState::HeldByAnother);
#ifdef Q_OS_WIN
    // The journal's handle lets nobody rename or remove it while the program runs.
    if (!kind.startsWith(QLatin1String("given"))) {
        QCOMPARE(acted, !running);
        if (running)
            return;
    }
#endif
    QVERIFY(acted);
    QVERIFY(!session->isJournalUsable());
    const QString wrong = changesNothing(*session, DrawSession::Refusal::NotJournaled, OneDraw);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    session.reset();
#ifdef Q_OS_WIN
    held.reset();
#else
    QFile::remove(victim);
#endif
    QDir(log).removeRecursively();
    QFile::remove(log);
    QFile::remove(elsewhere);
}

void TestDrawSession::settingsFileNotAsLeftIsNeverWritten_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"unreadable at start", "held without sharing at start",
                             "removed while running", "rewritten by another program"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestDrawSession::settingsFileNotAsLeftIsNeverWritten()
{
    // What could not be read at start, or has changed since the session last
    // left it, is never written: nothing is cleared or drawn over that was not read.
    QFETCH(QString, kind);
    const QByteArray fourDraws =
        "[Condition]\r\nRange=1,9\r\n[Result]\r\n1=5\r\n2=6\r\n3=7\r\n4=8\r\n";
    const bool atStart = kind.endsWith(QLatin1String("at start"));
    DrawSession session;
    if (kind.startsWith(QLatin1String("unreadable"))) {
        // Notepad's "Unicode": read as unusable.
        QByteArray utf16("\xFF\xFE");
        for (const char c : fourDraws)
            utf16 += QByteArray{c, '\0'};
        IniFixture::write(utf16);
        QVERIFY(!session.start().settingsUsable);
    } else if (kind.startsWith(QLatin1String("held"))) {
#ifdef Q_OS_WIN
        IniFixture::write(fourDraws);
        const Files::HeldFile held(IniFixture::path(), 0);
        QVERIFY(held.isHeld());
        QVERIFY(!session.start().settingsUsable);
#else
        QSKIP("no share modes on POSIX: a file another program holds reads as it is");
#endif
    } else {
        IniFixture::write(OneDraw);
        QVERIFY(session.start().settingsUsable);
    }
    QByteArray now = fourDraws;
    if (atStart || kind.startsWith(QLatin1String("rewritten")))
        QVERIFY(Files::write(IniFixture::path(), fourDraws)); // readable from now on
    if (kind.startsWith(QLatin1String("removed"))) {
        QVERIFY(QFile::remove(IniFixture::path()));
        now.clear();
    }
    const QString wrong = changesNothing(session, DrawSession::Refusal::NotSaved, now);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(QFile::exists(IniFixture::path()), !now.isEmpty());
}

void TestDrawSession::startsFromItsCurrentSegment_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind :
         {"a current segment past its size", "closed segments and no current one",
          "a journal past 256 MiB", "held by a reader that shares no deletion"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestDrawSession::startsFromItsCurrentSegment()
{
    // However long the history, a start reads its current segment alone, closing
    // one that has grown large, and the operator draws on; the whole history
    // verifies against the settings file.
    QFETCH(QString, kind);
    const QString log = IniFixture::journalPath();
    IniFixture::write(OneDraw);
    if (kind.contains(QLatin1String("256"))) {
        QFile huge(log); // sparse: the test costs no disk
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize((qint64(256) << 20) + 1));
    } else {
        DrawSession session;
        QCOMPARE(session.start().journal, DrawSession::JournalState::Open);
        session.noteWarning(QString(Journal::SegmentSize, u'x'), QStringLiteral("t"));
    }
    if (kind.startsWith(QLatin1String("closed"))) {
        {
            DrawSession session;
            QCOMPARE(session.start().journal, DrawSession::JournalState::Open);
        }
        QVERIFY(QFile::remove(log));
    }
    if (kind.startsWith(QLatin1String("held"))) {
#ifdef Q_OS_WIN
        // As a backup program reads it: Windows renames no file so held, so the
        // segment stays open and the operator draws on; a later start closes it.
        Files::HeldFile held(log, FILE_SHARE_READ | FILE_SHARE_WRITE);
        QVERIFY(held.isHeld());
        DrawSession session;
        QCOMPARE(session.start().journal, DrawSession::JournalState::Open);
        QVERIFY(std::holds_alternative<DrawSession::Draw>(session.draw()));
        QVERIFY(Replay::closedSegments(log).isEmpty());
#else
        QSKIP("no share modes on POSIX: a reader never keeps a file from being renamed");
#endif
    }
    {
        DrawSession session;
        QCOMPARE(session.start().journal, DrawSession::JournalState::Open);
        QVERIFY(std::holds_alternative<DrawSession::Draw>(session.draw()));
        QCOMPARE(session.drawCount(), kind.startsWith(QLatin1String("held")) ? 3 : 2);
    }
    QVERIFY(QFileInfo(log).size() < Journal::SegmentSize);
    QCOMPARE(Replay::closedSegments(log).size(), 1);
    const auto [line, status] = Replay::verify(log, {}, IniFixture::path());
    QVERIFY2(status == 0, qPrintable(line));
}

void TestDrawSession::failedJournalWritesAreSettled_data()
{
    QTest::addColumn<QString>("program");        // the driver, or the program itself
    QTest::addColumn<QByteArray>("settings");    // beside it
    QTest::addColumn<QStringList>("before");     // the driver's changes, run as they are
    QTest::addColumn<QStringList>("changes");    // then, run under strace
    QTest::addColumn<QStringList>("injections"); // strace's, on the journal alone unless large
    QTest::addColumn<QByteArray>("printed");     // what the traced run said
    QTest::addColumn<bool>("told");              // the next start tells of an adoption
    QTest::addColumn<int>("series");             // the series the next start holds
    QTest::addColumn<bool>("large"); // the journal is past its segment size before the run
    const QByteArray range = "[Condition]\r\nRange=1,9\r\n";
    const QStringList draw{"draw"};
    const QStringList twoDraws{"draw", "draw"};
    // The journal's writes and flushes in a run: the start line, then the change.
    const QString flushFails = QStringLiteral("inject=fsync:error=EIO:when=2");
    QTest::newRow("a draw whose flush failed")
        << "sessiondriver" << range << draw << twoDraws << QStringList{flushFails}
        << QByteArray("refused\nrefused, journal\n") << false << 1 << false;
    QTest::newRow("a draw whose flush failed, and its void's write")
        << "sessiondriver" << range << draw << twoDraws
        << QStringList{flushFails, "inject=write:error=ENOSPC:when=3"}
        << QByteArray("refused\nrefused, journal\n") << false << 1 << false;
    QTest::newRow("a clear whose flush failed")
        << "sessiondriver" << range << twoDraws << QStringList{"clear", "draw"}
        << QStringList{flushFails} << QByteArray("refused\nrefused, journal\n") << false << 2
        << false;
    QTest::newRow("a clear whose flush failed, and every write after")
        << "sessiondriver" << range << twoDraws << QStringList{"clear", "draw"}
        << QStringList{flushFails, "inject=write:error=ENOSPC:when=3+"}
        << QByteArray("refused\nrefused, journal\n") << true << 2 << false;
    // The start line, the adoption, then its warning: killed there.
    QTest::newRow("a kill between an adoption and its warning")
        << "rindell" << QByteArray("[Result]\r\n1=5\r\n") << QStringList() << QStringList()
        << QStringList{"inject=write:signal=KILL:when=3"} << QByteArray() << true << 1 << false;
    // A segment closed at the start: killed as it is renamed, as the next segment
    // (written whole under a temporary name) is flushed, or put in its place.
    const QByteArray drawn = "[Condition]\r\nRange=1,9\r\n[Result]\r\n1=5\r\n";
    QTest::newRow("a kill at the rename that closes a segment")
        << "rindell" << drawn << QStringList() << QStringList()
        << QStringList{"inject=renameat2:signal=KILL:when=1"} << QByteArray() << false << 1 << true;
    QTest::newRow("a kill at the flush of the next segment")
        << "rindell" << drawn << QStringList() << QStringList()
        << QStringList{"inject=fsync:signal=KILL:when=1"} << QByteArray() << false << 1 << true;
    QTest::newRow("a kill at the rename that puts the next segment in place")
        << "rindell" << drawn << QStringList() << QStringList()
        << QStringList{"inject=rename:signal=KILL:when=1"} << QByteArray() << false << 1 << true;
}

void TestDrawSession::failedJournalWritesAreSettled()
{
    // A write or flush of the journal that failed may or may not have reached the
    // disk. The session makes no change after it, and what it left is squared
    // with what the operator was told: a draw told not saved is void, a clear
    // told failed is not carried out, a warning cut short is told again.
#ifdef Q_OS_WIN
    QSKIP("strace is Linux's");
#else
    QFETCH(QString, program);
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, before);
    QFETCH(QStringList, changes);
    QFETCH(QStringList, injections);
    QFETCH(QByteArray, printed);
    QFETCH(bool, told);
    QFETCH(int, series);
    QFETCH(bool, large);
    QTemporaryDir folder;
    const QString copy = folder.filePath(program);
    QVERIFY(QFile::copy(program == QLatin1String("rindell")
                            ? Files::builtProgram()
                            : QCoreApplication::applicationDirPath() + u'/' + program,
                        copy));
    const QString ini = folder.filePath(QStringLiteral("Rindell.ini"));
    const QString log = folder.filePath(QStringLiteral("Rindell.log"));
    QVERIFY(Files::write(ini, settings));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const auto run = [&](const QString& command, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(command, arguments);
        if (!process.waitForFinished(60000))
            process.kill();
        return process.readAllStandardOutput();
    };
    if (!before.isEmpty())
        QCOMPARE(run(copy, before).count("done"), before.size());
    if (large) {
        DrawSession session(ini);
        QCOMPARE(session.start().journal, DrawSession::JournalState::Open);
        session.noteWarning(QString(Journal::SegmentSize, u'x'), QStringLiteral("t"));
    }
    // The renames that close a segment are the only ones at a start: counted
    // without a path, since the second names the journal as its target alone.
    QStringList traced{"-f", "-o", "/dev/null"};
    if (!large)
        traced << QStringLiteral("-P") << log;
    for (const QString& injection : injections)
        traced << QStringLiteral("-e") << injection;
    const QByteArray said = run(QStringLiteral("strace"), traced << copy << changes);
    if (!printed.isEmpty())
        QCOMPARE(said, printed);
    // Killed in the middle of closing the segment: it is still in place, or it
    // is closed and its successor waits under a temporary name.
    const QStringList temporary{QStringLiteral("Rindell.log.tmp*")};
    if (large) {
        QCOMPARE(Replay::closedSegments(log).size(), qsizetype(!QFile::exists(log)));
        QCOMPARE(QDir(folder.path()).entryList(temporary).size(), qsizetype(!QFile::exists(log)));
    }

    {
        DrawSession next(ini);
        const DrawSession::StartReport report = next.start();
        QCOMPARE(report.journal, DrawSession::JournalState::Open);
        QCOMPARE(report.adopted, told);
        QCOMPARE(next.drawCount(), qsizetype(series));
        if (program != QLatin1String("rindell"))
            QVERIFY(std::holds_alternative<DrawSession::Draw>(next.draw()));
    }
    const auto [line, status] = Replay::verify(log);
    QVERIFY2(status == 0, qPrintable(line));
    if (large) {
        QCOMPARE(Replay::closedSegments(log).size(), 1);
        QVERIFY(QDir(folder.path()).entryList(temporary).isEmpty());
    }
#endif
}

QTEST_GUILESS_MAIN(TestDrawSession)
#include "tst_drawsession.moc"
