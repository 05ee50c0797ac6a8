#include "MainComponentHarness.h"
#include "SavedDeviceState.h"

#include "support/JackServer.h"
#include "support/ModalBoxRecorder.h"

#include <juce_audio_utils/juce_audio_utils.h>

namespace
{
const auto seeded = harness::seededWith();

JackServer::Options fourByFour()
{
    JackServer::Options options;
    options.captureChannels = 4;
    options.playbackChannels = 4;
    return options;
}

// JUCE's JACK device counts the connected ports as active, and learns of
// new connections from the message loop: wait for the count.
int activeOutputs (juce::AudioIODevice& device, int expected)
{
    const auto count = [&device] { return device.getActiveOutputChannels().countNumberOfSetBits(); };
    runMessageLoopUntil ([&] { return count() == expected; }, 30000);
    return count();
}

int activeInputs (juce::AudioIODevice& device, int expected)
{
    const auto count = [&device] { return device.getActiveInputChannels().countNumberOfSetBits(); };
    runMessageLoopUntil ([&] { return count() == expected; }, 30000);
    return count();
}

juce::Label* findLabel (juce::Component& parent, const juce::String& text)
{
    for (auto* c : parent.getChildren())
    {
        if (auto* label = dynamic_cast<juce::Label*> (c))
            if (label->getText() == text)
                return label;
        if (auto* label = findLabel (*c, text))
            return label;
    }
    return nullptr;
}

// The channel list of the selector that the given caption stands beside.
juce::ListBox* channelList (juce::Component& dialog, const juce::String& caption)
{
    auto* label = findLabel (dialog, caption);
    return label != nullptr ? dynamic_cast<juce::ListBox*> (label->getAttachedComponent()) : nullptr;
}

// Unticks and ticks the first output pair again, as a user would. Returns
// whether the dialog has an output list at all.
bool retickFirstOutputs (juce::Component& dialog)
{
    auto* outputs = channelList (dialog, "Active output channels:");
    if (outputs == nullptr)
        return false;
    outputs->getModel()->returnKeyPressed (0);
    outputs->getModel()->returnKeyPressed (0);
    return true;
}

class AudioDeviceTest : public harness::MainComponentTest
{
protected:
    juce::AudioIODevice* device() { return component->getDeviceManager().getCurrentAudioDevice(); }

    // Clicks the Audio Settings button and waits until its dialog has been
    // shown and dismissed by the recorder.
    void openAudioSettings (const ModalBoxRecorder& recorder)
    {
        const auto before = recorder.boxes().size();
        harness::findChildAs<juce::Button> (*component, "audioSettingsButton")->triggerClick();
        EXPECT_TRUE (runMessageLoopUntil ([&] { return recorder.boxes().size() > before; }, 60000));
        EXPECT_TRUE (deliverPostedMessages());
    }
};
} // namespace

TEST_F (AudioDeviceTest, NoSavedStateOpensTheDefaultDeviceWithEveryChannel)
{
    auto& server = startJackServer (fourByFour());
    ASSERT_TRUE (server.isRunning()) << server.startError();
    build (seeded);
    ASSERT_NE (device(), nullptr);
    EXPECT_EQ (device()->getTypeName(), "JACK");
    EXPECT_TRUE (device()->isOpen());
    EXPECT_EQ (activeOutputs (*device(), 4), 4);
    EXPECT_EQ (activeInputs (*device(), 4), 4);
}

