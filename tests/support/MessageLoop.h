#pragma once

#include <functional>

// Runs the JUCE message loop on the calling (message) thread.
void runMessageLoopFor (int milliseconds);

// Runs the message loop until the condition holds or the time is up;
// returns whether it held.
bool runMessageLoopUntil (const std::function<bool()>& condition, int timeoutMs);
