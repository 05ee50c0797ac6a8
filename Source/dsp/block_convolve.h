#pragma once
// Overlap-safe float copy and FFT overlap-add linear convolution.

// Copies n floats from src to dst bit for bit; the ranges may overlap (memmove semantics).
extern "C" void f_copy (float* dst, const float* src, unsigned long n);

// Full linear convolution of h (nh >= 1 taps) with x (nx >= 0 samples): result[k] = sum h[i] x[k-i].
// Stores nh + nx - 1 into *outLen first. Returns a new array of that many floats that the caller frees with free(),
// or null when memory runs out (or nh < 1 or nx < 0). h and x are only read.
extern "C" float* f_block_convolve (const float* h, long nh, const float* x, long nx, long* outLen);

// A filter transformed once, for convolving many signals with it: the same block length e and transform size
// N = 2e as f_block_convolve, and its filter spectrum.
typedef struct block_filter block_filter;

// Transforms h (nh >= 1 taps, only read) and builds the twiddle tables of size N on the calling thread. Returns a
// new filter that the caller releases with block_filter_free, or null when memory runs out (or nh < 1).
extern "C" block_filter* block_filter_new (const float* h, long nh);

// Releases a filter of block_filter_new; null is ignored.
extern "C" void block_filter_free (block_filter* filter);

// The floats of scratch memory that block_filter_convolve needs with this filter (2N).
extern "C" long block_filter_scratch_floats (const block_filter* filter);

// Writes samples first .. first + count - 1 of the full convolution of the filter with x (nx >= 0 samples) to out,
// bit for bit what f_block_convolve gives at those indices (0 past its nh + nx - 1 samples); first >= 0, count >= 0.
// scratch holds block_filter_scratch_floats floats, contents ignored; out overlaps neither x nor scratch (not checked).
// Allocates nothing and only reads the filter and the twiddle cache: several threads may convolve with one filter at
// once, each with its own out and scratch, while no thread changes the cache (FreeBasisList, a transform of a new
// size).
extern "C" void block_filter_convolve (const block_filter* filter, const float* x, long nx, long first, long count,
                                       float* out, float* scratch);
