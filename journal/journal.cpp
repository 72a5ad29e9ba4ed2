#include "journal/journal.h"

#include "journal/sha256.h"

#include "settings/fileio.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

enum class Lock { Taken, HeldByAnother, Unavailable };

// The journal opened for appending and locked for as long as the descriptor
// lives; the operating system drops the lock when the process dies, so a kill
// leaves no stale lock, and the lock follows the file through links and mounts.
#ifdef Q_OS_WIN
Lock openLocked(const QString& path, int& fd, bool& created)
{
    if (QFileInfo(path).isSymLink())
        return Lock::Unavailable;
    // Held in a variable: a pointer into a temporary's text would dangle.
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const wchar_t* const name = native.c_str();
    const int flags = _O_RDWR | _O_APPEND | _O_BINARY | _O_NOINHERIT;
    // Others may read (--verify while the program runs), never write.
    fd = -1;
    created = false;
    if (::_wsopen_s(&fd, name, flags, _SH_DENYWR, _S_IREAD | _S_IWRITE) == ENOENT)
        created = ::_wsopen_s(&fd, name, flags | _O_CREAT | _O_EXCL, _SH_DENYWR,
                              _S_IREAD | _S_IWRITE) == 0;
    if (fd >= 0)
        return Lock::Taken;
    return _doserrno == ERROR_SHARING_VIOLATION ? Lock::HeldByAnother : Lock::Unavailable;
}
bool isRegularWithin(int fd, qint64 maxSize)
{
    struct _stat64 info;
    return ::_fstat64(fd, &info) == 0 && (info.st_mode & _S_IFREG) && info.st_size <= maxSize;
}
void closeJournal(int fd)
{
    ::_close(fd);
}
bool rewind(int fd)
{
    return ::_lseeki64(fd, 0, SEEK_SET) == 0;
}
#else
Lock openLocked(const QString& path, int& fd, bool& created)
{
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    created = false;
    fd = FileIo::retryOnInterrupt([&] { return ::open(name.constData(), flags); });
    if (fd < 0 && errno == ENOENT) {
        fd = FileIo::retryOnInterrupt(
            [&] { return ::open(name.constData(), flags | O_CREAT | O_EXCL, 0600); });
        created = fd >= 0;
    }
    if (fd < 0)
        return Lock::Unavailable;
    struct stat info;
    // Only a regular file of our own is a journal: another user's is never written.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        return Lock::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return Lock::Taken;
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? Lock::HeldByAnother : Lock::Unavailable;
}
bool isRegularWithin(int fd, qint64 maxSize)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maxSize;
}
void closeJournal(int fd)
{
    ::close(fd);
}
bool rewind(int fd)
{
    return ::lseek(fd, 0, SEEK_SET) == 0;
}
#endif

} // namespace

QString Journal::defaultPath()
{
    return Common::journalPathFor(QString());
}

QByteArray Journal::hash(QByteArrayView line)
{
    return Sha256::hash(line).toHex();
}

QByteArray Journal::programHash()
{
    QFile program(QCoreApplication::applicationFilePath());
    Sha256 hash;
    if (program.open(QIODevice::ReadOnly)) {
        QByteArray buffer(256 * 1024, Qt::Uninitialized);
        for (qint64 got; (got = program.read(buffer.data(), buffer.size())) > 0;)
            hash.addData(QByteArrayView(buffer.constData(), got));
    }
    return hash.result().toHex();
}

QByteArray Journal::zeroHash()
{
    return QByteArray(64, '0');
}

std::unique_ptr<Journal> Journal::open(const QString& path, Replay::Result* found,
                                       bool* heldByAnother)
{
    int fd = -1;
    bool created = false;
    const Lock lock = openLocked(path, fd, created);
    if (heldByAnother)
        *heldByAnother = lock == Lock::HeldByAnother;
    if (lock != Lock::Taken)
        return nullptr;
    std::unique_ptr<Journal> journal(new Journal(path, fd));
    if (!isRegularWithin(fd, MaxSize))
        return nullptr;
    // Read through the descriptor that will be written, never again by name.
    const std::optional<Replay::Result> read =
        created ? Replay::readBytes({}) : Replay::readDescriptor(fd);
    if (!read || !journal->continueFrom(*read))
        return nullptr;
    if (found)
        *found = *read;
    return journal;
}

bool Journal::isHeldByAnother(const QString& path)
{
    int fd = -1;
    bool created = false;
    const Lock lock = openLocked(path, fd, created);
    if (lock == Lock::Taken)
        closeJournal(fd);
    return lock == Lock::HeldByAnother;
}

Journal::Journal(QString path, int fd) : m_path(std::move(path)), m_fd(fd), m_head(zeroHash()) {}

bool Journal::continueFrom(const Replay::Result& found)
{
    m_seq = found.seq;
    m_lastTime = found.lastTime;
    m_head = found.events > 0 ? found.head.toLatin1() : zeroHash();
    m_torn = false;
    // Whole but for its line end: the line counts as written, and gets its end.
    if (found.tornLine == 0)
        return !found.endsWithoutLineEnd || FileIo::writeAll(m_fd, QByteArrayView("\n"));
    // One write ends the torn bytes and covers them: a kill in the middle of it
    // leaves torn bytes that the next start covers in the same way.
    return write(QStringLiteral("recovered"),
                 {{QStringLiteral("torn_line"), double(found.tornLine)},
                  {QStringLiteral("torn_sha256"), QString::fromLatin1(found.tornSha256)}},
                 found.endsWithoutLineEnd ? QByteArrayView("\n") : QByteArrayView());
}

Journal::~Journal()
{
    closeJournal(m_fd);
}

bool Journal::append(const QString& event, QJsonObject fields)
{
    if (m_torn) {
        // What the failed write left, found as a start finds it.
        const std::optional<Replay::Result> read =
            rewind(m_fd) ? Replay::readDescriptor(m_fd) : std::nullopt;
        if (!read || !continueFrom(*read))
            return false;
    }
    return write(event, std::move(fields));
}

bool Journal::write(const QString& event, QJsonObject fields, QByteArrayView before)
{
    fields.insert(QStringLiteral("seq"), double(m_seq + 1));
    // Never earlier than the line before, even when the clock is set back: the
    // verifier holds a run's times to that.
    QDateTime now = QDateTime::currentDateTime();
    now = now.toOffsetFromUtc(now.offsetFromUtc());
    if (m_lastTime.isValid() && now < m_lastTime)
        now = m_lastTime.toOffsetFromUtc(now.offsetFromUtc());
    fields.insert(QStringLiteral("time"), now.toString(Qt::ISODateWithMs));
    fields.insert(QStringLiteral("event"), event);
    fields.insert(QStringLiteral("prev"), QString::fromLatin1(m_head));
    const QByteArray line = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    if (!FileIo::writeAll(m_fd, before.toByteArray() + line + '\n')) {
        m_torn = true; // part of the line may have landed
        return false;
    }
    ++m_seq;
    m_head = hash(line);
    m_lastTime = now;
    return FileIo::flushToDisk(m_fd); // the line is in the file, but not durable unless this holds
}
