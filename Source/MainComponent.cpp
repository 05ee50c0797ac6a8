#include "MainComponent.h"

#include "BoundedTextComboBox.h"
#include "BoundedUtf8InputFilter.h"
#include "MakerWebPage.h"
#include "MeasurementTables.h"
#include "QVLogo.h"
#include "ShortNumberText.h"

namespace
{
juce::Font controlFont (float height)
{
    return juce::Font (height, juce::Font::plain).withTypefaceStyle ("Regular");
}

void addLabel (juce::Component& panel, std::unique_ptr<juce::Label>& label, const char* name, const char* text,
               juce::Rectangle<int> bounds, float fontHeight = 15.0f)
{
    label = std::make_unique<juce::Label> (name, juce::translate (text));
    panel.addAndMakeVisible (label.get());
    label->setFont (controlFont (fontHeight));
    label->setJustificationType (juce::Justification::centredLeft);
    label->setEditable (false, false, false);
    label->setBounds (bounds);
}

void addCombo (juce::Component& panel, std::unique_ptr<juce::ComboBox>& combo, const char* name, const char* tooltip,
               bool editableText, juce::ComboBox::Listener* listener, juce::Rectangle<int> bounds)
{
    // Only the timing combos take typed text; it is bounded like their restored text.
    if (editableText)
        combo = std::make_unique<BoundedTextComboBox> (name, MainComponent::kMaxTimingTextLength);
    else
        combo = std::make_unique<juce::ComboBox> (name);
    panel.addAndMakeVisible (combo.get());
    combo->setTooltip (juce::translate (tooltip));
    combo->setEditableText (editableText);
    combo->setJustificationType (juce::Justification::centredLeft);
    combo->setTextWhenNothingSelected (juce::String());
    combo->setTextWhenNoChoicesAvailable (juce::translate ("(no choices)"));
    combo->addListener (listener);
    combo->setBounds (bounds);
}

template <typename ButtonType>
void addButton (juce::Component& panel, std::unique_ptr<ButtonType>& button, const char* name, const char* text,
                const char* tooltip, juce::Button::Listener* listener, juce::Rectangle<int> bounds)
{
    button = std::make_unique<ButtonType> (name);
    panel.addAndMakeVisible (button.get());
    button->setTooltip (juce::translate (tooltip));
    button->setButtonText (juce::translate (text));
    button->addListener (listener);
    button->setBounds (bounds);
}

// The field takes typed or pasted text up to maxTextBytes of UTF-8, like its restored text.
void addTextEditor (juce::Component& panel, std::unique_ptr<juce::TextEditor>& editor, const char* name,
                    const char* tooltip, int maxTextBytes, juce::Rectangle<int> bounds)
{
    editor = std::make_unique<juce::TextEditor> (name);
    editor->setInputFilter (new BoundedUtf8InputFilter (maxTextBytes), true);
    panel.addAndMakeVisible (editor.get());
    editor->setTooltip (juce::translate (tooltip));
    editor->setMultiLine (false);
    editor->setReturnKeyStartsNewLine (false);
    editor->setReadOnly (false);
    editor->setScrollbarsShown (true);
    editor->setCaretVisible (true);
    editor->setPopupMenuEnabled (true);
    editor->setText (juce::String(), true);
    editor->setBounds (bounds);
}

void addMeter (juce::Component& panel, std::unique_ptr<MultiMeterComponent>& meter, const char* name,
               juce::Rectangle<int> bounds)
{
    meter = std::make_unique<MultiMeterComponent>();
    panel.addAndMakeVisible (meter.get());
    meter->setName (name);
    meter->setBounds (bounds);
}

void setMeterColours (MultiMeterComponent& meter)
{
    meter.setBackgroundColour (juce::Colour (0x00000000));
    meter.setBarBackgroundColour (juce::Colour (0xff273236));
    meter.setTextColour (juce::Colour (0xffffffff));
    meter.setOutlineColour (juce::Colour (0xff8e989b));
}

// The compiler's build stamps, as in "Dec  9 2026 14:05:09".
juce::String buildDateAndTime()
{
    return juce::String (__DATE__) + " " + juce::String (__TIME__);
}
} // namespace

void QVClickComponent::mouseDown (const juce::MouseEvent&)
{
    juce::URL (kMakerWebPage).launchInDefaultBrowser();
}

