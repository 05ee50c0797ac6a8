#include "dsp/fft.h"
#include "dsp/fft_basis.h"
#include "random_signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

namespace
{
// The packed spectrum of x by the direct DFT in double.
std::vector<double> directPackedDft (const std::vector<float>& x)
{
    const long n = (long)x.size();
    std::vector<double> cosTab ((size_t)n), sinTab ((size_t)n);
    for (long k = 0; k < n; ++k)
    {
        cosTab[(size_t)k] = std::cos (2.0 * M_PI * (double)k / (double)n);
        sinTab[(size_t)k] = std::sin (2.0 * M_PI * (double)k / (double)n);
    }
    std::vector<double> packed ((size_t)n);
    for (long k = 0; k <= n / 2; ++k)
    {
        double re = 0.0, im = 0.0;
        for (long m = 0; m < n; ++m)
        {
            const long phase = (k * m) % n;
            re += x[(size_t)m] * cosTab[(size_t)phase];
            im -= x[(size_t)m] * sinTab[(size_t)phase];
        }
        if (k == 0)
            packed[0] = re;
        else if (k == n / 2)
            packed[1] = re;
        else
        {
            packed[(size_t)(2 * k)] = re;
            packed[(size_t)(2 * k + 1)] = im;
        }
    }
    return packed;
}

double rms (const std::vector<float>& x)
{
    double sum = 0.0;
    for (float s : x)
        sum += (double)s * s;
    return std::sqrt (sum / (double)x.size());
}

int log2Of (long n)
{
    int bits = 0;
    while ((1L << bits) < n)
        ++bits;
    return bits;
}

long cacheNodeCount()
{
    long count = 0;
    for (BasisNode* node = lroot; node != nullptr; node = node->next)
        ++count;
    return count;
}
} // namespace

TEST (RealFft, MatchesDirectDftInPackedLayout)
{
    for (long n = 4; n <= 4096; n *= 2)
    {
        const std::vector<float> x = randomSignal (n, (unsigned)n);
        const std::vector<double> expected = directPackedDft (x);
        std::vector<float> spectrum = x;
        fft_real_packed_spect (spectrum.data(), n);
        // Rounding grows with the number of stages and with the size of the bins, about sqrt(n) * rms.
        const double tolerance = 2.0 * FLT_EPSILON * log2Of (n) * std::sqrt ((double)n) * rms (x);
        for (long i = 0; i < n; ++i)
            ASSERT_NEAR (spectrum[(size_t)i], expected[(size_t)i], tolerance) << "n = " << n << ", float " << i;
    }
}

TEST (RealFft, InverseOfForwardReturnsTheInput)
{
    for (long n = 4; n <= (1L << 20); n *= 2)
    {
        const std::vector<float> x = randomSignal (n, (unsigned)n + 7);
        std::vector<float> y = x;
        fft_real_packed_spect (y.data(), n);
        ifft_real_packed_spect (y.data(), n);
        const double tolerance = 2.0 * FLT_EPSILON * log2Of (n);
        for (long i = 0; i < n; ++i)
            ASSERT_NEAR (y[(size_t)i], x[(size_t)i], tolerance) << "n = " << n << ", sample " << i;
    }
}

TEST (RealFft, KnownSpectra)
{
    // expected(i, n) is float i of the packed spectrum: x[0] DC, x[1] Nyquist, then Re/Im pairs.
    struct Case
    {
        const char* name;
        float (*sample) (long m);
        float (*expected) (long i, long n);
    };
    const Case cases[] = {
        {"impulse", [] (long m) { return m == 0 ? 1.0f : 0.0f; },
         [] (long i, long) { return i == 1 || i % 2 == 0 ? 1.0f : 0.0f; }},
        {"constant", [] (long) { return 1.0f; }, [] (long i, long n) { return i == 0 ? (float)n : 0.0f; }},
        {"alternating", [] (long m) { return m % 2 == 0 ? 1.0f : -1.0f; },
         [] (long i, long n) { return i == 1 ? (float)n : 0.0f; }},
    };
    for (const Case& c : cases)
        for (long n = 4; n <= 1024; n *= 2)
        {
            std::vector<float> x ((size_t)n);
            for (long m = 0; m < n; ++m)
                x[(size_t)m] = c.sample (m);
            fft_real_packed_spect (x.data(), n);
            float peak = 0.0f;
            for (long i = 0; i < n; ++i)
                peak = std::max (peak, std::fabs (c.expected (i, n)));
            const float tolerance = 4.0f * FLT_EPSILON * (float)log2Of (n) * peak;
            for (long i = 0; i < n; ++i)
                ASSERT_NEAR (x[(size_t)i], c.expected (i, n), tolerance) << c.name << ", n = " << n << ", float " << i;
        }
}

TEST (RealFft, SizeTwoKeepsTheFirstSampleAndClearsTheSecond)
{
    float x[2] = {0.75f, -3.5f};
    fft_real_packed_spect (x, 2);
    EXPECT_EQ (x[0], 0.75f);
    EXPECT_EQ (x[1], 0.0f);

    float y[2] = {-1.25f, 2.0f};
    ifft_real_packed_spect (y, 2);
    EXPECT_EQ (y[0], -1.25f);
    EXPECT_EQ (y[1], 0.0f);
}

TEST (TwiddleCache, OneTablePerSizeReusedUntilFreed)
{
    FreeBasisList();
    ASSERT_EQ (lroot, nullptr);

    std::vector<float> x = randomSignal (64, 1);
    fft_real_packed_spect (x.data(), 64);
    ASSERT_EQ (cacheNodeCount(), 1);
    const fft_complex* table64 = lroot->table;
    EXPECT_EQ (lroot->n, 64);

    // Reuse: the same size in either direction builds nothing new.
    ifft_real_packed_spect (x.data(), 64);
    fft_real_packed_spect (x.data(), 64);
    EXPECT_EQ (cacheNodeCount(), 1);
    EXPECT_EQ (AssignBasis (64), table64);

    // A new size goes in front; the forward transform of size 2 needs no table, the inverse asks for one.
    std::vector<float> y = randomSignal (16, 2);
    fft_real_packed_spect (y.data(), 16);
    float pair[2] = {1.0f, 2.0f};
    fft_real_packed_spect (pair, 2);
    EXPECT_EQ (cacheNodeCount(), 2);
    EXPECT_EQ (lroot->n, 16);
    ifft_real_packed_spect (pair, 2);
    EXPECT_EQ (cacheNodeCount(), 3);
    EXPECT_EQ (lroot->n, 2);

    FreeBasisList();
    EXPECT_EQ (lroot, nullptr);

    // Rebuilt after freeing, with the same entries.
    const fft_complex* rebuilt = AssignBasis (64);
    EXPECT_EQ (cacheNodeCount(), 1);
    EXPECT_EQ (rebuilt[0].re, 1.0f);
    EXPECT_EQ (rebuilt[16].re, (float)std::cos (16 * 6.283185307179586 / 64));
    EXPECT_EQ (rebuilt[16].im, -1.0f);
    EXPECT_EQ (rebuilt[8].im, -(float)std::sin (8 * 6.283185307179586 / 64));
    FreeBasisList();
}
