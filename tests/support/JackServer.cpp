#include "support/JackServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

void pause (int milliseconds)
{
    std::this_thread::sleep_for (std::chrono::milliseconds (milliseconds));
}

// JACK names a client's notification socket after the client alone
// (/dev/shm/jack_<client>_<uid>_0), not after its server: two clients of one
// name that open at the same moment on two servers of the machine take each
// other's socket, and one of them fails to open or talks to the wrong server.
// Names of this fixture are therefore random on the whole machine, PIDs alone
// repeating across containers.
std::string randomTag()
{
    std::random_device device;
    char tag[16];
    snprintf (tag, sizeof tag, "%08x", (unsigned)device());
    return tag;
}

// The name of this program's server: each of its servers in turn has it.
const std::string& programServerName()
{
    static const std::string name = "tolvane_" + std::to_string (getpid()) + "_" + randomTag();
    return name;
}

// Set before main, while the program has a single thread: setenv is not safe
// beside threads that read the environment, as libjack's and JUCE's do.
[[maybe_unused]] const bool environmentSet = []
{
    setenv ("JACK_DEFAULT_SERVER", programServerName().c_str(), 1);
    setenv ("JACK_NO_START_SERVER", "1", 1);
    return true;
}();

std::atomic<bool> serverInProgram{false};

std::string serverSocketPath (const std::string& server)
{
    return "/dev/shm/jack_" + server + "_" + std::to_string (getuid()) + "_0";
}

// A server whose process this program cannot see may still run, in another
// PID namespace that shares /dev/shm: only its socket tells.
bool serverAnswers (const std::string& server)
{
    const int fd = socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    snprintf (address.sun_path, sizeof address.sun_path, "%s", serverSocketPath (server).c_str());
    const bool answers = ::connect (fd, reinterpret_cast<sockaddr*> (&address), sizeof address) == 0;
    close (fd);
    return answers;
}

jack_client_t* openClient (const std::string& server, const std::string& clientName)
{
    jack_status_t status{};
    const auto options = static_cast<jack_options_t> (JackNoStartServer | JackServerName | JackUseExactName);
    return jack_client_open (clientName.c_str(), options, &status, server.c_str());
}

std::string readFile (const std::string& path)
{
    std::string text;
    if (FILE* f = fopen (path.c_str(), "rb"))
    {
        char buf[4096];
        for (size_t n; (n = fread (buf, 1, sizeof buf, f)) > 0;)
            text.append (buf, n);
        fclose (f);
    }
    return text;
}

pid_t startJackd (const std::vector<std::string>& arguments, const std::string& outputPath)
{
    const pid_t child = fork();
    if (child != 0)
        return child;

    // A test that crashes must not leave its server behind: orphans fill
    // JACK's machine-wide registry and stop every later server starting.
    prctl (PR_SET_PDEATHSIG, SIGKILL);
    const int fd = open (outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0)
    {
        dup2 (fd, 1);
        dup2 (fd, 2);
    }
    std::vector<char*> argv;
    for (const auto& a : arguments)
        argv.push_back (const_cast<char*> (a.c_str()));
    argv.push_back (nullptr);
    execvp ("jackd", argv.data());
    _exit (127);
}

// Waits until the process has ended and reaps it; false when the time ran out.
bool reap (pid_t child, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    for (;;)
    {
        const pid_t reaped = waitpid (child, nullptr, WNOHANG);
        if (reaped == child || reaped < 0)
            return true;
        if (Clock::now() >= deadline)
            return false;
        pause (20);
    }
}

// JACK keeps every server of the machine in one registry of eight slots, and
// frees a slot only when its server ends cleanly or when a server of the same
// name registers again. A server that died by SIGKILL (or a crash) holds its
// slot for good; enough of them and no server can start. A short, cleanly
// ended run of a server under the dead one's name frees the slot.
void runAndEndCleanly (const std::string& name)
{
    const pid_t child = startJackd ({"jackd", "--no-realtime", "-n", name, "-d", "dummy"}, "/dev/null");
    if (child < 0)
        return;

    // Only a server that has finished starting ends cleanly on SIGTERM.
    const auto deadline = Clock::now() + std::chrono::seconds (30);
    while (Clock::now() < deadline && waitpid (child, nullptr, WNOHANG) == 0)
    {
        if (jack_client_t* probe = openClient (name, name.substr (0, 40) + "_free"))
        {
            jack_client_close (probe);
            break;
        }
        pause (50);
    }
    ::kill (child, SIGTERM);
    if (!reap (child, 30000))
    {
        ::kill (child, SIGKILL);
        waitpid (child, nullptr, 0);
    }
}

