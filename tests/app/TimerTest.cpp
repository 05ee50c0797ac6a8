#include "MeasureComponentTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "log/QvLog.h"

namespace
{
// A run of 1000 frames: no initial delay, a 0.0125 s sweep (600 frames) and
// a gap of 400 frames, one output, one input, 48000 Hz.
class RunTimer : public MeasureComponentTest
{
protected:
    void SetUp() override
    {
        MeasureComponentTest::SetUp();
        outDir = folder.getChildFile ("out");
        outDir.createDirectory();
        build ({
            {"numPlayChan", "1"},
            {"numRecChan", "1"},
            {"type", "Sweep"},
            {"sweepTime", "0.0125"},
            {"gapDelay", "0.00833333"},
            {"initDelay", "0"},
            {"ampDb", "-6"},
            {"fmt", "WAV 16-bit"},
            {"normalize", "0"},
            {"outFileFmt", "0"},
            {"file", "impulse"},
            {"dir", outDir.getFullPathName()},
        });
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

    juce::File outDir;
    TestAudioDevice* device = nullptr;
    ModalBoxRecorder boxes;
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

TEST_F (RunTimer, WithoutADeviceTheLabelStaysAndNoRunEnds)
{
    ASSERT_TRUE (device->runBlock (256, [] (int, int) { return 0.5f; }));
    component->timerCallback();
    EXPECT_EQ (label(), "Stop");
    for (int b = 0; b < 4; ++b)
        ASSERT_TRUE (device->runBlock (256, [] (int, int) { return 0.5f; }));
    ASSERT_TRUE (peer().state().runDone);

    peer().deviceManager().closeAudioDevice();
    harness::findChildAs<juce::Button> (*component, "startButton")->setButtonText ("Start");
    const float level = meter ("inMeterComp").getBar (0)->levelDb;
    component->timerCallback();

    EXPECT_EQ (label(), "Start") << "no device: the label is left as it was";
    EXPECT_TRUE (peer().state().measuring) << "no device: the run cannot end";
    EXPECT_TRUE (boxes.boxes().empty());
    EXPECT_LT (meter ("inMeterComp").getBar (0)->levelDb, level) << "the meters still update";
}

namespace
{
std::vector<std::string> gLoggedLines;

void recordLogLine (void*, int, const char* line)
{
    gLoggedLines.push_back (line);
}

// Sends the log at level 2 to gLoggedLines while it lives.
struct CapturedLog
{
    CapturedLog()
    {
        gQvLogFn = recordLogLine;
        gQvLogLevel = 2;
    }
    ~CapturedLog()
    {
        gQvLogFn = savedFn;
        gQvLogLevel = savedLevel;
    }
    QvLogFn savedFn = gQvLogFn;
    int savedLevel = gQvLogLevel;
};
} // namespace

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
