#include "MeasureMemory.h"

#include <cstdlib>

#include "FailureCountdown.h"
#include "dsp/block_convolve.h"

namespace
{
// Counted down by every thread that asks for memory.
FailureCountdown requestFailure;

bool measureRequestFails()
{
    return requestFailure.fails();
}
} // namespace

void* measureCalloc (uint64_t count, size_t size)
{
    if (measureRequestFails())
        return nullptr;

    if (count == 0)
        count = 1;

    if (size == 0 || count > SIZE_MAX / size)
        return nullptr;

    return std::calloc ((size_t)count, size);
}

void freeResponseTable (float** responses, int64_t count)
{
    if (responses == nullptr)
        return;

    for (int64_t m = 0; m < count; ++m)
        std::free (responses[m]);

    std::free (responses);
}

void measureFailRequest (int n)
{
    requestFailure.arm (n);
}

bool measureFailPending()
{
    return requestFailure.pending();
}

float* measureConvolve (const float* h, int64_t nh, const float* x, int64_t nx)
{
    if (measureRequestFails())
        return nullptr;

    long outLen = 0;
    return f_block_convolve (h, (long)nh, x, (long)nx, &outLen);
}

block_filter* measureBlockFilter (const float* h, int64_t nh)
{
    if (measureRequestFails())
        return nullptr;

    return block_filter_new (h, (long)nh);
}