// Names of this fixture's servers (of any test program) in JACK's registry
// that are gone: their process is not to be seen and their socket does not
// answer. Other servers are never touched.
std::vector<std::string> deadFixtureServers()
{
    std::vector<std::string> names;
    const std::string bytes = readFile ("/dev/shm/jack-shm-registry");

    // Each slot: the server's pid (int32), then "jack-<uid>:<name>:".
    const std::string prefix = "jack-" + std::to_string (getuid()) + ":tolvane_";
    for (size_t at = bytes.find (prefix); at != std::string::npos; at = bytes.find (prefix, at + 1))
    {
        const size_t nameStart = at + prefix.size() - std::strlen ("tolvane_");
        const size_t nameEnd = bytes.find (':', nameStart);
        if (at < 4 || nameEnd == std::string::npos || bytes.find ('\0', nameStart) < nameEnd)
            continue;
        int32_t pid = 0;
        memcpy (&pid, bytes.data() + at - 4, sizeof pid);
        const std::string name = bytes.substr (nameStart, nameEnd - nameStart);
        if (pid > 0 && ::kill (pid, 0) != 0 && errno == ESRCH && !serverAnswers (name))
            names.push_back (name);
    }
    return names;
}

// JACK keeps the state of all its servers in /dev/shm, shared by the whole
// machine and by containers that share /dev/shm. Each server start frees the
// memory of every server whose process it cannot see, and a live server in
// another PID namespace is one of them: so this fixture's servers run one at
// a time wherever /dev/shm is shared, and their lock lives there too. Any user
// can take it (flock needs only a descriptor open for reading, and the file
// is made readable for all whatever the umask), and it goes with the process,
// even on a crash.
int openTestLock (const std::string& path)
{
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        int fd = open (path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = open (path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0)
        {
            fchmod (fd, 0644);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// Takes the flock on fd, waiting at most waitSeconds; closes fd on failure.
int waitForLock (int fd, const std::string& path, int waitSeconds, std::string& error)
{
    const auto started = Clock::now();
    bool told = false;
    while (flock (fd, LOCK_EX | LOCK_NB) != 0)
    {
        const auto waited = Clock::now() - started;
        if (errno != EWOULDBLOCK && errno != EINTR)
            error = "cannot take the JACK test lock " + path + ": " + strerror (errno);
        else if (waited >= std::chrono::seconds (waitSeconds))
            error = "the JACK test lock " + path + " was still held by another test's server after " +
                    std::to_string (waitSeconds) + " s (fuser -v " + path + " names it)";
        if (!error.empty())
        {
            close (fd);
            return -1;
        }
        if (!told && waited >= std::chrono::seconds (10))
        {
            fprintf (stderr, "Waiting for the JACK test lock %s, held by another test's server\n", path.c_str());
            told = true;
        }
        pause (100);
    }
    return fd;
}

// Older checkouts of these tests order their servers with this lock alone.
constexpr const char* kOlderTestLockPath = "/tmp/tolvane-jack-slot-0.lock";
} // namespace

int JackServer::takeTestLock (const std::string& path, int waitSeconds, std::string& error)
{
    const int fd = openTestLock (path);
    if (fd < 0)
    {
        error = "cannot open the JACK test lock " + path + ": " + strerror (errno);
        return -1;
    }
    return waitForLock (fd, path, waitSeconds, error);
}

JackServer::JackServer() : JackServer (Options{}) {}

JackServer::JackServer (Options options) : opts (options), serverName (programServerName())
{
    onlyServerOfProgram = !serverInProgram.exchange (true);
    if (!onlyServerOfProgram)
    {
        error = "another JackServer of this program still runs";
        ADD_FAILURE() << error;
        return;
    }
    testLock = takeTestLock (testLockPath, opts.lockWaitSeconds, error);
    if (testLock < 0)
        return;
    // Only where it exists, and never made here: it may be another user's.
    if (const int older = open (kOlderTestLockPath, O_RDONLY | O_CLOEXEC); older >= 0)
    {
        olderTestLock = waitForLock (older, kOlderTestLockPath, opts.lockWaitSeconds, error);
        if (olderTestLock < 0)
            return;
    }
    if (start())
        return;

    // A registry full of dead servers' slots: free them and try once more.
    if (error.find ("any servers already active") != std::string::npos)
    {
        for (const auto& dead : deadFixtureServers())
            runAndEndCleanly (dead);
        error.clear();
        start();
    }
}

JackServer::~JackServer()
{
    if (!onlyServerOfProgram)
        return;

    if (isRunning())
    {
        std::string left;
        for (const auto& port : ports())
            if (port.rfind ("system:", 0) != 0)
                left += (left.empty() ? "" : ", ") + port;
        if (!left.empty())
            ADD_FAILURE() << "JACK clients still had ports when their server stopped (" << left
                          << "): close the device before the server";
    }
    closeControlClient();
    stop (SIGTERM);
    if (diedUnclean)
        runAndEndCleanly (serverName);

    // The server removes most of its files itself; sweep what a kill leaves.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator ("/dev/shm", ignored))
        if (entry.path().filename().string().find ("_" + serverName + "_") != std::string::npos)
            std::filesystem::remove (entry.path(), ignored);
    if (!logPath.empty())
        std::filesystem::remove (logPath, ignored);
    if (olderTestLock >= 0)
        close (olderTestLock);
    if (testLock >= 0)
        close (testLock);
    serverInProgram = false;
}

bool JackServer::start()
{
    logPath = "/tmp/" + serverName + ".log";
    diedUnclean = false;
    // A generous client timeout (-t, ms): a loaded test machine is slow to answer.
    pid = startJackd ({"jackd", "--no-realtime", "-t", "5000", "-n", serverName, "-d", "dummy", "-r",
                       std::to_string (opts.sampleRate), "-p", std::to_string (opts.period), "-C",
                       std::to_string (opts.captureChannels), "-P", std::to_string (opts.playbackChannels)},
                      logPath);
    if (pid < 0)
    {
        error = "cannot start jackd";
        return false;
    }

    // The socket first, so that no client tries a server that is not there
    // yet; then the driver's ports.
    const auto deadline = Clock::now() + std::chrono::seconds (60);
    while (isRunning() && Clock::now() < deadline && access (serverSocketPath (serverName).c_str(), F_OK) != 0)
        pause (20);
    if (isRunning() && waitForPort ("system:", 60000))
        return true;

    stop (SIGTERM);
    error = "the JACK server " + serverName + " did not start:\n" + readFile (logPath);
    return false;
}

void JackServer::stop (int signal)
{
    if (pid <= 0)
        return;

    diedUnclean = diedUnclean || signal == SIGKILL;
    ::kill (pid, signal);
    // A server that does not end on SIGTERM holds its registry slot: it is
    // freed after the kill.
    if (!reap (pid, 30000))
    {
        diedUnclean = true;
        ::kill (pid, SIGKILL);
        waitpid (pid, nullptr, 0);
    }
    pid = -1;
}

void JackServer::kill()
{
    closeControlClient();
    stop (SIGKILL);
}

bool JackServer::isRunning() const
{
    return pid > 0 && waitpid (pid, nullptr, WNOHANG) == 0;
}

bool JackServer::openControlClient() const
{
    if (control == nullptr && isRunning())
        control = openClient (serverName, serverName + "_fixture");
    return control != nullptr;
}

void JackServer::closeControlClient() const
{
    if (control != nullptr)
        jack_client_close (control);
    control = nullptr;
}

std::vector<std::string> JackServer::ports (const std::string& pattern) const
{
    std::vector<std::string> result;
    if (!isRunning() || !openControlClient())
        return result;

    // jack_get_ports takes a regular expression; a plain substring is wanted.
    if (const char** names = jack_get_ports (control, nullptr, nullptr, 0))
    {
        for (const char** name = names; *name != nullptr; ++name)
            if (std::strstr (*name, pattern.c_str()) != nullptr)
                result.emplace_back (*name);
        jack_free (names);
    }
    return result;
}

bool JackServer::connect (const std::string& source, const std::string& destination) const
{
    if (!isRunning() || !openControlClient())
        return false;
    const int result = jack_connect (control, source.c_str(), destination.c_str());
    return result == 0 || result == EEXIST;
}

int JackServer::disconnectAll (const std::string& port) const
{
    if (!isRunning() || !openControlClient())
        return -1;
    jack_port_t* const p = jack_port_by_name (control, port.c_str());
    if (p == nullptr)
        return -1;

    const char** connections = jack_port_get_all_connections (control, p);
    if (connections == nullptr)
        return 0;

    // The call takes the source first: an input port's peers are sources.
    const bool isInput = (jack_port_flags (p) & JackPortIsInput) != 0;
    int removed = 0;
    for (const char** peer = connections; *peer != nullptr; ++peer)
    {
        const int failed =
            isInput ? jack_disconnect (control, *peer, port.c_str()) : jack_disconnect (control, port.c_str(), *peer);
        if (failed != 0)
        {
            removed = -1;
            break;
        }
        ++removed;
    }
    jack_free (connections);
    return removed;
}

bool JackServer::waitForPort (const std::string& pattern, int timeoutMs) const
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    while (isRunning() && Clock::now() < deadline)
    {
        if (!ports (pattern).empty())
            return true;
        pause (20);
    }
    return false;
}

uint32_t JackServer::frameTime() const
{
    return isRunning() && openControlClient() ? jack_frame_time (control) : 0;
}

int JackServer::loopback (const std::string& clientName) const
{
    const auto all = ports (clientName + ":");
    const auto has = [&] (const std::string& port) { return std::find (all.begin(), all.end(), port) != all.end(); };

    int made = 0;
    for (int n = 1;; ++n)
    {
        const std::string out = clientName + ":out_" + std::to_string (n);
        const std::string in = clientName + ":in_" + std::to_string (n);
        if (!has (out) || !has (in))
            break;
        made += connect (out, in) ? 1 : 0;
    }
    return made;
}

std::string JackServer::deviceSetupXml()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<DEVICESETUP deviceType=\"JACK\" audioOutputDeviceName=\"system\" audioInputDeviceName=\"system\"/>\n";
}
