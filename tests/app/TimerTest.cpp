#include "MeasureComponentTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "log/QvLog.h"

namespace
{
std::vector<std::string> gLoggedLines;

void recordLogLine (void*, int, const char* line)
{
    gLoggedLines.push_back (line);
}

// Sends the log at the given level to gLoggedLines, emptied first, while it lives.
struct CapturedLog
{
    explicit CapturedLog (int level = 2)
    {
        gLoggedLines.clear();
        gQvLogFn = recordLogLine;
        gQvLogLevel = level;
    }
    ~CapturedLog()
    {
        gQvLogFn = savedFn;
        gQvLogLevel = savedLevel;
    }
    QvLogFn savedFn = gQvLogFn;
    int savedLevel = gQvLogLevel;
};

// Whether a logged line holds message after its time stamp: the whole of it,
// or its first 200 characters and more where a long one is cut.
bool loggedAs (const std::string& line, const juce::String& message)
{
    const std::string tag = "MainComponent ";
    const auto at = line.find (tag);
    if (at == std::string::npos)
        return false;
    const juce::String logged = juce::String (line.substr (at + tag.size())).trimCharactersAtEnd ("\n");
    return logged == message || (logged.length() >= 200 && message.startsWith (logged));
}

// A short sweep run into one 16-bit WAV file per run, per output a segment of
// 1000 frames (a 0.0125 s sweep of 600 frames and a gap of 400) at 48000 Hz,
// no initial delay; its boxes recorded.
class ShortRunTest : public MeasureComponentTest
{
protected:
    void buildShortRun (int numChan)
    {
        outDir = folder.getChildFile ("out");
        outDir.createDirectory();
        build ({
            {"numPlayChan", juce::String (numChan)},
            {"numRecChan", juce::String (numChan)},
            {"type", "Sweep"},
            {"sweepTime", "0.0125"},
            {"gapDelay", "0.00833333"},
            {"initDelay", "0"},
            {"ampDb", "-6"},
            {"fmt", "WAV 16-bit"},
            {"normalize", "0"},
            {"autoCrop", "0"},
            {"outFileFmt", "0"},
            {"file", "impulse"},
            {"dir", outDir.getFullPathName()},
        });
        // The test calls the timer itself: none may come while a dialog or box is up.
        component->stopTimer();
    }

    juce::File outDir;
    ModalBoxRecorder boxes;
};

// A run of 1000 frames, one output, one input, started.
class RunTimer : public ShortRunTest
{
protected:
    void SetUp() override
    {
        ShortRunTest::SetUp();
        buildShortRun (1);
        device = useDevice ({1, 1, 48000.0, 256});
        ASSERT_NE (device, nullptr);
        ASSERT_FALSE (clickStart().size() > 0) << "the run did not start";
        ASSERT_EQ (peer().state().totalLen, 1000u);
    }

    juce::String label() { return harness::findChildAs<juce::Button> (*component, "startButton")->getButtonText(); }

    MultiMeterComponent& meter (const char* name)
    {
        return *harness::findChildAs<MultiMeterComponent> (*component, name);
    }

    TestAudioDevice* device = nullptr;
};
} // namespace

TEST_F (RunTimer, RunEndsAtTheFirstTickAfterRunDone)
{
    const struct
    {
        int blocksBefore; // blocks of 256 frames run before the tick
        bool endsAtTick;
    } ticks[] = {
        {0, false}, // nothing played yet
        {3, false}, // 768 of 1000 frames
        {1, false}, // the run ends inside this block: runDone stays false
        {1, true},  // the first block wholly past the end raises runDone
    };

    for (size_t t = 0; t < std::size (ticks); ++t)
    {
        for (int b = 0; b < ticks[t].blocksBefore; ++b)
            ASSERT_TRUE (device->runBlock (256, [] (int, int) { return 0.25f; }));
        component->timerCallback();
        EXPECT_EQ (!peer().state().measuring, ticks[t].endsAtTick) << "tick " << t;
        if (!ticks[t].endsAtTick)
        {
            EXPECT_EQ (label(), "Stop") << "tick " << t;
        }
    }

    EXPECT_FALSE (device->isPlaying()) << "the timer stops the device";
    ASSERT_EQ (boxes.boxes().size(), 1u);
    EXPECT_EQ (boxes.boxes()[0].title, "Impulse response written");
    EXPECT_TRUE (outDir.getChildFile ("impulse.wav").existsAsFile());

    // The label follows measuring at the next tick; further ticks end nothing again.
    component->timerCallback();
    EXPECT_EQ (label(), "Start");
    component->timerCallback();
    EXPECT_EQ (boxes.boxes().size(), 1u);
}

