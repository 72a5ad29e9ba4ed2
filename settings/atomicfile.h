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
// opened for a blocking read), over `maxSize`, unreadable, a link loop or a
// dangling link.
std::optional<QByteArray> read(const QString& path, qint64 maxSize = MaxSize);

// Writes `content` to a fresh temporary file beside the final file, created
// exclusively (nothing already at a name is ever opened), flushes it to disk,
// renames it over the final file and flushes the folder. Every link on the way
// stays. A read-only or non-regular final file is not replaced. On any failure
// the final file keeps its old content, the temporary file is removed, and the
// result is false. Temporaries of our own that a killed writer left are removed.
// On Windows, where a file open elsewhere cannot be renamed over, the rename is
// tried again for up to two seconds.
bool replace(const QString& path, const QByteArray& content);

} // namespace AtomicFile
