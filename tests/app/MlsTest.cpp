#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "MeasureMemory.h"
#include "MlsCorrelation.h"
#include "support/ResponseTable.h"
#include "support/SimulatedSystem.h"

namespace
{
// What the MLS measurement of a system h gives: h circularly convolved with
// the loop-back response, 1 at lag 0 and -1 / L elsewhere.
std::vector<double> expectedMlsResponse (const std::vector<float>& h, int64_t L)
{
    double sum = 0.0;

    for (float v : h)
        sum += v;

    std::vector<double> x ((size_t)L, -sum / (double)L);

    for (size_t k = 0; k < h.size(); ++k)
        x[k % (size_t)L] += h[k] * (1.0 + 1.0 / (double)L);

    return x;
}
} // namespace

TEST (MlsResponse, LoopBackAndFirComeBackTapForTap)
{
    struct Case
    {
        const char* name;
        int32_t bits;
        int32_t numAverages;
        float ampDb;
        std::vector<float> h;
        float tolerance;
    };
    const Case cases[] = {
        {"identity, order 10", 10, 1, 0.0f, {1.0f}, 1.0e-6f},
        {"identity, order 15, 3 averages", 15, 3, -6.0f, {1.0f}, 1.0e-6f},
        {"delay, gain and FIR", 12, 2, -6.0f, delayedTaps (17, {0.6f, -0.3f, 0.2f, 0.1f, -0.05f}), 2.0e-4f},
    };

    for (const auto& c : cases)
    {
        const auto s = simulateRun (simulatedMlsRun (48000, c.bits, c.numAverages, 0.01f, 0.005f, 1), c.ampDb, 1, 1, 1,
                                    [&] (int, int) { return c.h; });
        ResponseTable responses (1);
        ASSERT_TRUE (mlsComputeResponses (s.stimulus.data(), c.numAverages, s.recorded(), responses.data())) << c.name;

        const int64_t L = s.layout.mlsLen;
        const auto expected = expectedMlsResponse (c.h, L);
        int64_t wrong = 0;

        for (int64_t i = 0; i < L; ++i)
            wrong += std::fabs (responses[0][i] - expected[(size_t)i]) > c.tolerance;

        EXPECT_EQ (wrong, 0) << c.name;
        EXPECT_NEAR (responses[0][0], expected[0], c.tolerance) << c.name;
    }
}

TEST (MlsResponse, EachPairLandsInItsEntry)
{
    const auto delayOf = [] (int p, int r) { return 2 + 7 * (p * 3 + r); };
    const auto gainOf = [] (int p, int r) { return 0.9f - 0.12f * (float)(p * 3 + r); };
    const auto s = simulateRun (simulatedMlsRun (48000, 11, 2, 0.005f, 0.001f, 2), -12.0f, 2, 3, 3,
                                [&] (int p, int r) { return delayedTaps (delayOf (p, r), {gainOf (p, r)}); });

    ResponseTable responses (6);
    ASSERT_TRUE (mlsComputeResponses (s.stimulus.data(), 2, s.recorded(), responses.data()));

    for (int p = 0; p < 2; ++p)
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR (responses[p * 3 + r][delayOf (p, r)], gainOf (p, r), 1.0e-3f) << "pair " << p << "," << r;
}

TEST (MlsResponse, LeadInPeriodIsSkipped)
{
    // Noise only while the lead-in period plays: the averaged periods after it are clean.
    auto s = simulateRun (simulatedMlsRun (48000, 8, 1, 0.0f, 0.0f, 1), 0.0f, 1, 1, 1,
                          [] (int, int) { return std::vector<float>{1.0f}; });

    for (int64_t i = 0; i < s.layout.mlsLen; ++i)
        s.rec[(size_t)i] = 12345;

    ResponseTable responses (1);
    ASSERT_TRUE (mlsComputeResponses (s.stimulus.data(), 1, s.recorded(), responses.data()));
    EXPECT_NEAR (responses[0][0], 1.0f, 1.0e-6f);
    EXPECT_NEAR (responses[0][1], -1.0f / 255.0f, 1.0e-6f);
}

TEST (MlsResponse, EveryFailedAllocationIsReported)
{
    const auto s = simulateRun (simulatedMlsRun (48000, 8, 2, 0.0f, 0.0f, 2), 0.0f, 2, 2, 2,
                                [] (int, int) { return std::vector<float>{1.0f}; });

    // On four threads a request fails while the other workers are in the middle of their pairs.
    for (const int numWorkers : {1, 4})
    {
        const int failures = countReportedAllocationFailures (
            4, [&] (float** responses)
            { return mlsComputeResponses (s.stimulus.data(), 2, s.recorded(), responses, numWorkers); });

        // Reference, its transform, then per thread: window, period sum, scratch; then one response per pair.
        EXPECT_EQ (failures, 2 + 3 * numWorkers + 4) << numWorkers << " threads";
    }
}
