#include "Stimulus.h"

#include <cmath>

#include "MeasurementTables.h"

namespace
{
constexpr double kTwoPi = 6.283185307179586;
}

float dbToLinear (float db)
{
    return std::pow (10.0f, db / 20.0f);
}

uint64_t sweepSampleCount (const SweepParams& params)
{
    const double n = std::round (params.T * params.sampleRate);

    // Also refuses NaN; a count this large could never be allocated anyway.
    if (!(n >= 0.0 && n < 9.0e18))
        return 0;

    return (uint64_t)n;
}

void generateSweep (const SweepParams& params, int16_t* x, uint64_t n)
{
    const double fs = params.sampleRate;
    const double T = params.T;
    const double L = std::log (params.f2 / params.f1);
    const double K = params.f1 * kTwoPi * T / L;

    for (uint64_t i = 0; i < n; ++i)
    {
        const double phase = K * (std::exp (((double)i / fs) * L / T) - 1.0);
        double v = std::round (std::sin (phase) * params.amplitude * 32767.0);

        // Only reachable with an amplitude above 1 or a degenerate sweep;
        // keeps the conversion defined.
        if (std::isnan (v))
            v = 0.0;
        else if (v > 32767.0)
            v = 32767.0;
        else if (v < -32768.0)
            v = -32768.0;

        x[i] = (int16_t)v;
    }
}

int32_t mlsAmplitude (float ampLin)
{
    return (int32_t)(ampLin * 32767.0f);
}

int64_t generateMls (int32_t bits, int32_t a, int16_t* seq, int64_t len)
{
    if (bits < 1 || bits > kNumMaskTab)
        return 0;

    const uint32_t mask = (uint32_t)mask_tab[bits - 1];
    const uint32_t registerBits = (1u << bits) - 1u;
    const uint32_t topBit = 1u << (bits - 1);
    uint32_t reg = mask;
    int64_t count = 0;

    while (count < len)
    {
        const bool out = (reg & topBit) != 0;
        reg = (reg << 1) & registerBits;

        if (out)
            reg ^= mask;

        seq[count++] = (int16_t)(out ? -a : a);

        if (reg == mask)
            break;
    }

    return count;
}
