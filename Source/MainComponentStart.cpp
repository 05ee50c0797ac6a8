#include "MainComponent.h"

#include <cstdlib>

#include "ErrorBox.h"
#include "MeasureMemory.h"
#include "MeasurementTables.h"
#include "RunChannels.h"
#include "RunLayout.h"
#include "SettingsNumbers.h"
#include "Stimulus.h"

namespace
{
// The C library's reading of a typed number: its leading number, 0 when none.
float readSeconds (const juce::String& text)
{
    return (float)std::atof (text.toRawUTF8());
}
} // namespace

void MainComponent::startMeasurement()
{
    auto* device = deviceManager.getCurrentAudioDevice();

    if (device == nullptr)
        return showErrorBox ("No audio devices selected, check Audio Settings");

    if (fileText->getText().isEmpty())
        return showErrorBox ("Please enter a filename");

    const int numInputs = device->getActiveInputChannels().countNumberOfSetBits();

    if (numInputs == 0)
        return showErrorBox ("No recording channels available, check Audio Settings");

    if (getSettingsInt (*settings, "numRecChan", 0) > numInputs)
        return showErrorBox (
            juce::String::formatted ("Only %d recording channels available, check Audio Settings", numInputs));

    const int numOutputs = device->getActiveOutputChannels().countNumberOfSetBits();

    if (numOutputs == 0)
        return showErrorBox ("No playback channels available, check Audio Settings");

    if (getSettingsInt (*settings, "numPlayChan", 0) > numOutputs)
        return showErrorBox (
            juce::String::formatted ("Only %d playback channels available, check Audio Settings", numOutputs));

    if (!device->isOpen())
        return showErrorBox ("Error, audio device is not open!");

    // Everything is read into locals first: a refused run changes nothing of the last one.
    RunParameters params;
    params.sampleRate = (int32_t)device->getCurrentSampleRate();
    const int32_t newNumRecChan = getSettingsInt (*settings, "numRecChan", 0);
    params.numPlayChan = getSettingsInt (*settings, "numPlayChan", 0);
    params.isMls = typeCombo->getText() == "MLS";
    params.gapSec = readSeconds (gapDelayCombo->getText());
    params.initDelaySec = readSeconds (initDelayCombo->getText());
    const float newAmpDb = gAmps[juce::jlimit (0, kNumAmps - 1, ampCombo->getSelectedItemIndex())];
    const float newAmpLin = dbToLinear (newAmpDb);
    params.sweepSec = readSeconds (sweepTimeCombo->getText());
    params.mlsBits = mlsLenCombo->getSelectedId();
    params.numAverages = repsCombo->getSelectedItemIndex() + 1;

    // A settings file may hold any number: a run must measure at least one pair.
    if (newNumRecChan < 1)
        return showErrorBox ("The number of channels to record must be at least 1");

    if (params.numPlayChan < 1)
        return showErrorBox ("The number of channels to play must be at least 1");

    RunLayout layout;
    const std::string problem = layoutRun (params, layout);

    if (!problem.empty())
        return showErrorBox (juce::String (problem));

    const SweepParams newSweepParams{(double)params.sampleRate, 20.0, 0.5 * params.sampleRate,
                                     (double)params.sweepSec,   0.0,  (double)newAmpLin};
    const uint64_t stimulusLen = params.isMls ? (uint64_t)layout.mlsLen : layout.sweepLen;

    // The new buffers are made before the last run's are released, so that
    // a run that does not fit leaves the last one as it was.
    int16_t* newPlayBuffer = measureAlloc<int16_t> ((uint64_t)numOutputs * layout.totalLen);
    int16_t* newRecordBuffer = measureAlloc<int16_t> ((uint64_t)numInputs * layout.totalLen);
    int16_t* newStimulus = measureAlloc<int16_t> (stimulusLen);

    if (newPlayBuffer == nullptr || newRecordBuffer == nullptr || newStimulus == nullptr)
    {
        std::free (newPlayBuffer);
        std::free (newRecordBuffer);
        std::free (newStimulus);
        return showErrorBox ("Not enough memory for this run: choose shorter times, a shorter MLS or fewer "
                             "channels");
    }

    if (params.isMls)
        generateMls (params.mlsBits, mlsAmplitude (newAmpLin), newStimulus, layout.mlsLen);
    else
        generateSweep (newSweepParams, newStimulus, layout.sweepLen);

    placeStimulus (newPlayBuffer, numOutputs, layout, params.numPlayChan, newStimulus, stimulusLen,
                   params.isMls ? params.numAverages + 1 : 1);

    std::free (playBuffer);
    playBuffer = newPlayBuffer;
    std::free (recordBuffer);
    recordBuffer = newRecordBuffer;

    if (params.isMls)
    {
        std::free (mlsSeq);
        mlsSeq = newStimulus;
    }
    else
    {
        std::free (sweepSig);
        sweepSig = newStimulus;
    }

    sampleRate = params.sampleRate;
    numRecChan = newNumRecChan;
    numPlayChan = params.numPlayChan;
    isMls = params.isMls;
    gapSec = params.gapSec;
    gapLen = layout.gapLen;
    initDelaySec = params.initDelaySec;
    initDelayLen = layout.initDelayLen;
    ampDb = newAmpDb;
    ampLin = newAmpLin;
    sweepSec = params.sweepSec;
    sweepLen = layout.sweepLen;
    mlsBits = params.mlsBits;
    mlsLen = layout.mlsLen;
    numAverages = params.numAverages;
    sweepParams = newSweepParams;
    playChans = numOutputs;
    recChans = numInputs;
    segmentLen = layout.segmentLen;
    totalLen = layout.totalLen;

    // Between runs the device may be running with the device manager's own callback.
    if (device->isPlaying())
        device->stop();

    playPos = 0;
    runDone.store (false, std::memory_order_release);
    xrunsAtStart = device->getXRunCount();
    runDropouts = 0;

    // What the device's restarts and blocks are compared with during the run;
    // the start below announces the same channels, so it warns of nothing.
    runOutputChannels = runDeviceChannels (device->getActiveOutputChannels(), numPlayChan);
    runInputChannels = runDeviceChannels (device->getActiveInputChannels(), numRecChan);
    announcedOutputs.store (numOutputs, std::memory_order_relaxed);
    announcedInputs.store (numInputs, std::memory_order_relaxed);
    runChannelsMoved.store (false, std::memory_order_relaxed);
    deviceLost.store (false, std::memory_order_release);

    device->start (this);
    measuring = true;
}

void MainComponent::stopMeasurement()
{
    {
        const OwnDeviceStop own (stoppingDevice);
        deviceManager.closeAudioDevice();
    }
    deviceManager.restartLastAudioDevice();
    measuring = false;
}
