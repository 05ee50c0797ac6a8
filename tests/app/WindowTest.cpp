#include "MainComponentHarness.h"

#include "MakerWebPage.h"

namespace
{
enum class Kind
{
    label,
    combo,
    textButton,
    toggle,
    editor,
    meter
};

struct ControlCase
{
    const char* name;
    Kind kind;
    juce::Rectangle<int> bounds;
    const char* text;
    const char* tooltip;
};

// Every control of the panel in creation order, as a user sees it.
const ControlCase controls[] = {
    {"titleLabel", Kind::label, {32, 8, 152, 40}, "Tol Vane", nullptr},
    {"audioSettingsButton", Kind::textButton, {40, 64, 128, 24}, "Audio Settings...", "Open audio device settings"},
    {"numPlayChanLabel", Kind::label, {256, 64, 104, 24}, "#Chan to play:", ""},
    {"numPlayChanCombo",
     Kind::combo,
     {384, 64, 64, 24},
     nullptr,
     "Select the number of output channels to measure: 1 = left, 2 = (left, right), etc."},
    {"numRecChanLabel", Kind::label, {488, 64, 104, 24}, "#Chan to rec:", ""},
    {"numRecChanCombo",
     Kind::combo,
     {600, 64, 64, 24},
     nullptr,
     "Select the number of recorded measurement channels: 1 = left, 2 = (left, right), etc."},
    {"typeLabel", Kind::label, {32, 112, 56, 24}, "Type:", ""},
    {"typeCombo",
     Kind::combo,
     {120, 112, 112, 24},
     nullptr,
     "Type of measurement: either swept sine wave or MLS noise"},
    {"ampLabel", Kind::label, {264, 112, 40, 24}, "Amp:", ""},
    {"ampCombo", Kind::combo, {336, 112, 112, 24}, nullptr, "The amplitude of the measurement signal."},
    {"gapDelayLabel", Kind::label, {488, 112, 88, 24}, "Gap (sec):", ""},
    {"gapDelayCombo",
     Kind::combo,
     {584, 112, 80, 24},
     nullptr,
     "Gap delay, in seconds, between each channel measurement. This should be as long as the decay time of the "
     "system being measured. You can enter a value by clicking and typing."},
    {"sweepTimeLabel", Kind::label, {32, 160, 72, 24}, "Time (sec):", ""},
    {"sweepTimeCombo",
     Kind::combo,
     {120, 160, 112, 24},
     nullptr,
     "Sweep time in seconds. The computed impulse response length will be equal to the sweep time plus the gap "
     "time. You can enter a value by clicking and typing."},
    {"mlsLenLabel", Kind::label, {32, 160, 72, 24}, "MLS Len:", ""},
    {"mlsLenCombo",
     Kind::combo,
     {120, 160, 112, 24},
     nullptr,
     "The length of the MLS sequence in samples. This determines the length of the resulting impulse response. "
     "This should be at least as long as the decay time of the system being measured."},
    {"repsLabel", Kind::label, {256, 160, 64, 24}, "#Reps:", ""},
    {"repsCombo",
     Kind::combo,
     {336, 160, 112, 24},
     nullptr,
     "Number of repetitions of the MLS sequence, at least 2. More repetitions will increase the signal to noise "
     "ratio of the response, like averaging multiple measurements."},
    {"autoCropButton",
     Kind::toggle,
     {32, 232, 150, 24},
     "Automatically crop",
     "Automatically crop start and end of response."},
    {"cropThreshLabel", Kind::label, {200, 232, 80, 24}, "Thresh:", ""},
    {"cropThreshCombo",
     Kind::combo,
     {288, 232, 80, 24},
     nullptr,
     "If auto crop is enabled, response signal below threshold (relative to peak) is cropped at start and end of "
     "responses. All channels are cropped the same."},
    {"", Kind::combo, {504, 232, 158, 24}, nullptr, "Select how to organize responses into one or more output files."},
    {"outFileLabel", Kind::label, {392, 232, 104, 24}, "Output files:", ""},
    {"normButton",
     Kind::toggle,
     {32, 264, 150, 24},
     "Normalize output",
     "Normalize outputs so that peak across all channels is 0 dB. The same gain is applied to all channels."},
    {"initDelayLabel", Kind::label, {200, 264, 80, 24}, "Delay (sec):", ""},
    {"initDelayCombo",
     Kind::combo,
     {288, 264, 80, 24},
     nullptr,
     "Initial delay, in seconds, before the first measurement playback."},
    {"tsFmtLabel", Kind::label, {392, 264, 104, 24}, "True Stereo fmt:", ""},
    {"tsFmtCombo",
     Kind::combo,
     {504, 264, 160, 24},
     nullptr,
     "If measuring stereo recording from stereo playback, a 4-channel 'true stereo' response will be created. This "
     "specifies the order of channels in the file. Velmora expects format (LL, LR, RL, RR)."},
    {"dirLabel", Kind::label, {32, 304, 64, 24}, "Directory:", ""},
    {"dirText", Kind::editor, {104, 304, 368, 24}, nullptr, "The directory where impulse response files are written."},
    {"browseButton",
     Kind::textButton,
     {488, 304, 64, 24},
     "browse",
     "Click this to navigate to the desired output directory."},
    {"fileLabel", Kind::label, {32, 344, 55, 24}, "File:", ""},
    {"fileText",
     Kind::editor,
     {104, 344, 368, 24},
     nullptr,
     "Enter the filename (without directory or extension) for the impulse response file."},
    {"outFmtLabel", Kind::label, {480, 344, 40, 24}, "Fmt:", ""},
    {"outFmtCombo",
     Kind::combo,
     {528, 344, 136, 24},
     nullptr,
     "Selects the output file format. Text files are stored in ASCII with one channel per tab separated columns."},
    {"startButton",
     Kind::textButton,
     {40, 392, 128, 24},
     "Start",
     "Click to start measurement. During measurement you can click to stop and abort the current measurement."},
    {"inMeterComp", Kind::meter, {440, 392, 224, 184}, nullptr, nullptr},
    {"outMeterComp", Kind::meter, {200, 392, 224, 184}, nullptr, nullptr},
    {"qvClickComp", Kind::meter, {40, 512, 128, 64}, nullptr, nullptr},
};

const auto defaults = harness::seededWith();

juce::StringArray itemTexts (juce::ComboBox& combo)
{
    juce::StringArray texts;
    for (int i = 0; i < combo.getNumItems(); ++i)
        texts.add (combo.getItemText (i) + ":" + juce::String (combo.getItemId (i)));
    return texts;
}

class WindowPanel : public harness::MainComponentTest
{
};
} // namespace

