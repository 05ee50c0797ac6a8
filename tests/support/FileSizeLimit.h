#pragma once

#include <csignal>

#include <sys/resource.h>

// While it lives, no file of this process can grow beyond maxBytes. By
// default SIGXFSZ is ignored meanwhile, so that writes past the limit fail as
// on a full disk (EFBIG) whatever the code under test does about the signal;
// leaveSignalAlone keeps the process's own disposition, for testing that.
class FileSizeLimit
{
public:
    enum Signal
    {
        ignoreSignalMeanwhile,
        leaveSignalAlone
    };

    explicit FileSizeLimit (rlim_t maxBytes, Signal signal = ignoreSignalMeanwhile)
        : touchesSignal (signal == ignoreSignalMeanwhile)
    {
        getrlimit (RLIMIT_FSIZE, &saved);
        if (touchesSignal)
            savedHandler = std::signal (SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = maxBytes;
        setrlimit (RLIMIT_FSIZE, &limit);
    }

    ~FileSizeLimit()
    {
        setrlimit (RLIMIT_FSIZE, &saved);
        if (touchesSignal)
            std::signal (SIGXFSZ, savedHandler);
    }

    FileSizeLimit (const FileSizeLimit&) = delete;
    FileSizeLimit& operator= (const FileSizeLimit&) = delete;

private:
    const bool touchesSignal;
    rlimit saved{};
    void (*savedHandler) (int) = SIG_DFL;
};
