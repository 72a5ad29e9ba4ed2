#pragma once

#include <QByteArrayView>

// The two steps of every durable write, on a file descriptor.
namespace FileIo {

// Writes all of `bytes`, going on after short writes and interrupted calls.
bool writeAll(int fd, QByteArrayView bytes);
// Flushes the file to the disk (fsync, _commit).
bool flushToDisk(int fd);

} // namespace FileIo
