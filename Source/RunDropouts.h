#pragma once

#include <juce_core/juce_core.h>

// Dropouts (xruns) a device counted during a run: how much its count grew
// from the start to the end of the run. 0 when it did not grow (a device
// reopened in between starts again from 0) or when the device cannot count
// them (a negative count, as juce::AudioIODevice::getXRunCount reports then).
int newDropouts (int countAtStart, int countAtEnd);

// The sentence that heads the status text of a run with dropouts, ending in a
// space; empty when numDropouts is 0 or less.
juce::String dropoutWarning (int numDropouts);
