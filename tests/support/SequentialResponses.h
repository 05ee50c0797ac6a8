#pragma once

#include <cstdint>
#include <vector>

#include "MlsCorrelation.h"
#include "RunLayout.h"
#include "Stimulus.h"
#include "SweepDeconvolution.h"

// The response computation as one loop over the pairs on the calling thread,
// each pair through the per-pair functions and f_block_convolve: the reference
// that the computation on many threads must match bit for bit. Fills
// responses[p * R + r]; false when an allocation fails.

inline bool sequentialSweepResponses (const SweepParams& params, const RecordedRun& run, float** responses)
{
    const uint64_t responseLen = run.layout.sweepLen + run.layout.gapLen;
    std::vector<int16_t> window (responseLen);
    std::vector<float> inverseFilter (sweepSampleCount (params));
    const float E = sweepInverseFilter (params, inverseFilter.data());

    for (int32_t p = 0; p < run.numPlayChan; ++p)
    {
        for (int32_t r = 0; r < run.numRecChan; ++r)
        {
            copyRecordChannel (run.recordBuffer, run.recordFrames, run.recChans, r, segmentStart (run.layout, p),
                               window.data(), responseLen);
            float*& response = responses[p * run.numRecChan + r];
            response = sweep_compute_response (params, inverseFilter.data(), E, window.data(), responseLen);

            if (response == nullptr)
                return false;
        }
    }

    return true;
}

inline bool sequentialMlsResponses (const int16_t* mlsSeq, int32_t numAverages, const RecordedRun& run,
                                    float** responses)
{
    const int64_t L = run.layout.mlsLen > 0 ? run.layout.mlsLen : 0;
    const uint64_t windowLen = (uint64_t)(numAverages > 0 ? numAverages : 0) * (uint64_t)L;
    std::vector<int16_t> window (windowLen);

    for (int32_t p = 0; p < run.numPlayChan; ++p)
    {
        for (int32_t r = 0; r < run.numRecChan; ++r)
        {
            // Output p's first period is the lead-in; the periods after it are averaged.
            copyRecordChannel (run.recordBuffer, run.recordFrames, run.recChans, r,
                               segmentStart (run.layout, p) + (uint64_t)L, window.data(), windowLen);
            float*& response = responses[p * run.numRecChan + r];
            response = mls_compute_response (mlsSeq, L, window.data(), numAverages);

            if (response == nullptr)
                return false;
        }
    }

    return true;
}
