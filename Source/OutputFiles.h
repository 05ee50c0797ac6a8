#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <vector>

// How the responses of a run are organised into files: the "outFileFmt" setting.
enum OutputOrganisation
{
    kOutputSingleFile = 0,  // one file with every response as a channel
    kOutputPerOutput = 1,   // one file per measured output, one channel per input
    kOutputPerResponse = 2, // one mono file per output/input pair
};

// The organisation to use for a stored "outFileFmt": values other than 0, 1
// and 2 fall back to the single file, so that a run is never lost.
int effectiveOrganisation (int outFileFmt);

// The directory the files go to: dirText as an absolute path when it names an
// existing directory, else the current working directory. Never created.
juce::File resolveOutputDirectory (const juce::String& dirText);

// One file to write: its name (no directory) and the response entries
// (p * R + r) that become its channels, in file order.
struct OutputFilePlan
{
    juce::String name;
    std::vector<int> responses;
};

// The files of a run with numPlayChan outputs and numRecChan inputs, in the
// order they are written. tsFmtIndex (an index into gTsFmts) orders the
// channels of a 2 x 2 single file; it has no effect otherwise. The
// organisation must be 0, 1 or 2 (see effectiveOrganisation).
std::vector<OutputFilePlan> planOutputFiles (const juce::String& baseName, const juce::String& extension,
                                             int organisation, int numPlayChan, int numRecChan, int tsFmtIndex);

// The status sentence for a complete write of the files named in names.
juce::String outputFilesSentence (int organisation, int numPlayChan, int numRecChan, const juce::StringArray& names);

// Why a WAV file of frames x channels samples at bitsPerSample cannot be
// written (the writer's 2 GiB range, the interleave buffer's 2^31 samples,
// no channel at all); empty when it can.
juce::String wavSizeLimitError (int64_t frames, int64_t channels, int bitsPerSample);

// Write one response file; channel c's samples are channels[c][0 .. frames - 1].
// The result is empty on success, else the message for the "Error" box. The
// file takes the place of an earlier one of that name only once it is
// complete (see ReplacementFile): after a failure the earlier file stays as it
// was, and nothing is left behind.
juce::String writeResponseTxt (const juce::File& file, const float* const* channels, int frames, int numChannels);
juce::String writeResponseWav (const juce::File& file, const float* const* channels, int frames, int numChannels,
                               int sampleRate, int bitsPerSample);

// The same, showing the "Error" box on failure. True when the file was written.
bool saveResponseTxt (juce::File& file, float** channels, int frames, int numChannels);
bool saveResponseWav (juce::File& file, float** channels, int frames, int numChannels, int sampleRate,
                      int bitsPerSample);

// What the output stage reads from the window, the settings and the run.
struct OutputStageRequest
{
    juce::String dirText;  // the directory field
    juce::String baseName; // the file-name field
    int formatIndex = 0;   // gFmts index: 0 text, 1..3 WAV 16, 24, 32-bit float
    int organisation = 0;  // "outFileFmt"
    int tsFmtIndex = 0;    // gTsFmts index, -1 for none
    int numPlayChan = 0;   // P
    int numRecChan = 0;    // R
    int sampleRate = 0;    // Hz
};

// The output stage: writes the P x R responses (entry p * R + r, responseLen
// frames each) in the requested organisation, stopping at the first file that
// fails (after its "Error" box). After a complete write it appends its
// sentence to statusText, logs statusText at log level 2 or more and shows
// the "Impulse response written" box. On every path it frees every response
// and then the table. True when every file was written.
bool runOutputStage (const OutputStageRequest& request, float** responses, int responseLen, juce::String& statusText);
