#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A text editor's input filter that keeps the editor's text within a number
// of UTF-8 bytes, as the file system counts a path or a file name. Typed or
// pasted text that would go beyond is cut after the last whole character
// that still fits.
class BoundedUtf8InputFilter : public juce::TextEditor::InputFilter
{
public:
    explicit BoundedUtf8InputFilter (int maxBytes);
    ~BoundedUtf8InputFilter() override = default;

    juce::String filterNewText (juce::TextEditor& editor, const juce::String& newInput) override;

private:
    const int maxTextBytes;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BoundedUtf8InputFilter)
};
