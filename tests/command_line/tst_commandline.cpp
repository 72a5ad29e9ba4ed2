// The sampling options of the real program: they need no display, never touch
// the settings file, and refuse a bad argument with a usage line and status 2.
#include "files.h"

#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTest>

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QString program()
{
    return Files::builtProgram();
}

QString programIni()
{
    return QFileInfo(program()).absolutePath() + QStringLiteral("/Rindell.ini");
}

Run run(const QStringList& arguments)
{
    QProcess process;
    // No display at all: a window or a GUI platform would fail here.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process.setProcessEnvironment(environment);
    process.start(program(), arguments);
    Run result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QList<QList<int>> lines(const QByteArray& out)
{
    QList<QList<int>> numbers;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QList<int> row;
        for (const QByteArray& field : line.split(' '))
            row << field.toInt();
        numbers << row;
    }
    return numbers;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init() { QFile::remove(programIni()); }
    void cleanup() { QVERIFY(!QFileInfo::exists(programIni())); }

    void badArgumentsAreUsageErrors_data();
    void badArgumentsAreUsageErrors();
    void firstDrawsStayInTheRange();
    void seriesAreWholeAndInDrawOrder();
    void rawOutputHasTheAskedLength();
};

void TestCommandLine::badArgumentsAreUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("count missing") << QStringList{"--sample-draws"};
    QTest::newRow("range missing") << QStringList{"--sample-draws", "5"};
    QTest::newRow("range value missing") << QStringList{"--sample-draws", "5", "--range"};
    QTest::newRow("count zero") << QStringList{"--sample-draws", "0", "--range", "1,10"};
    QTest::newRow("count negative") << QStringList{"--sample-series", "-3", "--range", "1,10"};
    QTest::newRow("count not a number") << QStringList{"--sample-draws", "ten", "--range", "1,10"};
    QTest::newRow("from above to") << QStringList{"--sample-draws", "5", "--range", "10,1"};
    QTest::newRow("above 999") << QStringList{"--sample-draws", "5", "--range", "1,1000"};
    QTest::newRow("negative bound") << QStringList{"--sample-draws", "5", "--range", "-1,10"};
    QTest::newRow("one bound") << QStringList{"--sample-series", "5", "--range", "10"};
    QTest::newRow("not numbers") << QStringList{"--sample-draws", "5", "--range", "a,b"};
    QTest::newRow("extra argument")
        << QStringList{"--sample-draws", "5", "--range", "1,10", "more"};
    QTest::newRow("raw without size") << QStringList{"--sample-raw"};
    QTest::newRow("raw zero bytes") << QStringList{"--sample-raw", "0"};
    QTest::newRow("unknown sample") << QStringList{"--sample-everything", "5"};
}

void TestCommandLine::badArgumentsAreUsageErrors()
{
    QFETCH(QStringList, arguments);
    const Run result = run(arguments);
    QCOMPARE(result.status, 2);
    QVERIFY(result.out.isEmpty());
    QVERIFY2(result.err.startsWith("rindell: ") && result.err.count('\n') == 1,
             result.err.constData());
    QVERIFY(result.err.contains("usage: rindell"));
}

void TestCommandLine::firstDrawsStayInTheRange()
{
    const Run result = run({"--sample-draws", "3000", "--range", "5,7"});
    QCOMPARE(result.status, 0);
    const QList<QList<int>> draws = lines(result.out);
    QCOMPARE(draws.size(), 3000);
    QSet<int> seen;
    for (const QList<int>& draw : draws) {
        QCOMPARE(draw.size(), 1);
        QVERIFY(draw[0] >= 5 && draw[0] <= 7);
        seen.insert(draw[0]);
    }
    QCOMPARE(seen, (QSet<int>{5, 6, 7}));
    QCOMPARE(run({"--sample-draws", "2", "--range", "999,999"}).out, QByteArray("999\n999\n"));
}

void TestCommandLine::seriesAreWholeAndInDrawOrder()
{
    const Run result = run({"--sample-series", "200", "--range", "0,9"});
    QCOMPARE(result.status, 0);
    const QList<QList<int>> series = lines(result.out);
    QCOMPARE(series.size(), 200);
    QSet<QList<int>> orders;
    for (QList<int> one : series) {
        orders.insert(one);
        std::sort(one.begin(), one.end());
        QCOMPARE(one, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    }
    QVERIFY(orders.size() > 190); // 10! orders: repeats among 200 are rare
}

void TestCommandLine::rawOutputHasTheAskedLength()
{
    for (const int bytes : {1, 3, 16384, 100001}) {
        const Run result = run({"--sample-raw", QString::number(bytes)});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out.size(), bytes);
    }
    // Two runs never give the same stream.
    QVERIFY(run({"--sample-raw", "64"}).out != run({"--sample-raw", "64"}).out);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
