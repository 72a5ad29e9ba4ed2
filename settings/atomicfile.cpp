#include "settings/atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::filesystem::path nativePath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

#ifdef Q_OS_WIN
int openTemporary(const QString& path, const QString& /*target*/)
{
    return ::_wopen(reinterpret_cast<const wchar_t*>(path.utf16()),
                    _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}
int writeSome(int fd, const char* data, qsizetype size)
{
    return ::_write(fd, data, unsigned(std::min<qsizetype>(size, 1 << 30)));
}
bool flushToDisk(int fd)
{
    return ::_commit(fd) == 0;
}
int closeFile(int fd)
{
    return ::_close(fd);
}
void syncFolder(const QString&) {}
#else
int openTemporary(const QString& path, const QString& target)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    // The replacement keeps the old file's permissions and owner.
    struct stat old;
    if (fd >= 0 && ::stat(QFile::encodeName(target).constData(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away; anyone else keeps their own.
        }
    }
    return fd;
}
ssize_t writeSome(int fd, const char* data, qsizetype size)
{
    return ::write(fd, data, size_t(size));
}
bool flushToDisk(int fd)
{
    return ::fsync(fd) == 0;
}
int closeFile(int fd)
{
    return ::close(fd);
}
// The rename is durable only once the folder's entry is on disk too.
void syncFolder(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
#endif

bool writeAll(int fd, const QByteArray& content)
{
    const char* data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const auto written = writeSome(fd, data, left);
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

namespace AtomicFile {

std::optional<QByteArray> read(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return QByteArray();
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return content;
}

QString temporaryPath(const QString& path)
{
    return path + QStringLiteral(".tmp");
}

bool replace(const QString& linkOrPath, const QByteArray& content)
{
    // A settings file reached through a link is replaced where it lives; the link stays.
    const QFileInfo link(linkOrPath);
    const QString path = link.isSymLink() ? link.symLinkTarget() : linkOrPath;
    const QFileInfo target(path);
    if (target.isDir() || (target.exists() && !target.isWritable()))
        return false;

    const QString temporary = temporaryPath(path);
    const int fd = openTemporary(temporary, path);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, content) && flushToDisk(fd);
    const bool closed = closeFile(fd) == 0;
    std::error_code error;
    if (written && closed)
        std::filesystem::rename(nativePath(temporary), nativePath(path), error);
    if (!written || !closed || error) {
        QFile::remove(temporary);
        return false;
    }
    syncFolder(path);
    return true;
}

} // namespace AtomicFile
