#include "audiofile/WAVChunk.h"

#include "audiofile/ByteOrder.h"

#include <cstring>

const char* const WAVErrorText[16] = {
    "File not found",      // 33
    "Out of memory",       // 34
    "Can't open",          // 35
    "Can't close",         // 36
    "Can't read",          // 37
    "Can't write",         // 38
    "Can't seek",          // 39
    "Can't expand file",   // 40
    "Chunk not found",     // 41
    "Unbuffered",          // 42
    "Path not found",      // 43
    "Access denied",       // 44
    "Sharing violation",   // 45
    "Network error",       // 46
    "Too many files open", // 47
    "invalid file",        // 48
};

static bool isStreaming (const WAVHandle* handle)
{
    return (handle->modeFlags & WAVModeStreaming) != 0;
}

extern "C"
{

    const char* WAVErrorMessage (int code)
    {
        if (code < WAVErrFileNotFound || code > WAVErrInvalidFile)
            return "Unknown WAV error";
        return WAVErrorText[code - WAVErrFileNotFound];
    }

    int WAVCreateChunk (WAVHandle* handle, WAVChunkInfo* chunk, int riff)
    {
        chunk->flags |= WAVChunkCreated;
        if (riff == 1)
            chunk->flags |= WAVChunkRiff;

        uint32_t size = chunk->cksize;
        handle->byteOrder->LongPNone (&size);

        unsigned char header[12];
        size_t headerSize;
        if (riff == 1)
        {
            std::memcpy (header + 0, "RIFF", 4);
            std::memcpy (header + 4, &size, 4);
            std::memcpy (header + 8, chunk->fccType, 4);
            headerSize = 12;
        }
        else
        {
            std::memcpy (header + 0, chunk->ckid, 4);
            std::memcpy (header + 4, &size, 4);
            headerSize = 8;
        }
        const size_t written = std::fwrite (header, 1, headerSize, handle->fp);
        WAVCountBytes (handle, written);

        const long position = isStreaming (handle) ? handle->byteCount : std::ftell (handle->fp);
        chunk->dataOffset = static_cast<uint32_t> (position);
        if (position == -1)
            return WAVErrInvalidFile;
        if (written < headerSize)
            return WAVErrCantWrite;
        return 0;
    }

    int WAVAscend (WAVHandle* handle, WAVChunkInfo* chunk)
    {
        const bool riff = (chunk->flags & WAVChunkRiff) != 0;

        if ((chunk->flags & WAVChunkCreated) != 0 && !isStreaming (handle))
        {
            const long position = std::ftell (handle->fp);
            if (position == -1)
                return WAVErrInvalidFile;
            const uint32_t size = static_cast<uint32_t> (position) - chunk->dataOffset + (riff ? 4u : 0u);
            if (size != chunk->cksize)
            {
                const long sizeField = static_cast<long> (chunk->dataOffset) - (riff ? 8 : 4);
                if (std::fseek (handle->fp, sizeField, SEEK_SET) != 0)
                    return WAVErrCantSeek;
                uint32_t field = size;
                handle->byteOrder->LongPNone (&field);
                const size_t written = std::fwrite (&field, 1, 4, handle->fp);
                WAVCountBytes (handle, written);
                if (written < 4)
                    return WAVErrCantWrite;
                chunk->cksize = size;
            }
        }

        if (!isStreaming (handle))
        {
            if (riff)
                return 0;
            if (std::fseek (handle->fp, static_cast<long> (chunk->dataOffset) + chunk->cksize, SEEK_SET) != 0)
                return WAVErrCantSeek;
            if ((chunk->cksize & 1) != 0)
            {
                // Flushed at once: a full disk would otherwise show only at the
                // next seek and be reported as a failed seek.
                if (std::fputc (0, handle->fp) == EOF || std::fflush (handle->fp) != 0)
                    return WAVErrCantWrite;
                WAVCountBytes (handle, 1);
            }
            return 0;
        }

        // A streaming file never learns the sizes of "data" and RIFF, which stay 0.
        if (chunk->cksize == 0)
            return 0;
        const int64_t end = static_cast<int64_t> (chunk->dataOffset) + chunk->cksize + (chunk->cksize & 1);
        if (end < handle->byteCount)
            return WAVErrCantSeek;
        while (handle->byteCount < end)
        {
            if (std::fputc (0, handle->fp) == EOF)
                return WAVErrCantSeek;
            WAVCountBytes (handle, 1);
        }
        return 0;
    }
}
