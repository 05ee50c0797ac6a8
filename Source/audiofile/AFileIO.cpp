#include "audiofile/AFileIO.h"

#include "audiofile/AFileErrorTexts.h"
#include "audiofile/ByteOrder.h"

#include <climits>
#include <cstring>
#include <new>

AFileOut::AFileOut()
    : writerType (0), fileOpen (false), buffer (new (std::nothrow) unsigned char[2048]), bufferSize (2048),
      isStreaming (false), hasCustomChunk (false), customChunkId(), customChunkData (nullptr), customChunkLen (0),
      errorText()
{
}

AFileOut::~AFileOut()
{
    delete[] buffer;
}

bool AFileOut::IsFileOpen()
{
    return fileOpen;
}

int AFileOut::GetType()
{
    return writerType;
}

void AFileOut::SetErrorText (const char* text)
{
    CopyErrorText (text);
}

const char* AFileOut::GetErrorText()
{
    return errorText;
}

void AFileOut::SetRawFormat (AFileRawFormat*) {}

void AFileOut::SetIsStreaming (bool streaming)
{
    isStreaming = streaming;
}

bool AFileOut::AddChunk (const char* id, const void* data, int len)
{
    if (!RecordChunk (id, data, len))
        return false;
    SetErrorText (kTextNotImplemented);
    return false;
}

void AFileOut::CopyErrorText (const char* text)
{
    std::strncpy (errorText, text, sizeof (errorText) - 1);
    errorText[sizeof (errorText) - 1] = '\0';
}

bool AFileOut::RecordChunk (const char* id, const void* data, int len)
{
    if (hasCustomChunk)
    {
        SetErrorText (kTextOnlyOneChunk);
        return false;
    }
    // Open would read len bytes from data.
    if (len < 0 || (len > 0 && data == nullptr))
    {
        SetErrorText (kTextBadCustomChunk);
        return false;
    }
    std::memcpy (customChunkId, id, 4);
    customChunkData = data;
    customChunkLen = len;
    hasCustomChunk = true;
    return true;
}

WaveNativeFileOut::WaveNativeFileOut()
    : riffChunk(), subChunk(), handle (nullptr), numChannels (0), bitsPerSamp (0), sampSize (0), frameSize (0),
      sampRate (0), format (AFileIOFormatInteger), dataChunkOpen (false)
{
    writerType = 1;
}

WaveNativeFileOut::~WaveNativeFileOut()
{
    // A file whose sizes cannot be patched is still closed and its handle released.
    if (!Close() && fileOpen)
    {
        std::fclose (handle->fp);
        ReleaseHandle();
        fileOpen = false;
    }
}

int WaveNativeFileOut::GetNumChannels()
{
    return numChannels;
}

int WaveNativeFileOut::GetBitsPerSamp()
{
    return bitsPerSamp;
}

int WaveNativeFileOut::GetSampSize()
{
    return sampSize;
}

AFileIOFormat WaveNativeFileOut::GetFormat()
{
    return format;
}

int WaveNativeFileOut::GetFrameSize()
{
    return frameSize;
}

int64_t WaveNativeFileOut::GetSampRate()
{
    return sampRate;
}

bool WaveNativeFileOut::AddChunk (const char* id, const void* data, int len)
{
    return RecordChunk (id, data, len);
}

bool WaveNativeFileOut::SetFormat (AFileIOFormat newFormat)
{
    format = newFormat;
    return true;
}

bool WaveNativeFileOut::Fail (const char* text)
{
    CopyErrorText (text);
    return false;
}

bool WaveNativeFileOut::FailChunk (int code)
{
    CopyErrorText (WAVErrorMessage (code));
    return false;
}

void WaveNativeFileOut::ReleaseHandle()
{
    delete handle->byteOrder;
    delete handle;
    handle = nullptr;
}

static bool isStandardOutput (const char* path)
{
    return std::strcmp (path, "-") == 0 || std::strcmp (path, "stdout") == 0;
}

