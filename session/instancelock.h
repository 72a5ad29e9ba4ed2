#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

// The lock that lets one instance of the program run per record: per folder that
// holds the journal, the folder that the settings file's links finally lead to.
// It is the folder itself, not a file in it, so that no rename, removal or
// replacement of the journal or the settings file moves it, and every path, link
// or mount that reaches the folder reaches the lock. The operating system drops
// it when the process dies: a kill leaves no stale lock.
class InstanceLock
{
  public:
    enum class State { Taken, HeldByAnother, Unavailable };

    // Takes the lock of the record of the settings file `settingsFile`. Nothing
    // when another process holds it, or the folder cannot be opened (`state`
    // then says which).
    static std::unique_ptr<InstanceLock> take(const QString& settingsFile, State* state = nullptr);
    // Whether another process holds that lock, and so runs on the same record.
    static bool isHeldByAnother(const QString& settingsFile);

    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

  private:
    explicit InstanceLock(qintptr handle) : m_handle(handle) {}

    qintptr m_handle; // the folder's descriptor on POSIX, the mutex on Windows
};
