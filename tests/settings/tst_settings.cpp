#include "files.h"
#include "filesizelimit.h"
#include "inifixture.h"
#include "killloop.h"
#include "settings/atomicfile.h"
#include "settings/settings.h"
#include "settings/shiftjis.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <unistd.h>
#endif

using namespace Common;

namespace {

const QString Nothing = QStringLiteral("<nothing>");

QString joined(const std::optional<QStringList>& entries)
{
    return entries ? entries->join(u'|') : Nothing;
}

enum class FileKind { Missing, Empty, Folder, Binary, MissingFolder };

} // namespace

Q_DECLARE_METATYPE(FileKind)

class TestSettings : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanupTestCase();

    void joinPath_data();
    void joinPath();
    void cutAtDelimiter_data();
    void cutAtDelimiter();
    void iniFilePathIsBesideTheProgram();

    void readString_data();
    void readString();
    void readStringCutsLongValueToTheBuffer();
    void readStringOfEmptyValueIsNotTheDefault();
    void readSection_data();
    void readSection();
    void readSectionCutsToTheBuffer();

    void write_data();
    void write();
    void addNeverWritesOver_data();
    void addNeverWritesOver();
    void writeThenReadBack();
    void writeKeepsBytesItDoesNotTarget();
    void writeKeepsPermissions();
    void writeThroughALinkKeepsTheLink();
    void replaceWhileAnotherHandleReads_data();
    void replaceWhileAnotherHandleReads();
    void codePage932BothWays_data();
    void codePage932BothWays();
    void deleteSection_data();
    void deleteSection();
    void deleteMissingSectionOfMissingFileCreatesNothing();

    void unusableFiles_data();
    void unusableFiles();
    void failedWriteLeavesOldFileAndNoTemporary();
    void readOnlyFileIsNotReplaced();
    void japanesePath();
    void defaultFileArgumentSelectsTheProgramsFile();

    void snapshotAnswersFromOneRead();
    void killedWriterNeverTearsTheFile();

  private:
    QTemporaryDir m_dir;
    QString m_file;
};

void TestSettings::init()
{
    QVERIFY(m_dir.isValid());
    m_file = m_dir.filePath(QStringLiteral("test.ini"));
    QFile::remove(m_file);
}

void TestSettings::cleanupTestCase()
{
    IniFixture::remove();
}

void TestSettings::joinPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    const QString s = QDir::separator();
    QTest::newRow("plain folder") << "a" + s + "b"
                                  << "a" + s + "b" + s + "f.ini";
    QTest::newRow("root ends in separator") << s << s + "f.ini";
    QTest::newRow("empty folder") << QString() << s + "f.ini";
    QTest::newRow("japanese folder") << "抽選"
                                     << "抽選" + s + "f.ini";
}

void TestSettings::joinPath()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(JoinPath(folder, QStringLiteral("f.ini")), expected);
}

void TestSettings::cutAtDelimiter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("found") << "ab,cd,ef"
                           << ","
                           << "ab";
    QTest::newRow("at start") << ",ab"
                              << ","
                              << "";
    QTest::newRow("absent") << "abc"
                            << ","
                            << "abc";
    QTest::newRow("empty delimiter") << "abc"
                                     << ""
                                     << "";
    QTest::newRow("case-sensitive") << "aXbxc"
                                    << "x"
                                    << "aXb";
    QTest::newRow("two characters") << QString::fromUtf8("a\0b\0\0c", 6)
                                    << QString::fromUtf8("\0\0", 2) << QString::fromUtf8("a\0b", 3);
}

void TestSettings::cutAtDelimiter()
{
    QFETCH(QString, text);
    QFETCH(QString, delimiter);
    QFETCH(QString, expected);
    const QString before = text;
    QCOMPARE(CutAtDelimiter(text, delimiter), expected);
    QCOMPARE(text, before);
}

void TestSettings::iniFilePathIsBesideTheProgram()
{
    QCOMPARE(GetIniFilePath(), QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) +
                                   QDir::separator() + QStringLiteral("Rindell.ini"));
    // A first start: no file yet is no unusable file, whichever separators the path has.
    IniFixture::remove();
    QVERIFY(IniSnapshot(GetIniFilePath()).isUsable());
}

