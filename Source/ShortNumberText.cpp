#include "ShortNumberText.h"

#include <cstdio>

juce::String shortNumberText (double value)
{
    char text[32];
    std::snprintf (text, sizeof (text), "%g", value);
    return juce::String (text);
}
