#include "support/PrivateXServer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

PrivateXServer::PrivateXServer()
{
    // Xvfb picks a free display number itself and writes it to this pipe once
    // it accepts clients.
    int fds[2];
    if (pipe (fds) != 0)
    {
        ADD_FAILURE() << "pipe: " << std::strerror (errno);
        return;
    }
    const std::string fd = std::to_string (fds[1]);
    const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen", "0",
                          "1280x1024x24", "-nolisten",  "tcp",      nullptr};
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0)
    {
        // The server goes with the test process, even when a time limit kills it.
        prctl (PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit (1);
        close (fds[0]);
        execvp ("Xvfb", const_cast<char**> (argv));
        _exit (127);
    }
    close (fds[1]);
    if (child < 0)
    {
        close (fds[0]);
        ADD_FAILURE() << "fork: " << std::strerror (errno);
        return;
    }
    pid = child;

    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    while (poll (&readable, 1, 20000) == 1)
    {
        char c = 0;
        if (read (fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close (fds[0]);
    if (number.empty())
        ADD_FAILURE() << "Xvfb did not report its display";
    else
        displayName = ":" + number;
}

PrivateXServer::~PrivateXServer()
{
    if (pid <= 0)
        return;
    // SIGTERM lets Xvfb remove its lock file and socket.
    kill (pid, SIGTERM);
    waitpid (pid, nullptr, 0);
}

std::vector<std::string> PrivateXServer::environment() const
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp (*e, "DISPLAY=", 8) != 0)
            env.emplace_back (*e);
    env.push_back ("DISPLAY=" + displayName);
    return env;
}
