#pragma once

#include <juce_core/juce_core.h>

// The integer that a settings text holds: leading blanks, an optional '-',
// then the leading decimal digits, as the settings store reads it (a text
// without digits reads as 0, "07" as 7). A number beyond the int range reads
// as the nearest int, INT_MAX or INT_MIN, never wrapped around: a huge count
// or index stays out of range instead of turning into a small valid one.
int settingsIntOf (const juce::String& text);

// The integer of key in settings, or fallback when the key is absent.
int getSettingsInt (const juce::PropertySet& settings, juce::StringRef key, int fallback);

// The flag of key in settings: true when its integer is not 0, or fallback
// when the key is absent.
bool getSettingsFlag (const juce::PropertySet& settings, juce::StringRef key, bool fallback = false);
