// The settings file and its folder as an adversary or an accident leaves them:
// planted links and FIFOs, link chains and loops, devices, huge and UTF-16 files,
// hidden entries, a missing converter. Nothing may be lost, hung on or written
// through.
#include "files.h"
#include "settings/atomicfile.h"
#include "settings/fileio.h"
#include "settings/settings.h"
#include "settings/shiftjis.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Common;

namespace {

const QString Section = QStringLiteral("Result");

#ifndef Q_OS_WIN
bool makeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0666) == 0;
}
#endif

bool write(const QString& file)
{
    return WriteIniString(Section, QStringLiteral("1"), QStringLiteral("7"), file);
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void init();
    void cleanup();

    void linksPlantedAtTemporaryNamesAreNeverFollowed();
    void fifoOrFolderAtTemporaryNameDoesNotStopAWrite();
    void ownLeftoversGoOthersStay();
    void linkChainIsWrittenAtItsEnd();
    void unusableFileIsNeitherReadNorWritten_data();
    void unusableFileIsNeitherReadNorWritten();
    void boundedReadRefusesMoreThanItsBound_data();
    void boundedReadRefusesMoreThanItsBound();
    void wholeReadSeesWhatTheBufferHides();
    void clearingRemovesThousandsOfSections();
    void missingConverterConvertsOnlyAscii();

  private:
    QString path(const char* name) const { return m_dir->filePath(QLatin1String(name)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
};

void TestHostileFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_file = path("Rindell.ini");
}

void TestHostileFiles::cleanup()
{
    m_dir.reset();
}

void TestHostileFiles::linksPlantedAtTemporaryNamesAreNeverFollowed()
{
    // Another user of a shared folder plants links where temporaries go.
#ifdef Q_OS_WIN
    QSKIP(Files::NoLinksOnWindows);
#endif
    const QString victim = path("victim.txt");
    QVERIFY(Files::write(victim, "not yours"));
    QVERIFY(QFile::setPermissions(victim, QFile::ReadOwner | QFile::WriteOwner));
    const QStringList planted{QStringLiteral("Rindell.ini.tmp"),
                              QStringLiteral("Rindell.ini.tmp.000000000000"),
                              QStringLiteral("Rindell.ini.tmp.1")};
    for (const QString& name : planted)
        QVERIFY(QFile::link(victim, m_dir->filePath(name)));
    QVERIFY(Files::write(m_file, "[A]\r\nk=1\r\n"));

    for (int i = 0; i < 20; ++i)
        QVERIFY(write(m_file));
    QCOMPARE(Files::read(victim), QByteArray("not yours"));
    QCOMPARE(QFile::permissions(victim) & 0x0FFF, QFile::ReadUser | QFile::WriteUser);
    QVERIFY(!QFileInfo(m_file).isSymLink());
    QCOMPARE(Files::read(m_file), QByteArray("[A]\r\nk=1\r\n[Result]\r\n1=7\r\n"));
    for (const QString& name : planted)
        QVERIFY(QFileInfo(m_dir->filePath(name)).isSymLink());
}

void TestHostileFiles::fifoOrFolderAtTemporaryNameDoesNotStopAWrite()
{
#ifndef Q_OS_WIN // a file system without FIFOs
    QVERIFY(makeFifo(path("Rindell.ini.tmp")));
#endif
    QVERIFY(QDir().mkpath(path("Rindell.ini.tmp.x")));
    QVERIFY(write(m_file)); // would block for ever if the FIFO were opened
    QCOMPARE(Files::read(m_file), QByteArray("[Result]\r\n1=7\r\n"));
#ifndef Q_OS_WIN
    QVERIFY(QFileInfo(path("Rindell.ini.tmp")).exists());
#endif
    QVERIFY(QFileInfo(path("Rindell.ini.tmp.x")).isDir());
}

void TestHostileFiles::ownLeftoversGoOthersStay()
{
    // What killed writes of our own left behind goes; what is not ours stays.
    QVERIFY(Files::write(path("Rindell.ini.tmp"), "[Result]\r\n1="));
    QVERIFY(Files::write(path("Rindell.ini.tmp.4f3a9c2b1d0e"), "[Res"));
    QVERIFY(Files::write(path("Rindell.ini.tmpfile"), "not a temporary"));
    QVERIFY(Files::write(path("Rindell.ini.tmp.other"), "another user's"));
    const bool given = Files::giveToAnotherUser(path("Rindell.ini.tmp.other"));
    if (!given)
        QVERIFY(QFile::remove(path("Rindell.ini.tmp.other")));
    QVERIFY(write(m_file));
    QStringList expected{QStringLiteral("Rindell.ini"), QStringLiteral("Rindell.ini.tmpfile")};
    if (given)
        expected.insert(1, QStringLiteral("Rindell.ini.tmp.other"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
}

void TestHostileFiles::linkChainIsWrittenAtItsEnd()
{
#ifdef Q_OS_WIN
    QSKIP(Files::NoLinksOnWindows);
#endif
    const QString real = path("real.ini");
    QVERIFY(Files::write(real, "[A]\r\nk=1\r\n"));
    QVERIFY(QFile::link(QStringLiteral("real.ini"), path("mid.ini"))); // relative
    QVERIFY(QFile::link(path("mid.ini"), m_file));
    QCOMPARE(AtomicFile::finalPath(m_file), std::optional<QString>(real));
    for (int i = 1; i <= 3; ++i)
        QVERIFY(WriteIniString(Section, QString::number(i), QString::number(i * 11), m_file));
    QVERIFY(QFileInfo(m_file).isSymLink());
    QVERIFY(QFileInfo(path("mid.ini")).isSymLink());
    QCOMPARE(Files::read(real), QByteArray("[A]\r\nk=1\r\n[Result]\r\n1=11\r\n2=22\r\n3=33\r\n"));
    QVERIFY(DeleteIniSection(Section, m_file));
    QCOMPARE(Files::read(real), QByteArray("[A]\r\nk=1\r\n"));
}

void TestHostileFiles::unusableFileIsNeitherReadNorWritten_data()
{
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"fifo", "link to /dev/zero", "dangling link", "link loop", "folder",
                             "over the size bound", "utf-16le", "utf-16be", "link to the journal",
                             "journal under a second name", "a second name in another folder"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestHostileFiles::unusableFileIsNeitherReadNorWritten()
{
    QFETCH(QString, kind);
    const QByteArray content = "[Condition]\r\nRange=1,9\r\n[Result]\r\n1=5\r\n";
    QByteArray stored;
#ifdef Q_OS_WIN
    if (kind == QLatin1String("fifo"))
        QSKIP("no FIFOs in a Windows file system");
    if (kind.contains(QLatin1String("link")))
        QSKIP(Files::NoLinksOnWindows);
#endif
    if (kind == QLatin1String("fifo")) {
#ifndef Q_OS_WIN
        QVERIFY(makeFifo(m_file));
#endif
    } else if (kind == QLatin1String("link to /dev/zero")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), m_file));
    } else if (kind == QLatin1String("dangling link")) {
        QVERIFY(QFile::link(path("gone.ini"), m_file));
    } else if (kind == QLatin1String("link loop")) {
        QVERIFY(QFile::link(path("b.ini"), m_file));
        QVERIFY(QFile::link(m_file, path("b.ini")));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(m_file));
    } else if (kind.contains(QLatin1String("journal"))) {
        // A write would rename over the record.
        QVERIFY(Files::write(path("Rindell.log"), content));
        if (kind.startsWith(QLatin1String("link")))
            QVERIFY(QFile::link(path("Rindell.log"), m_file));
        else
            QVERIFY(Files::hardLink(path("Rindell.log"), m_file));
    } else if (kind == QLatin1String("a second name in another folder")) {
        // Another program folder's Rindell.ini as a hard link: each folder would
        // have its own journal and lock, and the first rename would split the file.
        stored = content;
        QVERIFY(Files::write(m_file, stored));
        QVERIFY(QDir().mkpath(path("other")));
        QVERIFY(Files::hardLink(m_file, path("other/Rindell.ini")));
    } else if (kind == QLatin1String("over the size bound")) {
        stored = content + QByteArray(AtomicFile::MaxSize, ';');
    } else {
        // What Notepad saves as "Unicode": the same text in UTF-16 with its BOM.
        const bool little = kind == QLatin1String("utf-16le");
        stored = little ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
        for (const char c : content)
            stored += little ? QByteArray{c, '\0'} : QByteArray{'\0', c};
    }
    if (!stored.isEmpty())
        QVERIFY(Files::write(m_file, stored));

    QVERIFY(!IniSnapshot(m_file).isUsable());
    if (!kind.startsWith(QLatin1String("utf-16")) && !kind.contains(QLatin1String("journal")))
        QVERIFY(!AtomicFile::read(m_file)); // not even loaded
    QCOMPARE(ReadIniString(QStringLiteral("Condition"), QStringLiteral("Range"), {}, m_file),
             QString());
    QVERIFY(!ReadIniSection(Section, m_file));
    QVERIFY(!readWholeIniSection(Section, m_file));
    QVERIFY(!write(m_file));
    QVERIFY(!DeleteIniSection(Section, m_file));
    if (!stored.isEmpty())
        QCOMPARE(Files::read(m_file), stored);
    if (kind.contains(QLatin1String("link")))
        QVERIFY(QFileInfo(m_file).isSymLink());
    if (kind.contains(QLatin1String("journal")))
        QCOMPARE(Files::read(path("Rindell.log")), content);
    QVERIFY(!QFileInfo::exists(path("gone.ini")));
}