TEST_F (WindowPanel, EveryControlHasItsNameBoundsTextAndTooltipInCreationOrder)
{
    build (defaults);
    ASSERT_EQ (component->getWidth(), 700);
    ASSERT_EQ (component->getHeight(), 600);
    ASSERT_EQ (component->getNumChildComponents(), (int)std::size (controls));

    for (int i = 0; i < (int)std::size (controls); ++i)
    {
        const auto& c = controls[i];
        auto* comp = component->getChildComponent (i);
        SCOPED_TRACE (juce::String ("control ") + c.name + " at index " + juce::String (i));
        ASSERT_NE (comp, nullptr);
        EXPECT_EQ (comp->getName(), juce::String (c.name));
        EXPECT_EQ (comp->getBounds(), c.bounds);

        if (c.tooltip != nullptr)
        {
            auto* tip = dynamic_cast<juce::SettableTooltipClient*> (comp);
            ASSERT_NE (tip, nullptr);
            EXPECT_EQ (tip->getTooltip(), juce::String (c.tooltip));
        }

        switch (c.kind)
        {
        case Kind::label:
        {
            auto* label = dynamic_cast<juce::Label*> (comp);
            ASSERT_NE (label, nullptr);
            EXPECT_EQ (label->getText(), juce::String (c.text));
            const float height = juce::String (c.name) == "titleLabel" ? 32.0f : 15.0f;
            EXPECT_FLOAT_EQ (label->getFont().getHeight(), height);
            EXPECT_EQ (label->getFont().getTypefaceStyle(), juce::String ("Regular"));
            EXPECT_EQ (label->getJustificationType(), juce::Justification (juce::Justification::centredLeft));
            EXPECT_FALSE (label->isEditableOnSingleClick() || label->isEditableOnDoubleClick());
            break;
        }
        case Kind::combo:
        {
            auto* combo = dynamic_cast<juce::ComboBox*> (comp);
            ASSERT_NE (combo, nullptr);
            const juce::String name (c.name);
            EXPECT_EQ (combo->isTextEditable(), name == "gapDelayCombo" || name == "sweepTimeCombo");
            EXPECT_EQ (combo->getTextWhenNoChoicesAvailable(), juce::String ("(no choices)"));
            EXPECT_TRUE (combo->getTextWhenNothingSelected().isEmpty());
            break;
        }
        case Kind::textButton:
            ASSERT_NE (dynamic_cast<juce::TextButton*> (comp), nullptr);
            EXPECT_EQ (dynamic_cast<juce::Button*> (comp)->getButtonText(), juce::String (c.text));
            break;
        case Kind::toggle:
            ASSERT_NE (dynamic_cast<juce::ToggleButton*> (comp), nullptr);
            EXPECT_EQ (dynamic_cast<juce::Button*> (comp)->getButtonText(), juce::String (c.text));
            break;
        case Kind::editor:
        {
            auto* editor = dynamic_cast<juce::TextEditor*> (comp);
            ASSERT_NE (editor, nullptr);
            EXPECT_FALSE (editor->isMultiLine());
            EXPECT_FALSE (editor->isReadOnly());
            EXPECT_FALSE (editor->getReturnKeyStartsNewLine());
            break;
        }
        case Kind::meter:
            break;
        }
    }

    auto& title = *harness::findChildAs<juce::Label> (*component, "titleLabel");
    EXPECT_TRUE (title.getTooltip().startsWith ("version: 1.9, build date: ")) << title.getTooltip();
    EXPECT_TRUE (title.getTooltip().matchesWildcard ("version: 1.9, build date: ??? ?? ???? ??:??:??", false))
        << title.getTooltip();
}

