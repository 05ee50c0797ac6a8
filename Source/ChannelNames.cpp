#include "ChannelNames.h"

juce::StringArray getChannelNames (int n)
{
    juce::StringArray names;

    if (n == 1)
    {
        names.add ("L");
    }
    else if (n == 2)
    {
        names.add ("L");
        names.add ("R");
    }
    else
    {
        for (int i = 0; i < n; ++i)
            names.add (juce::String (i));
    }

    return names;
}
