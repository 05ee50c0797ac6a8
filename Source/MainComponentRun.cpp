#include "MainComponent.h"

#include "RunBlock.h"
#include "RunDropouts.h"

static_assert (MainComponent::kNumMeteredChannels == kRunBlockMeteredChannels,
               "the callback meters as many channels as the meters show");

// Audio thread: one block of the run. Publishes the end of the run and the
// block's peaks through the atomics; touches nothing else that the message
// thread reads while the device runs.
void MainComponent::audioDeviceIOCallbackWithContext (const float* const* inputChannelData, int numInputChannels,
                                                      float* const* outputChannelData, int numOutputChannels,
                                                      int numSamples, const juce::AudioIODeviceCallbackContext&)
{
    const RunBuffers run{playBuffer, playChans, recordBuffer, recChans, totalLen};
    RunBlockPeaks peaks;
    const auto end = runBlock (run, playPos, inputChannelData, numInputChannels, outputChannelData, numOutputChannels,
                               numSamples, peaks);

    if (end != RunBlockEnd::insideRun)
        runDone.store (end == RunBlockEnd::pastEnd, std::memory_order_release);

    for (int ch = 0; ch < kNumMeteredChannels; ++ch)
    {
        peakIn[ch].store (peaks.in[ch], std::memory_order_relaxed);
        peakOut[ch].store (peaks.out[ch], std::memory_order_relaxed);
    }
    newPeaks.store (true, std::memory_order_release);
}

// Message thread, every 100 ms: the Start/Stop label, the end of a run, the meters.
void MainComponent::timerCallback()
{
    if (auto* device = deviceManager.getCurrentAudioDevice())
    {
        const juce::String label = measuring ? "Stop" : "Start";
        if (startButton != nullptr && startButton->getButtonText() != label)
            startButton->setButtonText (label);

        if (measuring && runDone.load (std::memory_order_acquire))
        {
            // stop() returns only once no callback runs, so the buffers are ours again.
            device->stop();
            runDropouts = newDropouts (xrunsAtStart, device->getXRunCount());
            measuring = false;
            computeResponse();
        }
    }

    updateMeters();
}

void MainComponent::updateMeters()
{
    const bool fresh = newPeaks.load (std::memory_order_acquire);

    for (int ch = 0; ch < kNumMeteredChannels; ++ch)
    {
        // A meter never shows more bars than it has.
        if (ch < inMeterComp->getNumChan())
            inMeterComp->getBar (ch)->updateLevel (fresh, peakIn[ch].load (std::memory_order_relaxed));
        if (ch < outMeterComp->getNumChan())
            outMeterComp->getBar (ch)->updateLevel (fresh, peakOut[ch].load (std::memory_order_relaxed));
    }

    newPeaks.store (false, std::memory_order_release);
}
