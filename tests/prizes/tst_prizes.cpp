// The prize and name lists: the CSV a spreadsheet saves, in UTF-8 or Shift-JIS,
// the rows skipped and the first of them named, files that are no lists, and a
// correction on disk reaching the reader.
#include "files.h"
#include "prizes/csvreader.h"
#include "prizes/listfile.h"
#include "prizes/prizelists.h"
#include "settings/shiftjis.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace Prizes;

namespace {

// "1=text|2=text", in key order.
QString listed(const ListFile& list)
{
    QList<std::int32_t> keys = list.texts.keys();
    std::sort(keys.begin(), keys.end());
    QStringList entries;
    for (const std::int32_t key : keys)
        entries << QString::number(key) + u'=' + list.texts.value(key);
    return entries.join(u'|');
}

QByteArray shiftJis(const QString& text)
{
    return ShiftJis::encode(text).value_or(QByteArray());
}

} // namespace

class TestPrizes : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void readsAList_data();
    void readsAList();
    void fileThatIsNoListIsNotRead_data();
    void fileThatIsNoListIsNotRead();
    void correctionOnDiskIsReadAgain();
};

void TestPrizes::readsAList_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("numbers"); // the name list; else the prize list
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("firstBadLine");

    QTest::newRow("UTF-8, header, LF")
        << QStringLiteral("回,景品\n1,特賞 温泉旅行\n2,二等\n").toUtf8() << false
        << QStringLiteral("1=特賞 温泉旅行|2=二等") << 0;
    QTest::newRow("UTF-8 with a BOM, no header, CR LF")
        << "\xEF\xBB\xBF" + QStringLiteral("1,山田 太郎\r\n37,佐藤 花子\r\n").toUtf8() << true
        << QStringLiteral("1=山田 太郎|37=佐藤 花子") << 0;
    QTest::newRow("UTF-8 with a BOM and a header")
        << "\xEF\xBB\xBF" + QStringLiteral("番号,氏名\r\n007,鈴木\r\n").toUtf8() << true
        << QStringLiteral("7=鈴木") << 0;
    // ソ ends in the byte of a backslash, ① is one of Windows' own characters.
    QTest::newRow("Shift-JIS, header, CR LF")
        << shiftJis(QStringLiteral("番号,氏名\r\n5,ソニー①\r\n999,髙橋\r\n")) << true
        << QStringLiteral("5=ソニー①|999=髙橋") << 0;
    QTest::newRow("Shift-JIS, no header")
        << shiftJis(QStringLiteral("1,ソフト\r\n")) << false << QStringLiteral("1=ソフト") << 0;
    QTest::newRow("quoted commas, quotes and line breaks")
        << QByteArray("1,\"TV, 55\"\"\"\r\n2,\"A\r\nB\"\r\n\"3\",C\r\n") << false
        << QStringLiteral("1=TV, 55\"|2=A\r\nB|3=C") << 0;
    QTest::newRow("CR line ends, blank lines, extra columns, no line end at the end")
        << QByteArray("1,a\r\r2,b,note\r,\r3,c") << false << QStringLiteral("1=a|2=b|3=c") << 0;
    QTest::newRow("a number outside 0..999")
        << QByteArray("1,a\n1000,b\n-1,c\n2,d\n") << true << QStringLiteral("1=a|2=d") << 2;
    QTest::newRow("an ordinal below 1")
        << QByteArray("0,a\n-2,b\n1,c\n") << false << QStringLiteral("1=c") << 1;
    QTest::newRow("a repeated key: the first row wins")
        << QByteArray("5,first\n5,second\n6,x\n") << true << QStringLiteral("5=first|6=x") << 2;
    QTest::newRow("a quote never closed, after a quoted line break")
        << QByteArray("1,\"a\nb\"\n2,\"c\n3,d\n") << false << QStringLiteral("1=a\nb") << 3;
    QTest::newRow("a quote inside a cell, text after a closing quote")
        << QByteArray("1,a\"b\n2,\"c\"d,\"e\n3,f\n") << false << QStringLiteral("3=f") << 1;
    QTest::newRow("a second row without a number, a row of one cell")
        << QByteArray("回,景品\nx,a\n4\n5,b\n") << false << QStringLiteral("5=b") << 2;
    QTest::newRow("a number past 32 bits")
        << QByteArray("99999999999,a\n1,b\n") << false << QStringLiteral("1=b") << 1;
    QTest::newRow("a key without text lists nothing")
        << QByteArray("1,\n2, \n3,c\n") << false << QStringLiteral("3=c") << 0;
    QTest::newRow("empty") << QByteArray() << false << QString() << 0;
}

