#pragma once

#include <cstdint>

#include "SweepParams.h"

// Stimulus generation: the exponential swept sine and the maximum-length
// sequence, both as signed 16-bit samples.

// A level in dB as a linear gain: 10^(db / 20) in single precision.
float dbToLinear (float db);

// Sweep length in samples: round(T * fs) in double precision, halves away
// from zero; 0 for a non-finite or negative product.
uint64_t sweepSampleCount (const SweepParams& params);

// Writes the n samples of the sweep of params, scaled by its amplitude and
// 32767 and rounded, into x (n samples, not checked). No fade in or out.
void generateSweep (const SweepParams& params, int16_t* x, uint64_t n);

// The MLS sample magnitude for a linear level: ampLin * 32767 in single
// precision, truncated toward zero.
int32_t mlsAmplitude (float ampLin);

// Writes one MLS period of order bits into seq (len samples), -a for a 1 out
// of the shift register and +a for a 0. Stops when the register comes back to
// its start or after len samples; returns the number written. Orders outside
// 1 .. 20 write nothing.
int64_t generateMls (int32_t bits, int32_t a, int16_t* seq, int64_t len);
