#pragma once

#include <juce_core/juce_core.h>

// A number in its shortest plain form, as item texts and settings show it:
// at most six significant digits, no trailing zeros or point ("-6", "0.5").
juce::String shortNumberText (double value);
