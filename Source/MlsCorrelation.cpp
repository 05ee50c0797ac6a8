#include "MlsCorrelation.h"

#include <algorithm>
#include <cstdlib>

#include "MeasureMemory.h"
#include "ResponseWorkers.h"

namespace
{
// Pair m's response (L samples, the reference's length) from the reference prepared as filter, in one worker's
// arrays: the arithmetic of mls_compute_response, with the sequence's scale g and the averaging scale s.
void correlatePair (const RecordedRun& run, int64_t m, const block_filter* filter, int32_t numAverages, float g,
                    float s, const WorkerArrays::Worker& w, float* response)
{
    const int64_t L = run.layout.mlsLen;
    const uint64_t len = (uint64_t)L;
    const int32_t p = (int32_t)(m / run.numRecChan), r = (int32_t)(m % run.numRecChan);

    // Output p's first period is the lead-in; the periods after it are averaged.
    copyRecordChannel (run.recordBuffer, run.recordFrames, run.recChans, r, segmentStart (run.layout, p) + len,
                       w.window, (uint64_t)numAverages * len);

    float* sum = w.signal;
    std::fill (sum, sum + len, 0.0f);

    for (int32_t k = 0; k < numAverages; ++k)
        for (uint64_t i = 0; i < len; ++i)
            sum[i] += (float)w.window[(uint64_t)k * len + i];

    // The period written twice makes the linear convolution circular over lags 0 .. L - 1.
    for (uint64_t i = 0; i < len; ++i)
        sum[len + i] = sum[i];

    for (uint64_t i = 0; i < 2 * len; ++i)
        sum[i] *= g;

    block_filter_convolve (filter, sum, 2 * L, L - 1, L, response, w.scratch);

    for (uint64_t i = 0; i < len; ++i)
        response[i] *= s;
}
} // namespace

float* mls_compute_response (const int16_t* mlsSeq, int64_t L, const int16_t* window, int32_t numAverages)
{
    const uint64_t len = L > 0 ? (uint64_t)L : 0;
    float* response = measureAlloc<float> (len);

    if (response == nullptr || len == 0 || numAverages < 1 || mlsSeq == nullptr)
        return response;

    float* ref = measureAlloc<float> (len);
    float* sum = measureAlloc<float> (2 * len);

    if (ref == nullptr || sum == nullptr)
    {
        std::free (ref);
        std::free (sum);
        std::free (response);
        return nullptr;
    }

    // The sequence time-reversed, so that convolving with it correlates.
    for (uint64_t i = 0; i < len; ++i)
        ref[i] = (float)mlsSeq[len - 1 - i];

    const int32_t a = mlsSeq[0] < 0 ? -(int32_t)mlsSeq[0] : (int32_t)mlsSeq[0];

    for (int32_t k = 0; k < numAverages; ++k)
        for (uint64_t i = 0; i < len; ++i)
            sum[i] += (float)window[(uint64_t)k * len + i];

    // The period written twice makes the linear convolution circular over lags 0 .. L - 1.
    for (uint64_t i = 0; i < len; ++i)
        sum[len + i] = sum[i];

    const float g = a > 0 ? (float)(1.0 / a) : 0.0f;

    for (uint64_t i = 0; i < len; ++i)
        ref[i] *= g;

    for (uint64_t i = 0; i < 2 * len; ++i)
        sum[i] *= g;

    float* conv = measureConvolve (ref, L, sum, 2 * L);
    std::free (ref);
    std::free (sum);

    if (conv == nullptr)
    {
        std::free (response);
        return nullptr;
    }

    const float s = (float)(1.0 / (double)(L * (int64_t)numAverages));

    for (uint64_t i = 0; i < len; ++i)
        response[i] = conv[len - 1 + i] * s;

    std::free (conv);
    return response;
}

bool mlsComputeResponses (const int16_t* mlsSeq, int32_t numAverages, const RecordedRun& run, float** responses)
{
    return mlsComputeResponses (mlsSeq, numAverages, run, responses, responseWorkerCount (pairCount (run)));
}

bool mlsComputeResponses (const int16_t* mlsSeq, int32_t numAverages, const RecordedRun& run, float** responses,
                          int numWorkers)
{
    const int64_t L = run.layout.mlsLen > 0 ? run.layout.mlsLen : 0;
    const uint64_t len = (uint64_t)L;
    const uint64_t windowLen = (uint64_t)(numAverages > 0 ? numAverages : 0) * len;
    const int64_t numPairs = pairCount (run);
    const bool silent = len == 0 || numAverages < 1 || mlsSeq == nullptr;

    // The sequence's amplitude a: every element is +a or -a.
    const int32_t a = silent ? 0 : (mlsSeq[0] < 0 ? -(int32_t)mlsSeq[0] : (int32_t)mlsSeq[0]);
    const float g = a > 0 ? (float)(1.0 / a) : 0.0f;
    const float s = silent ? 0.0f : (float)(1.0 / (double)(L * (int64_t)numAverages));

    // The reference is the same for every pair: transformed once, here on the calling thread, which also builds
    // the twiddle tables the workers read.
    block_filter* filter = nullptr;

    if (!silent)
    {
        float* ref = measureAlloc<float> (len);

        if (ref == nullptr)
            return false;

        // The sequence time-reversed, so that convolving with it correlates.
        for (uint64_t i = 0; i < len; ++i)
            ref[i] = (float)mlsSeq[len - 1 - i];

        for (uint64_t i = 0; i < len; ++i)
            ref[i] *= g;

        filter = measureBlockFilter (ref, L);
        std::free (ref);

        if (filter == nullptr)
            return false;
    }

    WorkerArrays arrays (numPairs, numWorkers);
    bool ok = arrays.allocate (windowLen, 2 * len, filter);

    if (ok)
    {
        ok = forEachPair (numPairs, arrays.count,
                          [&] (int worker, int64_t m)
                          {
                              responses[m] = measureAlloc<float> (len);

                              if (responses[m] != nullptr && filter != nullptr)
                                  correlatePair (run, m, filter, numAverages, g, s, arrays.workers[(size_t)worker],
                                                 responses[m]);

                              return responses[m] != nullptr;
                          });
    }

    block_filter_free (filter);
    return ok;
}
