#include "MainComponent.h"

#include "ErrorBox.h"
#include "RunBlock.h"
#include "RunChannels.h"
#include "RunDropouts.h"
#include "log/QvLog.h"

static_assert (MainComponent::kNumMeteredChannels == kRunBlockMeteredChannels,
               "the callback meters as many channels as the meters show");

// Audio thread: one block of the run. Publishes the end of the run, the
// block's peaks and a change of channel counts through the atomics; touches
// nothing else that the message thread reads while the device runs.
void MainComponent::audioDeviceIOCallbackWithContext (const float* const* inputChannelData, int numInputChannels,
                                                      float* const* outputChannelData, int numOutputChannels,
                                                      int numSamples, const juce::AudioIODeviceCallbackContext&)
{
    // Other counts than the last start announced: the callback index of a
    // run channel may now stand for another device channel.
    if ((uint64_t)playPos < totalLen && (numInputChannels != announcedInputs.load (std::memory_order_relaxed) ||
                                         numOutputChannels != announcedOutputs.load (std::memory_order_relaxed)))
        runChannelsMoved.store (true, std::memory_order_relaxed);

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

// Called by Start's own start and by every restart of the device with this
// callback (JACK restarts itself on the message thread when its connected
// ports change, right after reporting a stop): the device is not lost, and a
// run channel may have moved to another device channel.
void MainComponent::audioDeviceAboutToStart (juce::AudioIODevice* device)
{
    deviceLost.store (false, std::memory_order_release);
    if (device == nullptr)
        return;

    const auto outputs = device->getActiveOutputChannels();
    const auto inputs = device->getActiveInputChannels();
    announcedOutputs.store (outputs.countNumberOfSetBits(), std::memory_order_relaxed);
    announcedInputs.store (inputs.countNumberOfSetBits(), std::memory_order_relaxed);

    // Once the run's last frame is recorded, a change can no longer touch it.
    if (!runDone.load (std::memory_order_acquire) && (runDeviceChannels (outputs, numPlayChan) != runOutputChannels ||
                                                      runDeviceChannels (inputs, numRecChan) != runInputChannels))
        runChannelsMoved.store (true, std::memory_order_relaxed);
}

// Any thread. Stores a flag only: the timer decides on the message thread.
void MainComponent::audioDeviceStopped()
{
    if (!stoppingDevice.load (std::memory_order_acquire))
        deviceLost.store (true, std::memory_order_release);
}

// Message thread, every 100 ms: the Start/Stop label, the end of a run, the meters.
void MainComponent::timerCallback()
{
    auto* device = deviceManager.getCurrentAudioDevice();

    if (device != nullptr)
        showRunOnStartButton();

    if (measuring)
    {
        // A device that stopped unasked runs no callback any more.
        const bool lost = deviceLost.load (std::memory_order_acquire);

        if (runDone.load (std::memory_order_acquire) && (device != nullptr || lost))
            endRun (device, !lost);
        else if (lost)
            abandonLostRun();
    }

    updateMeters();
}

void MainComponent::showRunOnStartButton()
{
    const juce::String label = measuring ? "Stop" : "Start";
    if (startButton != nullptr && startButton->getButtonText() != label)
        startButton->setButtonText (label);
}

// Every frame of the run is recorded: stops the device (unless it stopped by
// itself after the run's end) and computes and writes the responses.
void MainComponent::endRun (juce::AudioIODevice* device, bool stopDevice)
{
    if (stopDevice)
    {
        // stop() returns only once no callback runs, so the buffers are ours again.
        const OwnDeviceStop own (stoppingDevice);
        device->stop();
    }
    runDropouts = newDropouts (xrunsAtStart, device != nullptr ? device->getXRunCount() : -1);
    measuring = false;
    if (!stopDevice)
        showRunOnStartButton();
    computeResponse();
}

// The device stopped before the run's end: nothing can be computed from the
// part recorded, and the user must know why the run ended.
void MainComponent::abandonLostRun()
{
    measuring = false;
    showRunOnStartButton();

    const juce::String message = "The audio device stopped during the measurement and nothing was written: check "
                                 "Audio Settings and measure again";
    if (gQvLogLevel >= 1)
        QvLog2 (1, "%s", message.toRawUTF8());
    showErrorBox (message);
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
