#pragma once

#include <juce_core/juce_core.h>

// The device channels that carry a run's first count callback channels: the
// lowest count set bits of the device's active channel mask (a callback
// passes the active channels in ascending order). Fewer than count bits when
// the device has fewer active channels.
juce::BigInteger runDeviceChannels (const juce::BigInteger& activeChannels, int count);

// The sentence that heads the status text of a run whose channels moved to
// other device channels, ending in a space; empty when they did not.
juce::String channelsChangedWarning (bool channelsMoved);
