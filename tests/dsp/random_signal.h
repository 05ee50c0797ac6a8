#pragma once
#include <random>
#include <vector>

// Reproducible uniform noise in [-1, 1) for the kernel tests.
inline std::vector<float> randomSignal (long n, unsigned seed)
{
    std::mt19937 gen (seed);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    std::vector<float> v ((size_t)n);
    for (float& s : v)
        s = dist (gen);
    return v;
}
