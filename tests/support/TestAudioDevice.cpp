#include "support/TestAudioDevice.h"

#include <thread>

TestAudioDevice::TestAudioDevice (const juce::String& type, const TestAudioDeviceConfig& c)
    : juce::AudioIODevice (TestAudioDeviceType::kDeviceName, type), config (c)
{
}

TestAudioDevice::~TestAudioDevice()
{
    stop();
}

juce::StringArray TestAudioDevice::getOutputChannelNames()
{
    juce::StringArray names;

    for (int i = 0; i < config.numOutputs; ++i)
        names.add ("out " + juce::String (i + 1));

    return names;
}

juce::StringArray TestAudioDevice::getInputChannelNames()
{
    juce::StringArray names;

    for (int i = 0; i < config.numInputs; ++i)
        names.add ("in " + juce::String (i + 1));

    return names;
}

juce::Array<double> TestAudioDevice::getAvailableSampleRates()
{
    return {config.sampleRate};
}
juce::Array<int> TestAudioDevice::getAvailableBufferSizes()
{
    return {config.bufferSize};
}
int TestAudioDevice::getDefaultBufferSize()
{
    return config.bufferSize;
}

juce::String TestAudioDevice::open (const juce::BigInteger& inputChannels, const juce::BigInteger& outputChannels,
                                    double, int)
{
    activeInputs = inputChannels;
    activeInputs.setRange (config.numInputs, juce::jmax (0, inputChannels.getHighestBit() + 1), false);
    activeOutputs = outputChannels;
    activeOutputs.setRange (config.numOutputs, juce::jmax (0, outputChannels.getHighestBit() + 1), false);
    currentRate = config.sampleRate;
    currentBufferSize = config.bufferSize;
    opened = true;
    return {};
}

void TestAudioDevice::close()
{
    stop();
    opened = false;
}

bool TestAudioDevice::isOpen()
{
    return opened && !reportClosed;
}

void TestAudioDevice::start (juce::AudioIODeviceCallback* newCallback)
{
    if (newCallback == nullptr)
        return;

    stop();
    callback = newCallback;
    callback->audioDeviceAboutToStart (this);
    playing = true;
    ++numStarts;
}

void TestAudioDevice::stop()
{
    if (!playing)
        return;

    playing = false;
    callback->audioDeviceStopped();
    if (onStop)
        onStop();
}

bool TestAudioDevice::isPlaying()
{
    return playing;
}
juce::String TestAudioDevice::getLastError()
{
    return {};
}
int TestAudioDevice::getCurrentBufferSizeSamples()
{
    return currentBufferSize;
}
double TestAudioDevice::getCurrentSampleRate()
{
    return currentRate;
}
int TestAudioDevice::getCurrentBitDepth()
{
    return 16;
}
juce::BigInteger TestAudioDevice::getActiveOutputChannels() const
{
    return activeOutputs;
}
juce::BigInteger TestAudioDevice::getActiveInputChannels() const
{
    return activeInputs;
}
int TestAudioDevice::getOutputLatencyInSamples()
{
    return 0;
}
int TestAudioDevice::getInputLatencyInSamples()
{
    return 0;
}

bool TestAudioDevice::runBlock (int numSamples, const std::function<float (int, int)>& input)
{
    return runBlockWithChannels (numSamples, activeInputs.countNumberOfSetBits(), activeOutputs.countNumberOfSetBits(),
                                 input);
}

bool TestAudioDevice::runBlockWithChannels (int numSamples, int numIns, int numOuts,
                                            const std::function<float (int, int)>& input)
{
    if (!playing)
        return false;

    juce::AudioBuffer<float> in (juce::jmax (1, numIns), numSamples);
    in.clear();

    if (input)
        for (int ch = 0; ch < numIns; ++ch)
            for (int i = 0; i < numSamples; ++i)
                in.setSample (ch, i, input (ch, i));

    lastOutput.setSize (juce::jmax (1, numOuts), numSamples);
    lastOutput.clear();

    callback->audioDeviceIOCallbackWithContext (in.getArrayOfReadPointers(), numIns,
                                                lastOutput.getArrayOfWritePointers(), numOuts, numSamples, {});
    return true;
}

void TestAudioDevice::restartWithChannels (const juce::BigInteger& inputs, const juce::BigInteger& outputs)
{
    auto* const wasCalling = playing ? callback : nullptr;
    stop();
    activeInputs = inputs;
    activeOutputs = outputs;
    if (wasCalling != nullptr)
        start (wasCalling);
}

void TestAudioDevice::loseOnAnotherThread()
{
    std::thread elsewhere (
        [this]
        {
            stop();
            opened = false;
        });
    elsewhere.join();
}

TestAudioDeviceType::TestAudioDeviceType() : juce::AudioIODeviceType (kTypeName) {}

juce::StringArray TestAudioDeviceType::getDeviceNames (bool) const
{
    return {kDeviceName};
}
int TestAudioDeviceType::getDefaultDeviceIndex (bool) const
{
    return 0;
}

int TestAudioDeviceType::getIndexOfDevice (juce::AudioIODevice* device, bool) const
{
    return device != nullptr && device->getName() == kDeviceName ? 0 : -1;
}

bool TestAudioDeviceType::hasSeparateInputsAndOutputs() const
{
    return false;
}

juce::AudioIODevice* TestAudioDeviceType::createDevice (const juce::String& outputDeviceName,
                                                        const juce::String& inputDeviceName)
{
    if (outputDeviceName != kDeviceName && inputDeviceName != kDeviceName)
        return nullptr;

    return new TestAudioDevice (getTypeName(), config);
}

TestAudioDevice* useTestAudioDevice (juce::AudioDeviceManager& manager, const TestAudioDeviceConfig& config)
{
    TestAudioDeviceType* type = nullptr;

    for (auto* t : manager.getAvailableDeviceTypes())
        if (auto* test = dynamic_cast<TestAudioDeviceType*> (t))
            type = test;

    if (type == nullptr)
    {
        auto newType = std::make_unique<TestAudioDeviceType>();
        type = newType.get();
        manager.addAudioDeviceType (std::move (newType));
    }

    // Closing first spares the device manager's pause between device types.
    manager.closeAudioDevice();
    type->config = config;

    juce::AudioDeviceManager::AudioDeviceSetup setup;
    setup.inputDeviceName = TestAudioDeviceType::kDeviceName;
    setup.outputDeviceName = TestAudioDeviceType::kDeviceName;
    setup.useDefaultInputChannels = false;
    setup.useDefaultOutputChannels = false;
    setup.inputChannels.setRange (0, config.numInputs, true);
    setup.outputChannels.setRange (0, config.numOutputs, true);
    setup.sampleRate = config.sampleRate;
    setup.bufferSize = config.bufferSize;

    manager.setCurrentAudioDeviceType (TestAudioDeviceType::kTypeName, false);

    if (manager.setAudioDeviceSetup (setup, false).isNotEmpty())
        return nullptr;

    return dynamic_cast<TestAudioDevice*> (manager.getCurrentAudioDevice());
}
