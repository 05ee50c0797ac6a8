#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "MeasureMemory.h"
#include "MeasureComponentTest.h"
#include "Stimulus.h"

namespace
{
const std::map<juce::String, juce::String> kSweepSettings{
    {"numPlayChan", "2"}, {"numRecChan", "2"}, {"type", "Sweep"}, {"sweepTime", "5"}, {"gapDelay", "1"},
    {"initDelay", "0.5"}, {"ampDb", "-6"},     {"mlsBits", "15"}, {"numReps", "2"},   {"file", "impulse"},
};

class StartChecks : public MeasureComponentTest
{
};
} // namespace

TEST_F (StartChecks, SevenChecksInOrder)
{
    struct Case
    {
        const char* name;
        std::optional<TestAudioDeviceConfig> device; // none: no current device
        const char* file;
        const char* numRecChan;
        const char* numPlayChan;
        bool reportClosed;
        const char* message;
    };
    const Case cases[] = {
        {"no device, whatever else is wrong", std::nullopt, "", "9", "9", false,
         "No audio devices selected, check Audio Settings"},
        {"empty file name", TestAudioDeviceConfig{2, 2}, "", "2", "2", false, "Please enter a filename"},
        {"no inputs", TestAudioDeviceConfig{0, 2}, "x", "2", "2", false,
         "No recording channels available, check Audio Settings"},
        {"more inputs asked than active", TestAudioDeviceConfig{2, 2}, "x", "3", "2", false,
         "Only 2 recording channels available, check Audio Settings"},
        {"no outputs", TestAudioDeviceConfig{2, 0}, "x", "2", "2", false,
         "No playback channels available, check Audio Settings"},
        {"more outputs asked than active", TestAudioDeviceConfig{2, 2}, "x", "2", "3", false,
         "Only 2 playback channels available, check Audio Settings"},
        {"inputs beyond 32 bits", TestAudioDeviceConfig{4, 4}, "x", "4294967299", "2", false,
         "Only 4 recording channels available, check Audio Settings"},
        {"outputs beyond 32 bits", TestAudioDeviceConfig{4, 4}, "x", "2", "4294967298", false,
         "Only 4 playback channels available, check Audio Settings"},
        {"device not open", TestAudioDeviceConfig{2, 2}, "x", "2", "2", true, "Error, audio device is not open!"},
    };

    for (const auto& c : cases)
    {
        build (kSweepSettings);

        if (c.device)
        {
            auto* device = useDevice (*c.device);
            ASSERT_NE (device, nullptr) << c.name;
            device->reportClosed = c.reportClosed;
        }
        else
        {
            peer().deviceManager().closeAudioDevice();
        }

        fileText().setText (c.file, false);
        settings->setValue ("numRecChan", c.numRecChan);
        settings->setValue ("numPlayChan", c.numPlayChan);

        EXPECT_EQ (errorOfStart().value_or ("<started>"), c.message) << c.name;
        EXPECT_FALSE (peer().state().measuring) << c.name;
        EXPECT_EQ (peer().state().playBuffer, nullptr) << c.name;
        EXPECT_FALSE (deviceCallsComponent()) << c.name;
    }
}

TEST_F (StartChecks, BlankFileNamePasses)
{
    build (kSweepSettings);
    useDevice ({2, 2});
    fileText().setText ("   ", false);

    EXPECT_EQ (errorOfStart(), std::nullopt);
    EXPECT_TRUE (peer().state().measuring);
    EXPECT_TRUE (deviceCallsComponent());
}

TEST_F (StartChecks, TypedTimingValues)
{
    struct Case
    {
        const char* name;
        const char* combo;
        const char* text;
        const char* message; // null: the run starts
        uint64_t gapLen;
    };
    const Case cases[] = {
        {"a leading number with a unit", "gapDelayCombo", "2.5 s", nullptr, 120000},
        {"letters only read as 0", "gapDelayCombo", "abc", nullptr, 0},
        {"negative gap", "gapDelayCombo", "-1", "The gap must be a number of seconds of at least 0", 0},
        {"infinite gap", "gapDelayCombo", "inf", "The gap must be a number of seconds of at least 0", 0},
        {"no sweep", "sweepTimeCombo", "0",
         "The sweep time is too short: it must give at least 2 samples, so the shortest time allowed is "
         "3.125e-05 seconds at 48000 Hz",
         0},
        {"NaN sweep", "sweepTimeCombo", "nan", "The sweep time must be a number of seconds of at least 0", 0},
        {"sweep past 2^31 frames", "sweepTimeCombo", "1e5",
         "The run is too long: sweep time, gap and initial delay must give fewer than 2147483648 frames in all", 0},
    };

    for (const auto& c : cases)
    {
        build (kSweepSettings);
        useDevice ({2, 2});
        combo (c.combo).setText (c.text, juce::dontSendNotification);

        const auto error = errorOfStart();

        if (c.message == nullptr)
        {
            EXPECT_EQ (error, std::nullopt) << c.name;
            EXPECT_EQ (peer().state().gapLen, c.gapLen) << c.name;
            EXPECT_TRUE (peer().state().measuring) << c.name;
        }
        else
        {
            EXPECT_EQ (error.value_or ("<started>"), c.message) << c.name;
            EXPECT_FALSE (peer().state().measuring) << c.name;
            EXPECT_EQ (peer().state().playBuffer, nullptr) << c.name;
            EXPECT_FALSE (deviceCallsComponent()) << c.name;
        }
    }
}