TEST_F (RunTimer, MetersFollowThePeaksOnEveryTick)
{
    ASSERT_TRUE (device->runBlock (256, [] (int, int) { return 0.5f; }));
    component->timerCallback();
    auto& in = meter ("inMeterComp");
    EXPECT_NEAR (in.getBar (0)->levelDb, 20.0f * std::log10 (0.5f), 0.01f);

    // Without fresh peaks a bar only falls, by its decay step per tick.
    const float before = in.getBar (0)->levelDb;
    component->timerCallback();
    EXPECT_NEAR (in.getBar (0)->levelDb, before - in.getBar (0)->decayDb, 0.01f);
}

// The run detached by the Audio Settings dialog, then no device at all: the
// label is left as it was and the run cannot end, even with its end reported.
TEST_F (RunTimer, WithoutADeviceTheLabelStaysAndNoRunEnds)
{
    ASSERT_TRUE (device->runBlock (256, [] (int, int) { return 0.5f; }));
    component->timerCallback();
    EXPECT_EQ (label(), "Stop");
    for (int b = 0; b < 4; ++b)
        ASSERT_TRUE (device->runBlock (256, [] (int, int) { return 0.5f; }));
    ASSERT_TRUE (peer().state().runDone);

    component->buttonClicked (harness::findChildAs<juce::Button> (*component, "audioSettingsButton"));
    ASSERT_EQ (boxes.titles(), juce::StringArray ({"Audio Settings"}));
    peer().deviceManager().closeAudioDevice();
    harness::findChildAs<juce::Button> (*component, "startButton")->setButtonText ("Start");
    const float level = meter ("inMeterComp").getBar (0)->levelDb;
    component->timerCallback();

    EXPECT_EQ (label(), "Start") << "no device: the label is left as it was";
    EXPECT_TRUE (peer().state().measuring) << "no device: the run cannot end";
    EXPECT_EQ (boxes.boxes().size(), 1u) << boxes.titles().joinIntoString (", ");
    EXPECT_LT (meter ("inMeterComp").getBar (0)->levelDb, level) << "the meters still update";
}

// The device's dropout count read at Start and again when the timer ends the
// run: a count that grew heads the status text with a warning, in the box and
// in the log; the files are written all the same.
TEST_F (RunTimer, DropoutsDuringTheRunHeadTheStatusText)
{
    const juce::String written = "Wrote a single 1-channel impulse response file: impulse.wav";
    const struct
    {
        int atStart, atEnd;
        const char* warning;
    } cases[] = {
        {-1, -1, ""}, // the fixture's run: a device that cannot count
        {0, 0, ""},
        {4, 4, ""}, // dropouts before the run are not the run's
        {0, 1, "Warning: audio dropouts during the measurement (1); these responses may be damaged, measure again. "},
        {3, 15, "Warning: audio dropouts during the measurement (12); these responses may be damaged, measure again. "},
        {7, 2, ""},  // the count started again: a reopened device
        {-1, 3, ""}, // no count at the start
    };

    const CapturedLog log;
    for (size_t i = 0; i < std::size (cases); ++i)
    {
        const auto& c = cases[i];
        SCOPED_TRACE ("case " + std::to_string (i));
        boxes.clear();
        gLoggedLines.clear();
        outDir.getChildFile ("impulse.wav").deleteFile();

        if (i > 0)
        {
            device->xrunCount = c.atStart;
            ASSERT_TRUE (clickStart().empty()) << "the run did not start";
        }
        for (int b = 0; b < 5; ++b)
            ASSERT_TRUE (device->runBlock (256, [] (int, int) { return 0.25f; }));
        device->xrunCount = c.atEnd;
        component->timerCallback();

        const juce::String status = juce::String (c.warning) + written;
        ASSERT_EQ (boxes.boxes().size(), 1u);
        EXPECT_EQ (boxes.boxes()[0].title, "Impulse response written");
        EXPECT_EQ (boxes.boxes()[0].message, status);
        ASSERT_EQ (gLoggedLines.size(), 1u);
        EXPECT_NE (gLoggedLines[0].find (("MainComponent " + status + "\n").toStdString()), std::string::npos)
            << gLoggedLines[0];
        EXPECT_TRUE (outDir.getChildFile ("impulse.wav").existsAsFile());
    }
}

