#pragma once

#include <cstdint>
#include <cstdio>

struct ByteOrderTable;

// Writer error codes; WAVErrorText[code - 33] is each one's text.
enum WAVError : int
{
    WAVErrFileNotFound = 33,
    WAVErrOutOfMemory = 34,
    WAVErrCantOpen = 35,
    WAVErrCantClose = 36,
    WAVErrCantRead = 37,
    WAVErrCantWrite = 38,
    WAVErrCantSeek = 39,
    WAVErrCantExpand = 40,
    WAVErrChunkNotFound = 41,
    WAVErrUnbuffered = 42,
    WAVErrPathNotFound = 43,
    WAVErrAccessDenied = 44,
    WAVErrSharingViolation = 45,
    WAVErrNetwork = 46,
    WAVErrTooManyFiles = 47,
    WAVErrInvalidFile = 48
};

// One chunk's record: five 32-bit fields.
struct WAVChunkInfo
{
    char ckid[4];
    uint32_t cksize;     // for RIFF: counts the form type and everything after it
    char fccType[4];     // RIFF form type
    uint32_t dataOffset; // file offset just after the header
    uint32_t flags;      // WAVChunkCreated, WAVChunkRiff
};

enum : uint32_t
{
    WAVChunkCreated = 1, // header written; the size is checked when the chunk is ended
    WAVChunkRiff = 2     // a RIFF header with form type
};

enum : int
{
    WAVModeWrite = 2,
    WAVModeStreaming = 4 // written strictly forward: never repositioned, position never asked
};

// One open file.
struct WAVHandle
{
    FILE* fp;
    int modeFlags;
    ByteOrderTable* byteOrder; // owned
    int32_t byteCount;         // bytes written so far; the position of a streaming file
};

extern const char* const WAVErrorText[16];

// Adds bytes written to the handle's count, wrapping rather than overflowing.
inline void WAVCountBytes (WAVHandle* handle, size_t bytes)
{
    handle->byteCount =
        static_cast<int32_t> (static_cast<uint32_t> (handle->byteCount) + static_cast<uint32_t> (bytes));
}

extern "C"
{
    // The text of a writer error code; "Unknown WAV error" outside 33 to 48.
    const char* WAVErrorMessage (int code);
    // Writes the chunk's header (riff = 1: "RIFF", size, form type) and records where
    // its data starts. Result 0 or an error code.
    int WAVCreateChunk (WAVHandle* handle, WAVChunkInfo* chunk, int riff);
    // Ends a chunk whose data is all written: patches its size and pads it to an even
    // length. Result 0 or an error code.
    int WAVAscend (WAVHandle* handle, WAVChunkInfo* chunk);
}
