#include "RunDropouts.h"

int newDropouts (int countAtStart, int countAtEnd)
{
    if (countAtStart < 0 || countAtEnd <= countAtStart)
        return 0;
    return countAtEnd - countAtStart;
}

juce::String dropoutWarning (int numDropouts)
{
    if (numDropouts <= 0)
        return {};
    return "Warning: audio dropouts during the measurement (" + juce::String (numDropouts) +
           "); these responses may be damaged, measure again. ";
}
