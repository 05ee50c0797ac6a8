#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "RunLayout.h"
#include "dsp/block_convolve.h"

// The threads of the response computation: the pairs of a run are independent
// and share one transformed filter, so they are spread over every core.

// The run's output/input pairs, P × R (0 when either is not positive).
int64_t pairCount (const RecordedRun& run);

// Threads for numPairs pairs: one per core, no more than there are pairs,
// at least one.
int responseWorkerCount (int64_t numPairs);

// Calls work (worker, pair) once for each pair 0 .. numPairs - 1, on
// numWorkers threads (worker 0 is the calling thread; worker < numWorkers),
// each taking the next pair not yet taken. Once a call returns false no
// thread starts a further pair (calls already under way on other threads
// run to their end), and the result is false. Returns after every thread has
// ended. A thread that the system cannot start leaves its pairs to the others.
bool forEachPair (int64_t numPairs, int numWorkers, const std::function<bool (int worker, int64_t pair)>& work);

// Test hook for a thread the system refuses: the n-th thread that forEachPair
// starts from now on (0 = the next one) is refused, once; -1 cancels. Counts
// the starts of every forEachPair; set and read it while none runs.
void forEachPairRefuseThread (int n);

// True while a refusal set by forEachPairRefuseThread has not happened yet.
bool forEachPairRefusalPending();

// Each worker's own arrays, reused from pair to pair: a recorded window, a
// float signal and the convolution's scratch. Made on the calling thread
// before the workers start; released when this goes.
struct WorkerArrays
{
    struct Worker
    {
        int16_t* window = nullptr;
        float* signal = nullptr;
        float* scratch = nullptr;
    };

    // numWorkers is clamped to 1 .. numPairs (1 when there are no pairs).
    WorkerArrays (int64_t numPairs, int numWorkers);
    ~WorkerArrays();

    WorkerArrays (const WorkerArrays&) = delete;
    WorkerArrays& operator= (const WorkerArrays&) = delete;

    // Gives every worker windowLen samples, signalLen floats and the scratch
    // that filter needs (one float without a filter). False when an
    // allocation fails; what was made is released with the rest.
    bool allocate (uint64_t windowLen, uint64_t signalLen, const block_filter* filter);

    int count;
    std::vector<Worker> workers;
};