void TestPrizes::readsAList()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, numbers);
    QFETCH(QString, expected);
    QFETCH(int, firstBadLine);
    const ListFile list = parseList(bytes, numbers ? Key::Number : Key::Ordinal);
    QCOMPARE(listed(list), expected);
    QCOMPARE(list.firstBadLine, qsizetype(firstBadLine));
    QVERIFY(!list.unreadable);
    const QString warning = warningFor(QString(PrizesFileName), list);
    QCOMPARE(warning.isEmpty(), firstBadLine == 0);
    if (firstBadLine > 0)
        QCOMPARE(warning, QStringLiteral("Rindell-prizes.csv の %1 行目を読み込めません。"
                                         "Rindell-prizes.csv を確認して下さい。")
                              .arg(firstBadLine));
}

void TestPrizes::fileThatIsNoListIsNotRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("over 1 MiB") << QStringLiteral("huge");
    QTest::newRow("a folder") << QStringLiteral("folder");
#ifndef Q_OS_WIN // no FIFOs or devices in a Windows file system
    QTest::newRow("a FIFO, never waited on") << QStringLiteral("fifo");
    QTest::newRow("a dangling link") << QStringLiteral("dangling");
#endif
}

void TestPrizes::fileThatIsNoListIsNotRead()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QString(NamesFileName));
    if (kind == u"huge")
        QVERIFY(Files::write(path, "1,a\r\n" + QByteArray(1 << 20, 'x')));
    else if (kind == u"folder")
        QVERIFY(QDir(dir.path()).mkdir(QString(NamesFileName)));
#ifndef Q_OS_WIN
    else if (kind == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.csv")), path));
#endif
    const ListFile list = readList(path, Key::Number);
    QVERIFY(list.unreadable);
    QVERIFY(list.texts.isEmpty());
    PrizeLists lists;
    lists.follow(dir.path());
    QCOMPARE(lists.warnings(),
             QStringList(QStringLiteral("Rindell-names.csv を読み込めません。Rindell-names.csv "
                                        "を確認して下さい。")));
}

void TestPrizes::correctionOnDiskIsReadAgain()
{
    QTemporaryDir dir;
    const QString prizes = dir.filePath(QString(PrizesFileName));
    const QString names = dir.filePath(QString(NamesFileName));
    PrizeLists lists;
    lists.follow(dir.path());
    QCOMPARE(lists.prize(1), QString());
    QVERIFY(lists.warnings().isEmpty());
    // Created.
    QVERIFY(Files::write(prizes, QStringLiteral("1,特賞\r\n").toUtf8()));
    QTRY_COMPARE(lists.prize(1), QStringLiteral("特賞"));
    // Saved as a spreadsheet saves: a new file renamed over the old one.
    const QString saved = dir.filePath(QStringLiteral("saving.tmp"));
    QVERIFY(Files::write(saved, QStringLiteral("1,特賞 温泉旅行\r\n").toUtf8()));
    QVERIFY(QFile::remove(prizes));
    QVERIFY(QFile::rename(saved, prizes));
    QTRY_COMPARE(lists.prize(1), QStringLiteral("特賞 温泉旅行"));
    // Rewritten in place, with a bad row that is warned of at the next opening.
    QVERIFY(Files::write(names, "5,Yamada\r\n"));
    QTRY_COMPARE(lists.name(5), QStringLiteral("Yamada"));
    QSignalSpy changed(&lists, &PrizeLists::changed);
    QFile file(names);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(file.write("5,Yamada Taro\r\n1000,x\r\n") > 0);
    file.close();
    QTRY_COMPARE(lists.name(5), QStringLiteral("Yamada Taro"));
    QVERIFY(!changed.isEmpty());
    QCOMPARE(lists.warnings(),
             QStringList(QStringLiteral("Rindell-names.csv の 2 行目を読み込めません。"
                                        "Rindell-names.csv を確認して下さい。")));
    // Removed: nothing is listed any more.
    QVERIFY(QFile::remove(prizes));
    QTRY_COMPARE(lists.prize(1), QString());
}

QTEST_GUILESS_MAIN(TestPrizes)
#include "tst_prizes.moc"
