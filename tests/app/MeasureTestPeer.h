#pragma once

#include "MainComponent.h"

// Reaches the run state of a MainComponent for the tests of Start, Stop and
// the response computation.
struct MeasureTestPeer
{
    // The run state as Start left it.
    struct RunState
    {
        bool measuring;
        int32_t sampleRate, numRecChan, numPlayChan;
        bool isMls;
        float sweepSec, ampDb, ampLin, initDelaySec, gapSec;
        uint64_t sweepLen;
        int32_t mlsBits;
        int64_t mlsLen;
        int32_t numAverages;
        uint64_t initDelayLen, gapLen;
        SweepParams sweepParams;
        const int16_t* mlsSeq;
        const int16_t* sweepSig;
        int32_t playChans;
        const int16_t* playBuffer;
        uint64_t segmentLen, totalLen;
        int32_t recChans;
        const int16_t* recordBuffer;
        int32_t playPos;
        bool runDone;
    };

    explicit MeasureTestPeer (MainComponent& component) : c (component) {}

    juce::AudioDeviceManager& deviceManager() { return c.deviceManager; }

    RunState state() const
    {
        return {c.measuring,    c.sampleRate,  c.numRecChan,    c.numPlayChan, c.isMls,       c.sweepSec,
                c.ampDb,        c.ampLin,      c.initDelaySec,  c.gapSec,      c.sweepLen,    c.mlsBits,
                c.mlsLen,       c.numAverages, c.initDelayLen,  c.gapLen,      c.sweepParams, c.mlsSeq,
                c.sweepSig,     c.playChans,   c.playBuffer,    c.segmentLen,  c.totalLen,    c.recChans,
                c.recordBuffer, c.playPos,     c.runDone.load()};
    }

    // Hands the meters new peaks as the audio callback does: 16 per side.
    void publishPeaks (const float* in, const float* out)
    {
        for (int ch = 0; ch < MainComponent::kNumMeteredChannels; ++ch)
        {
            c.peakIn[ch].store (in[ch]);
            c.peakOut[ch].store (out[ch]);
        }
        c.newPeaks.store (true);
    }

    // The record buffer, for laying a simulated recording into it.
    int16_t* recordBuffer() { return c.recordBuffer; }

    // Ends the run as the timer does once the callback has reported its end:
    // the device is stopped and measuring cleared, then the responses are
    // computed.
    void endRunAndCompute()
    {
        if (auto* device = c.deviceManager.getCurrentAudioDevice())
            device->stop();

        c.measuring = false;
        c.computeResponse();
    }

    MainComponent& c;
};
