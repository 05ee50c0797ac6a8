#include "audiofile/WaveNativeFileOut.h"

#include "audiofile/AFileErrorTexts.h"
#include "audiofile/ByteOrder.h"
#include "audiofile/SampleConvert.h"

#include <algorithm>
#include <cstdint>

// Files stay below 2 GiB, so that every size and offset fits its 32-bit field.
static const int64_t kMaxFileSize = INT32_MAX;
static const int64_t kMaxWrite = int64_t (1) << 31;

bool WaveNativeFileOut::FitsInFile (int64_t bytes)
{
    // One byte is kept for the pad that may follow the data.
    return bytes >= 0 && static_cast<int64_t> (handle->byteCount) + bytes + 1 <= kMaxFileSize;
}

bool WaveNativeFileOut::CanWrite (int64_t count)
{
    const char* refusal = nullptr;
    if (!fileOpen)
        refusal = kTextNotOpen;
    else if (!dataChunkOpen)
        refusal = kTextNoDataChunk;
    else if (count < 0)
        refusal = kTextNegativeCount;
    else if (numChannels < 1)
        refusal = kTextNoChannels;
    if (refusal == nullptr)
        return true;
    CopyErrorText (refusal);
    return false;
}

int64_t WaveNativeFileOut::Write (const unsigned char* data, int64_t byteCount)
{
    if (!CanWrite (byteCount))
        return -1;
    const char* refusal = nullptr;
    if (byteCount >= kMaxWrite)
        refusal = kTextWriteTooLarge;
    else if (!FitsInFile (byteCount))
        refusal = kTextFileTooLarge;
    if (refusal != nullptr)
    {
        CopyErrorText (refusal);
        return -1;
    }

    const size_t written = std::fwrite (data, 1, static_cast<size_t> (byteCount), handle->fp);
    WAVCountBytes (handle, written);
    // Flushed at once so that a full disk is reported by this call, not at Close.
    if (written < static_cast<size_t> (byteCount) || std::fflush (handle->fp) != 0)
    {
        CopyErrorText (kTextErrorWritingSamples);
        return -1;
    }
    return byteCount;
}

// The direct path applies when the caller's frames already have the file's layout.
int64_t WaveNativeFileOut::WriteShortFrames (const int16_t* frames, int64_t frameCount)
{
    return WriteFrames (frames, ShortSamples, sampSize == 2, frameCount);
}

int64_t WaveNativeFileOut::WriteLongFrames (const int32_t* frames, int64_t frameCount)
{
    return WriteFrames (frames, LongSamples, sampSize == 4 && format == AFileIOFormatInteger, frameCount);
}

int64_t WaveNativeFileOut::WriteFloatFrames (const float* frames, int64_t frameCount)
{
    return WriteFrames (frames, FloatSamples, sampSize == 4 && format == AFileIOFormatFloat, frameCount);
}

int64_t WaveNativeFileOut::WriteFrames (const void* frames, SampleKind kind, bool sameLayout, int64_t frameCount)
{
    if (!CanWrite (frameCount))
        return -1;
    if (frameCount == 0)
        return 0;
    if (sameLayout && handle->byteOrder->directCode == ByteOrderDirect)
        return WriteDirect (frames, frameCount);
    return WriteConverted (frames, kind, frameCount);
}

int64_t WaveNativeFileOut::WriteDirect (const void* frames, int64_t frameCount)
{
    // Bounded so that the byte count cannot overflow; Write refuses 2 GiB or more.
    const int64_t byteCount = std::min (frameCount, kMaxWrite / frameSize + 1) * frameSize;
    if (Write (static_cast<const unsigned char*> (frames), byteCount) < 0)
        return -1;
    return byteCount / frameSize;
}

int64_t WaveNativeFileOut::WriteConverted (const void* frames, SampleKind kind, int64_t frameCount)
{
    const char* refusal = nullptr;
    if (sampSize < 1 || sampSize > 4)
        refusal = kTextUnsupportedBits;
    else if (buffer == nullptr)
        refusal = WAVErrorMessage (WAVErrOutOfMemory);
    else if (frameCount > kMaxFileSize / frameSize || !FitsInFile (frameCount * frameSize))
        refusal = kTextFileTooLarge;
    if (refusal != nullptr)
    {
        CopyErrorText (refusal);
        return -1;
    }

    // Whole frames per piece; a frame wider than the scratch buffer goes out in
    // pieces of whole samples instead.
    const int64_t piece = frameSize <= bufferSize ? (bufferSize / frameSize) * numChannels : bufferSize / sampSize;
    const int64_t total = frameCount * numChannels;
    const bool isFloat = format == AFileIOFormatFloat;

    for (int64_t done = 0; done < total;)
    {
        const int64_t n = std::min (piece, total - done);
        if (const int size = GetSampSize(); size < 1 || size > 4)
        {
            CopyErrorText (kTextUnsupportedBits);
            return -1;
        }
        switch (kind)
        {
        case ShortSamples:
            ConvertShortSamples (static_cast<const int16_t*> (frames) + done, n, sampSize, isFloat, buffer);
            break;
        case LongSamples:
            ConvertLongSamples (static_cast<const int32_t*> (frames) + done, n, sampSize, isFloat, buffer);
            break;
        case FloatSamples:
            ConvertFloatSamples (static_cast<const float*> (frames) + done, n, sampSize, isFloat, buffer);
            break;
        }
        const size_t bytes = static_cast<size_t> (n * sampSize);
        const size_t written = std::fwrite (buffer, 1, bytes, handle->fp);
        WAVCountBytes (handle, written);
        if (written < bytes)
        {
            CopyErrorText (kTextErrorWritingSamples);
            return -1;
        }
        done += n;
    }
    if (std::fflush (handle->fp) != 0)
    {
        CopyErrorText (kTextErrorWritingSamples);
        return -1;
    }
    return frameCount;
}
