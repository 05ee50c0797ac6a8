#pragma once

#include <cstdint>

#include "RunLayout.h"

// The impulse response of one output/input pair of an MLS run: the
// numAverages recorded periods in window (numAverages * L samples) are summed,
// and the sum is correlated circularly with the sequence mlsSeq (L samples of
// +a or -a), scaled so that a direct loop-back gives 1 at index 0 and -1 / L
// elsewhere. Returns L floats (one for L = 0) that the caller releases with
// free, or null when an allocation fails.
float* mls_compute_response (const int16_t* mlsSeq, int64_t L, const int16_t* window, int32_t numAverages);

// Fills responses[p * R + r] for every measured output p and recorded input r
// from the numAverages periods that follow output p's lead-in period, bit for
// bit what mls_compute_response gives, on one thread per core
// (responseWorkerCount). Returns false when an allocation fails; the entries
// made so far stay in the table for the caller to release.
bool mlsComputeResponses (const int16_t* mlsSeq, int32_t numAverages, const RecordedRun& run, float** responses);

// The same on numWorkers threads (clamped to 1 .. P × R).
bool mlsComputeResponses (const int16_t* mlsSeq, int32_t numAverages, const RecordedRun& run, float** responses,
                          int numWorkers);
