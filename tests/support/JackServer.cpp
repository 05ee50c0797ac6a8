#include "support/JackServer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
std::string uniqueServerName()
{
    static std::atomic<int> counter{0};
    return "tolvane_test_" + std::to_string (getpid()) + "_" + std::to_string (counter++);
}

// JACK keeps every server of the machine in one registry of eight slots, and
// frees a slot only when its server ends cleanly or when a server of the same
// name registers again. A server that died by SIGKILL (or a crash) holds its
// slot for good; enough of them and no server can start. A short, cleanly
// ended run of a server under the dead one's name frees the slot.
void runAndEndCleanly (const std::string& name)
{
    const pid_t child = fork();
    if (child == 0)
    {
        prctl (PR_SET_PDEATHSIG, SIGKILL);
        const int fd = open ("/dev/null", O_WRONLY);
        if (fd >= 0)
        {
            dup2 (fd, 1);
            dup2 (fd, 2);
        }
        execlp ("jackd", "jackd", "--no-realtime", "-n", name.c_str(), "-d", "dummy", (char*)nullptr);
        _exit (127);
    }
    if (child < 0)
        return;

    // Only a server that has finished starting ends cleanly on SIGTERM.
    const std::string lsp = "JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER=" + name + " jack_lsp 2>/dev/null";
    for (int i = 0; i < 100 && waitpid (child, nullptr, WNOHANG) == 0; ++i)
    {
        std::string out;
        if (FILE* p = popen (lsp.c_str(), "r"))
        {
            char buf[256];
            while (fgets (buf, sizeof buf, p) != nullptr)
                out += buf;
            pclose (p);
        }
        if (out.find ("system:") != std::string::npos)
            break;
        std::this_thread::sleep_for (std::chrono::milliseconds (50));
    }
    ::kill (child, SIGTERM);
    waitpid (child, nullptr, 0);
}

// JACK's registry holds eight servers for the whole machine, and parallel
// test runs (several programs, several checkouts) would take them all. Each
// server of this fixture first takes one of a few machine-wide lock files and
// holds it for its life; the lock goes with the process, even on a crash.
// One slot: servers running side by side break each other's clients now and
// then ("Could not write notification", JUCE's device then missing).
constexpr int kServerSlots = 1;

int acquireServerSlot()
{
    for (;;)
    {
        for (int i = 0; i < kServerSlots; ++i)
        {
            const std::string path = "/tmp/tolvane-jack-slot-" + std::to_string (i) + ".lock";
            const int fd = open (path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
            if (fd < 0)
                continue;
            if (flock (fd, LOCK_EX | LOCK_NB) == 0)
                return fd;
            close (fd);
        }
        std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }
}

// Names of the registry's servers whose process no longer exists.
std::vector<std::string> deadRegisteredServers()
{
    std::vector<std::string> names;
    FILE* f = fopen ("/dev/shm/jack-shm-registry", "rb");
    if (f == nullptr)
        return names;
    std::string bytes;
    char buf[4096];
    for (size_t n; (n = fread (buf, 1, sizeof buf, f)) > 0;)
        bytes.append (buf, n);
    fclose (f);

    // Each slot: the server's pid (int32), then "jack-<uid>:<name>:".
    const std::string prefix = "jack-" + std::to_string (getuid()) + ":";
    for (size_t at = bytes.find (prefix); at != std::string::npos; at = bytes.find (prefix, at + 1))
    {
        const size_t nameStart = at + prefix.size();
        const size_t nameEnd = bytes.find (':', nameStart);
        if (at < 4 || nameEnd == std::string::npos || bytes.find ('\0', nameStart) < nameEnd)
            continue;
        int32_t pid = 0;
        memcpy (&pid, bytes.data() + at - 4, sizeof pid);
        if (pid > 0 && ::kill (pid, 0) != 0 && errno == ESRCH)
            names.push_back (bytes.substr (nameStart, nameEnd - nameStart));
    }
    return names;
}
} // namespace

JackServer::JackServer() : JackServer (Options{}) {}

JackServer::JackServer (Options options) : opts (options), serverName (uniqueServerName())
{
    if (const char* s = getenv ("JACK_DEFAULT_SERVER"))
    {
        hadOldServer = true;
        oldServer = s;
    }
    setenv ("JACK_DEFAULT_SERVER", serverName.c_str(), 1);
    setenv ("JACK_NO_START_SERVER", "1", 1);
    slotLock = acquireServerSlot();
    start();
}

JackServer::~JackServer()
{
    stop (SIGTERM);
    if (diedUnclean)
        runAndEndCleanly (serverName);

    if (hadOldServer)
        setenv ("JACK_DEFAULT_SERVER", oldServer.c_str(), 1);
    else
        unsetenv ("JACK_DEFAULT_SERVER");

    // The server removes most of its files itself; sweep what a kill leaves.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator ("/dev/shm", ignored))
        if (entry.path().filename().string().find ("_" + serverName + "_") != std::string::npos)
            std::filesystem::remove (entry.path(), ignored);
    std::filesystem::remove (logPath, ignored);
    close (slotLock);
}