TEST_F (AudioDeviceTest, ASavedDeviceSetupIsRestoredAndAForeignOneIgnored)
{
    auto& server = startJackServer (fourByFour());
    ASSERT_TRUE (server.isRunning()) << server.startError();

    struct Case
    {
        const char* what;
        juce::String xml;
        int outputs;
    };
    auto attributesWith = [] (const juce::String& outChans, const juce::String& inChans = "11")
    {
        return "deviceType=\"JACK\" audioOutputDeviceName=\"system\" audioInputDeviceName=\"system\" "
               "audioDeviceOutChans=\"" +
               outChans + "\" audioDeviceInChans=\"" + inChans + "\"";
    };
    const auto attributes = attributesWith ("1");
    // Output 0 alone, spelt out in as many digits as no device has channels:
    // within the bound it is used, beyond it the whole state is not.
    auto firstOutputIn = [] (int digits) { return juce::String::repeatedString ("0", digits - 1) + "1"; };
    const Case cases[] = {
        {"DEVICESETUP", "<?xml version=\"1.0\"?>\n<DEVICESETUP " + attributes + "/>", 1},
        {"channel set at the bound",
         "<DEVICESETUP " + attributesWith (firstOutputIn (kMaxSavedChannelSetLength)) + "/>", 1},
        {"channel set beyond the bound",
         "<DEVICESETUP " + attributesWith (firstOutputIn (kMaxSavedChannelSetLength + 1)) + "/>", 4},
        {"input channel set beyond the bound",
         "<DEVICESETUP " + attributesWith ("1", firstOutputIn (kMaxSavedChannelSetLength + 1)) + "/>", 4},
        {"lower case", "<devicesetup " + attributes + "/>", 1},
        {"other root element", "<AUDIOSETUP " + attributes + "/>", 4},
        {"malformed", "<DEVICESETUP " + attributes + "><MIDIINPUT></DEVICESETUP>", 4},
        {"empty", "", 4},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        build (harness::seededWith ("audioSettings", c.xml));
        ASSERT_NE (device(), nullptr);
        EXPECT_EQ (device()->getTypeName(), "JACK");
        EXPECT_EQ (activeOutputs (*device(), c.outputs), c.outputs);
        // The saved text is never rewritten by a start.
        EXPECT_EQ (stored ("audioSettings"), c.xml);
    }
}

TEST_F (AudioDeviceTest, ClosingTheDialogStoresTheDeviceStateAndTheNextStartOpensIt)
{
    auto& server = startJackServer (fourByFour());
    ASSERT_TRUE (server.isRunning()) << server.startError();
    auto start = seeded;
    start["numPlayChan"] = "2";
    start["numRecChan"] = "1";
    build (start);
    ASSERT_NE (device(), nullptr);

    bool sawLists = false;
    ModalBoxRecorder recorder (
        [&sawLists] (juce::Component& dialog)
        {
            sawLists = channelList (dialog, "Active output channels:") != nullptr &&
                       channelList (dialog, "Active input channels:") != nullptr;
            // With at most two outputs only the first pair stays on.
            retickFirstOutputs (dialog);
            return true;
        });
    openAudioSettings (recorder);

    ASSERT_EQ (recorder.titles().joinIntoString (","), "Audio Settings");
    EXPECT_TRUE (sawLists);
    ASSERT_NE (device(), nullptr);
    EXPECT_EQ (activeOutputs (*device(), 2), 2);

    auto xml = juce::parseXML (stored ("audioSettings"));
    ASSERT_NE (xml, nullptr) << stored ("audioSettings");
    EXPECT_EQ (xml->getTagName(), "DEVICESETUP");
    EXPECT_EQ (xml->getStringAttribute ("deviceType"), "JACK");
    EXPECT_TRUE (stored ("audioSettings").startsWith ("<?xml"));

    // The next start opens the device as chosen.
    const auto saved = stored ("audioSettings");
    start["audioSettings"] = saved;
    build (start);
    ASSERT_NE (device(), nullptr);
    EXPECT_EQ (device()->getTypeName(), "JACK");
    EXPECT_EQ (activeOutputs (*device(), 2), 2);
}

TEST_F (AudioDeviceTest, TheDialogsChannelLimitsFollowTheChannelSettings)
{
    auto& server = startJackServer (fourByFour());
    ASSERT_TRUE (server.isRunning()) << server.startError();

    struct Case
    {
        const char* numPlayChan;
        const char* numRecChan;
        bool outputList;
        bool inputList;
        int outputsAfterRetick; // -1: no list to tick
    };
    const Case cases[] = {
        {"2", "1", true, true, 2},      {"4", "2", true, true, 4},    {"0", "2", false, true, -1},
        {"abc", "0", false, false, -1}, {"-3", "1", false, true, -1}, {"4294967296", "1", true, true, 4},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String ("numPlayChan ") + c.numPlayChan + ", numRecChan " + c.numRecChan);
        auto start = seeded;
        start["numPlayChan"] = c.numPlayChan;
        start["numRecChan"] = c.numRecChan;
        build (start);

        bool hadOutputs = false, hadInputs = false;
        ModalBoxRecorder recorder (
            [&] (juce::Component& dialog)
            {
                hadOutputs = retickFirstOutputs (dialog);
                hadInputs = channelList (dialog, "Active input channels:") != nullptr;
                return true;
            });
        openAudioSettings (recorder);

        ASSERT_EQ (recorder.titles().joinIntoString (","), "Audio Settings");
        EXPECT_EQ (hadOutputs, c.outputList);
        EXPECT_EQ (hadInputs, c.inputList);
        if (c.outputsAfterRetick >= 0)
        {
            ASSERT_NE (device(), nullptr);
            EXPECT_EQ (activeOutputs (*device(), c.outputsAfterRetick), c.outputsAfterRetick);
        }
    }
}

