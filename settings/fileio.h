#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <limits>
#include <optional>

#ifndef Q_OS_WIN
#include <cerrno>
#endif

// The steps of every careful read and durable write, on a file descriptor.
namespace FileIo {

#ifndef Q_OS_WIN
// Repeats a system call that a signal interrupted before it did anything.
template <typename Call> auto retryOnInterrupt(Call call)
{
    decltype(call()) result;
    do
        result = call();
    while (result == -1 && errno == EINTR);
    return result;
}
#endif

// Reads from the descriptor's position to the end; nothing when a read fails or
// the file holds more than `limit` bytes.
std::optional<QByteArray> readAll(int fd,
                                  qsizetype limit = std::numeric_limits<qsizetype>::max() - 1);
// Writes all of `bytes`, going on after short writes and interrupted calls.
bool writeAll(int fd, QByteArrayView bytes);
// Flushes the file to the disk (fsync, _commit).
bool flushToDisk(int fd);

} // namespace FileIo
