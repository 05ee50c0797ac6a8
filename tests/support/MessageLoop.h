#pragma once

#include <functional>

// Runs the JUCE message loop on the calling (message) thread.
void runMessageLoopFor (int milliseconds);

// Runs the message loop until the condition holds or the time is up;
// returns whether it held.
bool runMessageLoopUntil (const std::function<bool()>& condition, int timeoutMs);

// Runs the message loop until every message posted before the call (an async
// notification, a click, a command) has been delivered and its handler has
// returned; false when that took longer than timeoutMs. Messages that those
// handlers post in turn may still wait.
bool deliverPostedMessages (int timeoutMs = 30000);
