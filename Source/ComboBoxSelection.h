#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Selects the first item whose text equals text exactly, else the first item
// (ID 0 for a combo without items). Sends no change notification.
void initComboBoxSelection (juce::ComboBox* combo, const juce::String& text);
