#include "RunBlock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
// A run and a device's channel arrays for stepping the per-block logic.
struct SteppedRun
{
    SteppedRun (int playChans, int recChans, uint64_t totalLen)
        : play ((size_t)playChans * totalLen), record ((size_t)recChans * totalLen)
    {
        run.playBuffer = play.data();
        run.playChans = playChans;
        run.recordBuffer = record.data();
        run.recChans = recChans;
        run.totalLen = totalLen;
        for (uint64_t f = 0; f < totalLen; ++f)
            for (int c = 0; c < playChans; ++c)
                play[f * (uint64_t)playChans + (uint64_t)c] = playedValue (f, c);
    }

    static int16_t playedValue (uint64_t frame, int ch) { return (int16_t)((int)(frame % 2000) * 16 - 16000 + ch); }

    // Device arrays of numIn inputs and numOut outputs; every input sample is
    // inputValue, every output is pre-filled with garbage.
    RunBlockEnd step (int numIn, int numOut, int numSamples, float inputValue = 0.25f)
    {
        inputs.assign ((size_t)numIn, std::vector<float> ((size_t)numSamples, inputValue));
        outputs.assign ((size_t)numOut, std::vector<float> ((size_t)numSamples, 7.0f));
        std::vector<const float*> in;
        std::vector<float*> out;
        for (auto& v : inputs)
            in.push_back (v.data());
        for (auto& v : outputs)
            out.push_back (v.data());
        return runBlock (run, playPos, in.data(), numIn, out.data(), numOut, numSamples, peaks);
    }

    std::vector<int16_t> play, record;
    RunBuffers run;
    int32_t playPos = 0;
    RunBlockPeaks peaks{};
    std::vector<std::vector<float>> inputs, outputs;
};

const char* name (RunBlockEnd e)
{
    return e == RunBlockEnd::insideRun ? "insideRun" : e == RunBlockEnd::endedInBlock ? "endedInBlock" : "pastEnd";
}
} // namespace

TEST (CallbackRunBlock, ThousandFramesInBlocksOf512)
{
    SteppedRun r (2, 2, 1000);

    struct Block
    {
        int firstFrame;  // run frame of output frame 0
        int runFrames;   // output frames that carry the run
        RunBlockEnd end; // what the block reports
    };
    const Block blocks[] = {
        {0, 512, RunBlockEnd::insideRun},
        {512, 488, RunBlockEnd::endedInBlock},
        {1000, 0, RunBlockEnd::pastEnd},
    };

    for (size_t b = 0; b < std::size (blocks); ++b)
    {
        const auto& expect = blocks[b];
        const auto recordedBefore = r.record;
        const auto end = r.step (2, 2, 512);
        SCOPED_TRACE ("block " + std::to_string (b + 1));

        EXPECT_STREQ (name (end), name (expect.end));
        EXPECT_EQ (r.playPos, std::min (expect.firstFrame + 512, 1000));
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
            {
                const float want = i < expect.runFrames
                                       ? SteppedRun::playedValue ((uint64_t)(expect.firstFrame + i), c) / 32768.0f
                                       : 0.0f;
                ASSERT_EQ (r.outputs[(size_t)c][(size_t)i], want) << "channel " << c << " frame " << i;
            }

        for (size_t k = 0; k < r.record.size(); ++k)
        {
            const auto frame = (int)(k / 2);
            const bool inBlock = frame >= expect.firstFrame && frame < expect.firstFrame + expect.runFrames;
            ASSERT_EQ (r.record[k], inBlock ? 8192 : recordedBefore[k]) << "record sample " << k;
        }

        if (expect.runFrames == 0)
            for (int c = 0; c < kRunBlockMeteredChannels; ++c)
            {
                EXPECT_EQ (r.peaks.in[c], 0.0f);
                EXPECT_EQ (r.peaks.out[c], 0.0f);
            }
    }
}

TEST (CallbackRunBlock, EndIsReportedByTheFirstBlockWhollyPastIt)
{
    // A block that ends exactly at totalLen lies inside the run; the next
    // one, starting exactly at totalLen, reports the end.
    SteppedRun r (1, 1, 1024);
    EXPECT_STREQ (name (r.step (1, 1, 512)), "insideRun");
    EXPECT_STREQ (name (r.step (1, 1, 512)), "insideRun");
    EXPECT_EQ (r.playPos, 1024);
    EXPECT_STREQ (name (r.step (1, 1, 512)), "pastEnd");
    EXPECT_STREQ (name (r.step (1, 1, 512)), "pastEnd");
    EXPECT_EQ (r.playPos, 1024);

    // An empty block inside the run does not end it.
    SteppedRun empty (1, 1, 10);
    EXPECT_STREQ (name (empty.step (1, 1, 0)), "insideRun");
}

