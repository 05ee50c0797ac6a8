#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

// A linear system between the run's play buffer and its record buffer, for
// testing the response computation without a device. Every played channel p
// reaches every recorded channel r through its own impulse response
// path(p, r) (index = delay in frames); the sum is recorded as the audio
// callback records: x 32768, rounded half away from zero, clamped to 16 bits.
using SimulatedPath = std::function<std::vector<float> (int p, int r)>;

inline std::vector<int16_t> simulateRecording (const std::vector<int16_t>& play, int playChans, uint64_t totalLen,
                                               int recChans, const SimulatedPath& path)
{
    std::vector<float> sum (totalLen * (uint64_t)recChans, 0.0f);

    for (int p = 0; p < playChans; ++p)
    {
        for (int r = 0; r < recChans; ++r)
        {
            const std::vector<float> h = path (p, r);

            for (size_t k = 0; k < h.size(); ++k)
            {
                if (h[k] == 0.0f)
                    continue;

                for (uint64_t n = k; n < totalLen; ++n)
                    sum[n * recChans + r] += h[k] * ((float)play[(n - k) * playChans + p] / 32768.0f);
            }
        }
    }

    std::vector<int16_t> rec (sum.size());

    for (size_t i = 0; i < sum.size(); ++i)
    {
        const float v = std::round (sum[i] * 32768.0f);
        rec[i] = (int16_t)(v > 32767.0f ? 32767.0f : (v < -32768.0f ? -32768.0f : v));
    }

    return rec;
}

// An impulse response of a delay and a gain, followed by further taps.
inline std::vector<float> delayedTaps (int delay, std::vector<float> taps)
{
    std::vector<float> h ((size_t)delay, 0.0f);
    h.insert (h.end(), taps.begin(), taps.end());
    return h;
}

#include "RunLayout.h"
#include "Stimulus.h"
#include "SweepParams.h"

// A whole run through a simulated system: the stimulus generated and laid
// out as Start does, played through path, recorded as the callback does.
struct SimulatedRun
{
    RunParameters params;
    RunLayout layout;
    SweepParams sweepParams{};
    std::vector<int16_t> stimulus; // the sweep, or one MLS period
    std::vector<int16_t> play;
    std::vector<int16_t> rec;
    int playChans = 0;
    int recChans = 0;
    int numRecChan = 0;

    RecordedRun recorded() const
    {
        RecordedRun run;
        run.recordBuffer = rec.data();
        run.recordFrames = layout.totalLen;
        run.recChans = recChans;
        run.numPlayChan = params.numPlayChan;
        run.numRecChan = numRecChan;
        run.layout = layout;
        return run;
    }
};

inline SimulatedRun simulateRun (const RunParameters& params, float ampDb, int playChans, int recChans, int numRecChan,
                                 const SimulatedPath& path)
{
    SimulatedRun s;
    s.params = params;
    s.playChans = playChans;
    s.recChans = recChans;
    s.numRecChan = numRecChan;
    layoutRun (params, s.layout);

    const float ampLin = dbToLinear (ampDb);
    s.sweepParams = {(double)params.sampleRate, 20.0, 0.5 * params.sampleRate,
                     (double)params.sweepSec,   0.0,  (double)ampLin};

    if (params.isMls)
    {
        s.stimulus.assign ((size_t)s.layout.mlsLen, 0);
        generateMls (params.mlsBits, mlsAmplitude (ampLin), s.stimulus.data(), s.layout.mlsLen);
    }
    else
    {
        s.stimulus.assign (s.layout.sweepLen, 0);
        generateSweep (s.sweepParams, s.stimulus.data(), s.layout.sweepLen);
    }

    s.play.assign (s.layout.totalLen * (uint64_t)playChans, 0);
    placeStimulus (s.play.data(), playChans, s.layout, params.numPlayChan, s.stimulus.data(), s.stimulus.size(),
                   params.isMls ? params.numAverages + 1 : 1);
    s.rec = simulateRecording (s.play, playChans, s.layout.totalLen, recChans, path);
    return s;
}

inline RunParameters simulatedSweepRun (int32_t sampleRate, float sweepSec, float gapSec, float initDelaySec,
                                        int32_t numPlayChan)
{
    RunParameters p;
    p.sampleRate = sampleRate;
    p.numPlayChan = numPlayChan;
    p.sweepSec = sweepSec;
    p.gapSec = gapSec;
    p.initDelaySec = initDelaySec;
    return p;
}

inline RunParameters simulatedMlsRun (int32_t sampleRate, int32_t mlsBits, int32_t numAverages, float gapSec,
                                      float initDelaySec, int32_t numPlayChan)
{
    RunParameters p = simulatedSweepRun (sampleRate, 1.0f, gapSec, initDelaySec, numPlayChan);
    p.isMls = true;
    p.mlsBits = mlsBits;
    p.numAverages = numAverages;
    return p;
}
