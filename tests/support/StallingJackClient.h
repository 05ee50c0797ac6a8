#pragma once

#include <jack/jack.h>

#include <atomic>
#include <string>

// A JACK client of its own on the server that JACK_DEFAULT_SERVER names (a
// JackServer's), which holds up its process callback on demand as an
// overloaded client would. The server then misses its cycle and reports a
// dropout (an xrun) to every client.
class StallingJackClient
{
public:
    // Without a name, one of its own on the whole machine: JACK's client
    // sockets are named after the client, whatever its server.
    explicit StallingJackClient (const std::string& name = {});
    ~StallingJackClient();

    StallingJackClient (const StallingJackClient&) = delete;
    StallingJackClient& operator= (const StallingJackClient&) = delete;

    // Opened and activated: its callback runs every cycle.
    bool isActive() const { return active; }

    // The next process callback sleeps for milliseconds. Waits until it has
    // (at most timeoutMs); true when the stall happened.
    bool stallOnce (int milliseconds, int timeoutMs = 5000);

    // Waits until the process callback has run the given number of cycles
    // more (at most timeoutMs): the server's graph has run with this client.
    bool waitForCycles (int cycles, int timeoutMs = 5000);

private:
    static int process (jack_nframes_t numFrames, void* arg);

    jack_client_t* client = nullptr;
    bool active = false;
    std::atomic<int> stallMs{0};
    std::atomic<int> stallsDone{0};
    std::atomic<int> cyclesDone{0};
};