namespace
{
const juce::String kChannelsWarning = "Warning: the audio device's channels changed during the measurement; these "
                                      "responses may belong to other channels, measure again. ";
const juce::String kLostMessage = "The audio device stopped during the measurement and nothing was written: check "
                                  "Audio Settings and measure again";
} // namespace

// Normalisation and auto-crop add sentences of their own; the warnings still
// come first, the dropouts before the channels, each exactly once.
TEST_F (RunTimer, WarningsComeBeforeEveryOtherSentence)
{
    settings->setValue ("normalize", "1");
    settings->setValue ("autoCrop", "1");
    settings->setValue ("cropThresh", "-42");
    const juce::String dropouts =
        "Warning: audio dropouts during the measurement (2); these responses may be damaged, measure again. ";
    const struct
    {
        bool dropouts, channelsChanged;
    } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};

    const CapturedLog log;
    juce::String cleanStatus; // the status of the run without warnings
    for (size_t i = 0; i < std::size (cases); ++i)
    {
        const auto& c = cases[i];
        SCOPED_TRACE ("case " + std::to_string (i));
        boxes.clear();
        gLoggedLines.clear();
        if (i > 0)
        {
            device->xrunCount = 0;
            ASSERT_TRUE (clickStart().empty()) << "the run did not start";
        }
        for (int b = 0; b < 5; ++b)
        {
            // One block with an input more than the device announced: its channels moved.
            const bool moved = c.channelsChanged && b == 1;
            ASSERT_TRUE (device->runBlockWithChannels (256, moved ? 2 : 1, 1, [] (int, int) { return 0.25f; }));
        }
        device->xrunCount = c.dropouts ? 2 : 0;
        component->timerCallback();

        ASSERT_EQ (boxes.boxes().size(), 1u);
        ASSERT_EQ (boxes.boxes()[0].title, "Impulse response written");
        const juce::String message = boxes.boxes()[0].message;
        if (i == 0)
        {
            cleanStatus = message;
            ASSERT_TRUE (cleanStatus.startsWith ("Applied ") &&
                         cleanStatus.contains (" dB normalization gain. Cropped to ") &&
                         cleanStatus.endsWith ("Wrote a single 1-channel impulse response file: impulse.wav"))
                << cleanStatus;
            continue;
        }
        const juce::String status = (c.dropouts ? dropouts : juce::String()) +
                                    (c.channelsChanged ? kChannelsWarning : juce::String()) + cleanStatus;
        EXPECT_EQ (message, status);
        ASSERT_EQ (gLoggedLines.size(), 1u);
        EXPECT_TRUE (loggedAs (gLoggedLines[0], status)) << gLoggedLines[0];
    }
}

// A device that stops without being asked (gone from its own thread, or
// closed by the device manager) ends the run at the next tick. Before the
// run's last frame nothing is written and one "Error" box and the log say
// why; once every frame was recorded the run is complete and written.
TEST_F (RunTimer, ADeviceThatStopsUnaskedEndsTheRun)
{
    const struct
    {
        const char* what;
        int blocksBefore; // of 256 frames; the run's 1000 frames are all recorded after 4
        bool onItsOwnThread;
    } cases[] = {
        {"lost on its own thread mid-run", 2, true},
        {"closed by the device manager mid-run", 2, false},
        {"lost on its own thread once the run was complete", 5, true},
        {"closed by the device manager once the run was complete", 5, false},
    };

    const CapturedLog log;
    for (size_t i = 0; i < std::size (cases); ++i)
    {
        const auto& c = cases[i];
        SCOPED_TRACE (c.what);
        boxes.clear();
        gLoggedLines.clear();
        outDir.getChildFile ("impulse.wav").deleteFile();
        if (i > 0)
        {
            device = useDevice ({1, 1, 48000.0, 256});
            ASSERT_NE (device, nullptr);
            ASSERT_TRUE (clickStart().empty()) << "the run did not start";
        }
        for (int b = 0; b < c.blocksBefore; ++b)
        {
            ASSERT_TRUE (device->runBlock (256, [] (int, int) { return 0.25f; }));
            if (b == 0)
            {
                component->timerCallback();
                ASSERT_EQ (label(), "Stop");
            }
        }

        if (c.onItsOwnThread)
            device->loseOnAnotherThread();
        else
            peer().deviceManager().closeAudioDevice();
        component->timerCallback();

        EXPECT_FALSE (peer().state().measuring);
        EXPECT_EQ (label(), "Start");
        ASSERT_EQ (boxes.boxes().size(), 1u);
        if (c.blocksBefore < 5)
        {
            EXPECT_EQ (boxes.boxes()[0].title, "Error");
            EXPECT_EQ (boxes.boxes()[0].icon, juce::MessageBoxIconType::WarningIcon);
            EXPECT_EQ (boxes.boxes()[0].message, kLostMessage);
            ASSERT_EQ (gLoggedLines.size(), 1u);
            EXPECT_TRUE (loggedAs (gLoggedLines[0], kLostMessage)) << gLoggedLines[0];
            EXPECT_FALSE (outDir.getChildFile ("impulse.wav").exists());
        }
        else
        {
            EXPECT_EQ (boxes.boxes()[0].title, "Impulse response written");
            EXPECT_TRUE (outDir.getChildFile ("impulse.wav").existsAsFile());
        }

        component->timerCallback();
        EXPECT_EQ (boxes.boxes().size(), 1u) << "the run ends once";
    }
}