void TestSettings::readString_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QByteArray plain = "[Condition]\r\nRange=1,100\r\n[Result]\r\n1=37\r\n";
    QTest::newRow("found") << plain << "Condition"
                           << "Range"
                           << "1,100";
    QTest::newRow("missing key") << plain << "Condition"
                                 << "Other"
                                 << "dflt";
    QTest::newRow("missing section") << plain << "Nope"
                                     << "Range"
                                     << "dflt";
    QTest::newRow("key of another section") << plain << "Result"
                                            << "Range"
                                            << "dflt";
    QTest::newRow("names ignore case") << plain << "condition"
                                       << "RANGE"
                                       << "1,100";
    QTest::newRow("blanks around name arguments") << plain << " Condition "
                                                  << " Range "
                                                  << "1,100";
    QTest::newRow("LF endings") << QByteArray("[A]\nk=v\n") << "A"
                                << "k"
                                << "v";
    QTest::newRow("CR endings") << QByteArray("[A]\rk=v\r[B]\rk=w") << "B"
                                << "k"
                                << "w";
    QTest::newRow("blanks in header") << QByteArray(" [ A ] \r\nk=v") << "A"
                                      << "k"
                                      << "v";
    QTest::newRow("header without bracket") << QByteArray("[A\r\nk=v") << "A"
                                            << "k"
                                            << "v";
    QTest::newRow("lines before first header") << QByteArray("k=x\r\n[A]\r\nj=v") << "A"
                                               << "k"
                                               << "dflt";
    QTest::newRow("comment is no key") << QByteArray("[A]\r\n;k=x\r\nk=v") << "A"
                                       << "k"
                                       << "v";
    QTest::newRow("blanks trimmed") << QByteArray("[A]\r\n  k  =  v w  \r\n") << "A"
                                    << "k"
                                    << "v w";
    QTest::newRow("double quotes") << QByteArray("[A]\r\nk=\" v \"") << "A"
                                   << "k"
                                   << " v ";
    QTest::newRow("single quotes") << QByteArray("[A]\r\nk='v'") << "A"
                                   << "k"
                                   << "v";
    QTest::newRow("unmatched quotes kept") << QByteArray("[A]\r\nk=\"v'") << "A"
                                           << "k"
                                           << "\"v'";
    QTest::newRow("first section wins") << QByteArray("[A]\r\nk=1\r\n[a]\r\nk=2") << "A"
                                        << "k"
                                        << "1";
    QTest::newRow("first key wins") << QByteArray("[A]\r\nk=1\r\nK=2") << "A"
                                    << "k"
                                    << "1";
    QTest::newRow("value with equals") << QByteArray("[A]\r\nk=a=b") << "A"
                                       << "k"
                                       << "a=b";
    QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF[A]\r\nk=v") << "A"
                               << "k"
                               << "v";
    QTest::newRow("shift-jis value") << QByteArray("[A]\r\nk=\x92\x8A\x91\x49") << "A"
                                     << "k"
                                     << "抽選";
    QTest::newRow("shift-jis section") << QByteArray("[\x92\x8A\x91\x49]\r\nk=v") << "抽選"
                                       << "k"
                                       << "v";
    QTest::newRow("trail byte like bracket") << QByteArray("[\x83\x5D]\r\nk=v") << "ゾ"
                                             << "k"
                                             << "v";
    QTest::newRow("NUL ends the value") << QByteArray("[A]\r\nk=ab\0cd", 12) << "A"
                                        << "k"
                                        << "ab";
    QTest::newRow("section argument ends at NUL")
        << plain << QString::fromUtf8("Condition\0x", 11) << "Range"
        << "1,100";
    QTest::newRow("empty section name is a name") << QByteArray("k=x\r\n[]\r\nk=v") << ""
                                                  << "k"
                                                  << "v";
    QTest::newRow("binary garbage") << QByteArray("\x00\xFF\xFE\x81\r\x00", 6) << "A"
                                    << "k"
                                    << "dflt";
}

void TestSettings::readString()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QVERIFY(Files::write(m_file, content));
    QCOMPARE(ReadIniString(section, key, QStringLiteral("dflt"), m_file), expected);
}

