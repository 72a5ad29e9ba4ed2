#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Whole-file reads and crash-safe replacement of the settings file.
namespace AtomicFile {

// The file's bytes; empty when the file does not exist; nothing when it exists
// but cannot be read (a folder in its place, no permission).
std::optional<QByteArray> read(const QString& path);

// The one temporary file a replacement of `path` uses. Its name is fixed, so a
// temporary left by a killed process is taken over by the next write instead of
// piling up; only one instance of the program writes the file.
QString temporaryPath(const QString& path);

// Writes `content` to the temporary file beside `path`, flushes it to disk and
// renames it over `path`, then flushes the folder. A read-only `path` is not
// replaced. On any failure `path` keeps its old content, the temporary file is
// removed, and the result is false.
bool replace(const QString& path, const QByteArray& content);

} // namespace AtomicFile