TEST_F (WindowPanel, ComboItemListsHaveTheirTextsAndIds)
{
    build (defaults);
    const std::map<juce::String, juce::String> lists = {
        {"numPlayChanCombo", "1:1,2:2,3:3,4:4,5:5,6:6,7:7,8:8,9:9,10:10,11:11,12:12,13:13,14:14,15:15,16:16"},
        {"numRecChanCombo", "1:1,2:2,3:3,4:4,5:5,6:6,7:7,8:8,9:9,10:10,11:11,12:12,13:13,14:14,15:15,16:16"},
        {"typeCombo", "Sweep:1,MLS:2"},
        {"gapDelayCombo", "0.5:1,1:2,2:3,5:4,10:5"},
        {"sweepTimeCombo", "1:1,2:2,5:3,10:4"},
        {"mlsLenCombo", "255:8,511:9,1023:10,2047:11,4095:12,8191:13,16383:14,32767:15,65535:16,131071:17,"
                        "262143:18,524287:19,1048575:20"},
        {"ampCombo", "0 dB:1,-6 dB:2,-12 dB:3,-18 dB:4,-24 dB:5"},
        {"cropThreshCombo", "-6 dB:1,-12 dB:2,-18 dB:3,-24 dB:4,-30 dB:5,-36 dB:6,-42 dB:7,-48 dB:8,-54 dB:9,"
                            "-60 dB:10,-66 dB:11,-72 dB:12,-78 dB:13,-84 dB:14,-90 dB:15,-96 dB:16"},
        {"initDelayCombo", "0:1,0.5:2,1:3,2:4,5:5,10:6,20:7"},
        {"repsCombo", "2:1,3:2,4:3,5:4,6:5,7:6,8:7,9:8,10:9"},
        {"outFmtCombo", "txt (ASCII floats):1,WAV 16-bit:2,WAV 24-bit:3,WAV 32-bit float:4"},
        {"tsFmtCombo", "LL, LR, RL, RR:1|LL, RR, LR, RL:2|LL, LR, RR, RL:3"},
        {"outFileCombo", "Single - one multichannel file with ALL responses:1|Per output - one multichannel file "
                         "per output channel:2|Per response - one mono file per response:3"},
    };

    for (const auto& [name, expected] : lists)
    {
        const auto separator = expected.contains ("|") ? "|" : ",";
        EXPECT_EQ (itemTexts (combo (name)).joinIntoString (separator), expected) << name;
    }
}

