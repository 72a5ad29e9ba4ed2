#include "files.h"
#include "inifixture.h"
#include "journalfixture.h"
#include "session/drawsession.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

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
             (QStringList{"start", "draw", "reveal", "range", "clear", "warning"}));
}

QTEST_GUILESS_MAIN(TestDrawSession)
#include "tst_drawsession.moc"