TEST_F (AudioDeviceTest, ClosingTheDialogWithoutAChoiceLeavesTheSettingUnset)
{
    auto& server = startJackServer (fourByFour());
    ASSERT_TRUE (server.isRunning()) << server.startError();
    build (seeded);

    ModalBoxRecorder recorder;
    openAudioSettings (recorder);

    ASSERT_EQ (recorder.titles().joinIntoString (","), "Audio Settings");
    EXPECT_EQ (stored ("audioSettings"), "<absent>");
    // The device was reopened with its last settings.
    ASSERT_NE (device(), nullptr);
    EXPECT_TRUE (device()->isOpen());
}

TEST_F (AudioDeviceTest, WithNoDeviceAtAllTheProgramStartsAndShowsNothing)
{
    // No JACK server and no sound card.
    ModalBoxRecorder recorder;
    build (harness::seededWith ("audioSettings", JackServer::deviceSetupXml()));
    ASSERT_TRUE (deliverPostedMessages());
    EXPECT_EQ (device(), nullptr);
    EXPECT_TRUE (recorder.boxes().empty());
    EXPECT_EQ (component->getNumChildComponents(), 39);

    // The dialog still opens and closes.
    openAudioSettings (recorder);
    EXPECT_EQ (recorder.titles().joinIntoString (","), "Audio Settings");
}

// The dialog during a run closes the run's device and reopens it without the
// main component: the run can no longer end by itself, the button keeps
// "Stop", and Stop then ends it with nothing computed and nothing shown.
TEST_F (AudioDeviceTest, TheDialogDuringARunLeavesItToStop)
{
    auto& server = startJackServer();
    ASSERT_TRUE (server.isRunning()) << server.startError();
    const auto out = folder.getChildFile ("out");
    ASSERT_TRUE (out.createDirectory());
    build ({{"numRecChan", "1"},
            {"numPlayChan", "1"},
            {"type", "Sweep"},
            {"sweepTime", "1"},
            {"gapDelay", "0.5"},
            {"initDelay", "0"},
            {"ampDb", "-6"},
            {"fmt", "WAV 24-bit"},
            {"file", "ir"},
            {"dir", out.getFullPathName()}});
    ASSERT_NE (device(), nullptr);
    ASSERT_EQ (activeOutputs (*device(), 2), 2);
    ASSERT_EQ (activeInputs (*device(), 2), 2);

    ModalBoxRecorder recorder;
    auto* start = harness::findChildAs<juce::Button> (*component, "startButton");
    start->triggerClick();
    ASSERT_TRUE (runMessageLoopUntil ([start] { return start->getButtonText() == "Stop"; }, 60000));
    ASSERT_TRUE (recorder.boxes().empty());

    openAudioSettings (recorder);
    ASSERT_EQ (recorder.titles().joinIntoString (","), "Audio Settings");

    // The server plays on past the end of the whole run of 1.5 s (and a
    // second more): the run has not ended by itself.
    ASSERT_TRUE (harness::runMessageLoopForFrames (server, 48000 * 5 / 2));
    ASSERT_TRUE (deliverPostedMessages());
    EXPECT_EQ (start->getButtonText(), "Stop");
    EXPECT_EQ (out.getNumberOfChildFiles (juce::File::findFiles), 0);

    start->triggerClick();
    ASSERT_TRUE (runMessageLoopUntil ([start] { return start->getButtonText() == "Start"; }, 60000));
    ASSERT_TRUE (deliverPostedMessages());
    EXPECT_EQ (recorder.titles().joinIntoString (","), "Audio Settings");
    EXPECT_EQ (out.getNumberOfChildFiles (juce::File::findFiles), 0);
    ASSERT_NE (device(), nullptr);
    EXPECT_TRUE (device()->isOpen());
}
