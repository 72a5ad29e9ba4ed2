#include "series/randomsource.h"
#include "series/selection.h"

#include <QTest>

#include <cmath>

using namespace Series;

namespace {

constexpr std::uint32_t Seed = 20261207;

// Chi-square statistic of observed counts against equal expected counts.
double chiSquare(const QList<int>& counts)
{
    double total = 0;
    for (const int count : counts)
        total += count;
    const double expected = total / counts.size();
    double statistic = 0;
    for (const int count : counts)
        statistic += (count - expected) * (count - expected) / expected;
    return statistic;
}

// The value a chi-square statistic with `degrees` degrees of freedom exceeds with
// probability 0.001 (Wilson-Hilferty).
double criticalValue(int degrees)
{
    const double z = 3.090;
    const double k = degrees;
    return k * std::pow(1 - 2 / (9 * k) + z * std::sqrt(2 / (9 * k)), 3);
}

// One draw as START makes it: rank from the generator, then the k-th undrawn number.
std::int16_t draw(RandomSource& random, QList<bool>& flags, std::int16_t from, std::int16_t to)
{
    const std::int16_t number = *drawUndrawn(flags, from, to, random);
    flags[number] = true;
    return number;
}

} // namespace

class TestFairness : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void firstDrawIsUniform_data();
    void firstDrawIsUniform();
    void everyUndrawnNumberEquallyLikely();
    void seriesArePermutations_data();
    void seriesArePermutations();
    void positionsInASeriesAreUniform();
};

void TestFairness::firstDrawIsUniform_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("perNumber");
    QTest::newRow("0..9") << 0 << 9 << 500;
    QTest::newRow("1..100") << 1 << 100 << 500;
    QTest::newRow("0..999") << 0 << 999 << 100;
}

void TestFairness::firstDrawIsUniform()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, perNumber);
    RandomSource random = RandomSource::seededForTesting(Seed);
    const int size = to - from + 1;
    QList<int> counts(size, 0);
    const int draws = perNumber * size;
    for (int i = 0; i < draws; ++i) {
        QList<bool> flags(to + 1, false);
        ++counts[draw(random, flags, std::int16_t(from), std::int16_t(to)) - from];
    }
    const double statistic = chiSquare(counts);
    qInfo("chi-square %.1f over %d first draws of %d..%d (%d degrees of freedom, p=0.001 at %.1f)",
          statistic, draws, from, to, size - 1, criticalValue(size - 1));
    QVERIFY(statistic < criticalValue(size - 1));
}

void TestFairness::everyUndrawnNumberEquallyLikely()
{
    // 60 of 0..99 drawn: each of the 40 left is chosen with the same chance, so
    // each rank k among them is.
    RandomSource random = RandomSource::seededForTesting(Seed + 1);
    QList<bool> drawn(100, false);
    for (int i = 0; i < 100; i += 5)
        drawn[i] = drawn[i + 1] = drawn[i + 3] = true;
    QList<int> undrawn;
    for (int i = 0; i < 100; ++i)
        if (!drawn[i])
            undrawn << i;
    QCOMPARE(undrawn.size(), 40);
    QList<int> counts(40, 0);
    for (int i = 0; i < 40 * 1000; ++i) {
        QList<bool> flags = drawn;
        const int number = draw(random, flags, 0, 99);
        QVERIFY(!drawn[number]);
        ++counts[undrawn.indexOf(number)];
    }
    const double statistic = chiSquare(counts);
    qInfo("chi-square %.1f over the ranks of 40 undrawn numbers (p=0.001 at %.1f)", statistic,
          criticalValue(39));
    QVERIFY(statistic < criticalValue(39));
}

void TestFairness::seriesArePermutations_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("series");
    QTest::newRow("1..1") << 1 << 1 << 10;
    QTest::newRow("3..7") << 3 << 7 << 2000;
    QTest::newRow("0..99") << 0 << 99 << 200;
    QTest::newRow("0..999") << 0 << 999 << 20;
}

void TestFairness::seriesArePermutations()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, series);
    RandomSource random = RandomSource::seededForTesting(Seed + 2);
    for (int s = 0; s < series; ++s) {
        QList<bool> flags(to + 1, false);
        QList<bool> seen(to + 1, false);
        for (int i = from; i <= to; ++i) {
            const std::int16_t number = draw(random, flags, std::int16_t(from), std::int16_t(to));
            QVERIFY(number >= from && number <= to);
            QVERIFY(!seen[number]);
            seen[number] = true;
        }
        QCOMPARE(countUndrawn(flags, std::int16_t(from), std::int16_t(to)), 0);
    }
}

void TestFairness::positionsInASeriesAreUniform()
{
    // Over many series of 3..7, every number is equally likely at every position.
    RandomSource random = RandomSource::seededForTesting(Seed + 3);
    QList<int> counts(25, 0);
    const int series = 20000;
    for (int s = 0; s < series; ++s) {
        QList<bool> flags(8, false);
        for (int position = 0; position < 5; ++position)
            ++counts[position * 5 + draw(random, flags, 3, 7) - 3];
    }
    // Each position's row is a uniform distribution of 5 numbers.
    double statistic = 0;
    for (int position = 0; position < 5; ++position)
        statistic += chiSquare(counts.mid(position * 5, 5));
    qInfo("chi-square %.1f over %d series of 3..7, numbers by position (p=0.001 at %.1f)",
          statistic, series, criticalValue(20));
    QVERIFY(statistic < criticalValue(20));
}

QTEST_GUILESS_MAIN(TestFairness)
#include "tst_fairness.moc"
