#pragma once

#include <jack/jack.h>

#include <cstdint>
#include <string>
#include <vector>

// A private JACK server with the dummy driver, started for one test and
// stopped (and its /dev/shm files removed) when the object goes.
//
// Every JACK client of the test program (JUCE's JACK device included) reaches
// this program's own server and no other: JACK_DEFAULT_SERVER names it from
// the program's start on, so a user's own server is never used, and without a
// JackServer there is no JACK device at all. One JackServer at a time runs in
// a program, and one at a time on the machine (see acquireTestLock).
//
// The device of a test must be closed before its server stops: the destructor
// fails the test when a client other than this fixture's still has ports.
class JackServer
{
public:
    struct Options
    {
        int sampleRate = 48000;
        int period = 256;
        int captureChannels = 2;
        int playbackChannels = 2;
        int lockWaitSeconds = 300; // for the machine-wide test lock
    };

    JackServer();
    explicit JackServer (Options options);
    ~JackServer();

    JackServer (const JackServer&) = delete;
    JackServer& operator= (const JackServer&) = delete;

    bool isRunning() const;
    // Why the server is not running after the constructor: empty when it runs.
    const std::string& startError() const { return error; }
    const std::string& name() const { return serverName; }
    const Options& options() const { return opts; }

    // Ends the server at once (SIGKILL), as a crash would.
    void kill();

    // Full port names ("client:port") that contain pattern.
    std::vector<std::string> ports (const std::string& pattern = {}) const;
    bool connect (const std::string& source, const std::string& destination) const;

    // Removes every connection of the port ("client:port"), as a patchbay
    // program does. Returns how many it removed, or -1 when the port does not
    // exist or one would not go.
    int disconnectAll (const std::string& port) const;

    // Waits until a port whose name contains pattern exists.
    bool waitForPort (const std::string& pattern, int timeoutMs = 30000) const;

    // The server's frame clock (jack_frame_time): how far it has played,
    // however slow the machine. 0 when it does not run.
    uint32_t frameTime() const;

    // The lock that orders the servers of all test programs that share
    // /dev/shm, of every user.
    static constexpr const char* testLockPath = "/dev/shm/tolvane-jack-test.lock";

    // Takes the lock at path, waiting at most waitSeconds. Returns its
    // descriptor (closing it releases the lock), or -1 with error set.
    static int takeTestLock (const std::string& path, int waitSeconds, std::string& error);

    // The "audioSettings" text that selects this server's JACK device.
    static std::string deviceSetupXml();

    // Connects client:out_N to client:in_N for every N both exist for
    // (JUCE's JACK device names its ports that way). Returns the pairs made.
    int loopback (const std::string& clientName) const;

private:
    bool start();
    void stop (int signal);
    bool openControlClient() const;
    void closeControlClient() const;

    Options opts;
    std::string serverName;
    std::string logPath;
    std::string error;
    int pid = -1;
    bool diedUnclean = false; // ended by SIGKILL: its registry slot must be freed
    bool onlyServerOfProgram = false;
    int testLock = -1;
    int olderTestLock = -1;
    // The fixture's own client, with a name of its own on the whole machine.
    mutable jack_client_t* control = nullptr;
};
