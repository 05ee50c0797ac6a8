#include "dsp/block_convolve.h"
#include "dsp/dsp_hooks.h"
#include "dsp/fft.h"
#include "dsp/fft_basis.h"
#include "block_length.h"
#include "random_signal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// A filter transformed once and convolved with many signals, against f_block_convolve: the same bits.

namespace
{
class BlockFilter : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override { dsp_scalar_only = GetParam() ? 1 : 0; }
    void TearDown() override
    {
        dsp_scalar_only = 0;
        dsp_calloc_hook = nullptr;
        FreeBasisList();
    }
};

INSTANTIATE_TEST_SUITE_P (Paths, BlockFilter, ::testing::Values (false, true),
                          [] (const ::testing::TestParamInfo<bool>& info) { return info.param ? "Scalar" : "Vector"; });

struct Slice
{
    const char* name;
    long first, count;
};

// The slices worth asking for in a convolution of len samples with block length e.
std::vector<Slice> slicesOf (long nh, long len, long e)
{
    return {
        {"whole", 0, len},
        {"from lag nh - 1, as a sweep response", nh - 1, len - (nh - 1)},
        {"from the middle of the second block", e + e / 2, 2 * e},
        {"one sample", len / 2, 1},
        {"across the end: zeros past it", len > 2 ? len - 2 : 0, 6},
        {"wholly past the end", len + 3 * e, 4},
        {"nothing", 1, 0},
    };
}
} // namespace

TEST_P (BlockFilter, GivesTheBitsOfBlockConvolveForEverySlice)
{
    struct Case
    {
        long nh, nx;
    };
    const Case cases[] = {
        {1, 0},       {1, 7},  // e = 1, the size the transforms leave alone
        {2, 9},       {5, 3},  // the smallest transformed size; a single short block
        {5, 16},      {5, 17}, // nx a multiple of e, and one more
        {700, 3000},           // many blocks with a long tail
        {4095, 8190},          // an MLS period against two periods
        {1000, 1500},          // a sweep-like filter longer than half its block
    };

    for (const Case& c : cases)
    {
        const std::vector<float> h = randomSignal (c.nh, (unsigned)c.nh);
        block_filter* filter = block_filter_new (h.data(), c.nh);
        ASSERT_NE (filter, nullptr);
        ASSERT_EQ (block_filter_scratch_floats (filter), 4 * blockLength (c.nh));
        // Stale scratch must not leak into the result.
        std::vector<float> scratch ((size_t)block_filter_scratch_floats (filter), std::nanf (""));
        const long e = blockLength (c.nh);

        // Several signals through the one filter.
        for (unsigned seed = 1; seed <= 3; ++seed)
        {
            const std::vector<float> x = randomSignal (c.nx, seed * 1000 + (unsigned)c.nx);
            long len = 0;
            float* expected = f_block_convolve (h.data(), c.nh, x.data(), c.nx, &len);
            ASSERT_NE (expected, nullptr);

            for (const Slice& s : slicesOf (c.nh, len, e))
            {
                const std::string where = "nh " + std::to_string (c.nh) + ", nx " + std::to_string (c.nx) +
                                          ", signal " + std::to_string (seed) + ": " + s.name;
                std::vector<float> out ((size_t)s.count + 1, 123.0f);
                block_filter_convolve (filter, x.data(), c.nx, s.first, s.count, out.data(), scratch.data());

                for (long i = 0; i < s.count; ++i)
                {
                    const long k = s.first + i;
                    const float want = k < len ? expected[k] : 0.0f;
                    ASSERT_EQ (std::memcmp (&out[(size_t)i], &want, sizeof (float)), 0)
                        << where << ", sample " << k << ": " << out[(size_t)i] << " against " << want;
                }
                EXPECT_EQ (out[(size_t)s.count], 123.0f) << where << ": written past count";
            }
            free (expected);
        }
        block_filter_free (filter);
    }
}

// Convolving threads share the twiddle cache without a lock: once the filter is made, convolving must neither
// build a table nor allocate anything.
TEST_P (BlockFilter, ConvolvingAllocatesNothing)
{
    static int allocations;
    for (const long nh : {1L, 2L, 700L})
    {
        FreeBasisList();
        const std::vector<float> h = randomSignal (nh, 7), x = randomSignal (3 * nh + 5, 8);
        block_filter* filter = block_filter_new (h.data(), nh);
        ASSERT_NE (filter, nullptr);
        std::vector<float> scratch ((size_t)block_filter_scratch_floats (filter));
        std::vector<float> out (x.size() + (size_t)nh);

        allocations = 0;
        dsp_calloc_hook = [] (size_t count, size_t size)
        {
            ++allocations;
            return calloc (count, size);
        };
        block_filter_convolve (filter, x.data(), (long)x.size(), 0, (long)out.size(), out.data(), scratch.data());
        dsp_calloc_hook = nullptr;
        EXPECT_EQ (allocations, 0) << "nh " << nh;
        block_filter_free (filter);
    }
}

TEST (BlockFilterDomain, RefusesFiltersWithoutTaps)
{
    const float h[1] = {1.0f};
    EXPECT_EQ (block_filter_new (h, 0), nullptr);
    EXPECT_EQ (block_filter_new (h, -4), nullptr);
    block_filter_free (nullptr);
}