TEST_F (WindowPanel, MetersHaveSixteenBarsTitlesAndColoursWithOutputLeftOfInput)
{
    build (defaults);
    auto& in = *harness::findChildAs<MultiMeterComponent> (*component, "inMeterComp");
    auto& out = *harness::findChildAs<MultiMeterComponent> (*component, "outMeterComp");
    EXPECT_LT (out.getRight(), in.getX());
    EXPECT_EQ (in.getMaxNumChan(), 16);
    EXPECT_EQ (out.getMaxNumChan(), 16);
    EXPECT_EQ (in.title, "IN");
    EXPECT_EQ (out.title, "OUT");
    EXPECT_EQ (in.getBar (0)->backgroundColour, juce::Colour (0xff273236));
    EXPECT_EQ (out.getBar (15)->outlineColour, juce::Colour (0xff8e989b));
    EXPECT_EQ (out.textColour, juce::Colour (0xffffffff));
    EXPECT_EQ (out.backgroundColour, juce::Colour (0x00000000));
}

TEST_F (WindowPanel, PaintsBackgroundSeparatorAndLogo)
{
    build (defaults);

    // Hide the children so that only the panel's own painting is checked.
    for (auto* c : component->getChildren())
        c->setVisible (false);
    auto panelOnly = component->createComponentSnapshot (component->getLocalBounds(), false);

    EXPECT_EQ (panelOnly.getPixelAt (5, 5).getARGB(), 0xff333e44u);
    EXPECT_EQ (panelOnly.getPixelAt (695, 595).getARGB(), 0xff333e44u);
    EXPECT_EQ (panelOnly.getPixelAt (36, 204).getARGB(), 0xff000000u);
    EXPECT_EQ (panelOnly.getPixelAt (663, 207).getARGB(), 0xff000000u);
    EXPECT_EQ (panelOnly.getPixelAt (664, 206).getARGB(), 0xff333e44u);
    EXPECT_EQ (panelOnly.getPixelAt (100, 208).getARGB(), 0xff333e44u);

    // The logo covers x 32..181, y 509..575 and differs from the background there.
    int logoPixels = 0;
    for (int y = 509; y < 576; ++y)
        for (int x = 32; x < 182; ++x)
            logoPixels += panelOnly.getPixelAt (x, y).getARGB() != 0xff333e44u ? 1 : 0;
    EXPECT_GT (logoPixels, 150 * 67 / 2);
    EXPECT_EQ (panelOnly.getPixelAt (31, 540).getARGB(), 0xff333e44u);
    EXPECT_EQ (panelOnly.getPixelAt (183, 540).getARGB(), 0xff333e44u);
}

TEST_F (WindowPanel, ClickAreaCoversTheLogoButItsMargin)
{
    build (defaults);
    component->setVisible (true);
    auto* click = harness::findChild (*component, "qvClickComp");
    ASSERT_NE (click, nullptr);
    EXPECT_EQ (component->getComponentAt (40, 512), click);
    EXPECT_EQ (component->getComponentAt (167, 575), click);
    EXPECT_NE (component->getComponentAt (35, 540), click);  // left margin of the logo
    EXPECT_NE (component->getComponentAt (175, 540), click); // right margin
    EXPECT_NE (component->getComponentAt (100, 510), click); // top margin
    EXPECT_EQ (juce::String (kMakerWebPage), juce::String ("https://example.org/tolvane"));
}

TEST_F (WindowPanel, OnlyOneOfTheSharedRowsIsVisibleAfterConstruction)
{
    build (defaults);
    EXPECT_TRUE (child ("sweepTimeCombo").isVisible());
    EXPECT_TRUE (child ("sweepTimeLabel").isVisible());
    EXPECT_FALSE (child ("mlsLenCombo").isVisible());
    EXPECT_FALSE (child ("mlsLenLabel").isVisible());
    EXPECT_FALSE (child ("repsCombo").isVisible());
}
