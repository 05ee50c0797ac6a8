#include "ResponsePostProcess.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "MeasureMemory.h"
#include "dsp/block_convolve.h"

float responsesPeak (const float* const* responses, int32_t numResponses, int32_t responseLen)
{
    float peak = 0.0f;

    for (int32_t m = 0; m < numResponses; ++m)
    {
        if (responses[m] == nullptr)
            continue;

        for (int32_t i = 0; i < responseLen; ++i)
        {
            const float v = std::fabs (responses[m][i]);

            if (v > peak)
                peak = v;
        }
    }

    return peak;
}

float normalizeResponses (float* const* responses, int32_t numResponses, int32_t responseLen)
{
    float gain = 1.0f;
    const float peak = responsesPeak (responses, numResponses, responseLen);

    if (peak > 0.0f)
    {
        gain = 1.0f / peak;

        for (int32_t m = 0; m < numResponses; ++m)
            if (responses[m] != nullptr)
                for (int32_t i = 0; i < responseLen; ++i)
                    responses[m][i] *= gain;
    }

    return gain;
}

std::string normalizationSentence (float gain)
{
    char text[64];
    std::snprintf (text, sizeof (text), "Applied %.1f dB normalization gain. ", (double)(20.0f * std::log10 (gain)));
    return text;
}

namespace
{
bool anyAbove (const float* const* responses, int32_t numResponses, int32_t i, float thr)
{
    for (int32_t m = 0; m < numResponses; ++m)
        if (responses[m] != nullptr && std::fabs (responses[m][i]) > thr)
            return true;

    return false;
}
} // namespace

CropRange findCropRange (const float* const* responses, int32_t numResponses, int32_t responseLen, float thrDb)
{
    CropRange all{0, responseLen > 0 ? responseLen : 0};
    const float peak = responsesPeak (responses, numResponses, responseLen);

    if (!(peak > 0.0f))
        return all;

    const float lin = (float)std::pow (10.0, (double)(thrDb / 20.0f));
    const float thr = peak * lin;

    int32_t first = 0;

    while (first < responseLen && !anyAbove (responses, numResponses, first, thr))
        ++first;

    if (first == responseLen)
        return all;

    int32_t last = responseLen - 1;

    while (last > first && !anyAbove (responses, numResponses, last, thr))
        --last;

    return {first, last - first + 1};
}

bool cropResponses (float** responses, int32_t numResponses, CropRange range)
{
    float** cropped = measureAlloc<float*> ((uint64_t)(numResponses > 0 ? numResponses : 0));

    if (cropped == nullptr)
        return false;

    for (int32_t m = 0; m < numResponses; ++m)
    {
        if (responses[m] == nullptr)
            continue;

        cropped[m] = measureAlloc<float> ((uint64_t)range.length);

        if (cropped[m] == nullptr)
        {
            for (int32_t k = 0; k < m; ++k)
                std::free (cropped[k]);

            std::free (cropped);
            return false;
        }

        f_copy (cropped[m], responses[m] + range.start, (unsigned long)range.length);
    }

    for (int32_t m = 0; m < numResponses; ++m)
    {
        if (responses[m] == nullptr)
            continue;

        std::free (responses[m]);
        responses[m] = cropped[m];
    }

    std::free (cropped);
    return true;
}

std::string cropSentence (CropRange range, int32_t sampleRate)
{
    const float fs = (float)sampleRate;
    char text[96];
    std::snprintf (text, sizeof (text), "Cropped to %.3f sec starting at %.3f sec. ",
                   (double)((float)range.length / fs), (double)((float)range.start / fs));
    return text;
}

bool postProcessResponses (float** responses, int32_t numResponses, int32_t& responseLen,
                           const PostProcessOptions& options, std::string& status)
{
    if (options.normalize)
        status += normalizationSentence (normalizeResponses (responses, numResponses, responseLen));

    if (options.autoCrop)
    {
        const CropRange range = findCropRange (responses, numResponses, responseLen, options.cropThreshDb);

        if (range.length > 0)
        {
            if (!cropResponses (responses, numResponses, range))
                return false;

            status += cropSentence (range, options.sampleRate);
            responseLen = range.length;
        }
    }

    return true;
}
