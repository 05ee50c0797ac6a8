#include "ChannelNames.h"

juce::StringArray getChannelNames (int)
{
    return {};
}
