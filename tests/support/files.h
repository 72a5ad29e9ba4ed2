#pragma once

#include <QByteArray>
#include <QString>

// Whole files, for arranging and checking what the program reads and writes.
namespace Files {

// The file's bytes; empty when it cannot be read.
QByteArray read(const QString& path);
// Replaces the file's content; false when it cannot be written.
bool write(const QString& path, const QByteArray& content);

} // namespace Files
