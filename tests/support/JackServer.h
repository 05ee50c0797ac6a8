#pragma once

#include <string>
#include <vector>

// A private JACK server with the dummy driver, started for one test and
// stopped (and its /dev/shm files removed) when the object goes. While it
// lives, JACK clients of this process (JUCE's JACK device included) reach it
// through JACK_DEFAULT_SERVER, and never start a server of their own. At most
// four such servers run at once on the machine; a fifth waits for a slot.
class JackServer
{
public:
    struct Options
    {
        int sampleRate = 48000;
        int period = 256;
        int captureChannels = 2;
        int playbackChannels = 2;
    };

    JackServer();
    explicit JackServer (Options options);
    ~JackServer();

    JackServer (const JackServer&) = delete;
    JackServer& operator= (const JackServer&) = delete;

    bool isRunning() const;
    const std::string& name() const { return serverName; }
    const Options& options() const { return opts; }

    // Ends the server at once (SIGKILL), as a crash would.
    void kill();

    // Full port names ("client:port") matching a substring, as jack_lsp lists them.
    std::vector<std::string> ports (const std::string& pattern = {}) const;
    bool connect (const std::string& source, const std::string& destination) const;

    // Waits until a port whose name contains pattern exists.
    bool waitForPort (const std::string& pattern, int timeoutMs = 10000) const;

    // The "audioSettings" text that selects this server's JACK device.
    static std::string deviceSetupXml();

    // Connects client:out_N to client:in_N for every N both exist for
    // (JUCE's JACK device names its ports that way). Returns the pairs made.
    int loopback (const std::string& clientName) const;

private:
    void start (int attempt = 0);
    void stop (int signal);
    std::string runTool (const std::string& command, int* status = nullptr) const;

    Options opts;
    std::string serverName;
    std::string logPath;
    int pid = -1;
    std::string oldServer;
    bool hadOldServer = false;
    bool diedUnclean = false; // ended by SIGKILL: its registry slot must be freed
    int slotLock = -1;        // one of the few machine-wide server slots
};
