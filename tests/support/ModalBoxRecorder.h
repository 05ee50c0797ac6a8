#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <vector>

// While it lives, every modal component that appears (the "Error" boxes, the
// result box, dialogs) is recorded and then dismissed, so that code which
// blocks in a modal loop carries on inside a test.
class ModalBoxRecorder : private juce::Timer
{
public:
    struct Box
    {
        juce::String title;   // the window's title
        juce::String message; // an AlertWindow's message; empty for other dialogs
        bool isAlert = false;
        juce::MessageBoxIconType icon = juce::MessageBoxIconType::NoIcon;
        int numButtons = 0;
    };

    // Called with each new modal component before it is dismissed; return
    // false to leave it open for now (it is offered again on the next poll).
    using Handler = std::function<bool (juce::Component& modal)>;

    explicit ModalBoxRecorder (Handler handler = {}, int pollMs = 20);
    ~ModalBoxRecorder() override;

    const std::vector<Box>& boxes() const { return recorded; }
    void clear() { recorded.clear(); }

    juce::StringArray titles() const;

private:
    void timerCallback() override;

    Handler onModal;
    std::vector<Box> recorded;
    juce::Component::SafePointer<juce::Component> lastSeen;
};
