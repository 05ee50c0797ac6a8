#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
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

namespace
{
// How often forEachPair called each pair, and whether any call came with a
// pair or a worker out of range.
struct PairCalls
{
    explicit PairCalls (int64_t numPairs) : counts ((size_t)numPairs) {}

    void record (int worker, int numWorkers, int64_t pair)
    {
        if (worker < 0 || worker >= numWorkers || pair < 0 || pair >= (int64_t)counts.size())
            outOfRange.store (true);
        else
            counts[(size_t)pair].fetch_add (1, std::memory_order_relaxed);
    }

    // The first pair not called exactly once, or -1.
    int64_t firstPairNotCalledOnce() const
    {
        for (size_t p = 0; p < counts.size(); ++p)
            if (counts[p].load() != 1)
                return (int64_t)p;
        return -1;
    }

    std::vector<std::atomic<int>> counts;
    std::atomic<bool> outOfRange{false};
};
} // namespace

// Many more threads than cores fight over the pairs with almost no work in
// between: still every pair is called once, never twice, never skipped.
TEST (ParallelResponses, EveryPairExactlyOnceUnderContention)
{
    struct Shape
    {
        int64_t numPairs;
        int numWorkers;
    };
    const Shape shapes[] = {{200000, 64}, {5, 64}, {0, 16}};

    for (const Shape& shape : shapes)
    {
        for (int round = 0; round < 5; ++round)
        {
            const std::string name = std::to_string (shape.numPairs) + " pairs on " +
                                     std::to_string (shape.numWorkers) + " threads, round " + std::to_string (round);
            PairCalls calls (shape.numPairs);
            const bool ok = forEachPair (shape.numPairs, shape.numWorkers,
                                         [&] (int worker, int64_t pair)
                                         {
                                             calls.record (worker, shape.numWorkers, pair);
                                             return true;
                                         });
            ASSERT_TRUE (ok) << name;
            ASSERT_FALSE (calls.outOfRange.load()) << name;
            ASSERT_EQ (calls.firstPairNotCalledOnce(), -1) << name;
        }
    }
}

namespace
{
// Waits for the condition, for at most a minute; false when it never held.
bool waitUntil (const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes (1);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for (std::chrono::microseconds (100));
    }
    return true;
}
// Notes, as the thread that touched it ends, that it has ended.
struct ThreadEndNote
{
    std::atomic<bool>* ended = nullptr;
    ~ThreadEndNote()
    {
        if (ended != nullptr)
            ended->store (true);
    }
};
} // namespace

// The last worker's first call returns false while every other worker is
// inside a call of its own. Those calls are held until the failing worker's
// thread has ended: by then forEachPair has seen the false, so a pair that
// starts after it is a fault and not a race. Each held call may finish; no
// worker may start another pair.
TEST (ParallelResponses, NoPairStartsAfterACallReturnsFalse)
{
    for (const int numWorkers : {2, 6})
    {
        SCOPED_TRACE (std::to_string (numWorkers) + " threads");
        const int64_t numPairs = 100;
        const int failingWorker = numWorkers - 1; // a thread of its own, not the calling one

        std::vector<std::atomic<bool>> workerCalled ((size_t)numWorkers);
        std::atomic<int> othersInside{0};
        std::atomic<bool> falseReturned{false};
        std::atomic<bool> failingThreadEnded{false};
        std::atomic<int> startsAfterFalse{0};
        std::atomic<bool> waitTimedOut{false};
        PairCalls calls (numPairs);

        const bool ok =
            forEachPair (numPairs, numWorkers,
                         [&] (int worker, int64_t pair)
                         {
                             if (falseReturned.load())
                                 ++startsAfterFalse;
                             calls.record (worker, numWorkers, pair);
                             if (worker < 0 || worker >= numWorkers || workerCalled[(size_t)worker].exchange (true))
                                 return true;

                             if (worker == failingWorker)
                             {
                                 if (!waitUntil ([&] { return othersInside.load() == numWorkers - 1; }))
                                     waitTimedOut.store (true);
                                 thread_local ThreadEndNote note;
                                 note.ended = &failingThreadEnded;
                                 falseReturned.store (true);
                                 return false;
                             }

                             ++othersInside;
                             if (!waitUntil ([&] { return failingThreadEnded.load(); }))
                                 waitTimedOut.store (true);
                             return true;
                         });

        ASSERT_FALSE (waitTimedOut.load()) << "the workers were not all inside a call at once";
        EXPECT_FALSE (ok);
        EXPECT_FALSE (calls.outOfRange.load());
        EXPECT_EQ (startsAfterFalse.load(), 0);
    }
}

// The system refuses one thread start (the first, a middle one, the last):
// the threads already running, the calling one at least, take over the pairs
// the refused thread would have had, and the run succeeds.
TEST (ParallelResponses, ARefusedThreadLeavesItsPairsToTheOthers)
{
    const int numWorkers = 4;
    const int64_t numPairs = 1000;

    for (const int refusedStart : {0, 1, 2})
    {
        const int refusedWorker = refusedStart + 1; // the calling thread is worker 0 and is not started
        SCOPED_TRACE ("worker " + std::to_string (refusedWorker) + " refused");
        PairCalls calls (numPairs);
        std::atomic<bool> refusedWorkerCalled{false};

        forEachPairRefuseThread (refusedStart);
        const bool ok = forEachPair (numPairs, numWorkers,
                                     [&] (int worker, int64_t pair)
                                     {
                                         calls.record (worker, numWorkers, pair);
                                         if (worker == refusedWorker)
                                             refusedWorkerCalled.store (true);
                                         return true;
                                     });
        const bool refused = !forEachPairRefusalPending();
        forEachPairRefuseThread (-1);

        ASSERT_TRUE (refused) << "no thread start was refused";
        EXPECT_TRUE (ok);
        EXPECT_FALSE (refusedWorkerCalled.load());
        EXPECT_FALSE (calls.outOfRange.load());
        EXPECT_EQ (calls.firstPairNotCalledOnce(), -1);
    }
}
