#include "journal/journal.h"

#include "journal/sha256.h"

#include "settings/atomicfile.h"
#include "settings/fileio.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <optional>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The journal opened for appending: only a regular file of our own with no
// other name, never through a link. The single instance is guarded by a lock of
// its own (InstanceLock); the journal's descriptor is checked against its name
// before every line instead, since a rename takes the file away from the name.
#ifdef Q_OS_WIN
bool openJournal(const QString& path, int& fd, bool& created)
{
    if (QFileInfo(path).isSymLink())
        return false;
    // Held in a variable: a pointer into a temporary's text would dangle.
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const wchar_t* const name = native.c_str();
    const int flags = _O_RDWR | _O_APPEND | _O_BINARY | _O_NOINHERIT;
    // Others may read (--verify while the program runs), never write, rename or
    // delete it.
    fd = -1;
    created = false;
    if (::_wsopen_s(&fd, name, flags, _SH_DENYWR, _S_IREAD | _S_IWRITE) == ENOENT)
        created = ::_wsopen_s(&fd, name, flags | _O_CREAT | _O_EXCL, _SH_DENYWR,
                              _S_IREAD | _S_IWRITE) == 0;
    return fd >= 0;
}
struct Identity
{
    DWORD volume = 0, high = 0, low = 0, links = 0;
    qint64 size = 0;
    bool regular = false;
};
std::optional<Identity> identityOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    return Identity{
        info.dwVolumeSerialNumber,
        info.nFileIndexHigh,
        info.nFileIndexLow,
        info.nNumberOfLinks,
        (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
        !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))};
}
std::optional<Identity> identityOf(int fd)
{
    return identityOf(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
}
std::optional<Identity> identityOf(const QString& path)
{
    const HANDLE handle =
        CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(), 0,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const std::optional<Identity> identity = identityOf(handle);
    CloseHandle(handle);
    return identity;
}
bool sameFile(const Identity& a, const Identity& b)
{
    return a.volume == b.volume && a.high == b.high && a.low == b.low;
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
bool openJournal(const QString& path, int& fd, bool& created)
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
    return fd >= 0;
}
struct Identity
{
    dev_t device = 0;
    ino_t inode = 0;
    nlink_t links = 0;
    qint64 size = 0;
    bool regular = false;
    bool own = false;
};
Identity identityFrom(const struct stat& info)
{
    return {info.st_dev,  info.st_ino,           info.st_nlink,
            info.st_size, S_ISREG(info.st_mode), info.st_uid == ::geteuid()};
}
std::optional<Identity> identityOf(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    return identityFrom(info);
}
std::optional<Identity> identityOf(const QString& path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return identityFrom(info);
}
bool sameFile(const Identity& a, const Identity& b)
{
    return a.device == b.device && a.inode == b.inode;
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

// Only a regular file with this one name (another user's is never written on
// POSIX; Windows leaves that to the file's ACL).
bool isUsable(int fd)
{
    const std::optional<Identity> identity = identityOf(fd);
#ifndef Q_OS_WIN
    if (identity && !identity->own)
        return false;
#endif
    return identity && identity->regular && identity->links == 1;
}

bool isNothingAt(const QString& path)
{
    const QFileInfo info(path);
    return !info.exists() && !info.isSymLink();
}

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
        // Small enough to come from the heap: a larger buffer is mapped afresh
        // and faulted in page by page at every start.
        QByteArray buffer(64 * 1024, Qt::Uninitialized);
        for (qint64 got; (got = program.read(buffer.data(), buffer.size())) > 0;)
            hash.addData(QByteArrayView(buffer.constData(), got));
    }
    return hash.result().toHex();
}

QByteArray Journal::zeroHash()
{
    return QByteArray(64, '0');
}

std::unique_ptr<Journal> Journal::open(const QString& path, Replay::Result* found)
{
    std::optional<Replay::Result> read;
    // Closed segments and no current one: a stop between closing a segment and
    // putting the next in place, or a current segment moved away. The history
    // goes on from the newest closed segment.
    if (const QStringList closed = Replay::closedSegments(path);
        !closed.isEmpty() && isNothingAt(path)) {
        const int fd = AtomicFile::openForReading(QFileInfo(path).dir().filePath(closed.last()));
        if (fd < 0)
            return nullptr;
        read = Replay::readDescriptor(fd);
        AtomicFile::closeDescriptor(fd);
        Journal segment(path, -1);
        if (!read || !segment.continueFrom(*read) || !segment.beginSegment(*read))
            return nullptr;
    }
    int fd = -1;
    bool created = false;
    if (!openJournal(path, fd, created))
        return nullptr;
    std::unique_ptr<Journal> journal(new Journal(path, fd));
    if (!isUsable(fd))
        return nullptr;
    // Read through the descriptor that will be written, never again by name.
    const std::optional<Replay::Result> current =
        created ? Replay::readBytes({}) : Replay::readDescriptor(fd);
    if (!current || !journal->continueFrom(*current))
        return nullptr;
    if (!read)
        read = current;
    const std::optional<Identity> identity = identityOf(fd);
    if (identity && identity->size > SegmentSize && !journal->closeSegment(*current))
        return nullptr;
    if (found)
        *found = *read;
    return journal;
}