TEST (CallbackRunBlock, InputsAreRecordedRoundedAndClamped)
{
    const struct
    {
        float input;
        int recorded;
    } cases[] = {
        {1.0f, 32767},
        {-1.0f, -32768},
        {1.5f, 32767},
        {-1.5f, -32768},
        {0.5f, 16384},
        {0.0f, 0},
        {0.5f / 32768.0f, 1}, // halves away from zero
        {-0.5f / 32768.0f, -1},
        {0.49f / 32768.0f, 0},
        {32766.5f / 32768.0f, 32767},
        {std::numeric_limits<float>::infinity(), 32767},
        {-std::numeric_limits<float>::infinity(), -32768},
        {std::numeric_limits<float>::quiet_NaN(), 0},
    };

    for (const auto& c : cases)
    {
        SteppedRun r (1, 1, 4);
        r.step (1, 1, 4, c.input);
        EXPECT_EQ (r.record[0], c.recorded) << "input " << c.input;
        EXPECT_EQ (recordedSample (c.input), c.recorded) << "input " << c.input;
    }
}

TEST (CallbackRunBlock, PeaksOfTheRunFramesOnSixteenChannels)
{
    // 18 inputs and 2 outputs: inputs 16 and 17 are recorded but not metered.
    SteppedRun r (2, 18, 100);
    r.play.assign (r.play.size(), 0);
    r.play[10 * 2 + 0] = 16384;
    r.play[20 * 2 + 1] = -32768;

    r.step (18, 2, 64, -1.0f);

    EXPECT_EQ (r.peaks.out[0], 0.5f);
    EXPECT_EQ (r.peaks.out[1], 1.0f);
    for (int c = 0; c < 16; ++c)
        EXPECT_EQ (r.peaks.in[c], 1.0f) << "input " << c;
    for (int c = 2; c < 16; ++c)
        EXPECT_EQ (r.peaks.out[c], 0.0f) << "output " << c;
    EXPECT_EQ (r.record[0 * 18 + 16], -32768);
    EXPECT_EQ (r.record[63 * 18 + 17], -32768);
    EXPECT_EQ (r.record[64 * 18 + 17], 0);

    // Peaks cover only the frames of the run: the last 28 frames carry the
    // big sample, the block's other frames lie past the end.
    SteppedRun tail (1, 1, 100);
    tail.play.assign (tail.play.size(), 100);
    tail.play[99] = -16384;
    tail.step (1, 1, 64, 0.0f);
    tail.step (1, 1, 64, 0.0f);
    EXPECT_EQ (tail.peaks.out[0], 0.5f);
    EXPECT_EQ (tail.peaks.in[0], 0.0f);
}

TEST (CallbackRunBlock, OtherChannelCountsStayInsideTheBuffers)
{
    // More device outputs than the run's: the extra ones are silenced.
    SteppedRun more (2, 2, 100);
    more.step (5, 4, 32, 0.5f);
    for (int c = 2; c < 4; ++c)
        for (float v : more.outputs[(size_t)c])
            ASSERT_EQ (v, 0.0f) << "output " << c;
    EXPECT_EQ (more.outputs[1][3], SteppedRun::playedValue (3, 1) / 32768.0f);
    EXPECT_EQ (more.record[3 * 2 + 1], 16384);

    // Fewer device channels than the run's: the buffers keep their stride,
    // channels the device does not pass stay as they were.
    SteppedRun fewer (3, 3, 100);
    fewer.step (1, 1, 32, 0.5f);
    EXPECT_EQ (fewer.outputs[0][5], SteppedRun::playedValue (5, 0) / 32768.0f);
    EXPECT_EQ (fewer.record[5 * 3 + 0], 16384);
    EXPECT_EQ (fewer.record[5 * 3 + 1], 0);
    EXPECT_EQ (fewer.peaks.out[1], 0.0f);
    EXPECT_EQ (fewer.peaks.in[1], 0.0f);

    // No run at all (no buffers): silence, and the block lies past the end.
    SteppedRun none (1, 1, 0);
    none.run.playBuffer = nullptr;
    none.run.recordBuffer = nullptr;
    none.run.totalLen = 50;
    EXPECT_STREQ (name (none.step (2, 2, 16)), "pastEnd");
    for (auto& ch : none.outputs)
        for (float v : ch)
            ASSERT_EQ (v, 0.0f);
}
