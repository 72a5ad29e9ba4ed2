#include "files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <aclapi.h>
#else
#include <unistd.h>
#endif

namespace Files {

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

QString executable(const QString& path)
{
#ifdef Q_OS_WIN
    return path + QStringLiteral(".exe");
#else
    return path;
#endif
}

QString builtProgram()
{
    return executable(QCoreApplication::applicationDirPath() + QStringLiteral("/../../rindell"));
}

bool hardLink(const QString& existing, const QString& name)
{
#ifdef Q_OS_WIN
    return CreateHardLinkW(QDir::toNativeSeparators(name).toStdWString().c_str(),
                           QDir::toNativeSeparators(existing).toStdWString().c_str(), nullptr);
#else
    return ::link(QFile::encodeName(existing).constData(), QFile::encodeName(name).constData()) ==
           0;
#endif
}

#ifdef Q_OS_WIN
HeldFile::HeldFile(const QString& path, unsigned long share)
    : m_handle(CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(), GENERIC_READ,
                           share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
{
}

HeldFile::~HeldFile()
{
    if (isHeld())
        CloseHandle(m_handle);
}

bool HeldFile::isHeld() const
{
    return m_handle != INVALID_HANDLE_VALUE;
}
#endif

bool giveToAnotherUser(const QString& path)
{
#ifdef Q_OS_WIN
    // The local service account stands for the other user.
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    if (!CreateWellKnownSid(WinLocalServiceSid, nullptr, sid, &size))
        return false;
    std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    if (SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, sid, nullptr,
                              nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    // Wine reports success and keeps the owner: read it back.
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const bool given = EqualSid(owner, sid);
    LocalFree(descriptor);
    return given;
#else
    return ::geteuid() == 0 && ::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0;
#endif
}

} // namespace Files
