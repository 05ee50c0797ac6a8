#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "MeasurementTables.h"
#include "Stimulus.h"

namespace
{
// The sweep sample n as the stimulus is defined: phase K (exp(n/fs L/T) - 1)
// with K = 2 pi f1 T / L, L = ln(f2 / f1), scaled to 16 bits and rounded.
int16_t sweepSampleByFormula (const SweepParams& p, uint64_t n)
{
    const double L = std::log (p.f2 / p.f1);
    const double K = p.f1 * 6.283185307179586 * p.T / L;
    const double phase = K * (std::exp (((double)n / p.sampleRate) * L / p.T) - 1.0);
    return (int16_t)std::round (std::sin (phase) * p.amplitude * 32767.0);
}

// In-place radix-2 complex FFT; the size is a power of two.
void fft (std::vector<std::complex<double>>& a, bool inverse)
{
    const size_t n = a.size();

    for (size_t i = 1, j = 0; i < n; ++i)
    {
        size_t bit = n >> 1;

        for (; j & bit; bit >>= 1)
            j ^= bit;

        j ^= bit;

        if (i < j)
            std::swap (a[i], a[j]);
    }

    for (size_t len = 2; len <= n; len <<= 1)
    {
        const double angle = 2.0 * M_PI / (double)len * (inverse ? 1.0 : -1.0);
        const std::complex<double> wLen (std::cos (angle), std::sin (angle));

        for (size_t i = 0; i < n; i += len)
        {
            std::complex<double> w (1.0);

            for (size_t k = 0; k < len / 2; ++k, w *= wLen)
            {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }

    if (inverse)
        for (auto& x : a)
            x /= (double)n;
}

// Circular autocorrelation of a +-1 sequence, by folding its linear one.
std::vector<long> circularAutocorrelation (const std::vector<int>& s)
{
    const size_t L = s.size();
    size_t n = 1;

    while (n < 2 * L)
        n <<= 1;

    std::vector<std::complex<double>> a (n);

    for (size_t i = 0; i < L; ++i)
        a[i] = s[i];

    fft (a, false);

    for (auto& x : a)
        x = x * std::conj (x);

    fft (a, true);

    std::vector<long> r (L);

    for (size_t k = 0; k < L; ++k)
        r[k] = std::lround (a[k].real() + (k > 0 ? a[n - (L - k)].real() : 0.0));

    return r;
}
} // namespace

TEST (StimulusSweep, SamplesFollowTheFormula)
{
    struct Case
    {
        double fs, T, amplitude;
    };
    const Case cases[] = {{48000.0, 5.0, 1.0}, {44100.0, 1.0, 0.5011872336}, {96000.0, 2.0, 0.0630957344}};

    for (const auto& c : cases)
    {
        const SweepParams params{c.fs, 20.0, 0.5 * c.fs, c.T, 0.0, c.amplitude};
        const uint64_t n = sweepSampleCount (params);
        ASSERT_EQ (n, (uint64_t)std::llround (c.T * c.fs));

        std::vector<int16_t> x (n);
        generateSweep (params, x.data(), n);

        for (uint64_t i : {uint64_t (0), uint64_t (1), uint64_t (2), uint64_t (1000), n / 3, n / 2, n - 2, n - 1})
            EXPECT_EQ (x[i], sweepSampleByFormula (params, i)) << "fs " << c.fs << " T " << c.T << " index " << i;

        EXPECT_EQ (x[0], 0) << "no fade-in: the sweep starts at phase 0";
    }
}

TEST (StimulusSweep, FullScaleStaysInSixteenBits)
{
    const SweepParams params{48000.0, 20.0, 24000.0, 1.0, 0.0, 1.0};
    std::vector<int16_t> x (48000);
    generateSweep (params, x.data(), x.size());

    int peak = 0;

    for (auto v : x)
        peak = std::max (peak, std::abs ((int)v));

    EXPECT_EQ (peak, 32767);
}

TEST (StimulusSweep, SampleCountRoundsHalvesAwayFromZero)
{
    struct Case
    {
        double fs, T;
        uint64_t expected;
    };
    const Case cases[] = {{48000.0, 5.0, 240000}, {2.0, 1.25, 3},     {2.0, 1.75, 4},
                          {48000.0, 0.0, 0},      {48000.0, -1.0, 0}, {48000.0, NAN, 0}};

    for (const auto& c : cases)
        EXPECT_EQ (sweepSampleCount ({c.fs, 20.0, c.fs / 2, c.T, 0.0, 1.0}), c.expected) << "T " << c.T;
}

TEST (StimulusMls, EveryOrderIsAMaximumLengthSequence)
{
    const int32_t a = 16422;

    for (int32_t bits = 1; bits <= 20; ++bits)
    {
        const int64_t L = (int64_t (1) << bits) - 1;

        // Room past the period: the generator must stop on its own after L samples.
        std::vector<int16_t> seq ((size_t)L + 8, 0);
        ASSERT_EQ (generateMls (bits, a, seq.data(), (int64_t)seq.size()), L) << "order " << bits;

        long sum = 0;
        std::vector<int> unit ((size_t)L);

        for (int64_t i = 0; i < L; ++i)
        {
            ASSERT_TRUE (seq[i] == a || seq[i] == -a) << "order " << bits << " index " << i;
            sum += seq[i];
            unit[i] = seq[i] / a;
        }

        EXPECT_EQ (sum, -a) << "order " << bits;
        EXPECT_EQ (seq[L], 0) << "order " << bits << ": nothing written past the period";

        // Two-valued autocorrelation: L a^2 at lag 0 and -a^2 at every other lag.
        const auto r = circularAutocorrelation (unit);
        EXPECT_EQ (r[0], L) << "order " << bits;

        int64_t wrongLags = 0;

        for (int64_t k = 1; k < L; ++k)
            wrongLags += (r[k] != -1);

        EXPECT_EQ (wrongLags, 0) << "order " << bits;
    }
}

TEST (StimulusMls, StopsAtTheBufferEnd)
{
    std::vector<int16_t> seq (10, 0);
    EXPECT_EQ (generateMls (8, 100, seq.data(), 7), 7);
    EXPECT_EQ (seq[7], 0);
}

TEST (StimulusMls, OrdersOutsideTheTableWriteNothing)
{
    std::vector<int16_t> seq (64, 0);

    for (int32_t bits : {0, -1, 21, 31})
    {
        EXPECT_EQ (generateMls (bits, 100, seq.data(), (int64_t)seq.size()), 0) << "order " << bits;
        EXPECT_EQ (std::count (seq.begin(), seq.end(), 0), 64) << "order " << bits;
    }
}

TEST (StimulusMls, AmplitudesOfTheFiveLevels)
{
    const int32_t expected[kNumAmps] = {32767, 16422, 8230, 4125, 2067};

    for (int i = 0; i < kNumAmps; ++i)
        EXPECT_EQ (mlsAmplitude (dbToLinear (gAmps[i])), expected[i]) << gAmps[i] << " dB";
}