void TestSettings::readStringCutsLongValueToTheBuffer()
{
    QVERIFY(Files::write(m_file, "[A]\r\nk=" + QByteArray(300 * 1024, 'x') + "\r\n"));
    QCOMPARE(ReadIniString(QStringLiteral("A"), QStringLiteral("k"), {}, m_file),
             QString(2047, u'x'));
}

void TestSettings::readStringOfEmptyValueIsNotTheDefault()
{
    QVERIFY(WriteIniString(QStringLiteral("A"), QStringLiteral("k"), QString(), m_file));
    QCOMPARE(Files::read(m_file), QByteArray("[A]\r\nk=\r\n"));
    QCOMPARE(ReadIniString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("d"), m_file),
             QString(""));
}

void TestSettings::readSection_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing file") << QByteArray() << Nothing;
    QTest::newRow("missing section") << QByteArray("[A]\r\nk=v\r\n") << Nothing;
    QTest::newRow("header only") << QByteArray("[Result]\r\n[B]\r\nk=v") << Nothing;
    QTest::newRow("blank lines only") << QByteArray("[Result]\r\n\r\n  \r\n") << Nothing;
    QTest::newRow("draws") << QByteArray("[Result]\r\n1=37\r\n2=5\r\n") << "1|37|2|5";
    QTest::newRow("file order, not key order")
        << QByteArray("[Result]\r\n2=5\r\n1=37") << "2|5|1|37";
    QTest::newRow("equals in value") << QByteArray("[Result]\r\na=b=c") << "a|b=c";
    QTest::newRow("no equals") << QByteArray("[Result]\r\nabc") << "abc|";
    QTest::newRow("comment after value") << QByteArray("[Result]\r\na=b ;note") << "a|b";
    QTest::newRow("comment in key") << QByteArray("[Result]\r\na;x=b") << "a|";
    QTest::newRow("comment line") << QByteArray("[Result]\r\n;note\r\n1=2") << "||1|2";
    QTest::newRow("blank lines skipped")
        << QByteArray("[Result]\r\n1=2\r\n\r\n2=3\r\n") << "1|2|2|3";
    QTest::newRow("repeated keys passed on") << QByteArray("[Result]\r\n1=2\r\n1=3") << "1|2|1|3";
    QTest::newRow("ends at next section") << QByteArray("[Result]\r\n1=2\r\n[X]\r\n3=4") << "1|2";
    QTest::newRow("names ignore case") << QByteArray("[RESULT]\r\n1=2") << "1|2";
    QTest::newRow("NUL inside a line splits it")
        << QByteArray("[Result]\r\n1=2\0x=y", 17) << "1|2|x|y";
}

void TestSettings::readSection()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    if (!content.isEmpty())
        QVERIFY(Files::write(m_file, content));
    QCOMPARE(joined(ReadIniSection(QStringLiteral("Result"), m_file)), expected);
}

void TestSettings::readSectionCutsToTheBuffer()
{
    QByteArray content = "[Result]\r\n";
    for (int i = 1; i <= 5000; ++i)
        content += QByteArray::number(i) + '=' + QByteArray::number(i % 1000) + "\r\n";
    QVERIFY(Files::write(m_file, content));
    const std::optional<QStringList> entries = ReadIniSection(QStringLiteral("Result"), m_file);
    QVERIFY(entries);
    qsizetype bytes = 0;
    for (qsizetype i = 0; i + 1 < entries->size(); i += 2)
        bytes += entries->at(i).size() + (entries->at(i + 1).isEmpty() ? 0 : 1) +
                 entries->at(i + 1).size() + 1; // the line and its NUL
    QVERIFY(bytes <= 32767);
    QVERIFY(bytes > 32767 - 20);
    QVERIFY(entries->size() < 2 * 5000);
    QCOMPARE(entries->at(0), QStringLiteral("1"));
}

