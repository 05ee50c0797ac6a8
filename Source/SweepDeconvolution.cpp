#include "SweepDeconvolution.h"

#include <cmath>
#include <cstdlib>

#include "MeasureMemory.h"
#include "ResponseWorkers.h"
#include "Stimulus.h"
#include "dsp/block_convolve.h"

namespace
{
constexpr double kTwoPi = 6.283185307179586;

// Pair m's response (count samples) from the inverse filter of N taps, prepared as filter, with the normaliser's
// inverse g, in one worker's arrays: the arithmetic of sweep_compute_response.
void deconvolvePair (const RecordedRun& run, int64_t m, const block_filter* filter, uint64_t N, float g,
                     const WorkerArrays::Worker& w, float* response, uint64_t count)
{
    const int32_t p = (int32_t)(m / run.numRecChan), r = (int32_t)(m % run.numRecChan);
    copyRecordChannel (run.recordBuffer, run.recordFrames, run.recChans, r, segmentStart (run.layout, p), w.window,
                       count);

    for (uint64_t i = 0; i < count; ++i)
        w.signal[i] = (float)w.window[i] / 32767.0f;

    // Lag 0 of the response is sample N - 1 of the convolution.
    block_filter_convolve (filter, w.signal, (long)count, (long)N - 1, (long)count, response, w.scratch);

    for (uint64_t i = 0; i < count; ++i)
        response[i] *= g;
}
} // namespace

float sweepInverseFilter (const SweepParams& params, float* inverseFilter)
{
    const uint64_t N = sweepSampleCount (params);
    const double fs = params.sampleRate;
    const double T = params.T;
    const double ln = std::log (params.f2 / params.f1);
    const double K = ((params.f1 * kTwoPi) * T) / ln;
    double E = 0.0;

    for (uint64_t n = 0; n < N; ++n)
    {
        const double x = params.amplitude * std::sin (K * (std::exp ((((double)n / fs) * ln) / T) - 1.0));

        // The envelope of inverse filter index N - 1 - n is also E's weight of sample n.
        const uint64_t k = N - 1 - n;
        const double envelope = std::exp ((((double)k / fs) * ln) / T);

        E += x * x / envelope;
        inverseFilter[k] = (float)(x / envelope);
    }

    return (float)E;
}

float* sweep_compute_response (const SweepParams& params, const float* inverseFilter, float norm, const int16_t* rec,
                               uint64_t count)
{
    const uint64_t nh = sweepSampleCount (params);
    float* result = measureAlloc<float> (count);

    if (result == nullptr || nh == 0 || count == 0)
        return result;

    float* buf = measureAlloc<float> (count);

    if (buf == nullptr)
    {
        std::free (result);
        return nullptr;
    }

    for (uint64_t i = 0; i < count; ++i)
        buf[i] = (float)rec[i] / 32767.0f;

    float* conv = measureConvolve (inverseFilter, (int64_t)nh, buf, (int64_t)count);
    std::free (buf);

    if (conv == nullptr)
    {
        std::free (result);
        return nullptr;
    }

    f_copy (result, conv + (nh - 1), (unsigned long)count);
    std::free (conv);

    // A silent sweep has E = 0 and gives a silent response.
    const float g = norm > 0.0f ? 1.0f / norm : 0.0f;

    for (uint64_t i = 0; i < count; ++i)
        result[i] *= g;

    return result;
}

bool sweepComputeResponses (const SweepParams& params, const RecordedRun& run, float** responses)
{
    return sweepComputeResponses (params, run, responses, responseWorkerCount (pairCount (run)));
}

bool sweepComputeResponses (const SweepParams& params, const RecordedRun& run, float** responses, int numWorkers)
{
    const uint64_t responseLen = run.layout.sweepLen + run.layout.gapLen;
    const uint64_t N = sweepSampleCount (params);
    const int64_t numPairs = pairCount (run);
    float* inverseFilter = measureAlloc<float> (N);

    if (inverseFilter == nullptr)
        return false;

    const float E = sweepInverseFilter (params, inverseFilter);
    const float g = E > 0.0f ? 1.0f / E : 0.0f;

    // Transformed once for all pairs, here on the calling thread, which also builds the twiddle tables the workers
    // read. A sweep of no samples gives silent responses.
    block_filter* filter = N > 0 ? measureBlockFilter (inverseFilter, (int64_t)N) : nullptr;
    std::free (inverseFilter);

    if (N > 0 && filter == nullptr)
        return false;

    WorkerArrays arrays (numPairs, numWorkers);
    bool ok = arrays.allocate (responseLen, responseLen, filter);

    if (ok)
    {
        ok = forEachPair (numPairs, arrays.count,
                          [&] (int worker, int64_t m)
                          {
                              responses[m] = measureAlloc<float> (responseLen);

                              if (responses[m] != nullptr && filter != nullptr && responseLen > 0)
                                  deconvolvePair (run, m, filter, N, g, arrays.workers[(size_t)worker], responses[m],
                                                  responseLen);

                              return responses[m] != nullptr;
                          });
    }

    block_filter_free (filter);
    return ok;
}
