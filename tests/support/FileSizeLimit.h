#pragma once

#include <csignal>

#include <sys/resource.h>

// While it lives, no file of this process can grow beyond maxBytes: writes
// past it fail as on a full disk (EFBIG; SIGXFSZ is ignored meanwhile).
class FileSizeLimit
{
public:
    explicit FileSizeLimit (rlim_t maxBytes)
    {
        getrlimit (RLIMIT_FSIZE, &saved);
        savedHandler = std::signal (SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = maxBytes;
        setrlimit (RLIMIT_FSIZE, &limit);
    }

    ~FileSizeLimit()
    {
        setrlimit (RLIMIT_FSIZE, &saved);
        std::signal (SIGXFSZ, savedHandler);
    }

    FileSizeLimit (const FileSizeLimit&) = delete;
    FileSizeLimit& operator= (const FileSizeLimit&) = delete;

private:
    rlimit saved{};
    void (*savedHandler) (int) = SIG_DFL;
};
