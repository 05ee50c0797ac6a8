#pragma once

#include <jack/jack.h>

#include <cstdint>
#include <string>

// A plain JACK client of the test's own on the server that
// JACK_DEFAULT_SERVER names (a JackServer's): it removes connections as a
// patchbay program does, and reads the server's clock.
class JackPatchbay
{
public:
    explicit JackPatchbay (const std::string& name = "tolvane_patchbay");
    ~JackPatchbay();

    JackPatchbay (const JackPatchbay&) = delete;
    JackPatchbay& operator= (const JackPatchbay&) = delete;

    bool isOpen() const { return client != nullptr; }

    // Removes every connection of the port ("client:port"). Returns how many
    // it removed, or -1 when the port does not exist or one would not go.
    int disconnectAll (const std::string& port);

    // The server's frame time now: it advances by the sample rate every
    // second, as the server's cycles run (from 0 at its start; a test's
    // server never runs long enough for its 32 bits to wrap).
    uint64_t framesNow() const;

    // Waits until framesNow() has reached frames (at most timeoutMs).
    bool waitForFrames (uint64_t frames, int timeoutMs) const;

private:
    jack_client_t* client = nullptr;
};
