#include "support/MessageLoop.h"

#include <juce_events/juce_events.h>

#include <memory>

void runMessageLoopFor (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

bool runMessageLoopUntil (const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32)timeoutMs;
    while (!condition())
    {
        if (juce::Time::getMillisecondCounter() >= deadline)
            return false;
        runMessageLoopFor (10);
    }
    return true;
}

bool deliverPostedMessages (int timeoutMs)
{
    // The queue is first in, first out: once this marker arrives, everything
    // posted before it has been delivered. The condition is only looked at
    // between messages, so a handler that runs a modal loop (in which the
    // marker may arrive) has returned by then.
    auto delivered = std::make_shared<bool> (false);
    juce::MessageManager::callAsync ([delivered] { *delivered = true; });
    return runMessageLoopUntil ([delivered] { return *delivered; }, timeoutMs);
}
