#include "main_window/singleinstance.h"

#include "settings/atomicfile.h"
#include "settings/settings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

enum class Lock { Taken, HeldByAnother, Unavailable };

// The lock is held by the operating system for as long as the process lives: a
// killed instance releases it at once, and what the file holds (nothing after a
// power cut, garbage) does not matter.
#ifdef Q_OS_WIN
Lock take(const QString& path)
{
    // Open without sharing: a second open fails while the first handle lives.
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                    GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        return Lock::Taken; // kept open until the process ends
    return GetLastError() == ERROR_SHARING_VIOLATION ? Lock::HeldByAnother : Lock::Unavailable;
}
#else
Lock take(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return Lock::Unavailable;
    struct stat info;
    // Only a regular file of our own is a lock; anything else is not honoured.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        return Lock::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return Lock::Taken; // the descriptor stays open until the process ends
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? Lock::HeldByAnother : Lock::Unavailable;
}
#endif

} // namespace

namespace SingleInstance {

QString lockPath(const QString& settingsFile)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return {};
    // The final file, its folder's links resolved too; a file not made yet has no
    // links to follow.
    const QFileInfo final(AtomicFile::finalPath(settingsFile).value_or(settingsFile));
    const QString canonicalFolder = QFileInfo(final.absolutePath()).canonicalFilePath();
    const QString key = QDir(canonicalFolder.isEmpty() ? final.absolutePath() : canonicalFolder)
                            .filePath(final.fileName());
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return QDir(folder).filePath(QStringLiteral("rindell-%1.lock").arg(QLatin1String(hash)));
}

bool anotherIsRunning()
{
    // Where no lock can be made at all the program starts anyway: nothing is lost,
    // since every write still goes through the safe path.
    static const bool another = [] {
        const QString path = lockPath(Common::GetIniFilePath());
        return !path.isEmpty() && take(path) == Lock::HeldByAnother;
    }();
    return another;
}

} // namespace SingleInstance
