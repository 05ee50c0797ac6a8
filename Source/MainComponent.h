#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cstdint>

#include "MeterComponent.h"
#include "SweepParams.h"

// The logo click area: opens the maker's web page on any mouse press.
class QVClickComponent : public juce::Component
{
public:
    QVClickComponent() = default;
    ~QVClickComponent() override = default;

    void mouseDown (const juce::MouseEvent&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QVClickComponent)
};

// The main window's content: the controls and their settings, the measurement
// engine, the response computation and the output stage. Its member
// definitions are split by concern across the MainComponent*.cpp files.
class MainComponent : public juce::Component,
                      public juce::TextEditor::Listener,
                      public juce::Timer,
                      public juce::AudioIODeviceCallback,
                      public juce::ComboBox::Listener,
                      public juce::Button::Listener
{
public:
    static constexpr int kNumMeteredChannels = 16;

    // The most characters a timing combo ("gapDelay", "sweepTime", "initDelay")
    // shows or takes typed: far more than any number of seconds needs, and far
    // too few for the window to stall laying the text out.
    static constexpr int kMaxTimingTextLength = 64;

    // The most UTF-8 bytes the folder field ("dir") and the file field
    // ("file") show or take typed, as the file system counts them: the
    // longest path Linux takes (PATH_MAX, 4096 with the terminator) and the
    // longest file name (NAME_MAX). A longer text can never be used, and
    // megabytes of it crash the field's painting.
    static constexpr int kMaxDirTextBytes = 4095;
    static constexpr int kMaxFileTextBytes = 255;

    explicit MainComponent (juce::PropertiesFile* settings);
    ~MainComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    // juce::TextEditor::Listener
    void textEditorTextChanged (juce::TextEditor& editor) override;

    // juce::Timer
    void timerCallback() override;

    // juce::AudioIODeviceCallback
    void audioDeviceIOCallbackWithContext (const float* const* inputChannelData,
                                           int numInputChannels,
                                           float* const* outputChannelData,
                                           int numOutputChannels,
                                           int numSamples,
                                           const juce::AudioIODeviceCallbackContext& context) override;
    void audioDeviceAboutToStart (juce::AudioIODevice* device) override;
    void audioDeviceStopped() override;
    void audioDeviceError (const juce::String&) override {}

    // juce::ComboBox::Listener
    void comboBoxChanged (juce::ComboBox* comboBox) override;

    // juce::Button::Listener
    void buttonClicked (juce::Button* button) override;

    void notify (const juce::String& what);
    void computeResponse();
    void updateMeters();

    // The device manager that opens and closes every device of the program.
    juce::AudioDeviceManager& getDeviceManager() noexcept { return deviceManager; }

private:
    void startMeasurement();
    void stopMeasurement();
    void endRun (juce::AudioIODevice* device, bool stopDevice);
    void abandonLostRun();
    void showRunOnStartButton();
    void showAudioSettings();
    void browseForDirectory();
    void initialiseAudioDevice();

    // Settings restore steps of the constructor (MainComponentSettings.cpp).
    void restoreComboBox (juce::ComboBox& combo);
    void restoreTogglesAndTexts();

    // Second half of computeResponse: names and writes the files, logs the
    // status and shows the result box. Frees every response and the table.
    void writeResponseFiles (float** responses, int responseLen, juce::String& statusText, int outFmtId);

    juce::PropertiesFile* settings;

    // Run state: written by Start before the device starts, read by the
    // computation after it has stopped.
    bool measuring = false;
    int32_t sampleRate = 0;
    int32_t numRecChan = 0;
    int32_t numPlayChan = 0;
    bool isMls = false;
    float sweepSec = 0.0f;
    uint64_t sweepLen = 0;
    float ampDb = 0.0f;
    float ampLin = 0.0f;
    int32_t mlsBits = 0;
    int64_t mlsLen = 0;
    int32_t numAverages = 0;
    float initDelaySec = 0.0f;
    uint64_t initDelayLen = 0;
    float gapSec = 0.0f;
    uint64_t gapLen = 0;
    SweepParams sweepParams { 48000.0, 20.0, 24000.0, 1.0, 0.0, 1.0 };
    int16_t* mlsSeq = nullptr;
    int16_t* sweepSig = nullptr;
    int32_t playChans = 0;
    int16_t* playBuffer = nullptr;
    uint64_t segmentLen = 0;
    uint64_t totalLen = 0;
    int32_t recChans = 0;
    int16_t* recordBuffer = nullptr;
    int32_t playPos = 0;             // audio thread only while the device runs
    std::atomic<bool> runDone { false }; // audio thread -> timer

    // The device's dropout count when the run started (negative when it
    // cannot count), and the dropouts the timer found when it ended the run.
    int xrunsAtStart = -1;
    int runDropouts = 0;

    // The device channels that carried the run's played and recorded
    // channels at Start (message thread), the channel counts the device last
    // announced (read by the audio thread), and whether a run channel has
    // been carried by another device channel since (set by either thread).
    juce::BigInteger runOutputChannels, runInputChannels;
    std::atomic<int> announcedOutputs { 0 }, announcedInputs { 0 };
    std::atomic<bool> runChannelsMoved { false };

    // True while Tolvane stops or closes the device itself. The device may
    // report a stop from any thread (JACK's own when its server goes away):
    // one that Tolvane did not ask for and that no restart followed marks the
    // run's device as lost, for the timer to see.
    std::atomic<bool> stoppingDevice { false };
    std::atomic<bool> deviceLost { false };

    // Marks the stops that Tolvane makes itself while it lives.
    struct OwnDeviceStop
    {
        explicit OwnDeviceStop (std::atomic<bool>& flagToSet) : flag (flagToSet) { flag.store (true); }
        ~OwnDeviceStop() { flag.store (false); }
        std::atomic<bool>& flag;
        JUCE_DECLARE_NON_COPYABLE (OwnDeviceStop)
    };

    juce::AudioDeviceManager deviceManager;

    // Peak hand-over from the audio thread to the meters.
    std::atomic<bool> newPeaks { false };
    std::atomic<float> peakIn[kNumMeteredChannels];
    std::atomic<float> peakOut[kNumMeteredChannels];

    std::unique_ptr<juce::ComboBox> numPlayChanCombo;
    std::unique_ptr<juce::Label> numPlayChanLabel;
    std::unique_ptr<juce::Label> numRecChanLabel;
    std::unique_ptr<juce::ComboBox> numRecChanCombo;
    std::unique_ptr<juce::Label> typeLabel;
    std::unique_ptr<juce::ComboBox> typeCombo;
    std::unique_ptr<juce::Label> sweepTimeLabel;
    std::unique_ptr<juce::ComboBox> sweepTimeCombo;
    std::unique_ptr<juce::Label> mlsLenLabel;
    std::unique_ptr<juce::ComboBox> mlsLenCombo;
    std::unique_ptr<juce::Label> ampLabel;
    std::unique_ptr<juce::ComboBox> ampCombo;
    std::unique_ptr<juce::Label> repsLabel;
    std::unique_ptr<juce::ComboBox> repsCombo;
    std::unique_ptr<juce::Label> gapDelayLabel;
    std::unique_ptr<juce::ComboBox> gapDelayCombo;
    std::unique_ptr<juce::Label> initDelayLabel;
    std::unique_ptr<juce::ComboBox> initDelayCombo;
    std::unique_ptr<juce::Label> fileLabel;
    std::unique_ptr<juce::TextEditor> fileText;
    std::unique_ptr<juce::Label> outFmtLabel;
    std::unique_ptr<juce::ComboBox> outFmtCombo;
    std::unique_ptr<juce::Label> dirLabel;
    std::unique_ptr<juce::TextEditor> dirText;
    std::unique_ptr<juce::TextButton> browseButton;
    std::unique_ptr<juce::TextButton> startButton;
    std::unique_ptr<juce::Label> tsFmtLabel;
    std::unique_ptr<juce::ComboBox> tsFmtCombo;
    std::unique_ptr<MultiMeterComponent> inMeterComp;
    std::unique_ptr<MultiMeterComponent> outMeterComp;
    std::unique_ptr<juce::ToggleButton> normButton;
    std::unique_ptr<juce::ToggleButton> autoCropButton;
    std::unique_ptr<juce::ComboBox> cropThreshCombo;
    std::unique_ptr<juce::Label> cropThreshLabel;
    std::unique_ptr<juce::TextButton> audioSettingsButton;
    std::unique_ptr<juce::Label> titleLabel;
    std::unique_ptr<QVClickComponent> qvClickComp;
    std::unique_ptr<juce::ComboBox> outFileCombo;
    std::unique_ptr<juce::Label> outFileLabel;

    juce::Image logo;

    // Tests of Start and of the computation reach the run state through this.
    friend struct MeasureTestPeer;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
