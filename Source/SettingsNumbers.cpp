#include "SettingsNumbers.h"

#include <algorithm>
#include <limits>

int settingsIntOf (const juce::String& text)
{
    auto p = text.getCharPointer().findEndOfWhitespace();
    const bool negative = *p == '-';
    if (negative)
        ++p;

    // The magnitude stops growing at the limit, so it never overflows the
    // 64-bit accumulator however many digits follow.
    const juce::int64 limit =
        negative ? -(juce::int64)std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    juce::int64 magnitude = 0;

    for (auto c = *p; c >= '0' && c <= '9'; c = *++p)
        magnitude = std::min (limit, magnitude * 10 + (c - '0'));

    return (int)(negative ? -magnitude : magnitude);
}

int getSettingsInt (const juce::PropertySet& settings, juce::StringRef key, int fallback)
{
    return settings.containsKey (key) ? settingsIntOf (settings.getValue (key)) : fallback;
}

bool getSettingsFlag (const juce::PropertySet& settings, juce::StringRef key, bool fallback)
{
    return settings.containsKey (key) ? settingsIntOf (settings.getValue (key)) != 0 : fallback;
}
