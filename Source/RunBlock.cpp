#include "RunBlock.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float kPlayScale = 1.0f / 32768.0f;

float peakOfChannel (const int16_t* buffer, int stride, int ch, uint64_t firstFrame, int frames)
{
    int peak = 0;
    for (int j = 0; j < frames; ++j)
        peak = std::max (peak, std::abs ((int)buffer[(firstFrame + (uint64_t)j) * (uint64_t)stride + (uint64_t)ch]));
    return (float)peak * kPlayScale;
}
} // namespace

int16_t recordedSample (float v)
{
    const float scaled = std::round (v * 32768.0f);
    if (scaled != scaled)
        return 0;
    if (scaled >= 32767.0f)
        return 32767;
    if (scaled <= -32768.0f)
        return -32768;
    return (int16_t)scaled;
}

RunBlockEnd runBlock (const RunBuffers& run, int32_t& playPos, const float* const* inputs, int numInputs,
                      float* const* outputs, int numOutputs, int numSamples, RunBlockPeaks& peaks)
{
    const bool hasRun = run.playBuffer != nullptr && run.recordBuffer != nullptr;
    const uint64_t totalLen = hasRun ? run.totalLen : 0;
    const uint64_t start = playPos < 0 ? totalLen : (uint64_t)playPos;
    const int blockLen = std::max (numSamples, 0);
    const int runFrames = start < totalLen ? (int)std::min<uint64_t> (totalLen - start, (uint64_t)blockLen) : 0;

    // Only channels that both the device and the buffers have are played and recorded.
    const int playedChans = std::min (numOutputs, run.playChans);
    const int recordedChans = std::min (numInputs, run.recChans);

    for (int ch = 0; ch < numOutputs; ++ch)
    {
        float* out = outputs[ch];
        if (out == nullptr)
            continue;
        int i = 0;
        if (ch < playedChans)
            for (; i < runFrames; ++i)
                out[i] =
                    (float)run.playBuffer[(start + (uint64_t)i) * (uint64_t)run.playChans + (uint64_t)ch] * kPlayScale;
        for (; i < blockLen; ++i)
            out[i] = 0.0f;
    }

    for (int ch = 0; ch < recordedChans; ++ch)
    {
        const float* in = inputs[ch];
        for (int i = 0; i < runFrames; ++i)
            run.recordBuffer[(start + (uint64_t)i) * (uint64_t)run.recChans + (uint64_t)ch] =
                in != nullptr ? recordedSample (in[i]) : 0;
    }

    playPos = (int32_t)(start + (uint64_t)runFrames);

    for (int ch = 0; ch < kRunBlockMeteredChannels; ++ch)
    {
        peaks.out[ch] = ch < playedChans && runFrames > 0
                            ? peakOfChannel (run.playBuffer, run.playChans, ch, start, runFrames)
                            : 0.0f;
        peaks.in[ch] = ch < recordedChans && runFrames > 0
                           ? peakOfChannel (run.recordBuffer, run.recChans, ch, start, runFrames)
                           : 0.0f;
    }

    if (start >= totalLen)
        return RunBlockEnd::pastEnd;
    return runFrames == blockLen ? RunBlockEnd::insideRun : RunBlockEnd::endedInBlock;
}
