#include "MlsCorrelation.h"

#include <cstdlib>

#include "MeasureMemory.h"

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
    const int64_t L = run.layout.mlsLen > 0 ? run.layout.mlsLen : 0;
    const uint64_t windowLen = (uint64_t)(numAverages > 0 ? numAverages : 0) * (uint64_t)L;
    int16_t* window = measureAlloc<int16_t> (windowLen);
    bool ok = window != nullptr;

    for (int32_t p = 0; ok && p < run.numPlayChan; ++p)
    {
        for (int32_t r = 0; ok && r < run.numRecChan; ++r)
        {
            // Output p's first period is the lead-in; the periods after it are averaged.
            copyRecordChannel (run.recordBuffer, run.recordFrames, run.recChans, r,
                               segmentStart (run.layout, p) + (uint64_t)L, window, windowLen);
            float* response = mls_compute_response (mlsSeq, L, window, numAverages);
            responses[p * run.numRecChan + r] = response;
            ok = response != nullptr;
        }
    }

    std::free (window);
    return ok;
}
