#include "settings/atomicfile.h"

#include "settings/fileio.h"

#include <QFile>
#include <QFileInfo>

#include <QDir>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>

#include <tuple>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The longest chain of links followed, as the kernel's own limit.
constexpr int MaxLinks = 40;

QString temporaryPrefix(const QString& target)
{
    return QFileInfo(target).fileName() + QStringLiteral(".tmp");
}

QString randomSuffix()
{
    return QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFFULL, 16);
}

} // namespace

namespace AtomicFile {

std::optional<QString> finalPath(const QString& path)
{
    QFileInfo info(path);
    int links = 0;
    for (; info.isSymbolicLink(); ++links) {
        if (links == MaxLinks)
            return std::nullopt;
        info.setFile(info.symLinkTarget());
    }
    if (links == 0)
        return path; // in the caller's form: Windows paths may come with either separator
    if (!info.exists())
        return std::nullopt; // a dangling link
    return info.filePath();
}

#ifdef Q_OS_WIN

namespace {

std::wstring nativeName(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// A descriptor of the handle, for the shared read and write steps; it owns the
// handle from then on.
int descriptorOf(HANDLE handle, int flags)
{
    const int fd = ::_open_osfhandle(intptr_t(handle), flags | _O_BINARY);
    if (fd < 0)
        CloseHandle(handle);
    return fd;
}

bool isPlainFile(DWORD attributes)
{
    return !(attributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}

// Whether the current user owns the file: only our own temporaries are removed.
bool isOwnFile(const std::wstring& name)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(name.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool own = false;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        char buffer[256];
        DWORD size = 0;
        if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
            own = EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, owner);
        CloseHandle(token);
    }
    LocalFree(descriptor);
    return own;
}

// A temporary that a killed writer left: a plain file of our own whose name is
// the prefix, alone or with a random suffix. Links and folders stay unopened.
void removeLeftovers(const QString& folder, const QString& prefix)
{
    const QStringList names = QDir(folder).entryList(
        {prefix, prefix + QStringLiteral(".*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const std::wstring leftover = nativeName(QDir(folder).filePath(name));
        const DWORD attributes = GetFileAttributesW(leftover.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && isPlainFile(attributes) && isOwnFile(leftover))
            DeleteFileW(leftover.c_str());
    }
}

// A new file at a random name that nothing held before: CREATE_NEW refuses any
// existing entry, a planted link included. It has `attributes` from the start.
HANDLE createTemporary(const QString& folder, const QString& prefix, DWORD attributes,
                       std::wstring& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = nativeName(QDir(folder).filePath(prefix + u'.' + randomSuffix()));
        const HANDLE handle =
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
        const DWORD error = GetLastError();
        if (handle != INVALID_HANDLE_VALUE ||
            (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS))
            return handle;
    }
    return INVALID_HANDLE_VALUE;
}

// Windows refuses to rename over a file that another handle has open (a virus
// scanner, a backup, an editor), where POSIX would let the reader keep the old
// file. Such readers come and go: the rename is tried again for a while.
bool renameOver(const std::wstring& from, const std::wstring& to)
{
    constexpr int Attempts = 40;
    for (int attempt = 1;; ++attempt) {
        // Write-through: the call returns once the new name is on disk.
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if (attempt == Attempts ||
            (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION))
            return false;
        Sleep(50);
    }
}

} // namespace

std::optional<QByteArray> read(const QString& path, qint64 maxSize)
{
    const std::optional<QString> target = finalPath(path);
    if (!target)
        return std::nullopt;
    // Shared for deletion too: a replacement may rename over the file meanwhile,
    // as on POSIX.
    const HANDLE handle = CreateFileW(nativeName(*target).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return QByteArray();
        return std::nullopt;
    }
    // Checked on what was opened: a pipe or a device is never read.
    BY_HANDLE_FILE_INFORMATION info;
    const bool usable = GetFileType(handle) == FILE_TYPE_DISK &&
                        GetFileInformationByHandle(handle, &info) &&
                        isPlainFile(info.dwFileAttributes) && info.nNumberOfLinks <= 1 &&
                        ((qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow) <= maxSize;
    if (!usable) {
        CloseHandle(handle);
        return std::nullopt;
    }
    const int fd = descriptorOf(handle, _O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> content = FileIo::readAll(fd, maxSize);
    ::_close(fd);
    return content;
}

int openForReading(const QString& path)
{
    const std::optional<QString> target = finalPath(path);
    if (!target || !QFileInfo(*target).isFile())
        return -1;
    int fd = -1;
    // Shared for writing: the running program keeps appending to a journal it reads.
    ::_wsopen_s(&fd, nativeName(*target).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                0);
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
        const HANDLE handle = CreateFileW(
            nativeName(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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

// The temporary stands beside `target`, and only a plain file there is replaced.
bool replaceAt(const QString& target, const QByteArray& content)
{
    const std::wstring targetName = nativeName(target);
    const DWORD attributes = GetFileAttributesW(targetName.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    if (exists && (!isPlainFile(attributes) || (attributes & FILE_ATTRIBUTE_READONLY)))
        return false;

    const QString folder = QFileInfo(target).absolutePath();
    const QString prefix = temporaryPrefix(target);
    removeLeftovers(folder, prefix);
    // The replacement keeps the attributes a user gave the file (hidden, system).
    constexpr DWORD Kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD kept = exists ? attributes & Kept : 0;
    std::wstring temporary;
    const HANDLE handle =
        createTemporary(folder, prefix, kept ? kept : FILE_ATTRIBUTE_NORMAL, temporary);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const int fd = descriptorOf(handle, _O_WRONLY);
    if (fd < 0) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    bool done = FileIo::writeAll(fd, content) && FileIo::flushToDisk(fd);
    done = ::_close(fd) == 0 && done;
    done = done && renameOver(temporary, targetName);
    if (!done) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

bool replaceNamed(const QString& path, const QByteArray& content)
{
    return !QFileInfo(path).isSymLink() && replaceAt(QFileInfo(path).absoluteFilePath(), content);
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
        name = QFile::encodeName(QDir(folder).filePath(prefix + u'.' + randomSuffix()));
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
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink <= 1 &&
        info.st_size <= maxSize)
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

bool replaceNamed(const QString& path, const QByteArray& content)
{
    return replaceAt(QFileInfo(path).absoluteFilePath(), content); // its lstat refuses a link
}

#endif

bool replace(const QString& path, const QByteArray& content)
{
    const std::optional<QString> target = finalPath(path);
    return target && replaceAt(*target, content);
}

} // namespace AtomicFile
