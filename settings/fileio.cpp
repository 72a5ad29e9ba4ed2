#include "settings/fileio.h"

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

#include <algorithm>

namespace FileIo {

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
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= size_t(written);
    }
    return true;
}

bool flushToDisk(int fd)
{
    int result;
    do
        result = ::fsync(fd);
    while (result != 0 && errno == EINTR);
    return result == 0;
}
#endif

} // namespace FileIo