void TestSettings::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("creates the file") << QByteArray() << "Condition"
                                      << "Range"
                                      << "1,100" << QByteArray("[Condition]\r\nRange=1,100\r\n");
    QTest::newRow("replaces in place")
        << QByteArray("[Condition]\r\nRange=1,100\r\n[Result]\r\n1=37\r\n") << "Condition"
        << "Range"
        << "007,200" << QByteArray("[Condition]\r\nRange=007,200\r\n[Result]\r\n1=37\r\n");
    QTest::newRow("keeps the file's casing")
        << QByteArray("[CONDITION]\nrange = 1,2\n") << "Condition"
        << "Range"
        << "3,4" << QByteArray("[CONDITION]\nrange=3,4\n");
    QTest::newRow("new key after the last key line")
        << QByteArray("[Result]\r\n1=37\r\n\r\n;c\r\n[X]\r\n") << "Result"
        << "2"
        << "5" << QByteArray("[Result]\r\n1=37\r\n2=5\r\n\r\n;c\r\n[X]\r\n");
    QTest::newRow("new key in empty section") << QByteArray("[Result]\r\n[X]\r\n") << "Result"
                                              << "1"
                                              << "9" << QByteArray("[Result]\r\n1=9\r\n[X]\r\n");
    QTest::newRow("new key after unterminated last line")
        << QByteArray("[Result]\r\n1=37") << "Result"
        << "2"
        << "5" << QByteArray("[Result]\r\n1=37\r\n2=5\r\n");
    QTest::newRow("new section appended")
        << QByteArray("[Condition]\r\nRange=1,100\r\n") << "Result"
        << "1"
        << "37" << QByteArray("[Condition]\r\nRange=1,100\r\n[Result]\r\n1=37\r\n");
    QTest::newRow("new section after unterminated line")
        << QByteArray("[Condition]\nRange=1,100") << "Result"
        << "1"
        << "37" << QByteArray("[Condition]\nRange=1,100\r\n[Result]\r\n1=37\r\n");
    QTest::newRow("empty value") << QByteArray() << "A"
                                 << "k"
                                 << "" << QByteArray("[A]\r\nk=\r\n");
    QTest::newRow("value verbatim") << QByteArray() << "A"
                                    << "k"
                                    << " 'x' ;y" << QByteArray("[A]\r\nk= 'x' ;y\r\n");
    QTest::newRow("bom kept") << QByteArray("\xEF\xBB\xBF[A]\r\nk=1\r\n") << "A"
                              << "k"
                              << "2" << QByteArray("\xEF\xBB\xBF[A]\r\nk=2\r\n");
    QTest::newRow("into an empty file") << QByteArray("") << "A"
                                        << "k"
                                        << "v" << QByteArray("[A]\r\nk=v\r\n");
    QTest::newRow("shift-jis value") << QByteArray() << "A"
                                     << "k"
                                     << "抽選" << QByteArray("[A]\r\nk=\x92\x8A\x91\x49\r\n");
    QTest::newRow("lines before first header kept")
        << QByteArray("junk\x81\r\n[A]\r\nk=1") << "A"
        << "k"
        << "2" << QByteArray("junk\x81\r\n[A]\r\nk=2\r\n");
    // As measured on Windows 10: a rewritten last line gets its line break.
    QTest::newRow("rewritten last line is ended")
        << QByteArray("[SectionName]\r\nTestKey=TestValue") << "SectionName"
        << "TESTKEY"
        << "TestValue2" << QByteArray("[SectionName]\r\nTestKey=TestValue2\r\n");
}

void TestSettings::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (!before.isNull())
        QVERIFY(Files::write(m_file, before));
    QVERIFY(WriteIniString(section, key, value, m_file));
    QCOMPARE(Files::read(m_file), after);
}

void TestSettings::addNeverWritesOver_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QByteArray>("after");
    const QByteArray one = "[Result]\r\n1=37\r\n";
    QTest::newRow("new key") << one << "2" << true << one + "2=5\r\n";
    QTest::newRow("key there") << one << "1" << false << one;
    QTest::newRow("key there, spelt otherwise")
        << QByteArray("[RESULT]\n 1 = 37\n") << "1" << false << QByteArray("[RESULT]\n 1 = 37\n");
    QTest::newRow("no file yet") << QByteArray() << "1" << true
                                 << QByteArray("[Result]\r\n1=5\r\n");
}

