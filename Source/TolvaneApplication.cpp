#include "TolvaneApplication.h"

#include "FileSizeSignal.h"
#include "MainComponent.h"
#include "SettingsNumbers.h"
#include "dsp/fft.h"
#include "log/QvLog.h"

#include <cstdio>

TolvaneApplication::~TolvaneApplication() = default;

juce::File TolvaneApplication::getSettingsFolder()
{
    auto maker = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getChildFile ("Quorvel");
    if (!maker.isDirectory())
        maker.createDirectory();

    auto folder = maker.getChildFile ("Tolvane");
    if (!folder.isDirectory())
        folder.createDirectory();

    return folder;
}

juce::PropertiesFile::Options TolvaneApplication::getSettingsOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Tolvane";
    options.filenameSuffix = ".xml";
    options.folderName = juce::String();
    options.osxLibrarySubFolder = juce::String();
    options.commonToAllUsers = false;
    options.ignoreCaseOfKeyNames = true;
    options.doNotSave = false;
    options.millisecondsBeforeSaving = 500;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.processLock = nullptr;
    return options;
}

void TolvaneApplication::initialise (const juce::String&)
{
    ignoreFileSizeSignal();

    // Without a display there is nowhere to put the window. Say so and stop,
    // before the settings file or the audio device is touched.
    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
    {
        std::fputs (kNoDisplayMessage, stderr);
        setApplicationReturnValue (1);
        quit();
        return;
    }

    auto file = getSettingsFolder().getChildFile (getApplicationName()).withFileExtension ("xml");
    properties = std::make_unique<juce::PropertiesFile> (file, getSettingsOptions());

    seedDefaultSettings();
    properties->save();

    openLogFile();

    mainWindow = std::make_unique<MainWindow> (getApplicationName());
}

void TolvaneApplication::seedDefaultSettings()
{
    struct Default
    {
        const char* key;
        juce::var value; // a boolean is stored as "1" or "0"
    };

    // In seeding order.
    const Default defaults[] = {
        {"numRecChan", "1"},   {"numPlayChan", "1"}, {"mlsBits", "15"},     {"ampDb", "-6"},     {"numReps", "1"},
        {"gapDelay", "5"},     {"initDelay", "0.5"}, {"fmt", "WAV 24-bit"}, {"normalize", true}, {"autoCrop", false},
        {"cropThresh", "-42"}, {"logLevel", "2"},    {"type", "Sweep"},     {"sweepTime", "5"},
    };

    for (const auto& d : defaults)
        if (!properties->containsKey (d.key))
            properties->setValue (d.key, d.value);
}

void TolvaneApplication::openLogFile()
{
    const int level = getSettingsInt (*properties, "logLevel", 0);
    if (level <= 0)
        return;

    gQvLogLevel = level;

    const auto path = properties->containsKey ("logFile")
                          ? properties->getValue ("logFile")
                          : getSettingsFolder().getChildFile (getApplicationName() + ".log").getFullPathName();

    // Mode "w" empties the log at every start. A file that can't be opened leaves logging off.
    gQvLogFp = std::fopen (path.toRawUTF8(), "w");
    if (gQvLogFp != nullptr)
    {
        gQvLogFn = QvLogToFileFn;
        gQvLogFnArg = gQvLogFp;
    }
}

void TolvaneApplication::shutdown()
{
    if (gQvLogFp != nullptr)
    {
        std::fclose (gQvLogFp);
        gQvLogFp = nullptr;
    }
    gQvLogFn = nullptr;
    gQvLogFnArg = nullptr;

    FreeBasisList();

    mainWindow = nullptr;
}

void TolvaneApplication::systemRequestedQuit()
{
    juce::MessageManager::getInstance()->stopDispatchLoop();
}

TolvaneApplication::MainWindow::MainWindow (const juce::String& name)
    : DocumentWindow (name, juce::Colours::lightgrey, DocumentWindow::allButtons, true)
{
    setUsingNativeTitleBar (true);

    auto* app = dynamic_cast<TolvaneApplication*> (JUCEApplication::getInstance());
    setContentOwned (new MainComponent (app != nullptr ? app->properties.get() : nullptr), true);

    tooltipWindow = std::make_unique<juce::TooltipWindow> (this, 700);

    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

TolvaneApplication::MainWindow::~MainWindow()
{
    tooltipWindow = nullptr;
}

void TolvaneApplication::MainWindow::closeButtonPressed()
{
    JUCEApplication::getInstance()->systemRequestedQuit();
}
