#include "filesizelimit.h"

#ifndef Q_OS_WIN
#include <csignal>

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    // The signal would end the process; ignored, the write fails with EFBIG instead.
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &m_old);
    rlimit limited = m_old;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
}
#endif