void JackServer::start (int attempt)
{
    logPath = "/tmp/" + serverName + ".log";
    const auto rate = std::to_string (opts.sampleRate);
    const auto period = std::to_string (opts.period);
    const auto capture = std::to_string (opts.captureChannels);
    const auto playback = std::to_string (opts.playbackChannels);

    pid = fork();
    if (pid == 0)
    {
        // A test that crashes must not leave its server behind: orphans fill
        // JACK's machine-wide registry and stop every later server starting.
        prctl (PR_SET_PDEATHSIG, SIGKILL);
        const int fd = open (logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
        {
            dup2 (fd, 1);
            dup2 (fd, 2);
        }
        // A generous client timeout (-t, ms): a loaded test machine is slow to answer.
        execlp ("jackd", "jackd", "--no-realtime", "-t", "5000", "-n", serverName.c_str(), "-d", "dummy", "-r",
                rate.c_str(), "-p", period.c_str(), "-C", capture.c_str(), "-P", playback.c_str(), (char*)nullptr);
        _exit (127);
    }

    if (waitForPort ("system:", 10000) || attempt > 0)
        return;

    // A registry full of dead servers' slots: free them and try once more.
    stop (SIGTERM);
    for (const auto& dead : deadRegisteredServers())
        runAndEndCleanly (dead);
    start (attempt + 1);
}

void JackServer::stop (int signal)
{
    if (pid <= 0)
        return;

    diedUnclean = diedUnclean || signal == SIGKILL;
    ::kill (pid, signal);
    for (int i = 0; i < 100; ++i)
    {
        // Already reaped (by isRunning) counts as gone too.
        const pid_t reaped = waitpid (pid, nullptr, WNOHANG);
        if (reaped == pid || reaped < 0)
        {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for (std::chrono::milliseconds (50));
    }
    diedUnclean = true;
    ::kill (pid, SIGKILL);
    waitpid (pid, nullptr, 0);
    pid = -1;
}

void JackServer::kill()
{
    stop (SIGKILL);
}

bool JackServer::isRunning() const
{
    return pid > 0 && waitpid (pid, nullptr, WNOHANG) == 0;
}

std::string JackServer::runTool (const std::string& command, int* status) const
{
    const std::string full =
        "JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER=" + serverName + " " + command + " 2>/dev/null";
    std::string out;
    if (FILE* p = popen (full.c_str(), "r"))
    {
        char buf[512];
        while (fgets (buf, sizeof buf, p) != nullptr)
            out += buf;
        const int rc = pclose (p);
        if (status != nullptr)
            *status = rc;
    }
    else if (status != nullptr)
    {
        *status = -1;
    }
    return out;
}

std::vector<std::string> JackServer::ports (const std::string& pattern) const
{
    std::vector<std::string> result;
    if (!isRunning())
        return result;

    const std::string out = runTool ("jack_lsp");
    size_t start = 0;
    while (start < out.size())
    {
        size_t end = out.find ('\n', start);
        if (end == std::string::npos)
            end = out.size();
        std::string line = out.substr (start, end - start);
        if (!line.empty() && line.find (pattern) != std::string::npos)
            result.push_back (line);
        start = end + 1;
    }
    return result;
}

bool JackServer::connect (const std::string& source, const std::string& destination) const
{
    int status = -1;
    runTool ("jack_connect '" + source + "' '" + destination + "'", &status);
    return status == 0;
}

bool JackServer::waitForPort (const std::string& pattern, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);
    while (std::chrono::steady_clock::now() < deadline)
    {
        if (!ports (pattern).empty())
            return true;
        std::this_thread::sleep_for (std::chrono::milliseconds (50));
    }
    return false;
}

int JackServer::loopback (const std::string& clientName) const
{
    // jack_lsp and jack_connect are JACK clients too, and on a loaded machine
    // one fails to open now and then: each step is tried a few times.
    const auto pause = [] { std::this_thread::sleep_for (std::chrono::milliseconds (100)); };
    std::vector<std::string> all;
    for (int i = 0; i < 5 && all.empty() && isRunning(); ++i, pause())
        all = ports (clientName + ":");
    const auto has = [&] (const std::string& port) { return std::find (all.begin(), all.end(), port) != all.end(); };

    int made = 0;
    for (int n = 1;; ++n)
    {
        const std::string out = clientName + ":out_" + std::to_string (n);
        const std::string in = clientName + ":in_" + std::to_string (n);
        if (!has (out) || !has (in))
            break;
        for (int i = 0; i < 5; ++i, pause())
            if (connect (out, in))
            {
                ++made;
                break;
            }
    }
    return made;
}

std::string JackServer::deviceSetupXml()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<DEVICESETUP deviceType=\"JACK\" audioOutputDeviceName=\"system\" audioInputDeviceName=\"system\"/>\n";
}