// The window stops or closes the device itself at the end of a run, at Stop
// and for the Audio Settings dialog; none of these stops may cost a later run
// of the same window its ending when that run's device is lost.
TEST_F (RunTimer, ADeviceLostInALaterRunEndsItAsInTheFirst)
{
    const auto playBlocks = [this] (int n)
    {
        for (int b = 0; b < n; ++b)
            ASSERT_TRUE (currentDevice()->runBlock (256, [] (int, int) { return 0.25f; }));
    };
    const auto clickAudioSettings = [this]
    {
        component->buttonClicked (harness::findChildAs<juce::Button> (*component, "audioSettingsButton"));
        ASSERT_EQ (boxes.titles(), juce::StringArray ({"Audio Settings"}));
    };

    const struct
    {
        const char* what;
        std::function<void()> earlier; // from no run to no run, on a fresh device
    } cases[] = {
        {"after a run that ended normally",
         [&]
         {
             ASSERT_TRUE (clickStart().empty()) << "the earlier run did not start";
             playBlocks (5);
             component->timerCallback();
             ASSERT_EQ (boxes.titles(), juce::StringArray ({"Impulse response written"}));
         }},
        {"after a run ended with Stop",
         [&]
         {
             ASSERT_TRUE (clickStart().empty()) << "the earlier run did not start";
             playBlocks (2);
             component->timerCallback();
             ASSERT_TRUE (clickStart().empty()) << "Stop";
         }},
        {"after the Audio Settings dialog between runs", [&] { clickAudioSettings(); }},
        {"after a run detached by the Audio Settings dialog and ended with Stop",
         [&]
         {
             ASSERT_TRUE (clickStart().empty()) << "the earlier run did not start";
             playBlocks (1);
             clickAudioSettings();
             ASSERT_TRUE (clickStart().empty()) << "Stop";
         }},
    };

    // The fixture's run is over before the cases begin.
    playBlocks (5);
    component->timerCallback();

    const CapturedLog log;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ASSERT_NE (useDevice ({1, 1, 48000.0, 256}), nullptr);
        boxes.clear();
        c.earlier();
        component->timerCallback();
        ASSERT_FALSE (peer().state().measuring);
        ASSERT_EQ (label(), "Start");

        boxes.clear();
        gLoggedLines.clear();
        outDir.getChildFile ("impulse.wav").deleteFile();
        ASSERT_TRUE (clickStart().empty()) << "the later run did not start";
        playBlocks (2);
        component->timerCallback();
        ASSERT_TRUE (peer().state().measuring) << "the later run ended before its device was lost";
        ASSERT_EQ (label(), "Stop");
        ASSERT_TRUE (boxes.boxes().empty()) << boxes.titles().joinIntoString (", ");

        currentDevice()->loseOnAnotherThread();
        component->timerCallback();

        EXPECT_FALSE (peer().state().measuring);
        EXPECT_EQ (label(), "Start");
        ASSERT_EQ (boxes.boxes().size(), 1u) << boxes.titles().joinIntoString (", ");
        EXPECT_EQ (boxes.boxes()[0].title, "Error");
        EXPECT_EQ (boxes.boxes()[0].message, kLostMessage);
        ASSERT_EQ (gLoggedLines.size(), 1u);
        EXPECT_TRUE (loggedAs (gLoggedLines[0], kLostMessage)) << gLoggedLines[0];
        EXPECT_FALSE (outDir.getChildFile ("impulse.wav").exists());
    }
}

