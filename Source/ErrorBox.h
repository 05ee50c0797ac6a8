#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The modal "Error" box of a failure the user must act on: warning icon, the
// framework's OK and Cancel buttons, either of which only dismisses it.
// Returns once it has been dismissed.
void showErrorBox (const juce::String& message);
