#include "ResponseWorkers.h"

#include <atomic>
#include <cstdlib>
#include <thread>

#include "FailureCountdown.h"
#include "MeasureMemory.h"

namespace
{
// Counted down by every thread start of every forEachPair.
FailureCountdown threadRefusal;
} // namespace

int64_t pairCount (const RecordedRun& run)
{
    return run.numPlayChan > 0 && run.numRecChan > 0 ? (int64_t)run.numPlayChan * run.numRecChan : 0;
}

int responseWorkerCount (int64_t numPairs)
{
    const int64_t cores = (int64_t)std::thread::hardware_concurrency();
    const int64_t n = cores < numPairs ? cores : numPairs;
    return n > 1 ? (int)n : 1;
}

bool forEachPair (int64_t numPairs, int numWorkers, const std::function<bool (int worker, int64_t pair)>& work)
{
    std::atomic<int64_t> nextPair{0};
    std::atomic<bool> failed{false};

    const auto runWorker = [&] (int worker)
    {
        while (!failed.load())
        {
            const int64_t pair = nextPair.fetch_add (1);

            if (pair >= numPairs)
                return;

            if (!work (worker, pair))
                failed.store (true);
        }
    };

    std::vector<std::thread> threads;

    for (int w = 1; w < numWorkers; ++w)
    {
        // A refused thread (std::thread reports one by throwing) leaves its pairs to the threads already running.
        if (threadRefusal.fails())
            break;

        try
        {
            threads.emplace_back (runWorker, w);
        }
        catch (...)
        {
            break;
        }
    }

    runWorker (0);

    for (auto& t : threads)
        t.join();

    return !failed.load();
}

void forEachPairRefuseThread (int n)
{
    threadRefusal.arm (n);
}

bool forEachPairRefusalPending()
{
    return threadRefusal.pending();
}

namespace
{
int clampedWorkerCount (int64_t numPairs, int numWorkers)
{
    const int64_t most = numPairs > 1 ? numPairs : 1;
    return numWorkers < 1 ? 1 : (numWorkers > most ? (int)most : numWorkers);
}
} // namespace

WorkerArrays::WorkerArrays (int64_t numPairs, int numWorkers)
    : count (clampedWorkerCount (numPairs, numWorkers)), workers ((size_t)count)
{
}

WorkerArrays::~WorkerArrays()
{
    for (auto& w : workers)
    {
        std::free (w.window);
        std::free (w.signal);
        std::free (w.scratch);
    }
}

bool WorkerArrays::allocate (uint64_t windowLen, uint64_t signalLen, const block_filter* filter)
{
    const uint64_t scratchLen = filter != nullptr ? (uint64_t)block_filter_scratch_floats (filter) : 1;

    for (auto& w : workers)
    {
        w.window = measureAlloc<int16_t> (windowLen);
        w.signal = w.window != nullptr ? measureAlloc<float> (signalLen) : nullptr;
        w.scratch = w.signal != nullptr ? measureAlloc<float> (scratchLen) : nullptr;

        if (w.scratch == nullptr)
            return false;
    }

    return true;
}
