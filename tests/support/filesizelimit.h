#pragma once

#include <QtGlobal>

#ifdef Q_OS_WIN
// The reason the full-disk cases are skipped there.
#define NO_FILE_SIZE_LIMIT "Windows has no per-process file size limit to stand for a full disk"
#else
#include <sys/resource.h>

// While it lives, no file of the process may grow beyond `bytes`: a write past
// that fails as on a full disk, for root too.
class FileSizeLimit
{
  public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};
#endif
