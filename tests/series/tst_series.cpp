#include "series/randomsource.h"
#include "series/selection.h"
#include "series/series.h"
#include "series/storedseries.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace Series;

using Numbers = QList<std::int16_t>;

class TestSeries : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void rangeLine_data();
    void rangeLine();
    void countLine_data();
    void countLine();
    void parseRange_data();
    void parseRange();
    void readSeries_data();
    void readSeries();
    void flagsOnlyWhatFits();
    void selection_data();
    void selection();
    void everyRankEquallyOften_data();
    void everyRankEquallyOften();
    void seededStreamsRepeatSystemStreamsDiffer();
    void recordedSeries_data();
    void recordedSeries();
};

void TestSeries::rangeLine_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("line");
    QTest::newRow("1..100") << 1 << 100 << "抽選範囲 : 001 ～ 100";
    QTest::newRow("5..50") << 5 << 50 << "抽選範囲 : 05 ～ 50";
    QTest::newRow("0..9") << 0 << 9 << "抽選範囲 : 0 ～ 9";
    QTest::newRow("5..5") << 5 << 5 << "抽選範囲 : 5 ～ 5";
    QTest::newRow("0..999") << 0 << 999 << "抽選範囲 : 000 ～ 999";
    QTest::newRow("not set") << -1 << -1 << "抽選範囲 : 未設定";
    QTest::newRow("reversed") << 10 << 5 << "抽選範囲 : 未設定";
    QTest::newRow("negative from") << -3 << 5 << "抽選範囲 : 未設定";
}

void TestSeries::rangeLine()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, line);
    QCOMPARE(Series::rangeLine(std::int16_t(from), std::int16_t(to)), line);
    QCOMPARE(isRangeValid(std::int16_t(from), std::int16_t(to)), !line.endsWith(u"未設定"));
}

void TestSeries::countLine_data()
{
    QTest::addColumn<int>("drawn");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("line");
    QTest::newRow("next of none") << 0 << int(CountNext) << "次 1回目";
    QTest::newRow("next of four") << 4 << int(CountNext) << "次 5回目";
    QTest::newRow("current of four") << 4 << int(CountCurrent) << "4回目";
    QTest::newRow("current of 1000") << 1000 << int(CountCurrent) << "1000回目";
}

void TestSeries::countLine()
{
    QFETCH(int, drawn);
    QFETCH(int, mode);
    QFETCH(QString, line);
    QCOMPARE(Series::countLine(drawn, CountMode(mode)), line);
}

void TestSeries::parseRange_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("plain") << "1,100" << true << 1 << 100;
    QTest::newRow("leading zeros") << "007,100" << true << 7 << 100;
    QTest::newRow("further pieces ignored") << "1,100,5" << true << 1 << 100;
    QTest::newRow("blanks") << " 3 , 4 " << true << 3 << 4;
    QTest::newRow("negative is read, not valid") << "-1,5" << true << -1 << 5;
    QTest::newRow("one piece") << "5" << false << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0;
    QTest::newRow("letters") << "a,5" << false << 0 << 0;
    QTest::newRow("empty piece") << "5," << false << 0 << 0;
    QTest::newRow("beyond 16 bits") << "1,99999" << false << 0 << 0;
    QTest::newRow("decimal point") << "1.5,7" << false << 0 << 0;
}

void TestSeries::parseRange()
{
    QFETCH(QString, stored);
    QFETCH(bool, ok);
    QFETCH(int, from);
    QFETCH(int, to);
    const auto range = Series::parseRange(stored);
    QCOMPARE(range.has_value(), ok);
    if (ok) {
        QCOMPARE(range->first, from);
        QCOMPARE(range->second, to);
    }
}