void TestSettings::addNeverWritesOver()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(bool, added);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        QVERIFY(Files::write(m_file, before));
    QCOMPARE(addIniString(QStringLiteral("Result"), key, QStringLiteral("5"), m_file), added);
    QCOMPARE(Files::read(m_file), after);
}

void TestSettings::writeThenReadBack()
{
    // The example file of a range and three draws, written the way the program does.
    QVERIFY(WriteIniString(QStringLiteral("Condition"), QStringLiteral("Range"),
                           QStringLiteral("1,100"), m_file));
    for (const auto& [key, value] : {std::pair("1", "37"), {"2", "5"}, {"3", "88"}})
        QVERIFY(WriteIniString(QStringLiteral("Result"), QString::fromLatin1(key),
                               QString::fromLatin1(value), m_file));
    QCOMPARE(Files::read(m_file),
             QByteArray("[Condition]\r\nRange=1,100\r\n[Result]\r\n1=37\r\n2=5\r\n3=88\r\n"));
    QCOMPARE(ReadIniString(QStringLiteral("Condition"), QStringLiteral("Range"), {}, m_file),
             QStringLiteral("1,100"));
    QCOMPARE(joined(ReadIniSection(QStringLiteral("Result"), m_file)),
             QStringLiteral("1|37|2|5|3|88"));
}

void TestSettings::writeKeepsBytesItDoesNotTarget()
{
    // Invalid Shift-JIS, a lone CR, odd blanks and NULs elsewhere survive byte for byte.
    const QByteArray head =
        QByteArray("\xEF\xBB\xBF; \x81\x20 bad\r[Other]\r\n x = \"\xFF\xFE\" \n") +
        QByteArray("\0\0\r\n", 4);
    const QByteArray tail("[Tail]\r\n\x82\xA0=\x80\r\n");
    QVERIFY(Files::write(m_file, head + "[Result]\r\n1=37\r\n" + tail));
    QVERIFY(
        WriteIniString(QStringLiteral("Result"), QStringLiteral("2"), QStringLiteral("5"), m_file));
    QCOMPARE(Files::read(m_file), head + "[Result]\r\n1=37\r\n2=5\r\n" + tail);
    QVERIFY(DeleteIniSection(QStringLiteral("Result"), m_file));
    QCOMPARE(Files::read(m_file), head + tail);
}

void TestSettings::writeKeepsPermissions()
{
    QVERIFY(Files::write(m_file, "[A]\r\nk=1\r\n"));
#ifdef Q_OS_WIN
    // No permission bits on Windows (a read-only file is never replaced): the
    // attributes a user gave the file stay.
    const std::wstring name = QDir::toNativeSeparators(m_file).toStdWString();
    const DWORD given = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    QVERIFY(SetFileAttributesW(name.c_str(), given));
    QVERIFY(WriteIniString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), m_file));
    QCOMPARE(GetFileAttributesW(name.c_str()) & given, given);
    QVERIFY(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL));
    QCOMPARE(Files::read(m_file), QByteArray("[A]\r\nk=2\r\n"));
#else
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(m_file, permissions));
    QVERIFY(WriteIniString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), m_file));
    // Owner, group and other bits (the "user" bits depend on who runs the test).
    QCOMPARE(QFile::permissions(m_file) & 0xF0FF, permissions & 0xF0FF);
#endif
}

void TestSettings::writeThroughALinkKeepsTheLink()
{
#ifdef Q_OS_WIN
    QSKIP(Files::NoLinksOnWindows);
#endif
    const QString real = m_dir.filePath(QStringLiteral("real.ini"));
    QVERIFY(Files::write(real, "[A]\r\nk=1\r\n"));
    QVERIFY(QFile::link(real, m_file));
    QVERIFY(WriteIniString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), m_file));
    QVERIFY(QFileInfo(m_file).isSymLink());
    QCOMPARE(Files::read(real), QByteArray("[A]\r\nk=2\r\n"));
    QFile::remove(m_file);
    QFile::remove(real);
}

void TestSettings::replaceWhileAnotherHandleReads_data()
{
    QTest::addColumn<int>("heldMs");
    QTest::newRow("closed soon after") << 300;
    QTest::newRow("held throughout") << -1;
}

