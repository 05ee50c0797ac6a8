#pragma once

#include <juce_core/juce_core.h>

// Channel labels for n channels: none for n <= 0, "L" for 1, "L" "R" for 2,
// "0" .. "n-1" for 3 or more.
juce::StringArray getChannelNames (int n);
