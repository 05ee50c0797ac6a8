#pragma once

#include <cstdint>
#include <string>

// The parameters of a run as Start reads them from the device and the controls.
struct RunParameters
{
    int32_t sampleRate = 0;
    int32_t numPlayChan = 0; // measured outputs
    bool isMls = false;
    float sweepSec = 0.0f;
    float gapSec = 0.0f;
    float initDelaySec = 0.0f;
    int32_t mlsBits = 0;
    int32_t numAverages = 0; // MLS periods averaged; one more is played as a lead-in
};

// Frame counts of a run: an initial delay, then one segment (stimulus + gap)
// per measured output.
struct RunLayout
{
    uint64_t sweepLen = 0;
    uint64_t gapLen = 0;
    uint64_t initDelayLen = 0;
    int64_t mlsLen = 0;
    uint64_t segmentLen = 0;
    uint64_t totalLen = 0;
};

// A finished run's recording and layout, as the response computation reads them.
struct RecordedRun
{
    const int16_t* recordBuffer = nullptr; // interleaved, recChans samples per frame
    uint64_t recordFrames = 0;
    int32_t recChans = 0;
    int32_t numPlayChan = 0; // P: responses p * R + r for p < P, r < R
    int32_t numRecChan = 0;  // R
    RunLayout layout;
};

// Runs stay below this many frames: the audio callback counts in 32 bits.
constexpr uint64_t kRunFrameLimit = uint64_t (1) << 31;

// Checks the timing values and lays the run out. Returns an empty text when
// the run can go ahead; otherwise the message for the "Error" box, and layout
// is left as it was. The sweep time is checked for sweep runs only; an MLS
// run leaves sweepLen 0 when the sweep time is unusable.
std::string layoutRun (const RunParameters& params, RunLayout& layout);

// First frame of output p's segment, where its stimulus and its responses begin.
uint64_t segmentStart (const RunLayout& layout, int32_t p);

// Copies the stimulus (stimulusLen samples) repeats times back to back into
// channel p of the interleaved play buffer (playChans channels, layout.totalLen
// frames) for each measured output p < numPlayChan that has a channel there.
// Nothing is written past the buffer's end.
void placeStimulus (int16_t* playBuffer, int32_t playChans, const RunLayout& layout, int32_t numPlayChan,
                    const int16_t* stimulus, uint64_t stimulusLen, int32_t repeats);

// Copies count frames of one channel of an interleaved record buffer
// (recChans channels, recordFrames frames), from frame first on, into window.
// Frames past the buffer's end or a channel it does not hold give 0.
void copyRecordChannel (const int16_t* recordBuffer, uint64_t recordFrames, int32_t recChans, int32_t channel,
                        uint64_t first, int16_t* window, uint64_t count);
