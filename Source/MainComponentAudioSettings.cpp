#include "MainComponent.h"
#include "SavedDeviceState.h"
#include "SettingsNumbers.h"

#include <juce_audio_utils/juce_audio_utils.h>

void MainComponent::initialiseAudioDevice()
{
    // A missing, malformed, foreign or unusable state gives the default
    // device; the outcome is not reported, and Start refuses when there is no
    // device.
    auto state = parseSavedDeviceState (settings->getValue ("audioSettings", juce::String()));
    deviceManager.initialise (kNumMeteredChannels, kNumMeteredChannels, state.get(), true, juce::String(), nullptr);
}

void MainComponent::showAudioSettings()
{
    // The run's device is closed first, so our callback never runs while the
    // selector changes the device. A run then stays detached, not lost.
    {
        const OwnDeviceStop own (stoppingDevice);
        deviceManager.closeAudioDevice();
    }
    deviceManager.restartLastAudioDevice();

    const int maxInputs = juce::jmax (0, getSettingsInt (*settings, "numRecChan", 0));
    const int maxOutputs = juce::jmax (0, getSettingsInt (*settings, "numPlayChan", 0));

    juce::AudioDeviceSelectorComponent selector (deviceManager, 0, maxInputs, 0, maxOutputs, false, false, true, false);
    selector.setSize (500, 500);

    juce::DialogWindow::LaunchOptions options;
    options.dialogTitle = "Audio Settings";
    options.dialogBackgroundColour = juce::Colour (0xff333e44);
    options.content.setNonOwned (&selector);
    options.componentToCentreAround = this;
    options.escapeKeyTriggersCloseButton = true;
    options.useNativeTitleBar = false;
    options.resizable = false;
    options.useBottomRightCornerResizer = false;
    options.runModal();

    if (auto state = deviceManager.createStateXml())
        settings->setValue ("audioSettings", state->toString());
}
