#include "SweepDeconvolution.h"

#include <cmath>
#include <cstdlib>

#include "MeasureMemory.h"
#include "Stimulus.h"
#include "dsp/block_convolve.h"

namespace
{
constexpr double kTwoPi = 6.283185307179586;
}

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
    const uint64_t responseLen = run.layout.sweepLen + run.layout.gapLen;
    const uint64_t N = sweepSampleCount (params);
    int16_t* window = measureAlloc<int16_t> (responseLen);
    float* inverseFilter = measureAlloc<float> (N);
    bool ok = window != nullptr && inverseFilter != nullptr;

    if (ok)
    {
        const float E = sweepInverseFilter (params, inverseFilter);

        for (int32_t p = 0; ok && p < run.numPlayChan; ++p)
        {
            for (int32_t r = 0; ok && r < run.numRecChan; ++r)
            {
                copyRecordChannel (run.recordBuffer, run.recordFrames, run.recChans, r, segmentStart (run.layout, p),
                                   window, responseLen);
                float* response = sweep_compute_response (params, inverseFilter, E, window, responseLen);
                responses[p * run.numRecChan + r] = response;
                ok = response != nullptr;
            }
        }
    }

    std::free (window);
    std::free (inverseFilter);
    return ok;
}
