#pragma once
// Overlap-safe float copy and FFT overlap-add linear convolution.

// Copies n floats from src to dst bit for bit; the ranges may overlap (memmove semantics).
extern "C" void f_copy (float* dst, const float* src, unsigned long n);

// Full linear convolution of h (nh >= 1 taps) with x (nx >= 0 samples): result[k] = sum h[i] x[k-i].
// Stores nh + nx - 1 into *outLen first. Returns a new array of that many floats that the caller frees with free(),
// or null when memory runs out (or nh < 1 or nx < 0). h and x are only read.
extern "C" float* f_block_convolve (const float* h, long nh, const float* x, long nx, long* outLen);
