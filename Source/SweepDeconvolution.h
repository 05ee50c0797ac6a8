#pragma once

#include <cstdint>

#include "RunLayout.h"
#include "SweepParams.h"

// Deconvolution of a recorded sweep with the inverse filter of the sweep.

// Fills inverseFilter (round(T * fs) floats of params, not checked) with the
// sweep regenerated in double precision, time-reversed and weighted by an
// exponential envelope falling from 1 to about f1 / f2. Returns the
// normaliser E, the filter's lag-0 gain against the sweep.
float sweepInverseFilter (const SweepParams& params, float* inverseFilter);

// The impulse response of count recorded 16-bit samples rec: rec / 32767
// convolved with the inverse filter (round(T * fs) floats of params),
// starting at lag 0, scaled by 1 / norm. Returns count floats that the caller
// releases with free, or null when an allocation fails. A sweep of 0 samples
// gives count zeros.
float* sweep_compute_response (const SweepParams& params, const float* inverseFilter, float norm, const int16_t* rec,
                               uint64_t count);

// Fills responses[p * R + r] for every measured output p and recorded input r
// with the response of the sweepLen + gapLen frames from output p's segment
// start, bit for bit what sweep_compute_response gives, on one thread per
// core (responseWorkerCount). Returns false when an allocation fails; the
// entries made so far stay in the table for the caller to release.
bool sweepComputeResponses (const SweepParams& params, const RecordedRun& run, float** responses);

// The same on numWorkers threads (clamped to 1 .. P × R).
bool sweepComputeResponses (const SweepParams& params, const RecordedRun& run, float** responses, int numWorkers);
