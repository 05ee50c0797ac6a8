#pragma once

#include "audiofile/AFileOut.h"
#include "audiofile/WAVChunk.h"

// RIFF/WAVE writer: a 16-byte "fmt " chunk (PCM tag 1, or IEEE float tag 3),
// an optional custom chunk, then "data"; sizes are patched at Close.
//
// Use: SetFormat (AFileIOFormatFloat) for 32-bit float, Open, Write...Frames, Close.
// Destroying an open writer closes it. Files stay below 2 GiB: a write that would
// reach that size fails and writes nothing. After a failed Open, writes are
// refused until an Open succeeds.
class WaveNativeFileOut : public AFileOut
{
public:
    WaveNativeFileOut();
    ~WaveNativeFileOut() override;

    int GetNumChannels() override;
    int GetBitsPerSamp() override;
    int GetSampSize() override;
    AFileIOFormat GetFormat() override;
    int GetFrameSize() override;
    int64_t GetSampRate() override;
    bool AddChunk (const char* id, const void* data, int len) override;
    // The path "-" or "stdout" writes to standard output, which needs streaming
    // when it is a pipe. Any other path is created or truncated.
    bool Open (const char* path, int64_t sampRate, int bitsPerSamp, int numChannels) override;
    bool SetFormat (AFileIOFormat format) override;
    int64_t Write (const unsigned char* data, int64_t byteCount) override;
    int64_t WriteShortFrames (const int16_t* frames, int64_t frameCount) override;
    int64_t WriteLongFrames (const int32_t* frames, int64_t frameCount) override;
    int64_t WriteFloatFrames (const float* frames, int64_t frameCount) override;
    bool Close() override;

protected:
    WAVChunkInfo riffChunk;
    WAVChunkInfo subChunk; // "fmt ", then the custom chunk, then "data" until Close
    WAVHandle* handle;     // owned while open

    int numChannels;
    int bitsPerSamp;
    int sampSize;
    int frameSize;
    int64_t sampRate;
    AFileIOFormat format;

private:
    enum SampleKind
    {
        ShortSamples,
        LongSamples,
        FloatSamples
    };

    // Set once Open has created the "data" chunk; frames are refused before.
    bool dataChunkOpen;

    bool Fail (const char* text);
    bool FailChunk (int code);
    void ReleaseHandle();
    bool CanWrite (int64_t count);
    bool FitsInFile (int64_t bytes);
    int64_t WriteFrames (const void* frames, SampleKind kind, bool sameLayout, int64_t frameCount);
    int64_t WriteDirect (const void* frames, int64_t frameCount);
    int64_t WriteConverted (const void* frames, SampleKind kind, int64_t frameCount);
};
