#include "dsp/block_convolve.h"
#include "dsp/dsp_hooks.h"
#include "dsp/fft.h"
#include "plain_kernels.h"
#include "random_signal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

// The fast kernels against the plain rendering of the same arithmetic: the same bits, not merely close values.

namespace
{
// Each test runs on the vector path where the machine has one, and on the portable scalar path.
class FastKernels : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override { dsp_scalar_only = GetParam() ? 1 : 0; }
    void TearDown() override
    {
        dsp_scalar_only = 0;
        FreeBasisList();
    }
};

INSTANTIATE_TEST_SUITE_P (Paths, FastKernels, ::testing::Values (false, true),
                          [] (const ::testing::TestParamInfo<bool>& info) { return info.param ? "Scalar" : "Vector"; });

bool sameBits (const float* a, const float* b, long n)
{
    return std::memcmp (a, b, (size_t)n * sizeof (float)) == 0;
}

long firstDifference (const float* a, const float* b, long n)
{
    for (long i = 0; i < n; ++i)
        if (std::memcmp (&a[i], &b[i], sizeof (float)) != 0)
            return i;
    return -1;
}
} // namespace

TEST_P (FastKernels, TransformsMatchThePlainRenderingBitForBit)
{
    for (long n = 2; n <= (1L << 20); n *= 2)
    {
        const std::vector<float> x = randomSignal (n, (unsigned)n + 99);
        std::vector<float> fast = x, plain = x;
        fft_real_packed_spect (fast.data(), n);
        plain_fft_real_packed_spect (plain.data(), n);
        ASSERT_TRUE (sameBits (fast.data(), plain.data(), n))
            << "forward, n = " << n << ", first difference at " << firstDifference (fast.data(), plain.data(), n);

        // The inverse of an arbitrary packed spectrum, not only of one that the forward transform made.
        ifft_real_packed_spect (fast.data(), n);
        plain_ifft_real_packed_spect (plain.data(), n);
        ASSERT_TRUE (sameBits (fast.data(), plain.data(), n))
            << "inverse, n = " << n << ", first difference at " << firstDifference (fast.data(), plain.data(), n);
        std::vector<float> spectrum = x, plainSpectrum = x;
        ifft_real_packed_spect (spectrum.data(), n);
        plain_ifft_real_packed_spect (plainSpectrum.data(), n);
        ASSERT_TRUE (sameBits (spectrum.data(), plainSpectrum.data(), n)) << "inverse of noise, n = " << n;
    }
    FreeBasisList();
}

TEST_P (FastKernels, SignedZerosAndSpecialInputsMatchThePlainRendering)
{
    for (long n = 4; n <= 256; n *= 2)
        for (float value : {0.0f, -0.0f, 1.0f, -1.0f})
        {
            std::vector<float> x ((size_t)n, value);
            for (long m = 0; m < n; m += 3)
                x[(size_t)m] = -x[(size_t)m];
            std::vector<float> fast = x, plain = x;
            fft_real_packed_spect (fast.data(), n);
            plain_fft_real_packed_spect (plain.data(), n);
            ASSERT_TRUE (sameBits (fast.data(), plain.data(), n)) << "forward, n = " << n << ", value " << value;
            ifft_real_packed_spect (fast.data(), n);
            plain_ifft_real_packed_spect (plain.data(), n);
            ASSERT_TRUE (sameBits (fast.data(), plain.data(), n)) << "inverse, n = " << n << ", value " << value;
        }
}

TEST_P (FastKernels, BlockConvolveMatchesThePlainRenderingBitForBit)
{
    struct Case
    {
        long nh, nx;
    };
    const Case cases[] = {
        {1, 0},       {1, 1},        {1, 100},     {2, 1},     {2, 33},        {3, 5},          {7, 0},
        {8, 8},       {8, 9},        {9, 200},     {64, 256},  {64, 257},      {100, 40},       {255, 1000},
        {1000, 4096}, {1024, 10240}, {1025, 3000}, {4095, 17}, {32767, 65534}, {40000, 100001},
    };
    for (const Case& c : cases)
    {
        const std::vector<float> h = randomSignal (c.nh, (unsigned)c.nh * 13 + 1);
        const std::vector<float> x = randomSignal (c.nx, (unsigned)c.nx * 7 + 2);
        long fastLen = -1, plainLen = -1;
        float* fast = f_block_convolve (h.data(), c.nh, x.data(), c.nx, &fastLen);
        float* plain = plain_f_block_convolve (h.data(), c.nh, x.data(), c.nx, &plainLen);
        ASSERT_NE (fast, nullptr);
        ASSERT_NE (plain, nullptr);
        ASSERT_EQ (fastLen, plainLen) << "nh = " << c.nh << ", nx = " << c.nx;
        EXPECT_TRUE (sameBits (fast, plain, fastLen))
            << "nh = " << c.nh << ", nx = " << c.nx << ", first difference at "
            << firstDifference (fast, plain, fastLen);
        free (fast);
        free (plain);
    }
    FreeBasisList();
}