bool WaveNativeFileOut::Open (const char* path, int64_t newSampRate, int newBitsPerSamp, int newNumChannels)
{
    // Opening again would lose the open file without ending it.
    if (fileOpen)
        return Fail (kTextAlreadyOpen);

    sampRate = newSampRate;
    numChannels = newNumChannels;
    bitsPerSamp = newBitsPerSamp;
    const int64_t wideSampSize = (static_cast<int64_t> (newBitsPerSamp) + 7) / 8;
    const int64_t wideFrameSize = static_cast<int64_t> (newNumChannels) * wideSampSize;
    sampSize = static_cast<int> (wideSampSize);
    if (wideFrameSize > INT_MAX || wideFrameSize < INT_MIN)
    {
        frameSize = 0;
        return Fail (kTextUnsupportedFrameSize);
    }
    frameSize = static_cast<int> (wideFrameSize);

    WAVHandle* newHandle = new (std::nothrow) WAVHandle();
    ByteOrderTable* table = new (std::nothrow) ByteOrderTable();
    // Without the scratch buffer no sample could be converted: refuse before
    // the path is truncated, so that an earlier file of that name survives.
    if (newHandle == nullptr || table == nullptr || buffer == nullptr)
    {
        delete newHandle;
        delete table;
        return FailChunk (WAVErrOutOfMemory);
    }
    FillByteOrderTable (table);

    FILE* fp = path == nullptr ? nullptr : isStandardOutput (path) ? stdout : std::fopen (path, "wb");
    if (fp == nullptr)
    {
        delete newHandle;
        delete table;
        return FailChunk (WAVErrCantOpen);
    }

    newHandle->fp = fp;
    newHandle->modeFlags = WAVModeWrite | (isStreaming ? WAVModeStreaming : 0);
    newHandle->byteOrder = table;
    handle = newHandle;
    fileOpen = true;

    // Fresh records, so that a Close after a failed Open ends only chunks of this file.
    riffChunk = WAVChunkInfo();
    subChunk = WAVChunkInfo();

    std::memcpy (riffChunk.fccType, "WAVE", 4);
    if (const int code = WAVCreateChunk (handle, &riffChunk, 1))
        return FailChunk (code);

    int16_t formatTag = format == AFileIOFormatFloat ? 3 : 1;
    int16_t channels = static_cast<int16_t> (numChannels);
    uint32_t rate = static_cast<uint32_t> (sampRate);
    int16_t blockAlign = static_cast<int16_t> (frameSize);
    uint32_t bytesPerSecond = rate * static_cast<uint16_t> (blockAlign);
    int16_t bits = static_cast<int16_t> (bitsPerSamp);
    table->ShortPNone (&formatTag);
    table->ShortPNone (&channels);
    table->LongPNone (&rate);
    table->LongPNone (&bytesPerSecond);
    table->ShortPNone (&blockAlign);
    table->ShortPNone (&bits);

    unsigned char fmt[16];
    std::memcpy (fmt + 0, &formatTag, 2);
    std::memcpy (fmt + 2, &channels, 2);
    std::memcpy (fmt + 4, &rate, 4);
    std::memcpy (fmt + 8, &bytesPerSecond, 4);
    std::memcpy (fmt + 12, &blockAlign, 2);
    std::memcpy (fmt + 14, &bits, 2);

    if (format == AFileIOFormatFloat && bitsPerSamp != 32)
        return Fail (kTextFloatNeeds32Bits);

    std::memcpy (subChunk.ckid, "fmt ", 4);
    subChunk.cksize = sizeof (fmt);
    if (const int code = WAVCreateChunk (handle, &subChunk, 0))
        return FailChunk (code);
    const size_t fmtWritten = std::fwrite (fmt, 1, sizeof (fmt), fp);
    WAVCountBytes (handle, fmtWritten);
    if (fmtWritten < sizeof (fmt))
        return Fail (kTextErrorWritingFmt);
    if (const int code = WAVAscend (handle, &subChunk))
        return FailChunk (code);

    if (hasCustomChunk)
    {
        // Header, payload, pad and the "data" header must stay inside the file's range.
        if (!FitsInFile (8 + static_cast<int64_t> (customChunkLen) + 1 + 8))
            return Fail (kTextFileTooLarge);
        subChunk = WAVChunkInfo();
        std::memcpy (subChunk.ckid, customChunkId, 4);
        subChunk.cksize = static_cast<uint32_t> (customChunkLen);
        if (const int code = WAVCreateChunk (handle, &subChunk, 0))
            return FailChunk (code);
        const size_t len = static_cast<size_t> (customChunkLen);
        const size_t written = len > 0 ? std::fwrite (customChunkData, 1, len, fp) : 0;
        WAVCountBytes (handle, written);
        if (written < len)
            return Fail (kTextErrorWritingCustom);
        if (const int code = WAVAscend (handle, &subChunk))
            return FailChunk (code);
    }

    subChunk = WAVChunkInfo();
    std::memcpy (subChunk.ckid, "data", 4);
    if (const int code = WAVCreateChunk (handle, &subChunk, 0))
        return FailChunk (code);
    dataChunkOpen = true;
    return true;
}

bool WaveNativeFileOut::Close()
{
    if (!fileOpen)
        return true;

    // Samples after this point would land behind the ended chunk.
    dataChunkOpen = false;
    int code = 0;
    if ((subChunk.flags & WAVChunkCreated) != 0)
        code = WAVAscend (handle, &subChunk);
    if (code == 0)
        code = WAVAscend (handle, &riffChunk);
    if (code != 0)
        return FailChunk (code);

    const bool closed = std::fclose (handle->fp) == 0;
    ReleaseHandle();
    fileOpen = false;
    if (!closed)
        return Fail (kTextCantClose);
    return true;
}
