#pragma once

#include <cstdint>

// Sample encoding of a writer. Held in an int: values other than these are kept
// as given and written as integer PCM.
enum AFileIOFormat : int
{
    AFileIOFormatInteger = 0, // integer PCM, the default
    AFileIOFormatFloat = 1    // IEEE float, 32 bits per sample only
};

// Named by SetRawFormat only; no writer reads it.
struct AFileRawFormat
{
};

// Abstract writer that turns interleaved sample frames into an audio file.
// Failures return false or -1 and leave a text in GetErrorText (at most 127
// characters); the text stays until the next failure, success never clears it.
class AFileOut
{
public:
    AFileOut();
    virtual ~AFileOut();

    AFileOut (const AFileOut&) = delete;
    AFileOut& operator= (const AFileOut&) = delete;

    virtual bool IsFileOpen();
    virtual int GetType();
    virtual void SetErrorText (const char* text);
    virtual const char* GetErrorText();
    virtual int GetNumChannels() = 0;
    virtual int GetBitsPerSamp() = 0;
    virtual int GetSampSize() = 0;
    virtual AFileIOFormat GetFormat() = 0;
    virtual int GetFrameSize() = 0;
    virtual int64_t GetSampRate() = 0;
    virtual void SetRawFormat (AFileRawFormat* raw);
    // Takes effect at the next Open: the file is then written strictly forward.
    virtual void SetIsStreaming (bool streaming);
    // Records one custom chunk (the payload is not copied and must outlive the
    // next Open). The base records it and then fails with "not implemented".
    virtual bool AddChunk (const char* id, const void* data, int len);
    virtual bool Open (const char* path, int64_t sampRate, int bitsPerSamp, int numChannels) = 0;
    virtual bool SetFormat (AFileIOFormat format) = 0;
    // Result: bytes or frames written, or -1 with the error text set.
    virtual int64_t Write (const unsigned char* data, int64_t byteCount) = 0;
    virtual int64_t WriteShortFrames (const int16_t* frames, int64_t frameCount) = 0;
    virtual int64_t WriteLongFrames (const int32_t* frames, int64_t frameCount) = 0;
    virtual int64_t WriteFloatFrames (const float* frames, int64_t frameCount) = 0;
    virtual bool Close() = 0;

protected:
    // Copies text into errorText, cut to 127 characters, the rest zero.
    void CopyErrorText (const char* text);
    // Records the chunk when none is recorded yet; false (with the text set) otherwise.
    bool RecordChunk (const char* id, const void* data, int len);

    int writerType;
    bool fileOpen;
    unsigned char* buffer; // scratch buffer for converted samples, owned
    int64_t bufferSize;
    bool isStreaming;
    bool hasCustomChunk;
    char customChunkId[4];
    const void* customChunkData; // not owned
    int customChunkLen;
    char errorText[128];
};
