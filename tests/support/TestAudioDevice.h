#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

#include <functional>

// What the deterministic test device offers when it is created.
struct TestAudioDeviceConfig
{
    int numInputs = 2;
    int numOutputs = 2;
    double sampleRate = 48000.0;
    int bufferSize = 256;
};

// An audio device with no audio thread of its own: a test steps its callback
// one block at a time. For stepping the start checks and the run state only; the
// real play and record path is tested against a real JACK server.
class TestAudioDevice : public juce::AudioIODevice
{
public:
    TestAudioDevice (const juce::String& type, const TestAudioDeviceConfig& config);
    ~TestAudioDevice() override;

    juce::StringArray getOutputChannelNames() override;
    juce::StringArray getInputChannelNames() override;
    juce::Array<double> getAvailableSampleRates() override;
    juce::Array<int> getAvailableBufferSizes() override;
    int getDefaultBufferSize() override;

    juce::String open (const juce::BigInteger& inputChannels, const juce::BigInteger& outputChannels, double sampleRate,
                       int bufferSizeSamples) override;
    void close() override;
    bool isOpen() override;
    void start (juce::AudioIODeviceCallback* callback) override;
    void stop() override;
    bool isPlaying() override;
    juce::String getLastError() override;

    int getCurrentBufferSizeSamples() override;
    double getCurrentSampleRate() override;
    int getCurrentBitDepth() override;
    juce::BigInteger getActiveOutputChannels() const override;
    juce::BigInteger getActiveInputChannels() const override;
    int getOutputLatencyInSamples() override;
    int getInputLatencyInSamples() override;
    int getXRunCount() const noexcept override { return xrunCount; }

    // Runs one block of the current callback on the calling thread, with the
    // inputs from input(channel, frame); returns false when not playing.
    bool runBlock (int numSamples, const std::function<float (int, int)>& input = {});

    // The same with numInputs and numOutputs channels passed to the callback,
    // whatever the active channels say.
    bool runBlockWithChannels (int numSamples, int numInputs, int numOutputs,
                               const std::function<float (int, int)>& input = {});

    // As JUCE's JACK device does when its connected ports change, on the
    // calling thread: a playing device stops (audioDeviceStopped), takes the
    // new active channels and starts the same callback again
    // (audioDeviceAboutToStart). A device that is not playing only takes them.
    void restartWithChannels (const juce::BigInteger& inputs, const juce::BigInteger& outputs);

    // As a device that goes away: stops on a thread of its own, where the
    // callback's audioDeviceStopped runs, and reports itself closed from then on.
    void loseOnAnotherThread();

    // The callback that the last start was given, or null.
    juce::AudioIODeviceCallback* currentCallback() const { return callback; }

    // Called when a playing device stops, before stop() returns: the moment
    // after which no callback runs.
    std::function<void()> onStop;

    // Makes isOpen() report false while the channels stay active.
    bool reportClosed = false;
    int numStarts = 0;

    // What getXRunCount reports: the dropouts so far, -1 for a device that
    // cannot count them.
    int xrunCount = -1;

    // The outputs of the last block run, one array per active output.
    juce::AudioBuffer<float> lastOutput;

private:
    TestAudioDeviceConfig config;
    juce::BigInteger activeInputs, activeOutputs;
    double currentRate = 0.0;
    int currentBufferSize = 0;
    bool opened = false;
    bool playing = false;
    juce::AudioIODeviceCallback* callback = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TestAudioDevice)
};

// The device type "Tolvane Test" with one device, "Test Device", created
// from the type's current config.
class TestAudioDeviceType : public juce::AudioIODeviceType
{
public:
    static constexpr const char* kTypeName = "Tolvane Test";
    static constexpr const char* kDeviceName = "Test Device";

    TestAudioDeviceType();

    void scanForDevices() override {}
    juce::StringArray getDeviceNames (bool wantInputNames) const override;
    int getDefaultDeviceIndex (bool forInput) const override;
    int getIndexOfDevice (juce::AudioIODevice* device, bool asInput) const override;
    bool hasSeparateInputsAndOutputs() const override;
    juce::AudioIODevice* createDevice (const juce::String& outputDeviceName,
                                       const juce::String& inputDeviceName) override;

    TestAudioDeviceConfig config;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TestAudioDeviceType)
};

// Makes a new test device with config the device manager's current device
// (registering the type on first use) and returns it; null on failure.
TestAudioDevice* useTestAudioDevice (juce::AudioDeviceManager& manager, const TestAudioDeviceConfig& config = {});