// The lost device's sentence is an error, which the log takes from level 1 on.
TEST_F (RunTimer, ALostDeviceIsLoggedFromLevelOne)
{
    const CapturedLog log (1);
    ASSERT_TRUE (device->runBlock (256, [] (int, int) { return 0.25f; }));
    device->loseOnAnotherThread();
    component->timerCallback();

    ASSERT_EQ (boxes.titles(), juce::StringArray ({"Error"}));
    ASSERT_EQ (gLoggedLines.size(), 1u);
    EXPECT_TRUE (loggedAs (gLoggedLines[0], kLostMessage)) << gLoggedLines[0];
}

// The Audio Settings dialog closes the run's device itself: the run stays
// detached, "Stop" shown, until Stop ends it with nothing computed.
TEST_F (RunTimer, TheAudioSettingsDialogDetachesTheRunWithoutEndingIt)
{
    ASSERT_TRUE (device->runBlock (256, [] (int, int) { return 0.25f; }));
    component->buttonClicked (harness::findChildAs<juce::Button> (*component, "audioSettingsButton"));
    ASSERT_EQ (boxes.titles(), juce::StringArray ({"Audio Settings"}));
    ASSERT_NE (currentDevice(), nullptr);
    component->timerCallback();
    component->timerCallback();

    EXPECT_TRUE (peer().state().measuring);
    EXPECT_EQ (label(), "Stop");
    EXPECT_EQ (boxes.boxes().size(), 1u) << boxes.titles().joinIntoString (", ");

    EXPECT_TRUE (clickStart().empty());
    component->timerCallback();
    EXPECT_FALSE (peer().state().measuring);
    EXPECT_EQ (label(), "Start");
    EXPECT_EQ (boxes.boxes().size(), 1u) << boxes.titles().joinIntoString (", ");
}

namespace
{
juce::BigInteger channels (std::initializer_list<int> bits)
{
    juce::BigInteger mask;
    for (int bit : bits)
        mask.setBit (bit);
    return mask;
}

// A 2 x 2 run of 2000 frames, to start on a test device of its own.
class RunChannels : public ShortRunTest
{
protected:
    void SetUp() override
    {
        ShortRunTest::SetUp();
        buildShortRun (2);
    }
};
} // namespace

