#include "MeasureMemory.h"

#include <atomic>
#include <cstdlib>

#include "dsp/block_convolve.h"

namespace
{
// Requests left before the injected failure; -1 when none is set. Counted down by every thread that asks for memory.
std::atomic<int> requestsBeforeFailure{-1};

// Decides whether this request is the one to fail; exactly one request fails, whichever thread makes it.
bool measureRequestFails()
{
    int left = requestsBeforeFailure.load();

    while (left >= 0)
        if (requestsBeforeFailure.compare_exchange_weak (left, left - 1))
            return left == 0;

    return false;
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
    requestsBeforeFailure = n;
}

bool measureFailPending()
{
    return requestsBeforeFailure >= 0;
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
