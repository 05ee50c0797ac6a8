#pragma once

#include <cerrno>
#include <functional>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

// Runs body in a child process, a fork of this one, and returns the text
// that body returned, or "child process failed" when the child did not end
// normally. Whatever the child changes (its limits, signals, user) stays
// with it. The child ends with _exit: no test framework or JUCE teardown
// runs in it, so body should only work with files and plain data.
inline std::string runInChildProcess (const std::function<std::string()>& body)
{
    int fds[2];
    if (pipe (fds) != 0)
        return "pipe failed";

    const pid_t pid = fork();
    if (pid < 0)
    {
        close (fds[0]);
        close (fds[1]);
        return "fork failed";
    }

    if (pid == 0)
    {
        close (fds[0]);
        const std::string text = body();
        size_t done = 0;
        while (done < text.size())
        {
            const ssize_t n = write (fds[1], text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += (size_t)n;
        }
        _exit (done == text.size() ? 0 : 1);
    }

    close (fds[1]);
    std::string text;
    char buffer[4096];
    for (;;)
    {
        const ssize_t n = read (fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append (buffer, (size_t)n);
    }
    close (fds[0]);

    int status = 0;
    while (waitpid (pid, &status, 0) < 0 && errno == EINTR)
    {
    }
    if (!WIFEXITED (status) || WEXITSTATUS (status) != 0)
        return "child process failed";
    return text;
}
