#include "main_window/singleinstance.h"

#include "settings/settings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>

namespace SingleInstance {

bool anotherIsRunning()
{
    // A lock file per settings file: the lock of a killed instance is recognised by
    // its dead process id and taken over, so a crash never blocks the next start.
    static QLockFile lock(QDir::temp().filePath(
        QStringLiteral("rindell-%1.lock")
            .arg(QString::fromLatin1(QCryptographicHash::hash(Common::GetIniFilePath().toUtf8(),
                                                              QCryptographicHash::Sha1)
                                         .toHex()
                                         .left(16)))));
    static const bool another = [] {
        lock.setStaleLockTime(0);
        return !lock.tryLock(0) && lock.error() == QLockFile::LockFailedError;
    }();
    return another;
}

} // namespace SingleInstance
