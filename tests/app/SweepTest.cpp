#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "MeasureMemory.h"
#include "SweepDeconvolution.h"
#include "support/ResponseTable.h"
#include "support/SimulatedSystem.h"

namespace
{
int peakIndex (const float* x, int n)
{
    int best = 0;

    for (int i = 1; i < n; ++i)
        if (std::fabs (x[i]) > std::fabs (x[best]))
            best = i;

    return best;
}
} // namespace

TEST (SweepResponse, PeakIsAtTheDelayAndEqualsTheGain)
{
    struct Case
    {
        const char* name;
        float ampDb;
        int delay;
        std::vector<float> taps;
    };
    const Case cases[] = {
        {"direct loop-back", 0.0f, 0, {1.0f}},
        {"delay and gain", -6.0f, 37, {0.5f}},
        {"delay, gain and short FIR", -12.0f, 213, {0.7f, 0.0f, 0.15f, -0.1f, 0.05f}},
    };

    for (const auto& c : cases)
    {
        const auto s = simulateRun (simulatedSweepRun (8000, 0.5f, 0.1f, 0.05f, 1), c.ampDb, 1, 1, 1,
                                    [&] (int, int) { return delayedTaps (c.delay, c.taps); });
        ResponseTable responses (1);
        ASSERT_TRUE (sweepComputeResponses (s.sweepParams, s.recorded(), responses.data())) << c.name;

        const int len = (int)(s.layout.sweepLen + s.layout.gapLen);
        ASSERT_EQ (len, 4800) << c.name;
        EXPECT_EQ (peakIndex (responses[0], len), c.delay) << c.name;
        EXPECT_NEAR (responses[0][c.delay], c.taps[0], 0.01f * c.taps[0]) << c.name;
    }
}

TEST (SweepResponse, EachPairLandsInItsEntry)
{
    // Two outputs by three recorded inputs (of four active): path (p, r) has
    // its own delay and gain, so each entry shows where it came from.
    const auto delayOf = [] (int p, int r) { return 3 + 11 * (p * 3 + r); };
    const auto gainOf = [] (int p, int r) { return 0.9f - 0.12f * (float)(p * 3 + r); };
    const auto s = simulateRun (simulatedSweepRun (8000, 0.25f, 0.05f, 0.02f, 2), -6.0f, 2, 4, 3,
                                [&] (int p, int r) { return delayedTaps (delayOf (p, r), {gainOf (p, r)}); });

    // Each input hears both outputs, but in different segments.
    ResponseTable responses (6);
    ASSERT_TRUE (sweepComputeResponses (s.sweepParams, s.recorded(), responses.data()));

    const int len = (int)(s.layout.sweepLen + s.layout.gapLen);

    for (int p = 0; p < 2; ++p)
    {
        for (int r = 0; r < 3; ++r)
        {
            const float* x = responses[p * 3 + r];
            EXPECT_EQ (peakIndex (x, len), delayOf (p, r)) << "pair " << p << "," << r;
            EXPECT_NEAR (x[delayOf (p, r)], gainOf (p, r), 0.01f * gainOf (p, r)) << "pair " << p << "," << r;
        }
    }
}

TEST (SweepResponse, EmptySweepReadsNothingAndGivesSilence)
{
    RunParameters p = simulatedSweepRun (8000, 0.0f, 0.01f, 0.0f, 1);
    RunLayout layout;
    layout.gapLen = 80;
    layout.segmentLen = 80;
    layout.totalLen = 80;

    std::vector<int16_t> rec (80, 1000);
    RecordedRun run;
    run.recordBuffer = rec.data();
    run.recordFrames = 80;
    run.recChans = 1;
    run.numPlayChan = 1;
    run.numRecChan = 1;
    run.layout = layout;

    const SweepParams params{8000.0, 20.0, 4000.0, (double)p.sweepSec, 0.0, 1.0};
    ResponseTable responses (1);
    ASSERT_TRUE (sweepComputeResponses (params, run, responses.data()));

    for (int i = 0; i < 80; ++i)
        ASSERT_EQ (responses[0][i], 0.0f) << i;
}

TEST (SweepResponse, EveryFailedAllocationIsReported)
{
    const auto s = simulateRun (simulatedSweepRun (8000, 0.05f, 0.01f, 0.0f, 2), 0.0f, 2, 2, 2,
                                [] (int, int) { return std::vector<float>{1.0f}; });

    // On four threads a request fails while the other workers are in the middle of their pairs.
    for (const int numWorkers : {1, 4})
    {
        const int failures = countReportedAllocationFailures (
            4, [&] (float** responses)
            { return sweepComputeResponses (s.sweepParams, s.recorded(), responses, numWorkers); });

        // Inverse filter, its transform, then per thread: window, signal, scratch; then one response per pair.
        EXPECT_EQ (failures, 2 + 3 * numWorkers + 4) << numWorkers << " threads";
    }
}
