#include "settings/atomicfile.h"

#include "settings/fileio.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QDir>
#include <QSaveFile>
#include <qt_windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>

#include <tuple>
#else
#include <QDir>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The longest chain of links followed, as the kernel's own limit.
constexpr int MaxLinks = 40;

} // namespace

namespace AtomicFile {

std::optional<QString> finalPath(const QString& path)
{
    QFileInfo info(path);
    for (int links = 0; info.isSymbolicLink(); ++links) {
        if (links == MaxLinks)
            return std::nullopt;
        info.setFile(info.symLinkTarget());
    }
    if (info.filePath() != path && !info.exists())
        return std::nullopt; // a dangling link
    return info.filePath();
}

#ifdef Q_OS_WIN

std::optional<QByteArray> read(const QString& path, qint64 maxSize)
{
    const std::optional<QString> target = finalPath(path);
    if (!target)
        return std::nullopt;
    const QFileInfo info(*target);
    if (!info.exists())
        return QByteArray();
    if (!info.isFile() || info.size() > maxSize)
        return std::nullopt;
    QFile file(*target);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = file.read(maxSize + 1);
    if (file.error() != QFileDevice::NoError || content.size() > maxSize)
        return std::nullopt;
    return content;
}

int openForReading(const QString& path)
{
    const std::optional<QString> target = finalPath(path);
    if (!target || !QFileInfo(*target).isFile())
        return -1;
    int fd = -1;
    // Shared for writing: the running program keeps appending to a journal it reads.
    ::_wsopen_s(&fd, reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(*target).utf16()),
                _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0);
    return fd;
}

void closeDescriptor(int fd)
{
    ::_close(fd);
}

bool isSameFile(const QString& first, const QString& second)
{
    // The volume and the file index name a file whatever path or hard link reached it.
    const auto identity =
        [](const QString& path) -> std::optional<std::tuple<DWORD, DWORD, DWORD>> {
        const HANDLE handle =
            CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), 0,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return std::nullopt;
        BY_HANDLE_FILE_INFORMATION info;
        const bool known = GetFileInformationByHandle(handle, &info);
        CloseHandle(handle);
        if (!known)
            return std::nullopt;
        return std::tuple(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
    };
    const auto a = identity(first);
    return a && a == identity(second);
}

namespace {

// QSaveFile creates its temporary exclusively and replaces the target in one
// rename; NTFS has no FIFOs or devices to plant at a name.
bool replaceAt(const QString& target, const QByteArray& content)
{
    const QFileInfo info(target);
    if (info.exists() && (!info.isFile() || !info.isWritable()))
        return false;
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

} // namespace

bool replace(const QString& path, const QByteArray& content)
{
    const std::optional<QString> target = finalPath(path);
    return target && replaceAt(*target, content);
}

bool replaceNamed(const QString& path, const QByteArray& content)
{
    return !QFileInfo(path).isSymLink() && replaceAt(path, content);
}

#else

namespace {

// The rename is durable only once the folder's entry is on disk too.
void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        FileIo::flushToDisk(fd);
        ::close(fd);
    }
}

QString temporaryPrefix(const QString& target)
{
    return QFileInfo(target).fileName() + QStringLiteral(".tmp");
}

// A temporary that a killed writer left: a regular file of our own whose name is
// the prefix, alone or with a random suffix. Anything else (another user's file,
// a link, a FIFO) is not touched, not even opened.
void removeLeftovers(const QString& folder, const QString& prefix)
{
    const QStringList names = QDir(folder).entryList(
        {prefix, prefix + QStringLiteral(".*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QByteArray leftover = QFile::encodeName(QDir(folder).filePath(name));
        struct stat info;
        if (::lstat(leftover.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid())
            ::unlink(leftover.constData());
    }
}

// A new file at a random name that nothing held before: O_EXCL refuses any
// existing entry, a planted link included. The process umask applies, as it
// would to a file created by an ordinary write.
int createTemporary(const QString& folder, const QString& prefix, QByteArray& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString suffix =
            QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFFULL, 16);
        name = QFile::encodeName(QDir(folder).filePath(prefix + u'.' + suffix));
        const int fd = FileIo::retryOnInterrupt([&] {
            return ::open(name.constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
        });
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

int openForReading(const QString& path)
{
    const std::optional<QString> target = finalPath(path);
    if (!target)
        return -1;
    const QByteArray name = QFile::encodeName(*target);
    const int fd = FileIo::retryOnInterrupt(
        [&] { return ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC); });
    struct stat info;
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd); // a FIFO opened without blocking is never read
        return -1;
    }
    return fd;
}

void closeDescriptor(int fd)
{
    ::close(fd);
}

bool isSameFile(const QString& first, const QString& second)
{
    struct stat a;
    struct stat b;
    return ::stat(QFile::encodeName(first).constData(), &a) == 0 &&
           ::stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

std::optional<QByteArray> read(const QString& path, qint64 maxSize)
{
    const std::optional<QString> target = finalPath(path);
    if (!target)
        return std::nullopt;
    const QByteArray name = QFile::encodeName(*target);
    const int fd = FileIo::retryOnInterrupt(
        [&] { return ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC); });
    if (fd < 0) {
        if (errno == ENOENT)
            return QByteArray();
        return std::nullopt;
    }
    // Checked on what was opened: a FIFO opened without blocking is never read.
    struct stat info;
    std::optional<QByteArray> content;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= maxSize)
        content = FileIo::readAll(fd, maxSize); // the file may grow after the fstat
    ::close(fd);
    return content;
}

namespace {

// The temporary stands beside `target`, and only a regular file there is replaced.
bool replaceAt(const QString& target, const QByteArray& content)
{
    const QByteArray targetName = QFile::encodeName(target);
    struct stat old;
    const bool exists = ::lstat(targetName.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return false;
    if (exists && (!S_ISREG(old.st_mode) || ::access(targetName.constData(), W_OK) != 0))
        return false;

    const QString folder = QFileInfo(target).absolutePath();
    const QString prefix = temporaryPrefix(target);
    removeLeftovers(folder, prefix);
    QByteArray temporary;
    const int fd = createTemporary(folder, prefix, temporary);
    if (fd < 0)
        return false;
    if (exists) {
        // The replacement keeps the old file's permissions and, where we may, its owner.
        ::fchmod(fd, old.st_mode & 07777);
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away; anyone else keeps their own.
        }
    }
    bool done = FileIo::writeAll(fd, content) && FileIo::flushToDisk(fd);
    done = ::close(fd) == 0 && done;
    done = done && ::rename(temporary.constData(), targetName.constData()) == 0;
    if (!done) {
        ::unlink(temporary.constData());
        return false;
    }
    syncFolder(QFile::encodeName(folder));
    return true;
}

} // namespace

bool replace(const QString& path, const QByteArray& content)
{
    const std::optional<QString> target = finalPath(path);
    return target && replaceAt(*target, content);
}

bool replaceNamed(const QString& path, const QByteArray& content)
{
    return replaceAt(QFileInfo(path).absoluteFilePath(), content); // its lstat refuses a link
}

#endif

} // namespace AtomicFile
