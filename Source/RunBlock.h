#pragma once

#include <cstdint>

// The run as the audio callback sees it: interleaved 16-bit play and record
// buffers of totalLen frames, playChans and recChans samples per frame.
struct RunBuffers
{
    const int16_t* playBuffer = nullptr;
    int32_t playChans = 0;
    int16_t* recordBuffer = nullptr;
    int32_t recChans = 0;
    uint64_t totalLen = 0;
};

constexpr int kRunBlockMeteredChannels = 16;

// The block's peak magnitude per channel (1.0 = full scale), for the first 16 channels.
struct RunBlockPeaks
{
    float in[kRunBlockMeteredChannels];
    float out[kRunBlockMeteredChannels];
};

// Where a block lies relative to the run's end.
enum class RunBlockEnd
{
    insideRun,    // every frame of the block belonged to the run
    endedInBlock, // the run's last frame was in this block
    pastEnd,      // the block began at or after the run's end
};

// One audio block of a run: plays frames playPos .. of the play buffer to the
// outputs, records the inputs into the record buffer at the same frames,
// silences what lies past the run, advances playPos and measures the peaks of
// the run frames. Reads and writes only inside the buffers and the device's
// arrays whatever the channel counts; outputs beyond playChans are silenced.
// Allocates nothing, locks nothing, makes no system call.
RunBlockEnd runBlock (const RunBuffers& run, int32_t& playPos, const float* const* inputs, int numInputs,
                      float* const* outputs, int numOutputs, int numSamples, RunBlockPeaks& peaks);

// An input value as a recorded 16-bit sample: v x 32768 in single precision,
// rounded half away from zero, clamped to -32768 .. 32767; NaN records as 0.
int16_t recordedSample (float v);
