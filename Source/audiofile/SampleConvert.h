#pragma once

#include <cstdint>

// Sample conversion into a file's little-endian sample bytes. sampSize is 1 to 4;
// isFloat selects IEEE float for 4-byte samples. out receives count * sampSize bytes.
// 1-byte samples are unsigned (silence 128); a NaN input gives silence.
void ConvertShortSamples (const int16_t* in, int64_t count, int sampSize, bool isFloat, unsigned char* out);
void ConvertLongSamples (const int32_t* in, int64_t count, int sampSize, bool isFloat, unsigned char* out);
void ConvertFloatSamples (const float* in, int64_t count, int sampSize, bool isFloat, unsigned char* out);

// x * m rounded half away from zero and clipped to -m .. m; NaN gives 0.
int32_t FloatToScaled (float x, int32_t m);
// x * 2^31 rounded half away from zero and clipped to -2147483647 .. 2147483647; NaN gives 0.
int32_t FloatToLong (float x);