void TestSettings::replaceWhileAnotherHandleReads()
{
    // Another program reads the file (a virus scanner, a backup, an editor) while
    // a draw replaces it. The reader gets the old file whole; the file is the old
    // or the new one, never a mix, and no temporary stays behind. A reader that
    // lets go soon does not make the write fail. Windows, unlike POSIX, refuses
    // to rename over a file that is open without shared deletion, as QFile opens it.
    QFETCH(int, heldMs);
    const QByteArray old = "[Result]\r\n1=5\r\n" + QByteArray(100'000, ';') + "\r\n";
    const QByteArray replacement = "[Result]\r\n1=7\r\n";
    QVERIFY(Files::write(m_file, old));
    QFile reader(m_file);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QByteArray seen = reader.read(10);
    bool replaced = false;
    if (heldMs < 0) {
        replaced = AtomicFile::replace(m_file, replacement);
        seen += reader.readAll();
        reader.close();
#ifndef Q_OS_WIN
        QVERIFY(replaced);
#endif
    } else {
        std::thread closer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(heldMs));
            seen += reader.readAll();
            reader.close();
        });
        replaced = AtomicFile::replace(m_file, replacement);
        closer.join();
        QVERIFY(replaced);
    }
    QCOMPARE(seen, old);
    QCOMPARE(Files::read(m_file), replaced ? replacement : old);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("test.ini")});
}

void TestSettings::codePage932BothWays_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes"); // null: no code of its own in code page 932
    QTest::newRow("kanji") << "抽選" << QByteArray("\x92\x8A\x91\x49");
    QTest::newRow("half-width katakana") << "ｱｲ" << QByteArray("\xB1\xB2");
    // Where code page 932 parts from strict Shift_JIS.
    QTest::newRow("full-width tilde") << "\uFF5E" << QByteArray("\x81\x60");
    QTest::newRow("NEC circled one") << "①" << QByteArray("\x87\x40");
    QTest::newRow("backslash") << "a\\抽" << QByteArray("a\x5C\x92\x8A");
    // Best fit would store e; no match at all would store "?".
    QTest::newRow("e acute") << "caf\u00E9" << QByteArray();
    QTest::newRow("hangul") << "抽\uD55C" << QByteArray();
    QTest::newRow("emoji") << "\U0001F600" << QByteArray();
}

void TestSettings::codePage932BothWays()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const std::optional<QByteArray> encoded = ShiftJis::encode(text);
    QCOMPARE(encoded.has_value(), !bytes.isNull());
    QVERIFY(Files::write(m_file, "[A]\r\nk=1\r\n"));
    const bool written = WriteIniString(QStringLiteral("A"), QStringLiteral("k"), text, m_file);
    if (bytes.isNull()) {
        // Refused whole: nothing stands in for what cannot be stored.
        QVERIFY(!written);
        QCOMPARE(Files::read(m_file), QByteArray("[A]\r\nk=1\r\n"));
        return;
    }
    QCOMPARE(*encoded, bytes);
    QCOMPARE(ShiftJis::decode(bytes), text);
    QVERIFY(written);
    QCOMPARE(Files::read(m_file), "[A]\r\nk=" + bytes + "\r\n");
    QCOMPARE(ReadIniString(QStringLiteral("A"), QStringLiteral("k"), {}, m_file), text);
}

void TestSettings::deleteSection_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("last section") << QByteArray(
                                         "[Condition]\r\nRange=1,100\r\n[Result]\r\n1=37\r\n")
                                  << QByteArray("[Condition]\r\nRange=1,100\r\n");
    QTest::newRow("middle section, up to next header")
        << QByteArray("[A]\r\nk=1\r\n[Result]\r\n1=2\r\n;c\r\n\r\n[B]\r\nk=2\r\n")
        << QByteArray("[A]\r\nk=1\r\n[B]\r\nk=2\r\n");
    QTest::newRow("names ignore case")
        << QByteArray("[ result ]\r\n1=2\r\n[A]\r\n") << QByteArray("[A]\r\n");
    QTest::newRow("every copy") << QByteArray("[Result]\r\n1=2\r\n[A]\r\n[Result]\r\n1=3\r\n")
                                << QByteArray("[A]\r\n");
    QTest::newRow("missing section unchanged")
        << QByteArray("[A]\r\nk=1") << QByteArray("[A]\r\nk=1");
}

