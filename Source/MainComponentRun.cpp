#include "MainComponent.h"

// Placeholder: the audio callback, the run timer and the meter step.
void MainComponent::audioDeviceIOCallbackWithContext (const float* const*, int, float* const* outputChannelData,
                                                      int numOutputChannels, int numSamples,
                                                      const juce::AudioIODeviceCallbackContext&)
{
    for (int ch = 0; ch < numOutputChannels; ++ch)
        if (outputChannelData[ch] != nullptr)
            juce::FloatVectorOperations::clear (outputChannelData[ch], numSamples);
}

void MainComponent::timerCallback() {}
void MainComponent::updateMeters() {}
