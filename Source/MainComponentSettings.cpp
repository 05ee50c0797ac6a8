#include "MainComponent.h"

#include "ChannelNames.h"
#include "ComboBoxSelection.h"
#include "MeasurementTables.h"
#include "SettingsNumbers.h"
#include "ShortNumberText.h"

namespace
{
// The text of item 2^bits - 1 of the MLS length combo. Orders that no item
// offers (or that would overflow) give a text that matches no item.
juce::String mlsLengthText (int bits)
{
    if (bits < 0 || bits > 62)
        return "-";

    return juce::String ((juce::int64) ((1ULL << bits) - 1));
}

// Shows the stored text, selecting the item of that text if there is one, and
// stores the shown text back on every change from now on. A text too long to
// be a timing value is unusable: the combo keeps its fallback, the empty
// text, and as nothing changed nothing is written back, so the file keeps
// what the user wrote.
void restoreFreeText (juce::ComboBox& combo, juce::PropertiesFile& settings, const juce::String& key)
{
    const auto stored = settings.getValue (key, juce::String());

    if (stored.length() <= MainComponent::kMaxTimingTextLength)
        combo.setText (stored, juce::sendNotificationAsync);

    combo.onChange = [&combo, &settings, key] { settings.setValue (key, combo.getText()); };
}

// Shows the stored text without a change message, or the fallback when the
// key is absent or holds more UTF-8 bytes than the field can use. Nothing is
// written back, so the file keeps what the user wrote.
void restoreBoundedText (juce::TextEditor& editor, juce::PropertiesFile& settings, const juce::String& key,
                         const juce::String& fallback, int maxBytes)
{
    const auto stored = settings.getValue (key, fallback);
    editor.setText (stored.getNumBytesAsUTF8() <= (size_t)maxBytes ? stored : fallback, false);
}
} // namespace

void MainComponent::restoreComboBox (juce::ComboBox& combo)
{
    auto& s = *settings;

    if (&combo == numPlayChanCombo.get())
        initComboBoxSelection (&combo, juce::String (getSettingsInt (s, "numPlayChan", 0)));
    else if (&combo == numRecChanCombo.get())
        initComboBoxSelection (&combo, juce::String (getSettingsInt (s, "numRecChan", 0)));
    else if (&combo == typeCombo.get())
        initComboBoxSelection (&combo, s.getValue ("type", "Sweep"));
    else if (&combo == gapDelayCombo.get())
        restoreFreeText (combo, s, "gapDelay");
    else if (&combo == sweepTimeCombo.get())
        restoreFreeText (combo, s, "sweepTime");
    else if (&combo == mlsLenCombo.get())
        initComboBoxSelection (&combo, mlsLengthText (getSettingsInt (s, "mlsBits", 0)));
    else if (&combo == ampCombo.get())
        initComboBoxSelection (&combo, s.getValue ("ampDb", juce::String()) + " dB");
    else if (&combo == cropThreshCombo.get())
        initComboBoxSelection (&combo, s.getValue ("cropThresh", juce::String()) + " dB");
    else if (&combo == initDelayCombo.get())
        restoreFreeText (combo, s, "initDelay");
    else if (&combo == repsCombo.get())
        initComboBoxSelection (&combo, s.getValue ("numReps", "2"));
    else if (&combo == outFmtCombo.get())
        initComboBoxSelection (&combo, s.getValue ("fmt", juce::String()));
    else if (&combo == tsFmtCombo.get())
        initComboBoxSelection (&combo, s.getValue ("trueStereoFmt", gTsFmts[0]));
    else if (&combo == outFileCombo.get())
    {
        // An index that no item has leaves the combo empty and the stored value in force.
        const int index = getSettingsInt (s, "outFileFmt", 0);

        if (index >= 0 && index < combo.getNumItems())
            combo.setSelectedId (combo.getItemId (index), juce::sendNotificationAsync);
    }
}

void MainComponent::restoreTogglesAndTexts()
{
    normButton->setToggleState (getSettingsFlag (*settings, "normalize"), juce::dontSendNotification);
    autoCropButton->setToggleState (getSettingsFlag (*settings, "autoCrop"), juce::dontSendNotification);

    restoreBoundedText (*fileText, *settings, "file", "impulse", kMaxFileTextBytes);
    restoreBoundedText (*dirText, *settings, "dir", juce::String(), kMaxDirTextBytes);
}

void MainComponent::comboBoxChanged (juce::ComboBox* comboBox)
{
    auto& s = *settings;
    const int index = comboBox->getSelectedItemIndex();
    const int id = comboBox->getSelectedId();

    if (comboBox == numPlayChanCombo.get())
    {
        s.setValue ("numPlayChan", comboBox->getItemText (index));
        notify ("numChan");
    }
    else if (comboBox == numRecChanCombo.get())
    {
        s.setValue ("numRecChan", comboBox->getItemText (index));
        notify ("numChan");
    }
    else if (comboBox == mlsLenCombo.get())
    {
        s.setValue ("mlsBits", id);
    }
    else if (comboBox == ampCombo.get())
    {
        // Nothing selected has no table value; nothing is written then.
        if (index >= 0 && index < kNumAmps)
            s.setValue ("ampDb", shortNumberText (gAmps[index]));
    }
    else if (comboBox == repsCombo.get())
    {
        s.setValue ("numReps", comboBox->getItemText (index));
    }
    else if (comboBox == typeCombo.get())
    {
        if (id >= 1 && id <= kNumMeasurementTypes)
            s.setValue ("type", gMeasurementTypes[id - 1]);
        notify ("type");
    }
    else if (comboBox == outFmtCombo.get())
    {
        s.setValue ("fmt", comboBox->getItemText (index));
    }
    else if (comboBox == tsFmtCombo.get())
    {
        s.setValue ("trueStereoFmt", comboBox->getText());
    }
    else if (comboBox == cropThreshCombo.get())
    {
        if (id >= 1 && id <= kNumCropThresh)
            s.setValue ("cropThresh", shortNumberText (gCropThresh[id - 1]));
    }
    else if (comboBox == outFileCombo.get())
    {
        s.setValue ("outFileFmt", index);
    }
}

