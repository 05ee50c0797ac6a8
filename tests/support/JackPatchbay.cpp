#include "support/JackPatchbay.h"

#include <chrono>
#include <thread>

JackPatchbay::JackPatchbay (const std::string& name)
{
    client = jack_client_open (name.c_str(), JackNoStartServer, nullptr);
}

JackPatchbay::~JackPatchbay()
{
    if (client != nullptr)
        jack_client_close (client);
}

int JackPatchbay::disconnectAll (const std::string& port)
{
    jack_port_t* const p = client != nullptr ? jack_port_by_name (client, port.c_str()) : nullptr;
    if (p == nullptr)
        return -1;

    const char** connections = jack_port_get_all_connections (client, p);
    if (connections == nullptr)
        return 0;

    // The call takes the source first: an input port's peers are sources.
    const bool isInput = (jack_port_flags (p) & JackPortIsInput) != 0;
    int removed = 0;
    for (const char** peer = connections; *peer != nullptr; ++peer)
    {
        const int failed =
            isInput ? jack_disconnect (client, *peer, port.c_str()) : jack_disconnect (client, port.c_str(), *peer);
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

uint64_t JackPatchbay::framesNow() const
{
    return client != nullptr ? (uint64_t)jack_frame_time (client) : 0;
}

bool JackPatchbay::waitForFrames (uint64_t frames, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);
    while (framesNow() < frames)
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }
    return true;
}
