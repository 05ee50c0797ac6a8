#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The application: settings file with its defaults, log file, main window,
// quit and an orderly shutdown.
class TolvaneApplication : public juce::JUCEApplication
{
public:
    TolvaneApplication() = default;
    ~TolvaneApplication() override;

    const juce::String getApplicationName() override { return "Tolvane"; }
    const juce::String getApplicationVersion() override { return JUCE_APPLICATION_VERSION_STRING; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String&) override {}
    void systemRequestedQuit() override;

    // The line written to standard error when no display can be opened; the
    // program then exits with status 1.
    static constexpr const char* kNoDisplayMessage =
        "Tolvane needs a graphical display, but none could be opened: "
        "check that the DISPLAY environment variable names a running X server.\n";

    // The settings folder: "Quorvel/Tolvane" in the user's application-data
    // directory, created when missing.
    static juce::File getSettingsFolder();

    // The options of the settings store: XML, key names in any letter case,
    // saved 500 ms after a change.
    static juce::PropertiesFile::Options getSettingsOptions();

    // The main window: its content is a MainComponent on the settings store.
    class MainWindow : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name);
        ~MainWindow() override;

        void closeButtonPressed() override;

    private:
        std::unique_ptr<juce::TooltipWindow> tooltipWindow;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

private:
    void seedDefaultSettings();
    void openLogFile();

    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<juce::PropertiesFile> properties; // declared last: deleted first, saving what is pending
};