// The run's channels are the first two active inputs and outputs at Start.
// When a restart of the device (as JACK's on a change of connected ports) or
// a block's channel counts move one of them to another device channel before
// the run's last frame, the status text begins with a warning; the files are
// written all the same. A change beyond the run's channels warns of nothing.
TEST_F (RunChannels, ChannelsMovedDuringTheRunHeadTheStatusText)
{
    using Change = std::function<void (TestAudioDevice&)>;
    const auto restart = [] (juce::BigInteger ins, juce::BigInteger outs)
    { return Change ([=] (TestAudioDevice& d) { d.restartWithChannels (ins, outs); }); };
    const auto block = [] (int ins, int outs)
    { return Change ([=] (TestAudioDevice& d) { ASSERT_TRUE (d.runBlockWithChannels (256, ins, outs)); }); };
    const auto all = channels ({0, 1, 2, 3});

    const struct
    {
        const char* what;
        juce::BigInteger insAtStart, outsAtStart;
        int blocksBefore; // of 256 frames; the run's end is reported by block 9
        Change change;
        bool warns;
    } cases[] = {
        {"nothing changes", all, all, 3, {}, false},
        {"a restart with the same channels", all, all, 3, restart (all, all), false},
        {"an input beyond the run removed", all, all, 3, restart (channels ({0, 1, 2}), all), false},
        {"an output beyond the run removed", all, all, 3, restart (all, channels ({0, 1})), false},
        {"an input beyond the run connected", channels ({0, 1}), all, 3, restart (channels ({0, 1, 3}), all), false},
        {"the first input removed", all, all, 3, restart (channels ({1, 2, 3}), all), true},
        {"the second input moved", all, all, 3, restart (channels ({0, 2, 3}), all), true},
        {"an input below the run connected", channels ({1, 2}), all, 3, restart (all, all), true},
        {"the first output removed", all, all, 3, restart (all, channels ({1, 2, 3})), true},
        {"fewer inputs than the run's", all, all, 3, restart (channels ({0}), all), true},
        {"a block with an input fewer", all, all, 3, block (3, 4), true},
        {"a block with an output more", all, all, 3, block (4, 5), true},
        {"the first input removed in the run's first block", all, all, 0, restart (channels ({1, 2, 3}), all), true},
        {"the first input removed after the run's end", all, all, 9, restart (channels ({1, 2, 3}), all), false},
        {"a block with an input fewer after the run's end", all, all, 9, block (3, 4), false},
    };

    const CapturedLog log;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        boxes.clear();
        gLoggedLines.clear();
        outDir.getChildFile ("impulse.wav").deleteFile();
        auto* device = useDevice ({4, 4, 48000.0, 256});
        ASSERT_NE (device, nullptr);
        device->restartWithChannels (c.insAtStart, c.outsAtStart);
        ASSERT_TRUE (clickStart().empty()) << "the run did not start";
        ASSERT_EQ (peer().state().totalLen, 2000u);

        int blocks = 0;
        for (; !peer().state().runDone; ++blocks)
        {
            ASSERT_LT (blocks, 20);
            if (blocks == c.blocksBefore && c.change)
            {
                c.change (*device);
                // A restart reports a stop first: the run goes on all the same.
                component->timerCallback();
                ASSERT_TRUE (peer().state().measuring);
                ASSERT_TRUE (boxes.boxes().empty()) << boxes.titles().joinIntoString (", ");
            }
            ASSERT_TRUE (device->runBlock (256, [] (int ch, int) { return 0.1f * (float)(ch + 1); }));
        }
        if (blocks <= c.blocksBefore && c.change)
            c.change (*device);
        component->timerCallback();

        const juce::String status = (c.warns ? kChannelsWarning : juce::String()) +
                                    "Wrote a single 4-channel impulse response file: impulse.wav";
        ASSERT_EQ (boxes.boxes().size(), 1u);
        EXPECT_EQ (boxes.boxes()[0].title, "Impulse response written");
        EXPECT_EQ (boxes.boxes()[0].message, status);
        ASSERT_EQ (gLoggedLines.size(), 1u);
        EXPECT_TRUE (loggedAs (gLoggedLines[0], status)) << gLoggedLines[0];
        EXPECT_TRUE (outDir.getChildFile ("impulse.wav").existsAsFile());
    }
}

namespace
{
class MeterUpdate : public MeasureComponentTest
{
};
} // namespace

// Each meter shows as many bars as its side has channels. Every shown bar
// follows its own channel's peak; a bar past the shown count is never
// updated, however loud its channel.
TEST_F (MeterUpdate, EachShownBarFollowsItsOwnChannel)
{
    float in[MainComponent::kNumMeteredChannels], out[MainComponent::kNumMeteredChannels];
    for (int ch = 0; ch < MainComponent::kNumMeteredChannels; ++ch)
    {
        in[ch] = 1.0f / (float)(ch + 2);
        out[ch] = in[ch] * in[ch];
    }

    const struct
    {
        int outputs, inputs;
    } cases[] = {{2, 1}, {1, 3}};

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.outputs) + " outputs, " + juce::String (c.inputs) + " inputs");
        build ({{"numPlayChan", juce::String (c.outputs)}, {"numRecChan", juce::String (c.inputs)}});
        auto& inMeter = *harness::findChildAs<MultiMeterComponent> (*component, "inMeterComp");
        auto& outMeter = *harness::findChildAs<MultiMeterComponent> (*component, "outMeterComp");
        ASSERT_EQ (inMeter.getNumChan(), c.inputs);
        ASSERT_EQ (outMeter.getNumChan(), c.outputs);

        peer().publishPeaks (in, out);
        component->updateMeters();

        for (int ch = 0; ch < MainComponent::kNumMeteredChannels; ++ch)
        {
            const float inDb = ch < c.inputs ? 20.0f * std::log10 (in[ch]) : -96.0f;
            const float outDb = ch < c.outputs ? 20.0f * std::log10 (out[ch]) : -96.0f;
            EXPECT_NEAR (inMeter.getBar (ch)->levelDb, inDb, 1e-3f) << "IN bar " << ch;
            EXPECT_NEAR (outMeter.getBar (ch)->levelDb, outDb, 1e-3f) << "OUT bar " << ch;
        }
    }
}