void TestSeries::readSeries_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<Numbers>("results");
    QTest::addColumn<Numbers>("stored");
    QTest::newRow("in order") << QStringList{"1", "37", "2", "5"} << Numbers{0, 37, 5}
                              << Numbers{37, 5};
    QTest::newRow("order of lines does not matter")
        << QStringList{"2", "5", "1", "37"} << Numbers{0, 37, 5} << Numbers{5, 37};
    QTest::newRow("gap") << QStringList{"1", "37", "3", "5"} << Numbers{0, 37, 0, 5}
                         << Numbers{37, 5};
    QTest::newRow("key 0 overwrites the placeholder")
        << QStringList{"0", "9"} << Numbers{9} << Numbers{9};
    QTest::newRow("negative key skipped")
        << QStringList{"-1", "9", "1", "4"} << Numbers{0, 4} << Numbers{4};
    QTest::newRow("comment entry skipped")
        << QStringList{"", "", "1", "4"} << Numbers{0, 4} << Numbers{4};
    QTest::newRow("not integers skipped")
        << QStringList{"x", "1", "1", "abc", "2", "70000", "3", "8"} << Numbers{0, 0, 0, 8}
        << Numbers{8};
    QTest::newRow("repeated key: last wins, both flagged")
        << QStringList{"1", "5", "1", "6"} << Numbers{0, 6} << Numbers{5, 6};
    QTest::newRow("odd count") << QStringList{"1", "5", "2"} << Numbers{0, 5} << Numbers{5};
}

void TestSeries::readSeries()
{
    QFETCH(QStringList, entries);
    QFETCH(Numbers, results);
    QFETCH(Numbers, stored);
    const StoredSeries series = Series::readSeries(entries);
    QCOMPARE(series.results, results);
    QCOMPARE(series.stored, stored);
    QCOMPARE(Series::readSeries(std::nullopt).results, Numbers{0});
}

void TestSeries::flagsOnlyWhatFits()
{
    QList<bool> flags(11, false);
    flagNumbers({3, -2, 10, 11, 500}, flags);
    QList<bool> expected(11, false);
    expected[3] = expected[10] = true;
    QCOMPARE(flags, expected);
}

void TestSeries::selection_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<Numbers>("drawn");
    QTest::addColumn<quint32>("word"); // the one random word the draw takes
    QTest::addColumn<int>("undrawn");
    QTest::addColumn<int>("number");
    QTest::newRow("5..7, 6 drawn, lowest word") << 5 << 7 << Numbers{6} << 0u << 2 << 5;
    QTest::newRow("5..7, 6 drawn, word just below half")
        << 5 << 7 << Numbers{6} << 0x7FFFFFFFu << 2 << 5;
    QTest::newRow("5..7, 6 drawn, word half") << 5 << 7 << Numbers{6} << 0x80000000u << 2 << 7;
    QTest::newRow("1..1") << 1 << 1 << Numbers{} << 0xFFFFFFFFu << 1 << 1;
    QTest::newRow("0..999, top") << 0 << 999 << Numbers{} << 0xFFFFFFFFu << 1000 << 999;
    QTest::newRow("flag outside range ignored") << 1 << 3 << Numbers{0, 2} << 0xE0000000u << 2 << 3;
}

void TestSeries::selection()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(Numbers, drawn);
    QFETCH(quint32, word);
    QFETCH(int, undrawn);
    QFETCH(int, number);
    QList<bool> flags(to + 1, false);
    flagNumbers(drawn, flags);
    QCOMPARE(countUndrawn(flags, std::int16_t(from), std::int16_t(to)), undrawn);
    const int rank = 1 + int(uniformBelow<std::uint32_t, std::uint64_t>(quint32(undrawn),
                                                                        [word] { return word; }));
    const auto chosen = nthUndrawn(flags, std::int16_t(from), std::int16_t(to), rank);
    QVERIFY(chosen);
    QCOMPARE(int(*chosen), number);
    QVERIFY(!nthUndrawn(flags, std::int16_t(from), std::int16_t(to), undrawn + 1));
}

void TestSeries::everyRankEquallyOften_data()
{
    QTest::addColumn<int>("n");
    for (const int n : {1, 2, 3, 7, 10, 1000, 65535})
        QTest::newRow(qPrintable(QString::number(n))) << n;
}