bool Journal::isStillNamed() const
{
    const std::optional<Identity> held = identityOf(m_fd);
    const std::optional<Identity> named = identityOf(m_path);
    return held && named && held->links == 1 && sameFile(*held, *named);
}

std::optional<Replay::Result> Journal::reread()
{
    if (!isStillNamed() || !rewind(m_fd))
        return std::nullopt;
    const std::optional<Replay::Result> read = Replay::readDescriptor(m_fd);
    if (!read || !continueFrom(*read))
        return std::nullopt;
    return read;
}

Journal::Journal(QString path, int fd) : m_path(std::move(path)), m_fd(fd), m_head(zeroHash()) {}

bool Journal::continueFrom(const Replay::Result& found)
{
    m_seq = found.seq;
    m_lastTime = found.lastTime;
    m_head = found.events > 0 ? found.head.toLatin1() : zeroHash();
    m_torn = false;
    // A closed segment read to go on from is never written.
    if (m_fd < 0)
        return true;
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
    if (m_fd >= 0)
        closeJournal(m_fd);
}

bool Journal::beginSegment(const Replay::Result& found)
{
    QJsonArray series;
    for (const Replay::Draw& draw : found.series)
        series.append(draw.number);
    QJsonObject fields{{QStringLiteral("series"), series},
                       {QStringLiteral("unrevealed"), found.revealPending ? 1 : 0},
                       {QStringLiteral("untold"), found.adoptionUntold ? 1 : 0}};
    if (found.range) {
        fields.insert(QStringLiteral("from"), found.range->first);
        fields.insert(QStringLiteral("to"), found.range->second);
    }
    QDateTime time;
    const QByteArray line = compose(QStringLiteral("segment"), fields, time);
    // Whole or not at all, and never over a file at the path.
    if (!isNothingAt(m_path) || !AtomicFile::replaceNamed(m_path, line + '\n'))
        return false;
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    ++m_seq;
    m_head = hash(line);
    m_lastTime = time;
    return true;
}

bool Journal::closeSegment(const Replay::Result& found)
{
    const QString closed = QFileInfo(m_path).dir().filePath(Replay::closedSegmentName(m_seq));
    // Windows renames no file open without sharing deletion: closed first, and
    // under the instance lock nobody else writes it meanwhile.
    closeJournal(m_fd);
    m_fd = -1;
    // A rename that fails (a reader holding the file on Windows) leaves the
    // segment open: it is closed at a later start.
    if (QDir().rename(m_path, closed) && !beginSegment(found))
        return false;
    bool created = false;
    return openJournal(m_path, m_fd, created) && !created && isUsable(m_fd);
}

bool Journal::append(const QString& event, QJsonObject fields)
{
    // A journal renamed, removed or given a second name is no longer the one the
    // folder names: nothing more is written to it. What a failed write left is
    // found as a start finds it.
    if (m_torn ? !reread() : !isStillNamed())
        return false;
    return write(event, std::move(fields));
}

QByteArray Journal::compose(const QString& event, QJsonObject fields, QDateTime& time) const
{
    fields.insert(QStringLiteral("seq"), double(m_seq + 1));
    // Never earlier than the line before, even when the clock is set back: the
    // verifier holds a run's times to that.
    time = QDateTime::currentDateTime();
    time = time.toOffsetFromUtc(time.offsetFromUtc());
    if (m_lastTime.isValid() && time < m_lastTime)
        time = m_lastTime.toOffsetFromUtc(time.offsetFromUtc());
    fields.insert(QStringLiteral("time"), time.toString(Qt::ISODateWithMs));
    fields.insert(QStringLiteral("event"), event);
    fields.insert(QStringLiteral("prev"), QString::fromLatin1(m_head));
    return QJsonDocument(fields).toJson(QJsonDocument::Compact);
}

bool Journal::write(const QString& event, QJsonObject fields, QByteArrayView before)
{
    QDateTime now;
    const QByteArray line = compose(event, std::move(fields), now);
    if (!FileIo::writeAll(m_fd, before.toByteArray() + line + '\n')) {
        m_torn = true; // part of the line may have landed
        return false;
    }
    ++m_seq;
    m_head = hash(line);
    m_lastTime = now;
    // The line is in the file, but not durable unless this holds.
    return !m_flushing || FileIo::flushToDisk(m_fd);
}
