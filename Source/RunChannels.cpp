#include "RunChannels.h"

juce::BigInteger runDeviceChannels (const juce::BigInteger& activeChannels, int count)
{
    juce::BigInteger channels;
    for (int bit = activeChannels.findNextSetBit (0); bit >= 0 && count > 0;
         bit = activeChannels.findNextSetBit (bit + 1), --count)
        channels.setBit (bit);
    return channels;
}

juce::String channelsChangedWarning (bool channelsMoved)
{
    if (!channelsMoved)
        return {};
    return "Warning: the audio device's channels changed during the measurement; these responses may belong to "
           "other channels, measure again. ";
}
