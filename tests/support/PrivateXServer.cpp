#include "support/PrivateXServer.h"

#include "support/ProgramUnderTest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

PrivateXServer::PrivateXServer()
{
    // Numbers from 200 up: left to itself Xvfb takes the lowest free one, often
    // :0, where a program started without DISPLAY would find it. A number that
    // another server holds, or takes first, makes Xvfb exit; the next is tried.
    const int first = 200 + (int)(getpid() % 500);
    for (int number = first; number < first + 50 && displayName.empty(); ++number)
        if (!juce::File ("/tmp/.X" + juce::String (number) + "-lock").exists())
            startOn (number);
    if (displayName.empty())
        ADD_FAILURE() << "Xvfb did not start on any of :" << first << " to :" << first + 49;
}

void PrivateXServer::startOn (int number)
{
    // Xvfb writes its display number to this pipe once it accepts clients.
    int fds[2];
    if (pipe (fds) != 0)
    {
        ADD_FAILURE() << "pipe: " << std::strerror (errno);
        return;
    }
    const std::string display = ":" + std::to_string (number);
    const std::string fd = std::to_string (fds[1]);
    const char* argv[] = {"Xvfb", display.c_str(), "-displayfd", fd.c_str(), "-screen",
                          "0",    "1280x1024x24",  "-nolisten",  "tcp",      nullptr};
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

    std::string reported;
    pollfd readable{fds[0], POLLIN, 0};
    while (poll (&readable, 1, 20000) == 1)
    {
        char c = 0;
        if (read (fds[0], &c, 1) != 1 || c == '\n')
            break;
        reported += c;
    }
    close (fds[0]);
    if (reported == std::to_string (number))
    {
        pid = child;
        displayName = display;
        return;
    }
    kill (child, SIGTERM);
    waitpid (child, nullptr, 0);
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
    return environmentWithDisplay (displayName.c_str());
}
