#pragma once

#include <string>
#include <vector>

// An X server (Xvfb, no window manager) of one test's own, started with the
// object and stopped when it goes. A test that starts a program and looks for
// its windows with xdotool or import runs them here: on the shared display
// another test's window can vanish during the search, and the X error that
// follows ends xdotool without a result.
class PrivateXServer
{
public:
    PrivateXServer();
    ~PrivateXServer();

    PrivateXServer (const PrivateXServer&) = delete;
    PrivateXServer& operator= (const PrivateXServer&) = delete;

    bool isRunning() const { return !displayName.empty(); }

    // ":N", or empty when the server did not start.
    const std::string& display() const { return displayName; }

    // This process's environment with DISPLAY naming this server, as
    // "NAME=value" texts for a child process.
    std::vector<std::string> environment() const;

private:
    // Starts Xvfb on display :number; on success sets pid and displayName.
    void startOn (int number);

    int pid = -1;
    std::string displayName;
};
