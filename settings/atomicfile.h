#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Guarded whole-file reads and crash-safe replacement of the settings file.
namespace AtomicFile {

// Far above anything the program writes (its own file stays under 16 KiB): a
// larger file is refused, never loaded whole.
constexpr qint64 MaxSize = 1 << 20;

// The file a path finally leads to, every link in a chain followed; the path
// itself when it is no link. Nothing for a link loop or a dangling link.
std::optional<QString> finalPath(const QString& path);

// The file's bytes; empty when nothing exists at `path`. Nothing when something
// exists there but cannot be used: not a regular file (a FIFO or a device is never
// opened for a blocking read), a file with a second name (a hard link: a
// replacement would split the two names), over `maxSize`, unreadable, a link
// loop or a dangling link.
std::optional<QByteArray> read(const QString& path, qint64 maxSize = MaxSize);
// The same file opened for reading, for a reader that streams it: a descriptor
// of a regular file (the final file of a link), or -1. Closed with closeDescriptor.
int openForReading(const QString& path);
void closeDescriptor(int fd);

// Whether two paths lead to one file (the same file, not the same name: links
// and hard links included). False when either is missing.
bool isSameFile(const QString& first, const QString& second);

// Writes `content` to a fresh temporary file beside the final file, created
// exclusively (nothing already at a name is ever opened), flushes it to disk,
// renames it over the final file and flushes the folder. Every link on the way
// stays. A read-only or non-regular final file is not replaced. On any failure
// the final file keeps its old content, the temporary file is removed, and the
// result is false. Temporaries of our own that a killed writer left are removed.
// On Windows, where a file open elsewhere cannot be renamed over, the rename is
// tried again for up to two seconds.
bool replace(const QString& path, const QByteArray& content);

// As replace, for a file a user names: a link at `path` is refused, never
// followed, and the temporary file stands beside `path` itself.
bool replaceNamed(const QString& path, const QByteArray& content);

} // namespace AtomicFile
