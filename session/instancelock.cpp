#include "session/instancelock.h"

#include "settings/fileio.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

// The folder of the journal that goes with the settings file.
QString recordFolder(const QString& settingsFile)
{
    return QFileInfo(Common::journalPathFor(settingsFile)).absolutePath();
}

} // namespace

#ifdef Q_OS_WIN

// A named mutex per folder, named by the folder's identity (its volume and file
// index): every spelling of the folder (case, "..", a short name, a mapped drive,
// a linked folder) reaches the one mutex, and the mutex lives as long as a handle
// to it. The journal's own handle cannot be the lock: another program that holds
// the journal open (a backup, an editor) is no second instance.
std::unique_ptr<InstanceLock> InstanceLock::take(const QString& settingsFile, State* state)
{
    const auto fail = [state](State why) {
        if (state)
            *state = why;
        return std::unique_ptr<InstanceLock>();
    };
    const std::wstring folder = QDir::toNativeSeparators(recordFolder(settingsFile)).toStdWString();
    const HANDLE handle =
        CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return fail(State::Unavailable);
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info);
    CloseHandle(handle);
    if (!known)
        return fail(State::Unavailable);
    const QString name = QStringLiteral("Global\\Rindell-%1-%2-%3")
                             .arg(info.dwVolumeSerialNumber, 8, 16, QLatin1Char('0'))
                             .arg(info.nFileIndexHigh, 8, 16, QLatin1Char('0'))
                             .arg(info.nFileIndexLow, 8, 16, QLatin1Char('0'));
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.toStdWString().c_str());
    const DWORD error = GetLastError();
    if (mutex && error != ERROR_ALREADY_EXISTS) {
        if (state)
            *state = State::Taken;
        return std::unique_ptr<InstanceLock>(new InstanceLock(qintptr(mutex)));
    }
    if (mutex)
        CloseHandle(mutex);
    // A mutex of that name that this user may not open is held all the same.
    return fail(mutex || error == ERROR_ACCESS_DENIED ? State::HeldByAnother : State::Unavailable);
}

InstanceLock::~InstanceLock()
{
    CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

#else

// An exclusive flock on the folder, opened for reading: a lock on the journal
// would go with it when the journal is renamed away, and a second instance would
// start beside a new one. Another user who may read the folder can take it too,
// and so keep the program from starting; never from writing a record.
std::unique_ptr<InstanceLock> InstanceLock::take(const QString& settingsFile, State* state)
{
    const QByteArray folder = QFile::encodeName(recordFolder(settingsFile));
    const int fd = FileIo::retryOnInterrupt(
        [&] { return ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    State taken = State::Unavailable;
    if (fd >= 0) {
        if (FileIo::retryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0)
            taken = State::Taken;
        else if (errno == EWOULDBLOCK)
            taken = State::HeldByAnother;
    }
    if (state)
        *state = taken;
    if (taken == State::Taken)
        return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
    if (fd >= 0)
        ::close(fd);
    return nullptr;
}

InstanceLock::~InstanceLock()
{
    ::close(int(m_handle));
}

#endif

bool InstanceLock::isHeldByAnother(const QString& settingsFile)
{
    State state = State::Unavailable;
    take(settingsFile, &state);
    return state == State::HeldByAnother;
}