void TestSettings::deleteSection()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QVERIFY(Files::write(m_file, before));
    QVERIFY(DeleteIniSection(QStringLiteral("Result"), m_file));
    QCOMPARE(Files::read(m_file), after);
    QCOMPARE(joined(ReadIniSection(QStringLiteral("Result"), m_file)), Nothing);
}

void TestSettings::deleteMissingSectionOfMissingFileCreatesNothing()
{
    QVERIFY(DeleteIniSection(QStringLiteral("Result"), m_file));
    QVERIFY(!QFile::exists(m_file));
}

void TestSettings::unusableFiles_data()
{
    QTest::addColumn<FileKind>("kind");
    QTest::addColumn<bool>("writable");
    QTest::newRow("missing") << FileKind::Missing << true;
    QTest::newRow("empty") << FileKind::Empty << true;
    QTest::newRow("folder in its place") << FileKind::Folder << false;
    QTest::newRow("binary") << FileKind::Binary << true;
    QTest::newRow("missing folder") << FileKind::MissingFolder << false;
}

void TestSettings::unusableFiles()
{
    QFETCH(FileKind, kind);
    QFETCH(bool, writable);
    QString file = m_file;
    switch (kind) {
    case FileKind::Missing:
        break;
    case FileKind::Empty:
        QVERIFY(Files::write(file, {}));
        break;
    case FileKind::Folder:
        QVERIFY(QDir().mkpath(file));
        break;
    case FileKind::Binary: {
        QByteArray noise(64 * 1024, '\0');
        for (char& c : noise)
            c = char(QRandomGenerator::global()->bounded(256));
        QVERIFY(Files::write(file, noise));
        break;
    }
    case FileKind::MissingFolder:
        file = m_dir.filePath(QStringLiteral("nowhere/test.ini"));
        break;
    }

    QCOMPARE(ReadIniString(QStringLiteral("Condition"), QStringLiteral("Range"), {}, file),
             QString());
    QCOMPARE(joined(ReadIniSection(QStringLiteral("Result"), file)), Nothing);
    QCOMPARE(
        WriteIniString(QStringLiteral("Result"), QStringLiteral("1"), QStringLiteral("5"), file),
        writable);
    if (writable)
        QCOMPARE(ReadIniString(QStringLiteral("Result"), QStringLiteral("1"), {}, file),
                 QStringLiteral("5"));
    QDir(file).removeRecursively();
}

void TestSettings::failedWriteLeavesOldFileAndNoTemporary()
{
    // A folder where the file should be stops root as well as anyone else.
    QVERIFY(QDir().mkpath(m_file + QStringLiteral("/inside")));
    QVERIFY(!WriteIniString(QStringLiteral("Result"), QStringLiteral("1"), QStringLiteral("5"),
                            m_file));
    QVERIFY(!DeleteIniSection(QStringLiteral("Result"), m_file));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(QFileInfo(m_file).isDir());
    QDir(m_file).removeRecursively();

    // A write that cannot complete (the file size limit stands for a full disk,
    // and stops root too): the old file stays, and no temporary is left.
#ifdef Q_OS_WIN
    QSKIP(NO_FILE_SIZE_LIMIT);
#else
    const QByteArray old = "[A]\r\nk=1\r\n[B]\r\nk=1\r\n";
    QVERIFY(Files::write(m_file, old));
    {
        const FileSizeLimit full(8);
        QVERIFY(
            !WriteIniString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), m_file));
        QVERIFY(!DeleteIniSection(QStringLiteral("B"), m_file));
    }
    QCOMPARE(Files::read(m_file), old);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("test.ini")});
    QFile::remove(m_file);
#endif
}