TEST_F (StartChecks, TimingValueFromTheSettingsFileIsCheckedToo)
{
    auto stored = kSweepSettings;
    stored["initDelay"] = "-0.5";
    build (stored);
    useDevice ({2, 2});

    EXPECT_EQ (errorOfStart().value_or ("<started>"), "The initial delay must be a number of seconds of at least 0");
    EXPECT_FALSE (peer().state().measuring);
}

TEST_F (StartChecks, SweepRunLaysOutItsBuffersAndStartsTheDevice)
{
    build (kSweepSettings);
    useDevice ({2, 4}); // four active outputs, two measured

    ASSERT_EQ (errorOfStart(), std::nullopt);
    const auto s = peer().state();

    EXPECT_TRUE (s.measuring);
    EXPECT_TRUE (deviceCallsComponent());
    EXPECT_EQ (s.playPos, 0);
    EXPECT_FALSE (s.runDone);
    EXPECT_EQ (s.sampleRate, 48000);
    EXPECT_EQ (s.numPlayChan, 2);
    EXPECT_EQ (s.numRecChan, 2);
    EXPECT_FALSE (s.isMls);
    EXPECT_EQ (s.sweepLen, 240000u);
    EXPECT_EQ (s.gapLen, 48000u);
    EXPECT_EQ (s.initDelayLen, 24000u);
    EXPECT_EQ (s.segmentLen, 288000u);
    EXPECT_EQ (s.totalLen, 600000u);
    EXPECT_EQ (s.playChans, 4);
    EXPECT_EQ (s.recChans, 2);
    EXPECT_EQ (s.ampDb, -6.0f);
    EXPECT_EQ (s.ampLin, dbToLinear (-6.0f));
    EXPECT_EQ (s.numAverages, 1);
    EXPECT_EQ (s.mlsBits, 15);
    EXPECT_EQ (s.mlsLen, 32767);

    const SweepParams expectedParams{48000.0, 20.0, 24000.0, 5.0, 0.0, (double)dbToLinear (-6.0f)};
    EXPECT_EQ (std::memcmp (&s.sweepParams, &expectedParams, sizeof (SweepParams)), 0);

    std::vector<int16_t> sweep (240000);
    generateSweep (expectedParams, sweep.data(), sweep.size());
    ASSERT_NE (s.sweepSig, nullptr);
    EXPECT_EQ (std::memcmp (s.sweepSig, sweep.data(), sweep.size() * sizeof (int16_t)), 0);

    // Output 1's sweep starts at frame 312000 in channel 1; channels 2 and 3 stay silent.
    int64_t wrong = 0;

    for (uint64_t frame = 0; frame < s.totalLen; ++frame)
    {
        for (int ch = 0; ch < 4; ++ch)
        {
            const uint64_t start = 24000 + (uint64_t)ch * 288000;
            const bool inSweep = ch < 2 && frame >= start && frame < start + 240000;
            wrong += s.playBuffer[frame * 4 + (uint64_t)ch] != (inSweep ? sweep[frame - start] : 0);
        }
    }

    EXPECT_EQ (wrong, 0);
    EXPECT_EQ (s.playBuffer[312000 * 4 + 1], sweep[0]);
    EXPECT_EQ (s.playBuffer[312001 * 4 + 1], sweep[1]);

    for (uint64_t i = 0; i < s.totalLen * 2; ++i)
        ASSERT_EQ (s.recordBuffer[i], 0) << i;
}

