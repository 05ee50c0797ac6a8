#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class TolvaneApplication : public juce::JUCEApplication
{
public:
    TolvaneApplication() = default;

    const juce::String getApplicationName() override { return "Tolvane"; }
    const juce::String getApplicationVersion() override { return "1.9"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise (const juce::String&) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String&) override {}
    void systemRequestedQuit() override;

    class MainWindow : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name);
        void closeButtonPressed() override;

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

private:
    std::unique_ptr<MainWindow> mainWindow;
};
