#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "MlsCorrelation.h"
#include "ResponseWorkers.h"
#include "Stimulus.h"
#include "SweepDeconvolution.h"
#include "support/ResponseTable.h"
#include "support/SequentialResponses.h"

namespace
{
// A run of P outputs and R recorded inputs (of R + 1 active) laid out as Start lays it out, with noise recorded
// everywhere, so that every sample of every response depends on its own pair's recording.
struct NoiseRun
{
    RunParameters params;
    RunLayout layout;
    SweepParams sweepParams{8000.0, 20.0, 4000.0, 0.05, 0.0, 0.5};
    std::vector<int16_t> mlsSeq;
    std::vector<int16_t> rec;
    RecordedRun run;

    NoiseRun (bool isMls, int P, int R)
    {
        params.sampleRate = 8000;
        params.numPlayChan = P;
        params.isMls = isMls;
        params.sweepSec = 0.05f; // 400 samples: two blocks of 512 per response
        params.gapSec = 0.02f;
        params.initDelaySec = 0.01f;
        params.mlsBits = 9;
        params.numAverages = 2;
        EXPECT_EQ (layoutRun (params, layout), "");

        mlsSeq.assign ((size_t)layout.mlsLen, 0);
        generateMls (params.mlsBits, 16000, mlsSeq.data(), layout.mlsLen);

        std::mt19937 gen ((unsigned)(P * 100 + R));
        std::uniform_int_distribution<int> noise (-30000, 30000);
        rec.resize (layout.totalLen * (uint64_t)(R + 1));
        for (auto& s : rec)
            s = (int16_t)noise (gen);

        run.recordBuffer = rec.data();
        run.recordFrames = layout.totalLen;
        run.recChans = R + 1;
        run.numPlayChan = P;
        run.numRecChan = R;
        run.layout = layout;
    }

    uint64_t responseLen() const { return params.isMls ? (uint64_t)layout.mlsLen : layout.sweepLen + layout.gapLen; }

    bool sequential (float** responses) const
    {
        return params.isMls ? sequentialMlsResponses (mlsSeq.data(), params.numAverages, run, responses)
                            : sequentialSweepResponses (sweepParams, run, responses);
    }

    bool parallel (float** responses, int numWorkers) const
    {
        return params.isMls ? mlsComputeResponses (mlsSeq.data(), params.numAverages, run, responses, numWorkers)
                            : sweepComputeResponses (sweepParams, run, responses, numWorkers);
    }
};
} // namespace

TEST (ParallelResponses, SameBitsAsThePairLoopOnAnyNumberOfThreads)
{
    struct Shape
    {
        int P, R;
    };
    const Shape shapes[] = {{1, 1}, {1, 2}, {2, 3}, {3, 5}, {16, 16}};

    for (const bool isMls : {false, true})
    {
        for (const Shape& shape : shapes)
        {
            const NoiseRun s (isMls, shape.P, shape.R);
            const int numPairs = shape.P * shape.R;
            ResponseTable expected (numPairs);
            ASSERT_TRUE (s.sequential (expected.data()));

            // One per core, a single one, fewer than there are pairs, more than there are pairs.
            for (const int numWorkers : {responseWorkerCount (numPairs), 1, 3, 1000})
            {
                const std::string name = std::string (isMls ? "MLS " : "sweep ") + std::to_string (shape.P) + " x " +
                                         std::to_string (shape.R) + " on " + std::to_string (numWorkers) + " threads";
                ResponseTable responses (numPairs);
                ASSERT_TRUE (s.parallel (responses.data(), numWorkers)) << name;

                for (int m = 0; m < numPairs; ++m)
                {
                    ASSERT_NE (responses[m], nullptr) << name << ", pair " << m;
                    EXPECT_EQ (std::memcmp (responses[m], expected[m], s.responseLen() * sizeof (float)), 0)
                        << name << ", pair " << m;
                }
            }
        }
    }
}

TEST (ParallelResponses, OneThreadPerCoreAndNoMoreThanPairs)
{
    const int cores = (int)std::max (1u, std::thread::hardware_concurrency());
    EXPECT_EQ (responseWorkerCount (0), 1);
    EXPECT_EQ (responseWorkerCount (1), 1);
    EXPECT_EQ (responseWorkerCount (2), std::min (2, cores));
    EXPECT_EQ (responseWorkerCount (256), cores);
}
