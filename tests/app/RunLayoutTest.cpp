#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "RunLayout.h"

namespace
{
RunParameters sweepRun (float sweepSec, float gapSec, float initDelaySec, int32_t numPlayChan = 2,
                        int32_t sampleRate = 48000)
{
    RunParameters p;
    p.sampleRate = sampleRate;
    p.numPlayChan = numPlayChan;
    p.sweepSec = sweepSec;
    p.gapSec = gapSec;
    p.initDelaySec = initDelaySec;
    p.mlsBits = 15;
    p.numAverages = 1;
    return p;
}
} // namespace

TEST (RunLayout, SweepRunOfTwoOutputs)
{
    RunLayout l;
    ASSERT_EQ (layoutRun (sweepRun (5.0f, 1.0f, 0.5f), l), "");
    EXPECT_EQ (l.sweepLen, 240000u);
    EXPECT_EQ (l.gapLen, 48000u);
    EXPECT_EQ (l.initDelayLen, 24000u);
    EXPECT_EQ (l.segmentLen, 288000u);
    EXPECT_EQ (l.totalLen, 600000u);
    EXPECT_EQ (segmentStart (l, 0), 24000u);
    EXPECT_EQ (segmentStart (l, 1), 312000u);
}

TEST (RunLayout, MlsRunPlaysOneLeadInPeriodMore)
{
    RunParameters p = sweepRun (5.0f, 1.0f, 0.5f);
    p.isMls = true;
    p.mlsBits = 15;
    p.numAverages = 1; // the repetitions combo showing "2"

    RunLayout l;
    ASSERT_EQ (layoutRun (p, l), "");
    EXPECT_EQ (l.mlsLen, 32767);
    EXPECT_EQ (l.segmentLen, 65534u + 48000u);
    EXPECT_EQ (l.totalLen, 2u * (65534u + 48000u) + 24000u);
}

TEST (RunLayout, StimulusGoesIntoItsOwnChannelAndSegment)
{
    // Four active outputs, two of them measured: channels 2 and 3 stay silent.
    RunLayout l;
    ASSERT_EQ (layoutRun (sweepRun (0.01f, 0.005f, 0.002f, 2, 1000), l), "");
    ASSERT_EQ (l.sweepLen, 10u);
    ASSERT_EQ (l.totalLen, 2u + 2u * 15u);

    const int32_t playChans = 4;
    std::vector<int16_t> stimulus (l.sweepLen);

    for (size_t i = 0; i < stimulus.size(); ++i)
        stimulus[i] = (int16_t)(100 + i);

    std::vector<int16_t> play (l.totalLen * playChans, 0);
    placeStimulus (play.data(), playChans, l, 2, stimulus.data(), stimulus.size(), 1);

    for (uint64_t frame = 0; frame < l.totalLen; ++frame)
    {
        for (int32_t ch = 0; ch < playChans; ++ch)
        {
            int16_t expected = 0;

            if (ch < 2)
            {
                const uint64_t start = segmentStart (l, ch);

                if (frame >= start && frame < start + l.sweepLen)
                    expected = stimulus[frame - start];
            }

            EXPECT_EQ (play[frame * playChans + ch], expected) << "frame " << frame << " channel " << ch;
        }
    }
}

TEST (RunLayout, MlsPeriodsAreLaidBackToBack)
{
    RunParameters p = sweepRun (0.0f, 0.002f, 0.001f, 1, 1000);
    p.isMls = true;
    p.mlsBits = 2;
    p.numAverages = 2;

    RunLayout l;
    ASSERT_EQ (layoutRun (p, l), "");
    ASSERT_EQ (l.mlsLen, 3);
    ASSERT_EQ (l.totalLen, 1u + 9u + 2u);

    const int16_t seq[] = {7, 8, 9};
    std::vector<int16_t> play (l.totalLen, 0);
    placeStimulus (play.data(), 1, l, 1, seq, 3, p.numAverages + 1);

    const std::vector<int16_t> expected{0, 7, 8, 9, 7, 8, 9, 7, 8, 9, 0, 0};
    EXPECT_EQ (play, expected);
}

