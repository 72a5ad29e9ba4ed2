#pragma once

#include <QByteArray>
#include <QString>

// Whole files, for arranging and checking what the program reads and writes.
namespace Files {

// Why the cases of symbolic links are skipped on Windows.
inline constexpr char NoLinksOnWindows[] =
    "no symbolic links on this Windows (Wine 8 makes none; Windows only in developer mode)";

// The file's bytes; empty when it cannot be read.
QByteArray read(const QString& path);
// Replaces the file's content; false when it cannot be written.
bool write(const QString& path, const QByteArray& content);
// The program built at `path` (named without a suffix): ".exe" is added on Windows.
QString executable(const QString& path);
// The program built with the suites, two folders up from each suite's own.
QString builtProgram();
// A second name for the file (a hard link).
bool hardLink(const QString& existing, const QString& name);
#ifdef Q_OS_WIN
// The file held open as another program may hold it (a backup or sync tool, an
// editor), sharing only what `share` allows (FILE_SHARE_* bits), until destroyed.
class HeldFile
{
  public:
    HeldFile(const QString& path, unsigned long share);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool isHeld() const;

  private:
    void* m_handle;
};
#endif
// Makes the file another user's; false where this process may not (only root may
// on Linux, only an administrator on Windows).
bool giveToAnotherUser(const QString& path);

} // namespace Files
