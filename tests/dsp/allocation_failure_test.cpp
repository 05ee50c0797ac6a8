#include "dsp/block_convolve.h"
#include "dsp/dsp_hooks.h"
#include "dsp/fft.h"
#include "dsp/fft_basis.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <unistd.h>
#include <vector>

#ifdef __SANITIZE_ADDRESS__
extern "C" size_t __sanitizer_get_current_allocated_bytes (void);
#endif

namespace
{
// Which allocations the hook refuses: every one, one of a given byte size, or the n-th from now.
long failAtCall = 0, callsSoFar = 0;
size_t failBytes = 0;

void* refuseAll (size_t, size_t)
{
    return nullptr;
}

void* refuseSize (size_t count, size_t size)
{
    return count * size == failBytes ? nullptr : calloc (count, size);
}

void* refuseNthCall (size_t count, size_t size)
{
    return ++callsSoFar == failAtCall ? nullptr : calloc (count, size);
}

size_t heapBytesInUse()
{
#ifdef __SANITIZE_ADDRESS__
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// The message goes to stdout; death tests see stderr, so send stdout there in the dying child.
void stdoutToStderr()
{
    fflush (stdout);
    dup2 (STDERR_FILENO, STDOUT_FILENO);
}

class AllocationFailure : public ::testing::Test
{
protected:
    void SetUp() override { FreeBasisList(); }
    void TearDown() override
    {
        dsp_calloc_hook = nullptr;
        FreeBasisList();
    }
};
} // namespace

TEST_F (AllocationFailure, TwiddleTableReportsAndExitsWithFailure)
{
    EXPECT_EXIT (
        {
            stdoutToStderr();
            dsp_calloc_hook = refuseAll;
            AssignBasis (64);
        },
        ::testing::ExitedWithCode (1), "^fft: can't allocate 512 bytes\n$");
}

TEST_F (AllocationFailure, CacheNodeReportsAndExitsWithFailure)
{
    EXPECT_EXIT (
        {
            stdoutToStderr();
            failBytes = sizeof (BasisNode);
            dsp_calloc_hook = refuseSize;
            AssignBasis (64);
        },
        ::testing::ExitedWithCode (1), "^fft: can't allocate " + std::to_string (sizeof (BasisNode)) + " bytes\n$");
}

TEST_F (AllocationFailure, EveryAllocationOfATransformReportsAndExitsWithFailure)
{
    for (void (*transform) (float*, long) : {fft_real_packed_spect, ifft_real_packed_spect})
    {
        // First see what a transform of a new size allocates, then refuse each of those allocations in turn.
        std::vector<size_t> sizes;
        static std::vector<size_t>* record;
        record = &sizes;
        dsp_calloc_hook = [] (size_t count, size_t size)
        {
            record->push_back (count * size);
            return calloc (count, size);
        };
        std::vector<float> x (64, 1.0f);
        transform (x.data(), 64);
        dsp_calloc_hook = nullptr;
        FreeBasisList();
        ASSERT_FALSE (sizes.empty());

        for (size_t k = 0; k < sizes.size(); ++k)
            EXPECT_EXIT (
                {
                    stdoutToStderr();
                    callsSoFar = 0;
                    failAtCall = (long)k + 1;
                    dsp_calloc_hook = refuseNthCall;
                    transform (x.data(), 64);
                },
                ::testing::ExitedWithCode (1), "^fft: can't allocate " + std::to_string (sizes[k]) + " bytes\n$")
                << "allocation " << k + 1;
    }
}

TEST_F (AllocationFailure, BlockConvolveReturnsNullAndFreesWhatItHad)
{
    const std::vector<float> h (1000, 0.5f), x (3000, 1.0f);
    // The result and the four work arrays: refuse each in turn; nothing may stay allocated.
    for (long n = 1; n <= 5; ++n)
    {
        const size_t before = heapBytesInUse();
        callsSoFar = 0;
        failAtCall = n;
        dsp_calloc_hook = refuseNthCall;
        long outLen = -1;
        float* y = f_block_convolve (h.data(), 1000, x.data(), 3000, &outLen);
        dsp_calloc_hook = nullptr;
        EXPECT_EQ (y, nullptr) << "allocation " << n << " refused";
        EXPECT_EQ (outLen, 3999) << "allocation " << n << " refused";
        EXPECT_EQ (heapBytesInUse(), before) << "allocation " << n << " refused";
    }
}

TEST_F (AllocationFailure, BlockFilterReturnsNullAndFreesWhatItHad)
{
    const std::vector<float> h (1000, 0.5f);
    // One filter made and released first, so that its twiddle tables are built. glibc's calloc bypasses the thread
    // cache, whose chunks mallinfo counts as in use, while free fills it: fill it first for the filter's small block.
    block_filter_free (block_filter_new (h.data(), 1000));
    void* chunks[8];
    for (void*& c : chunks)
        c = malloc (32);
    for (void* c : chunks)
        free (c);
    // The filter and its spectrum: refuse each in turn; nothing may stay allocated.
    for (long n = 1; n <= 2; ++n)
    {
        const size_t before = heapBytesInUse();
        callsSoFar = 0;
        failAtCall = n;
        dsp_calloc_hook = refuseNthCall;
        block_filter* filter = block_filter_new (h.data(), 1000);
        dsp_calloc_hook = nullptr;
        EXPECT_EQ (filter, nullptr) << "allocation " << n << " refused";
        EXPECT_EQ (heapBytesInUse(), before) << "allocation " << n << " refused";
    }
}
