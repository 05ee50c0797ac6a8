#include "BoundedUtf8InputFilter.h"

BoundedUtf8InputFilter::BoundedUtf8InputFilter (int maxBytes) : maxTextBytes (maxBytes) {}

juce::String BoundedUtf8InputFilter::filterNewText (juce::TextEditor& editor, const juce::String& newInput)
{
    // The input replaces the selection, so the selected text's bytes are free.
    const size_t kept = editor.getText().getNumBytesAsUTF8() - editor.getHighlightedText().getNumBytesAsUTF8();
    size_t room = kept < (size_t)maxTextBytes ? (size_t)maxTextBytes - kept : 0;

    auto end = newInput.getCharPointer();
    while (!end.isEmpty())
    {
        const size_t bytes = juce::CharPointer_UTF8::getBytesRequiredFor (*end);
        if (bytes > room)
            break;
        room -= bytes;
        ++end;
    }
    return juce::String (newInput.getCharPointer(), end);
}
