#pragma once
// The kernels' two test hooks, both off in the program: refusing an allocation, and running without vector units.
#include <stddef.h>

// Zero-filled allocation used by every kernel: calloc(count, size), or the allocation hook's answer when set.
extern "C" void* dsp_calloc (size_t count, size_t size);

// Allocation hook: when not null, dsp_calloc returns what it returns (null to simulate running out of memory).
extern "C" void* (*dsp_calloc_hook) (size_t count, size_t size);

// When nonzero, the kernels take their portable scalar paths even where vector instructions are available.
extern "C" int dsp_scalar_only;
