#include "settings/fileio.h"

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>

namespace FileIo {

namespace {

// One read of at most `size` bytes; -1 on failure.
qsizetype readSome(int fd, char* data, qsizetype size)
{
#ifdef Q_OS_WIN
    return ::_read(fd, data, unsigned(std::min<qsizetype>(size, 1 << 30)));
#else
    return retryOnInterrupt([&] { return ::read(fd, data, size_t(size)); });
#endif
}

} // namespace

std::optional<QByteArray> readAll(int fd, qsizetype limit)
{
    QByteArray bytes;
    qsizetype total = 0;
    for (;;) {
        // Room for one byte beyond the limit tells a file that is too large.
        if (total == bytes.size())
            bytes.resize(std::min(std::max<qsizetype>(2 * total, 64 * 1024), limit + 1));
        const qsizetype got = readSome(fd, bytes.data() + total, bytes.size() - total);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        total += got;
        if (total > limit)
            return std::nullopt;
    }
    bytes.truncate(total);
    return bytes;
}

#ifdef Q_OS_WIN
bool writeAll(int fd, QByteArrayView bytes)
{
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const int written = ::_write(fd, data, unsigned(std::min<qsizetype>(left, 1 << 30)));
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

bool flushToDisk(int fd)
{
    return ::_commit(fd) == 0;
}
#else
bool writeAll(int fd, QByteArrayView bytes)
{
    const char* data = bytes.data();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = retryOnInterrupt([&] { return ::write(fd, data, left); });
        if (written <= 0)
            return false;
        data += written;
        left -= size_t(written);
    }
    return true;
}

bool flushToDisk(int fd)
{
    return retryOnInterrupt([&] { return ::fsync(fd); }) == 0;
}
#endif

} // namespace FileIo