void TestHostileFiles::boundedReadRefusesMoreThanItsBound_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<qsizetype>("bound");
    QTest::addColumn<int>("openFlags");
    QTest::addColumn<bool>("read");
    const qsizetype mib = AtomicFile::MaxSize;
    QTest::newRow("empty") << qsizetype(0) << qsizetype(10) << O_RDONLY << true;
    QTest::newRow("at the bound") << qsizetype(10) << qsizetype(10) << O_RDONLY << true;
    QTest::newRow("one byte over") << qsizetype(11) << qsizetype(10) << O_RDONLY << false;
    QTest::newRow("several buffers") << qsizetype(300'000) << mib << O_RDONLY << true;
    QTest::newRow("at a large bound") << mib << mib << O_RDONLY << true;
    QTest::newRow("over a large bound") << mib + 1 << mib << O_RDONLY << false;
    // A failed read is no read, never an empty file.
    QTest::newRow("read fails") << qsizetype(5) << qsizetype(10) << O_WRONLY << false;
}

// The bound holds on what is read, not on what fstat said: a file that grows
// between the two is refused, never cut.
void TestHostileFiles::boundedReadRefusesMoreThanItsBound()
{
    QFETCH(qsizetype, size);
    QFETCH(qsizetype, bound);
    QFETCH(int, openFlags);
    QFETCH(bool, read);
    QByteArray content(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        content[i] = char('a' + i % 26);
    QVERIFY(Files::write(m_file, content));
    const int fd = ::open(QFile::encodeName(m_file).constData(), openFlags);
    QVERIFY(fd >= 0);
    const std::optional<QByteArray> got = FileIo::readAll(fd, bound);
    ::close(fd);
    QCOMPARE(got.has_value(), read);
    if (read)
        QCOMPARE(*got, content);
}

void TestHostileFiles::wholeReadSeesWhatTheBufferHides()
{
    // A NUL ends the Windows section buffer early, and so does its 32,767-byte
    // size; a second section of the same name is never read by it.
    const QByteArray comment = ';' + QByteArray(33000, 'c');
    QVERIFY(Files::write(m_file, "[Result]\r\n1=37\r\n2=5" + QByteArray(1, '\0') + "\r\n3=88\r\n" +
                                     comment + "\r\n4=12\r\n[X]\r\n[result]\r\n9=2\r\n"));
    QCOMPARE(ReadIniSection(Section, m_file)->join(u'|'), QStringLiteral("1|37|2|5"));
    const auto whole = readWholeIniSection(Section, m_file);
    QVERIFY(whole);
    QStringList seen;
    for (const auto& [key, value] : *whole)
        seen << key + u'=' + value;
    QCOMPARE(seen, (QStringList{"1=37", QStringLiteral("2=5") + QChar(0), "3=88", "4=12", "9=2"}));
}

void TestHostileFiles::clearingRemovesThousandsOfSections()
{
    QByteArray content = "[Condition]\r\nRange=0,999\r\n";
    for (int i = 0; i < 20000; ++i)
        content += "[Result]\r\n" + QByteArray::number(i % 1000) + "=1\r\n";
    content += "[Other]\r\nk=v\r\n";
    QVERIFY(Files::write(m_file, content));
    QVERIFY(DeleteIniSection(Section, m_file));
    QCOMPARE(Files::read(m_file), QByteArray("[Condition]\r\nRange=0,999\r\n[Other]\r\nk=v\r\n"));
}

void TestHostileFiles::missingConverterConvertsOnlyAscii()
{
    // What a write refuses when the conversion fails, codePage932BothWays shows.
    const ShiftJis::Codec missing("x-no-such-code-page");
    QVERIFY(!missing.isAvailable());
    QVERIFY(!missing.encode(QStringLiteral("抽選")));
    // ASCII is the same in every code page: it never needs the converter.
    QCOMPARE(missing.encode(u"k=2"), std::optional<QByteArray>("k=2"));
    QCOMPARE(missing.decode("k=2"), QStringLiteral("k=2"));
    QVERIFY(ShiftJis::isAvailable());
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
