#include "support/StallingJackClient.h"

#include <chrono>
#include <random>
#include <thread>

#include <unistd.h>

StallingJackClient::StallingJackClient (const std::string& name)
{
    const std::string uniqueName =
        "tolvane_staller_" + std::to_string (getpid()) + "_" + std::to_string (std::random_device{}() % 100000);
    client = jack_client_open ((name.empty() ? uniqueName : name).c_str(), JackNoStartServer, nullptr);
    if (client == nullptr)
        return;

    jack_set_process_callback (client, process, this);
    active = jack_activate (client) == 0;
}

StallingJackClient::~StallingJackClient()
{
    if (client == nullptr)
        return;

    if (active)
        jack_deactivate (client);
    jack_client_close (client);
}

bool StallingJackClient::stallOnce (int milliseconds, int timeoutMs)
{
    if (!active)
        return false;

    const int before = stallsDone.load();
    stallMs.store (milliseconds);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);
    while (stallsDone.load() == before)
    {
        if (std::chrono::steady_clock::now() >= deadline)
        {
            stallMs.store (0);
            return false;
        }
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }
    return true;
}

bool StallingJackClient::waitForCycles (int cycles, int timeoutMs)
{
    if (!active)
        return false;

    const int target = cyclesDone.load() + cycles;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);
    while (cyclesDone.load() < target)
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }
    return true;
}

int StallingJackClient::process (jack_nframes_t, void* arg)
{
    auto& self = *static_cast<StallingJackClient*> (arg);
    ++self.cyclesDone;

    // Sleeping here is the point: this client is the overloaded one.
    if (const int ms = self.stallMs.exchange (0); ms > 0)
    {
        std::this_thread::sleep_for (std::chrono::milliseconds (ms));
        ++self.stallsDone;
    }
    return 0;
}
