#include "RunLayout.h"

#include <cmath>
#include <cstdio>

namespace
{
bool isTimeValue (float seconds)
{
    return std::isfinite (seconds) && seconds >= 0.0f;
}

// A frame count from a rounded product, or kRunFrameLimit when it is too
// large to be part of a run (also for an infinite product).
uint64_t boundedFrames (double rounded)
{
    if (!(rounded < (double)kRunFrameLimit))
        return kRunFrameLimit;

    return rounded > 0.0 ? (uint64_t)rounded : 0;
}
} // namespace

std::string layoutRun (const RunParameters& params, RunLayout& layout)
{
    if (!isTimeValue (params.gapSec))
        return "The gap must be a number of seconds of at least 0";

    if (!isTimeValue (params.initDelaySec))
        return "The initial delay must be a number of seconds of at least 0";

    if (!params.isMls && !isTimeValue (params.sweepSec))
        return "The sweep time must be a number of seconds of at least 0";

    RunLayout l;
    const float fs = (float)params.sampleRate;

    l.gapLen = boundedFrames (std::roundf (fs * params.gapSec));
    l.initDelayLen = boundedFrames (std::roundf (fs * params.initDelaySec));

    if (isTimeValue (params.sweepSec))
        l.sweepLen = boundedFrames (std::round ((double)params.sweepSec * (double)params.sampleRate));

    if (params.isMls && l.sweepLen >= kRunFrameLimit)
        l.sweepLen = 0;

    if (!params.isMls && l.sweepLen < 2)
    {
        if (params.sampleRate <= 0)
            return "The sweep time is too short: it must give at least 2 samples";

        char text[160];
        std::snprintf (text, sizeof (text),
                       "The sweep time is too short: it must give at least 2 samples, so the shortest time "
                       "allowed is %g seconds at %d Hz",
                       1.5 / params.sampleRate, (int)params.sampleRate);
        return text;
    }

    if (params.mlsBits >= 1 && params.mlsBits <= 30)
        l.mlsLen = (int64_t)((int32_t (1) << params.mlsBits) - 1);

    const uint64_t periods = params.numAverages >= 0 ? (uint64_t)params.numAverages + 1 : 0;
    const uint64_t stimulusLen = params.isMls ? periods * (uint64_t)l.mlsLen : l.sweepLen;
    const uint64_t outputs = params.numPlayChan > 0 ? (uint64_t)params.numPlayChan : 0;

    // Every term is below 2^31 here, so none of these products can wrap.
    l.segmentLen = stimulusLen + l.gapLen;
    l.totalLen = outputs * l.segmentLen + l.initDelayLen;

    if (l.segmentLen >= kRunFrameLimit || l.totalLen >= kRunFrameLimit || l.initDelayLen >= kRunFrameLimit)
    {
        if (params.isMls)
            return "The run is too long: MLS length, repetitions, gap and initial delay must give fewer than "
                   "2147483648 frames in all";

        return "The run is too long: sweep time, gap and initial delay must give fewer than 2147483648 frames in all";
    }

    layout = l;
    return {};
}

uint64_t segmentStart (const RunLayout& layout, int32_t p)
{
    return layout.initDelayLen + (uint64_t)p * layout.segmentLen;
}

void placeStimulus (int16_t* playBuffer, int32_t playChans, const RunLayout& layout, int32_t numPlayChan,
                    const int16_t* stimulus, uint64_t stimulusLen, int32_t repeats)
{
    if (playBuffer == nullptr || stimulus == nullptr || stimulusLen == 0 || repeats <= 0)
        return;

    for (int32_t p = 0; p < numPlayChan && p < playChans; ++p)
    {
        uint64_t frame = segmentStart (layout, p);

        for (int32_t k = 0; k < repeats; ++k)
            for (uint64_t i = 0; i < stimulusLen && frame < layout.totalLen; ++i, ++frame)
                playBuffer[frame * (uint64_t)playChans + (uint64_t)p] = stimulus[i];
    }
}

void copyRecordChannel (const int16_t* recordBuffer, uint64_t recordFrames, int32_t recChans, int32_t channel,
                        uint64_t first, int16_t* window, uint64_t count)
{
    const bool haveChannel = recordBuffer != nullptr && channel >= 0 && channel < recChans;

    for (uint64_t i = 0; i < count; ++i)
    {
        const uint64_t frame = first + i;
        window[i] = (haveChannel && frame < recordFrames) ? recordBuffer[frame * (uint64_t)recChans + (uint64_t)channel]
                                                          : int16_t (0);
    }
}
