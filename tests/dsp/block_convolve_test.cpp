#include "dsp/block_convolve.h"
#include "block_length.h"
#include "random_signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

namespace
{
std::vector<double> directConvolution (const std::vector<float>& h, const std::vector<float>& x)
{
    if (x.empty())
        return std::vector<double> (h.size() - 1, 0.0);
    std::vector<double> y (h.size() + x.size() - 1, 0.0);
    for (size_t i = 0; i < h.size(); ++i)
        for (size_t j = 0; j < x.size(); ++j)
            y[i + j] += (double)h[i] * x[j];
    return y;
}

struct ConvolveCase
{
    long nh, nx;
};

void expectDirectConvolution (const ConvolveCase& c)
{
    const std::vector<float> h = randomSignal (c.nh, (unsigned)(c.nh * 31 + c.nx));
    const std::vector<float> x = randomSignal (c.nx, (unsigned)(c.nx * 17 + c.nh + 1));
    long outLen = -1;
    float* y = f_block_convolve (h.data(), c.nh, x.data(), c.nx, &outLen);
    ASSERT_NE (y, nullptr) << "nh = " << c.nh << ", nx = " << c.nx;
    ASSERT_EQ (outLen, c.nh + c.nx - 1) << "nh = " << c.nh << ", nx = " << c.nx;

    const std::vector<double> expected = directConvolution (h, x);
    // Each output sample carries the rounding of two transforms of size 2e over a block of e samples.
    const double hNorm = std::sqrt (std::inner_product (h.begin(), h.end(), h.begin(), 0.0));
    const long e = blockLength (c.nh);
    const double tolerance = 2.0 * FLT_EPSILON * std::log2 (2.0 * (double)e) * hNorm * std::sqrt ((double)e);
    for (long k = 0; k < outLen; ++k)
        ASSERT_NEAR (y[k], expected[(size_t)k], tolerance) << "nh = " << c.nh << ", nx = " << c.nx << ", sample " << k;
    free (y);
}
} // namespace

TEST (BlockConvolve, MatchesDirectConvolution)
{
    const ConvolveCase cases[] = {
        {1, 1},  {1, 7},    {1, 64}, // e = 1, where the transforms of size 2 do not transform
        {2, 1},  {2, 2},    {2, 9},  // e = 2, the smallest transformed size
        {5, 3},  {100, 40},          // a single block shorter than e
        {5, 16}, {64, 256},          // nx a multiple of e: the last tail is copied at the very end
        {5, 17}, {64, 257}, {3, 5},  // nx one more than a multiple of e: a last block of one sample
        {1, 0},  {7, 0},    {64, 0}, // no signal: nh - 1 zeros
    };
    for (const ConvolveCase& c : cases)
        expectDirectConvolution (c);
}

TEST (BlockConvolve, MatchesDirectConvolutionForRandomSizes)
{
    std::mt19937 gen (2024);
    std::uniform_int_distribution<long> taps (1, 700), samples (0, 3000);
    for (int i = 0; i < 40; ++i)
        expectDirectConvolution ({taps (gen), samples (gen)});
}

TEST (FloatCopy, BehavesAsAMemoryMove)
{
    const std::vector<float> original = randomSignal (32, 5);
    struct Case
    {
        const char* name;
        long dst, src, n;
    };
    const Case cases[] = {
        {"dst above src, overlapping", 5, 0, 20},
        {"dst below src, overlapping", 0, 5, 20},
        {"dst equal to src", 3, 3, 20},
        {"disjoint", 0, 20, 10},
        {"nothing", 4, 9, 0},
    };
    for (const Case& c : cases)
    {
        std::vector<float> buf = original;
        std::vector<float> expected = original;
        std::copy (original.begin() + c.src, original.begin() + c.src + c.n, expected.begin() + c.dst);
        f_copy (buf.data() + c.dst, buf.data() + c.src, (unsigned long)c.n);
        EXPECT_EQ (0, std::memcmp (buf.data(), expected.data(), buf.size() * sizeof (float))) << c.name;
    }
}

TEST (BlockConvolve, RefusesSizesOutsideItsDomain)
{
    const float h[2] = {1.0f, 2.0f}, x[2] = {3.0f, 4.0f};
    struct Case
    {
        long nh, nx;
    };
    for (const Case& c : {Case{0, 2}, Case{-3, 2}, Case{2, -1}})
    {
        long outLen = 12345;
        EXPECT_EQ (f_block_convolve (h, c.nh, x, c.nx, &outLen), nullptr) << "nh = " << c.nh << ", nx = " << c.nx;
        EXPECT_EQ (outLen, c.nh + c.nx - 1) << "nh = " << c.nh << ", nx = " << c.nx;
    }
}
