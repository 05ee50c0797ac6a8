#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A combo box whose typed or pasted text stops at a maximum number of
// characters. The combo replaces its text label whenever its look-and-feel
// or its parent changes (the program putting the panel into its window is
// one such change), so the bound is given to each new label again.
class BoundedTextComboBox : public juce::ComboBox
{
public:
    BoundedTextComboBox (const juce::String& componentName, int maxLength);
    ~BoundedTextComboBox() override = default;

    int getMaxTextLength() const noexcept { return maxTextLength; }

    void lookAndFeelChanged() override;

private:
    void boundLabelEditors();

    const int maxTextLength;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BoundedTextComboBox)
};