// The choice's proof by construction, on a 16-bit word: every word value the
// source can give is tried once as the first word. Each is either accepted,
// giving a rank, or rejected, asking for another word. Every rank must then be
// reached by exactly as many words; the rejected remainder is 2^16 mod n.
void TestSeries::everyRankEquallyOften()
{
    QFETCH(int, n);
    constexpr std::uint32_t Words = 1u << 16;
    QList<std::uint32_t> hits(n, 0);
    std::uint32_t rejected = 0;
    for (std::uint32_t first = 0; first < Words; ++first) {
        int taken = 0;
        bool rejectedFirst = false;
        const auto value = uniformBelow<std::uint16_t, std::uint32_t>(std::uint16_t(n), [&] {
            if (taken++ == 0)
                return std::uint16_t(first);
            rejectedFirst = true;
            return std::uint16_t(Words - 1); // the top word is always accepted
        });
        QVERIFY(value < n);
        if (rejectedFirst)
            ++rejected;
        else
            ++hits[value];
    }
    QCOMPARE(rejected, Words % std::uint32_t(n));
    const std::uint32_t each = Words / std::uint32_t(n);
    for (int rank = 0; rank < n; ++rank)
        QVERIFY2(hits[rank] == each, qPrintable(QStringLiteral("rank %1: %2 words, not %3")
                                                    .arg(rank + 1)
                                                    .arg(hits[rank])
                                                    .arg(each)));
}

void TestSeries::seededStreamsRepeatSystemStreamsDiffer()
{
    const auto firstWords = [](RandomSource& random) {
        QList<std::uint32_t> words;
        for (int i = 0; i < 8; ++i)
            words << random.next();
        return words;
    };
    RandomSource a = RandomSource::seededForTesting(7);
    RandomSource b = RandomSource::seededForTesting(7);
    QCOMPARE(firstWords(a), firstWords(b));
    // The system generator: two sources side by side share nothing.
    RandomSource system;
    RandomSource other;
    QVERIFY(firstWords(system) != firstWords(other));
}

void TestSeries::recordedSeries_data()
{
    QTest::addColumn<QStringList>("lines"); // key=value, as the whole read gives them
    QTest::addColumn<Numbers>("numbers");
    QTest::addColumn<int>("ordinal");
    QTest::addColumn<bool>("taken");
    QTest::newRow("plain") << QStringList{"1=37", "2=5"} << Numbers{37, 5} << 3 << false;
    QTest::newRow("key of the next draw")
        << QStringList{"1=37", "3=88"} << Numbers{37, 88} << 3 << true;
    QTest::newRow("NUL behind a value")
        << QStringList{"1=37", QStringLiteral("2=5") + QChar(0)} << Numbers{37, 5} << 2 << true;
    QTest::newRow("leading zero key reads back as the ordinal")
        << QStringList{"03=88"} << Numbers{88} << 3 << true;
    QTest::newRow("blanks, quotes and comments")
        << QStringList{" 4 = \"12\" ;c", "x=7;y"} << Numbers{12, 7} << 4 << true;
    QTest::newRow("not numbers") << QStringList{"5=abc", "6="} << Numbers{} << 7 << false;
}

void TestSeries::recordedSeries()
{
    QFETCH(QStringList, lines);
    QFETCH(Numbers, numbers);
    QFETCH(int, ordinal);
    QFETCH(bool, taken);
    QList<std::pair<QString, QString>> entries;
    for (const QString& line : lines)
        entries.append({line.section(u'=', 0, 0), line.section(u'=', 1)});
    const RecordedSeries recorded = readRecorded(entries);
    QCOMPARE(recorded.numbers, numbers);
    QCOMPARE(isOrdinalTaken(recorded, ordinal), taken);
}

QTEST_GUILESS_MAIN(TestSeries)
#include "tst_series.moc"
