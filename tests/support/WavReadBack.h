#pragma once

#include <juce_core/juce_core.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <vector>

// A WAV file as libsndfile reads it back: its header and its samples as
// floats. Header-only: only the test programs that link libsndfile use it.
struct WavReadBack
{
    SF_INFO info{};
    std::vector<float> samples; // interleaved
    bool ok = false;            // opened and every frame read

    float at (int64_t frame, int channel) const { return samples[(size_t)(frame * info.channels + channel)]; }

    // The frame of the largest magnitude in a channel (the first of equals).
    int64_t peakFrame (int channel) const
    {
        int64_t best = 0;
        for (int64_t j = 0; j < info.frames; ++j)
            if (std::fabs (at (j, channel)) > std::fabs (at (best, channel)))
                best = j;
        return best;
    }
};

inline WavReadBack readWavBack (const juce::File& file)
{
    WavReadBack w;
    SNDFILE* sf = sf_open (file.getFullPathName().toRawUTF8(), SFM_READ, &w.info);
    if (sf == nullptr)
        return w;
    w.samples.resize ((size_t)(w.info.frames * w.info.channels));
    w.ok = sf_readf_float (sf, w.samples.data(), w.info.frames) == w.info.frames;
    sf_close (sf);
    return w;
}