TEST (RunLayout, UnusableTimingValuesAreRefused)
{
    struct Case
    {
        const char* name;
        RunParameters params;
        const char* message;
    };
    const char* gapMsg = "The gap must be a number of seconds of at least 0";
    const char* delayMsg = "The initial delay must be a number of seconds of at least 0";
    const char* sweepMsg = "The sweep time must be a number of seconds of at least 0";
    const char* shortMsg =
        "The sweep time is too short: it must give at least 2 samples, so the shortest time allowed is 3.125e-05 "
        "seconds at 48000 Hz";
    const char* longMsg = "The run is too long: sweep time, gap and initial delay must give fewer than 2147483648 "
                          "frames in all";

    const Case cases[] = {
        {"negative gap", sweepRun (5.0f, -1.0f, 0.5f), gapMsg},
        {"NaN gap", sweepRun (5.0f, NAN, 0.5f), gapMsg},
        {"infinite gap", sweepRun (5.0f, INFINITY, 0.5f), gapMsg},
        {"negative delay", sweepRun (5.0f, 1.0f, -0.5f), delayMsg},
        {"infinite delay", sweepRun (5.0f, 1.0f, -INFINITY), delayMsg},
        {"negative sweep", sweepRun (-5.0f, 1.0f, 0.5f), sweepMsg},
        {"NaN sweep", sweepRun (NAN, 1.0f, 0.5f), sweepMsg},
        {"empty sweep", sweepRun (0.0f, 1.0f, 0.5f), shortMsg},
        {"one-sample sweep", sweepRun (1.0f / 48000.0f, 1.0f, 0.5f), shortMsg},
        {"sweep of 2^31 frames", sweepRun (44739.25f, 0.0f, 0.0f, 1), longMsg},
        {"huge gap", sweepRun (5.0f, 3.0e38f, 0.0f), longMsg},
        {"huge delay", sweepRun (5.0f, 1.0f, 1.0e30f), longMsg},
        {"two outputs over the limit", sweepRun (22369.7f, 0.0f, 0.0f, 2), longMsg},
    };

    for (const auto& c : cases)
    {
        RunLayout l;
        l.totalLen = 12345;
        EXPECT_EQ (layoutRun (c.params, l), c.message) << c.name;
        EXPECT_EQ (l.totalLen, 12345u) << c.name << ": the layout is left as it was";
    }
}

TEST (RunLayout, RunLengthLimitIsExclusive)
{
    // 1 Hz keeps every count equal to its seconds, all exact in single precision.
    RunParameters p = sweepRun (1073741824.0f, 1073741696.0f, 127.0f, 1, 1);
    RunLayout l;
    ASSERT_EQ (layoutRun (p, l), "");
    EXPECT_EQ (l.totalLen, kRunFrameLimit - 1);

    p.initDelaySec = 128.0f;
    EXPECT_NE (layoutRun (p, l), "");
}

TEST (RunLayout, MlsRunIgnoresTheHiddenSweepTime)
{
    struct Case
    {
        float sweepSec;
        uint64_t sweepLen;
    };

    for (const Case c : {Case{-3.0f, 0}, Case{NAN, 0}, Case{1.0e30f, 0}, Case{2.0f, 96000}})
    {
        RunParameters p = sweepRun (c.sweepSec, 1.0f, 0.5f);
        p.isMls = true;
        RunLayout l;
        EXPECT_EQ (layoutRun (p, l), "") << c.sweepSec;
        EXPECT_EQ (l.sweepLen, c.sweepLen) << c.sweepSec;
    }

    RunParameters p = sweepRun (5.0f, 1.0f, 0.5f);
    p.isMls = true;
    p.mlsBits = 20;
    p.numAverages = 9;
    p.gapSec = 40000.0f;
    RunLayout l;
    EXPECT_EQ (layoutRun (p, l), "The run is too long: MLS length, repetitions, gap and initial delay must give fewer "
                                 "than 2147483648 frames in all");
}

TEST (RunLayout, RecordChannelCopyStaysInsideTheBuffer)
{
    // Three channels, four frames: sample = 10 * frame + channel.
    std::vector<int16_t> rec;

    for (int frame = 0; frame < 4; ++frame)
        for (int ch = 0; ch < 3; ++ch)
            rec.push_back ((int16_t)(10 * frame + ch));

    std::vector<int16_t> window (4, -1);
    copyRecordChannel (rec.data(), 4, 3, 2, 1, window.data(), 4);
    EXPECT_EQ (window, (std::vector<int16_t>{12, 22, 32, 0}));

    copyRecordChannel (rec.data(), 4, 3, 3, 0, window.data(), 4);
    EXPECT_EQ (window, (std::vector<int16_t>{0, 0, 0, 0}));
}
