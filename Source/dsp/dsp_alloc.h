#pragma once
// Zero-filled allocation used by every kernel, so that tests can make a chosen allocation fail.
#include <stddef.h>

// calloc(count, size), or the test hook's answer when one is installed.
extern "C" void* dsp_calloc (size_t count, size_t size);

// Test hook: when not null, dsp_calloc returns what it returns (null to simulate running out of memory).
// Null in the program; only tests set it.
extern "C" void* (*dsp_calloc_hook) (size_t count, size_t size);