TEST_F (StartChecks, SweepAfterMlsKeepsTheMlsSequence)
{
    auto stored = kSweepSettings;
    stored["type"] = "MLS";
    build (stored);
    useDevice ({2, 2});

    ASSERT_EQ (errorOfStart(), std::nullopt);
    auto s = peer().state();
    EXPECT_TRUE (s.isMls);
    EXPECT_EQ (s.numAverages, 1);
    EXPECT_EQ (s.segmentLen, 65534u + 48000u);
    EXPECT_EQ (s.sweepSig, nullptr);

    std::vector<int16_t> mls (32767);
    generateMls (15, mlsAmplitude (dbToLinear (-6.0f)), mls.data(), 32767);
    ASSERT_NE (s.mlsSeq, nullptr);
    ASSERT_EQ (std::memcmp (s.mlsSeq, mls.data(), mls.size() * sizeof (int16_t)), 0);

    // Two periods per output, back to back.
    EXPECT_EQ (s.playBuffer[(24000 + 32767) * 2], mls[0]);
    EXPECT_EQ (s.playBuffer[(24000 + 113534 + 65533) * 2 + 1], mls[32766]);
    EXPECT_EQ (s.playBuffer[(24000 + 113534 + 65534) * 2 + 1], 0);

    EXPECT_EQ (clickStart().size(), 0u); // Stop
    combo ("typeCombo").setSelectedId (1, juce::dontSendNotification);
    ASSERT_EQ (errorOfStart(), std::nullopt);

    s = peer().state();
    EXPECT_FALSE (s.isMls);
    ASSERT_NE (s.sweepSig, nullptr);
    EXPECT_EQ (s.totalLen, 600000u);
    ASSERT_NE (s.mlsSeq, nullptr);
    EXPECT_EQ (std::memcmp (s.mlsSeq, mls.data(), mls.size() * sizeof (int16_t)), 0);
}

TEST_F (StartChecks, StopShowsNothingAndKeepsTheRecording)
{
    build (kSweepSettings);
    useDevice ({2, 2});
    ASSERT_EQ (errorOfStart(), std::nullopt);

    int16_t* rec = peer().recordBuffer();
    rec[0] = 123;
    rec[999] = -456;

    EXPECT_EQ (clickStart().size(), 0u);
    const auto s = peer().state();
    EXPECT_FALSE (s.measuring);
    EXPECT_EQ (s.recordBuffer, rec);
    EXPECT_EQ (s.recordBuffer[0], 123);
    EXPECT_EQ (s.recordBuffer[999], -456);

    // The device is reopened, running without the main component.
    ASSERT_NE (currentDevice(), nullptr);
    EXPECT_TRUE (currentDevice()->isOpen());
    EXPECT_FALSE (deviceCallsComponent());
}

TEST_F (StartChecks, RunThatCannotBeAllocatedIsNotStarted)
{
    build (kSweepSettings);
    useDevice ({2, 2});
    ASSERT_EQ (errorOfStart(), std::nullopt);
    peer().recordBuffer()[5] = 77;
    EXPECT_EQ (clickStart().size(), 0u); // Stop

    const auto before = peer().state();
    combo ("sweepTimeCombo").setText ("2", juce::dontSendNotification);

    // Play buffer, record buffer, sweep: each one failing refuses the run.
    for (int n = 0; n < 3; ++n)
    {
        const int starts = currentDevice()->numStarts;
        measureFailRequest (n);
        const auto error = errorOfStart();
        measureFailRequest (-1);

        EXPECT_EQ (error.value_or ("<started>"),
                   "Not enough memory for this run: choose shorter times, a shorter MLS or fewer channels")
            << "request " << n;

        const auto s = peer().state();
        EXPECT_FALSE (s.measuring) << "request " << n;
        EXPECT_EQ (s.playBuffer, before.playBuffer) << "request " << n;
        EXPECT_EQ (s.recordBuffer, before.recordBuffer) << "request " << n;
        EXPECT_EQ (s.sweepSig, before.sweepSig) << "request " << n;
        EXPECT_EQ (s.totalLen, before.totalLen) << "request " << n;
        EXPECT_EQ (s.sweepLen, 240000u) << "request " << n;
        EXPECT_EQ (s.recordBuffer[5], 77) << "request " << n;
        EXPECT_EQ (currentDevice()->numStarts, starts) << "request " << n;
        EXPECT_FALSE (deviceCallsComponent()) << "request " << n;
    }

    ASSERT_EQ (errorOfStart(), std::nullopt);
    EXPECT_EQ (peer().state().sweepLen, 96000u);
}

TEST_F (StartChecks, ChannelCountsBelowOneAreRefused)
{
    struct Case
    {
        const char* numRecChan;
        const char* numPlayChan;
        const char* message;
    };
    const Case cases[] = {
        {"0", "2", "The number of channels to record must be at least 1"},
        {"-2", "2", "The number of channels to record must be at least 1"},
        {"abc", "2", "The number of channels to record must be at least 1"},
        {"2", "0", "The number of channels to play must be at least 1"},
        {"-2", "-2", "The number of channels to record must be at least 1"},
    };

    for (const auto& c : cases)
    {
        build (kSweepSettings);
        useDevice ({2, 2});
        settings->setValue ("numRecChan", c.numRecChan);
        settings->setValue ("numPlayChan", c.numPlayChan);
        const std::string name = std::string (c.numRecChan) + " x " + c.numPlayChan;

        EXPECT_EQ (errorOfStart().value_or ("<started>"), c.message) << name;
        EXPECT_FALSE (peer().state().measuring) << name;
        EXPECT_EQ (peer().state().playBuffer, nullptr) << name;
        EXPECT_FALSE (deviceCallsComponent()) << name;
    }
}