void TestSettings::readOnlyFileIsNotReplaced()
{
#ifndef Q_OS_WIN // where the read-only attribute holds for everyone
    if (::geteuid() == 0)
        QSKIP("root writes through permission bits");
#endif
    QVERIFY(Files::write(m_file, "[A]\r\nk=1\r\n"));
    QVERIFY(QFile::setPermissions(m_file, QFile::ReadOwner));
    QVERIFY(!WriteIniString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), m_file));
    QCOMPARE(Files::read(m_file), QByteArray("[A]\r\nk=1\r\n"));
    QFile::setPermissions(m_file, QFile::ReadOwner | QFile::WriteOwner);
}

void TestSettings::japanesePath()
{
    const QString folder = m_dir.filePath(QStringLiteral("抽選会"));
    QVERIFY(QDir().mkpath(folder));
    const QString file = JoinPath(folder, QStringLiteral("Rindell.ini"));
    QVERIFY(
        WriteIniString(QStringLiteral("Result"), QStringLiteral("1"), QStringLiteral("7"), file));
    QCOMPARE(joined(ReadIniSection(QStringLiteral("Result"), file)), QStringLiteral("1|7"));
}

void TestSettings::defaultFileArgumentSelectsTheProgramsFile()
{
    IniFixture::remove();
    QVERIFY(WriteIniString(QStringLiteral("Condition"), QStringLiteral("Range"),
                           QStringLiteral("5,5"), QString()));
    QCOMPARE(IniFixture::read(), QByteArray("[Condition]\r\nRange=5,5\r\n"));
    QCOMPARE(ReadIniString(QStringLiteral("Condition"), QStringLiteral("Range"), {}, QString()),
             QStringLiteral("5,5"));
    QVERIFY(WriteIniString(QStringLiteral("Result"), QStringLiteral("1"), QStringLiteral("5"),
                           QString()));
    QVERIFY(DeleteIniSection(QStringLiteral("Result"), QString()));
    QCOMPARE(IniFixture::read(), QByteArray("[Condition]\r\nRange=5,5\r\n"));
    IniFixture::remove();
}

void TestSettings::snapshotAnswersFromOneRead()
{
    QVERIFY(Files::write(m_file, "[Condition]\r\nRange=1,9\r\n[Result]\r\n1=5\r\n"));
    const IniSnapshot snapshot(m_file);
    QVERIFY(Files::write(m_file, "[Condition]\r\nRange=2,8\r\n"));
    QCOMPARE(snapshot.ReadIniString(QStringLiteral("Condition"), QStringLiteral("Range"), {}),
             QStringLiteral("1,9"));
    QCOMPARE(snapshot.ReadIniSection(QStringLiteral("Result"))->join(u'|'), QStringLiteral("1|5"));
    QVERIFY(snapshot.isUsable());
    QCOMPARE(ReadIniString(QStringLiteral("Condition"), QStringLiteral("Range"), {}, m_file),
             QStringLiteral("2,8"));
    QVERIFY(!ReadIniSection(QStringLiteral("Result"), m_file));
}

void TestSettings::killedWriterNeverTearsTheFile()
{
    // A writer process records draws and reports each completed write; it is
    // killed at random moments. Every reported draw must be on disk, in order,
    // with no torn line and no temporary file left behind.
    const QString writer =
        Files::executable(QCoreApplication::applicationDirPath() + QStringLiteral("/crashwriter"));
    QVERIFY(QFile::exists(writer));
    const QByteArray header = "[Condition]\r\nRange=0,999\r\n";
    constexpr int Kills = 200;
    int killedMidRun = 0;
    for (int round = 0; round < Kills; ++round) {
        QVERIFY(Files::write(m_file, header));
        const KillLoop::Round killed =
            KillLoop::Run(writer, {m_file}, QProcessEnvironment::systemEnvironment(), false, 5, 40);
        QVERIFY(killed.started);
        killedMidRun += int(killed.killedWhileRunning);
        QList<int> numbers;
        const QString wrong =
            KillLoop::CheckRecord(m_file, header, KillLoop::Reported(killed.output), numbers);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        for (int i = 0; i < numbers.size(); ++i)
            QCOMPARE(numbers[i], (i + 1) * 7 % 1000);
    }
    QVERIFY2(killedMidRun > Kills / 2, "the writer was rarely killed while writing");
    QVERIFY(
        WriteIniString(QStringLiteral("Result"), QStringLiteral("1"), QStringLiteral("1"), m_file));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("test.ini")});
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