void MainComponent::textEditorTextChanged (juce::TextEditor& editor)
{
    if (&editor == fileText.get())
        settings->setValue ("file", editor.getText());
    else if (&editor == dirText.get())
        settings->setValue ("dir", editor.getText());
}

void MainComponent::buttonClicked (juce::Button* button)
{
    if (button == browseButton.get())
    {
        browseForDirectory();
    }
    else if (button == startButton.get())
    {
        if (measuring)
            stopMeasurement();
        else
            startMeasurement();
    }
    else if (button == normButton.get())
    {
        settings->setValue ("normalize", button->getToggleState());
    }
    else if (button == autoCropButton.get())
    {
        settings->setValue ("autoCrop", button->getToggleState());
    }
    else if (button == audioSettingsButton.get())
    {
        showAudioSettings();
    }
}

void MainComponent::notify (const juce::String& what)
{
    if (what == "type")
    {
        const bool isMlsType = settings->getValue ("type", juce::String()) == "MLS";

        mlsLenLabel->setVisible (isMlsType);
        mlsLenCombo->setVisible (isMlsType);
        repsLabel->setVisible (isMlsType);
        repsCombo->setVisible (isMlsType);
        sweepTimeLabel->setVisible (!isMlsType);
        sweepTimeCombo->setVisible (!isMlsType);
    }
    else if (what == "numChan")
    {
        // Labels are made for the bars shown only: a stored count may be any
        // number, and one label per counted channel could exhaust the memory.
        const int playCount = getSettingsInt (*settings, "numPlayChan", 0);
        outMeterComp->setNumChan (playCount);
        outMeterComp->setChanLabels (getChannelNames (juce::jmin (playCount, outMeterComp->getNumChan())));

        const int recCount = getSettingsInt (*settings, "numRecChan", 0);
        inMeterComp->setNumChan (recCount);
        inMeterComp->setChanLabels (getChannelNames (juce::jmin (recCount, inMeterComp->getNumChan())));

        const bool trueStereo =
            getSettingsInt (*settings, "numPlayChan", 2) == 2 && getSettingsInt (*settings, "numRecChan", 2) == 2;
        tsFmtLabel->setVisible (trueStereo);
        tsFmtCombo->setVisible (trueStereo);
    }
}

void MainComponent::browseForDirectory()
{
    juce::FileChooser chooser ("Please select the directory...",
                               juce::File::getSpecialLocation (juce::File::userHomeDirectory), juce::String(), true,
                               false, nullptr);

    if (chooser.browseForDirectory())
        dirText->setText (chooser.getResult().getFullPathName(), true);
}

MainComponent::~MainComponent()
{
    // The device goes first, so the audio callback is over before any buffer is freed.
    {
        const OwnDeviceStop own (stoppingDevice);
        deviceManager.closeAudioDevice();
    }

    numPlayChanCombo = nullptr;
    numPlayChanLabel = nullptr;
    numRecChanLabel = nullptr;
    numRecChanCombo = nullptr;
    typeLabel = nullptr;
    typeCombo = nullptr;
    sweepTimeLabel = nullptr;
    sweepTimeCombo = nullptr;
    mlsLenLabel = nullptr;
    mlsLenCombo = nullptr;
    ampLabel = nullptr;
    ampCombo = nullptr;
    repsLabel = nullptr;
    repsCombo = nullptr;
    gapDelayLabel = nullptr;
    gapDelayCombo = nullptr;
    initDelayLabel = nullptr;
    initDelayCombo = nullptr;
    fileLabel = nullptr;
    fileText = nullptr;
    outFmtLabel = nullptr;
    outFmtCombo = nullptr;
    dirLabel = nullptr;
    dirText = nullptr;
    browseButton = nullptr;
    startButton = nullptr;
    tsFmtLabel = nullptr;
    tsFmtCombo = nullptr;
    inMeterComp = nullptr;
    outMeterComp = nullptr;
    normButton = nullptr;
    autoCropButton = nullptr;
    cropThreshCombo = nullptr;
    cropThreshLabel = nullptr;
    audioSettingsButton = nullptr;
    titleLabel = nullptr;
    qvClickComp = nullptr;
    outFileCombo = nullptr;
    outFileLabel = nullptr;

    std::free (playBuffer);
    std::free (recordBuffer);
    std::free (mlsSeq);
    std::free (sweepSig);
    playBuffer = recordBuffer = mlsSeq = sweepSig = nullptr;

    logo = juce::Image();
}