MainComponent::MainComponent (juce::PropertiesFile* settingsToUse) : settings (settingsToUse)
{
    addLabel (*this, titleLabel, "titleLabel", "Tol Vane", {32, 8, 152, 40}, 32.0f);
    addButton (*this, audioSettingsButton, "audioSettingsButton", "Audio Settings...", "Open audio device settings",
               this, {40, 64, 128, 24});
    addLabel (*this, numPlayChanLabel, "numPlayChanLabel", "#Chan to play:", {256, 64, 104, 24});
    addCombo (*this, numPlayChanCombo, "numPlayChanCombo",
              "Select the number of output channels to measure: 1 = left, 2 = (left, right), etc.", false, this,
              {384, 64, 64, 24});
    addLabel (*this, numRecChanLabel, "numRecChanLabel", "#Chan to rec:", {488, 64, 104, 24});
    addCombo (*this, numRecChanCombo, "numRecChanCombo",
              "Select the number of recorded measurement channels: 1 = left, 2 = (left, right), etc.", false, this,
              {600, 64, 64, 24});
    addLabel (*this, typeLabel, "typeLabel", "Type:", {32, 112, 56, 24});
    addCombo (*this, typeCombo, "typeCombo", "Type of measurement: either swept sine wave or MLS noise", false, this,
              {120, 112, 112, 24});
    addLabel (*this, ampLabel, "ampLabel", "Amp:", {264, 112, 40, 24});
    addCombo (*this, ampCombo, "ampCombo", "The amplitude of the measurement signal.", false, this,
              {336, 112, 112, 24});
    addLabel (*this, gapDelayLabel, "gapDelayLabel", "Gap (sec):", {488, 112, 88, 24});
    addCombo (*this, gapDelayCombo, "gapDelayCombo",
              "Gap delay, in seconds, between each channel measurement. This should be as long as the decay time of "
              "the system being measured. You can enter a value by clicking and typing.",
              true, this, {584, 112, 80, 24});
    addLabel (*this, sweepTimeLabel, "sweepTimeLabel", "Time (sec):", {32, 160, 72, 24});
    addCombo (*this, sweepTimeCombo, "sweepTimeCombo",
              "Sweep time in seconds. The computed impulse response length will be equal to the sweep time plus the "
              "gap time. You can enter a value by clicking and typing.",
              true, this, {120, 160, 112, 24});
    addLabel (*this, mlsLenLabel, "mlsLenLabel", "MLS Len:", {32, 160, 72, 24});
    addCombo (*this, mlsLenCombo, "mlsLenCombo",
              "The length of the MLS sequence in samples. This determines the length of the resulting impulse "
              "response. This should be at least as long as the decay time of the system being measured.",
              false, this, {120, 160, 112, 24});
    addLabel (*this, repsLabel, "repsLabel", "#Reps:", {256, 160, 64, 24});
    addCombo (*this, repsCombo, "repsCombo",
              "Number of repetitions of the MLS sequence, at least 2. More repetitions will increase the signal to "
              "noise ratio of the response, like averaging multiple measurements.",
              false, this, {336, 160, 112, 24});
    addButton (*this, autoCropButton, "autoCropButton", "Automatically crop",
               "Automatically crop start and end of response.", this, {32, 232, 150, 24});
    addLabel (*this, cropThreshLabel, "cropThreshLabel", "Thresh:", {200, 232, 80, 24});
    addCombo (*this, cropThreshCombo, "cropThreshCombo",
              "If auto crop is enabled, response signal below threshold (relative to peak) is cropped at start and "
              "end of responses. All channels are cropped the same.",
              false, this, {288, 232, 80, 24});
    addCombo (*this, outFileCombo, "", "Select how to organize responses into one or more output files.", false, this,
              {504, 232, 158, 24});
    addLabel (*this, outFileLabel, "outFileLabel", "Output files:", {392, 232, 104, 24});
    addButton (*this, normButton, "normButton", "Normalize output",
               "Normalize outputs so that peak across all channels is 0 dB. The same gain is applied to all channels.",
               this, {32, 264, 150, 24});
    addLabel (*this, initDelayLabel, "initDelayLabel", "Delay (sec):", {200, 264, 80, 24});
    addCombo (*this, initDelayCombo, "initDelayCombo",
              "Initial delay, in seconds, before the first measurement playback.", false, this, {288, 264, 80, 24});
    addLabel (*this, tsFmtLabel, "tsFmtLabel", "True Stereo fmt:", {392, 264, 104, 24});
    addCombo (*this, tsFmtCombo, "tsFmtCombo",
              "If measuring stereo recording from stereo playback, a 4-channel 'true stereo' response will be "
              "created. This specifies the order of channels in the file. Velmora expects format (LL, LR, RL, RR).",
              false, this, {504, 264, 160, 24});
    addLabel (*this, dirLabel, "dirLabel", "Directory:", {32, 304, 64, 24});
    addTextEditor (*this, dirText, "dirText", "The directory where impulse response files are written.",
                   kMaxDirTextBytes, {104, 304, 368, 24});
    addButton (*this, browseButton, "browseButton", "browse", "Click this to navigate to the desired output directory.",
               this, {488, 304, 64, 24});
    addLabel (*this, fileLabel, "fileLabel", "File:", {32, 344, 55, 24});
    addTextEditor (*this, fileText, "fileText",
                   "Enter the filename (without directory or extension) for the impulse response file.",
                   kMaxFileTextBytes, {104, 344, 368, 24});
    addLabel (*this, outFmtLabel, "outFmtLabel", "Fmt:", {480, 344, 40, 24});
    addCombo (*this, outFmtCombo, "outFmtCombo",
              "Selects the output file format. Text files are stored in ASCII with one channel per tab separated "
              "columns.",
              false, this, {528, 344, 136, 24});
    addButton (*this, startButton, "startButton", "Start",
               "Click to start measurement. During measurement you can click to stop and abort the current "
               "measurement.",
               this, {40, 392, 128, 24});
    addMeter (*this, inMeterComp, "inMeterComp", {440, 392, 224, 184});
    addMeter (*this, outMeterComp, "outMeterComp", {200, 392, 224, 184});

    // Added last, so it lies above the logo and catches its clicks.
    qvClickComp = std::make_unique<QVClickComponent>();
    addAndMakeVisible (qvClickComp.get());
    qvClickComp->setName ("qvClickComp");
    qvClickComp->setBounds (40, 512, 128, 64);

    logo = juce::ImageCache::getFromMemory (QVLogo_300x134_png_data, QVLogo_300x134_png_size);

    setSize (700, 600);

    titleLabel->setText ("Tol Vane", juce::dontSendNotification);
    titleLabel->setTooltip ("version: " + juce::String (JUCE_APPLICATION_VERSION_STRING) +
                            ", build date: " + buildDateAndTime());

    newPeaks.store (false);
    for (int i = 0; i < kNumMeteredChannels; ++i)
    {
        peakIn[i].store (0.0f);
        peakOut[i].store (0.0f);
    }

    inMeterComp->setMaxNumChan (kNumMeteredChannels);
    inMeterComp->setTitle ("IN");
    outMeterComp->setMaxNumChan (kNumMeteredChannels);
    outMeterComp->setTitle ("OUT");

    // Each combo gets its items and is restored from the settings at once.
    for (int n = 1; n <= 16; ++n)
        numPlayChanCombo->addItem (juce::String (n), n);
    restoreComboBox (*numPlayChanCombo);

    for (int n = 1; n <= 16; ++n)
        numRecChanCombo->addItem (juce::String (n), n);
    restoreComboBox (*numRecChanCombo);

    for (int i = 0; i < kNumMeasurementTypes; ++i)
        typeCombo->addItem (gMeasurementTypes[i], i + 1);
    restoreComboBox (*typeCombo);

    const double gapTimes[] = {0.5, 1.0, 2.0, 5.0, 10.0};
    for (int i = 0; i < (int)std::size (gapTimes); ++i)
        gapDelayCombo->addItem (shortNumberText (gapTimes[i]), i + 1);
    restoreComboBox (*gapDelayCombo);

    const double sweepTimes[] = {1.0, 2.0, 5.0, 10.0};
    for (int i = 0; i < (int)std::size (sweepTimes); ++i)
        sweepTimeCombo->addItem (shortNumberText (sweepTimes[i]), i + 1);
    restoreComboBox (*sweepTimeCombo);

    for (int i = 0; i < kNumMlsBits; ++i)
        mlsLenCombo->addItem (juce::String ((1 << gMlsBits[i]) - 1), gMlsBits[i]);
    restoreComboBox (*mlsLenCombo);

    for (int i = 0; i < kNumAmps; ++i)
        ampCombo->addItem (shortNumberText (gAmps[i]) + " dB", i + 1);
    restoreComboBox (*ampCombo);

    for (int i = 0; i < kNumCropThresh; ++i)
        cropThreshCombo->addItem (shortNumberText (gCropThresh[i]) + " dB", i + 1);
    restoreComboBox (*cropThreshCombo);

    for (int i = 0; i < kNumInitDelayTimes; ++i)
        initDelayCombo->addItem (shortNumberText (gInitDelayTimes[i]), i + 1);
    restoreComboBox (*initDelayCombo);

    for (int id = 1; id <= 9; ++id)
        repsCombo->addItem (juce::String (id + 1), id);
    restoreComboBox (*repsCombo);

    for (int i = 0; i < kNumFmts; ++i)
        outFmtCombo->addItem (gFmts[i], i + 1);
    restoreComboBox (*outFmtCombo);

    for (int i = 0; i < kNumTsFmts; ++i)
        tsFmtCombo->addItem (gTsFmts[i], i + 1);
    restoreComboBox (*tsFmtCombo);

    outFileCombo->addItem ("Single - one multichannel file with ALL responses", 1);
    outFileCombo->addItem ("Per output - one multichannel file per output channel", 2);
    outFileCombo->addItem ("Per response - one mono file per response", 3);
    restoreComboBox (*outFileCombo);

    restoreTogglesAndTexts();

    // Registered only now, so that the restored texts are not written back.
    fileText->addListener (this);
    dirText->addListener (this);

    initialiseAudioDevice();

    setMeterColours (*inMeterComp);
    setMeterColours (*outMeterComp);

    notify ("type");
    notify ("numChan");

    startTimer (100);
}

void MainComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff333e44));

    g.setColour (juce::Colour (0xff000000));
    g.fillRect (36, 204, 628, 4);

    // Still opaque black, so the logo is drawn at full opacity.
    if (logo.isValid())
        g.drawImage (logo, 32, 509, 150, 67, 0, 0, logo.getWidth(), logo.getHeight());
}

void MainComponent::resized() {}
