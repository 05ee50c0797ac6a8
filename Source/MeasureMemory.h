#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/block_convolve.h"

// Heap arrays of the run buffers and the response computation: zero-filled,
// released with free. count * size is checked for overflow, and a count of 0
// still gives a valid array, so a null result always means failure.
void* measureCalloc (uint64_t count, size_t size);

template <typename T> T* measureAlloc (uint64_t count)
{
    return static_cast<T*> (measureCalloc (count, sizeof (T)));
}

// Frees each of the count responses of a table (null entries too) and then
// the table itself; a null table is left alone.
void freeResponseTable (float** responses, int64_t count);

// Test hook for the out-of-memory paths: the n-th request from now on
// (0 = the next one) fails, once; -1 cancels. Counts the requests of
// measureCalloc, measureConvolve and measureBlockFilter on every thread;
// set and read it while no computation runs.
void measureFailRequest (int n);

// True while a failure set by measureFailRequest has not happened yet.
bool measureFailPending();

// f_block_convolve (h of nh >= 1 floats, x of nx floats) that may fail: null
// when the kernel could not allocate its result or a failure was injected.
// The nh + nx - 1 result floats are the caller's, released with free.
float* measureConvolve (const float* h, int64_t nh, const float* x, int64_t nx);

// block_filter_new (h of nh >= 1 floats) that may fail: null when the kernel
// could not allocate or a failure was injected. Released with block_filter_free.
block_filter* measureBlockFilter (const float* h, int64_t nh);
